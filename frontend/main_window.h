// The one window of veltrasom: the working directory, the seven file rows,
// the run button and the buttons that follow the run to its outcome.
#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>
#include <functional>

#include "frontend/office.h"
#include "frontend/run_controller.h"
#include "frontend/run_names.h"

class QFileDialog;
class QLabel;
class QPlainTextEdit;

namespace veltrasom {

// A push button whose caption wraps over several lines.
class WrapButton : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// What the window needs from its surroundings; tests replace the parts
// that would reach the desktop.
struct WindowEnvironment {
  QString currentDir;      // where the program was started
  QString engine;          // the engine program
  Office office;           // spreadsheet program for conversions
  QString settingsFile;    // empty: the user's settings of veltrasom
  bool nativeDialogs = true;
  // Open a file for the user (the log in the text editor, the results
  // workbook in the spreadsheet program); false with a message naming the
  // file when it could not be opened.
  std::function<bool(const QString& path, QString* message)> openLog;
  std::function<bool(const QString& path, QString* message)> openWorkbook;

  // The program's own environment: current directory, engine beside the
  // program, xdg-open.
  static WindowEnvironment desktop();
};

// The log in the desktop's text editor through xdg-open.
bool openLogInEditor(const QString& path, QString* message);

class MainWindow : public QWidget {
  Q_OBJECT
 public:
  enum class State { Ready, Converting, Running, Waiting, Failed, Succeeded };

  explicit MainWindow(WindowEnvironment env, QWidget* parent = nullptr);
  ~MainWindow() override;

  State state() const { return state_; }
  const RunNames& names() const { return names_; }
  RunController& runController() { return run_; }

  // The settings key of the last working directory.
  static constexpr const char* kLastDirectoryKey = "workingDirectory";

 signals:
  void stateChanged(veltrasom::MainWindow::State state);

 private:
  void buildLayout();
  void loadStartNames();
  void showNames();
  void setState(State s);
  void showCritical(const QString& title, const QString& text, const QString& details = {});

  void editFile(int row);
  void chooseWorkingDirectory();
  void startRun();
  void viewResults();
  void failureButton();
  void successButton();
  void engineSample(int sample);
  void engineFinished();
  void rememberDirectory();
  QFileDialog* makeDialog(const QString& title);

  WindowEnvironment env_;
  RunNames names_;
  RunController run_;
  State state_ = State::Ready;
  int sampleCount_ = 0;

  QLabel* title_ = nullptr;
  QPlainTextEdit* texts_[8] = {};  // Text8 (directory), then Text1 … Text7
  QPushButton* edits_[8] = {};     // Command13, then Command1 … Command7
  WrapButton* quit_ = nullptr;     // Command8
  WrapButton* run_button_ = nullptr;  // Command9
  WrapButton* view_ = nullptr;     // Command10
  WrapButton* failed_ = nullptr;   // Command11
  WrapButton* succeeded_ = nullptr;  // Command12
};

}  // namespace veltrasom
