// The main window on the offscreen platform: start-up, the file rows and
// their dialogs, the working directory, and runs against a stand-in engine
// and the real one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "frontend/main_window.h"
#include "frontend/test_support.h"

namespace veltrasom {
namespace {

using State = MainWindow::State;

struct Message {
  bool seen = false;
  QString title, text, details;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class MainWindowTest : public ::testing::Test {
 protected:
  QTemporaryDir tmp;
  QString work;   // the working directory of the runs
  QString start;  // where the program is started
  WindowEnvironment env;
  QStringList openedLogs, openedWorkbooks;
  bool openSucceeds = true;
  std::unique_ptr<MainWindow> window;
  std::vector<std::unique_ptr<QTimer>> watchers;

  void SetUp() override {
    work = path(QStringLiteral("work dir"));
    start = path(QStringLiteral("start"));
    QDir().mkpath(work);
    QDir().mkpath(start);
    env.currentDir = start;
    env.engine = QStringLiteral(FAKE_ENGINE);
    env.settingsFile = path(QStringLiteral("settings.ini"));
    env.nativeDialogs = false;
    env.openLog = [this](const QString& p, QString* message) {
      openedLogs << p;
      if (!openSucceeds) *message = QStringLiteral("no editor for %1").arg(p);
      return openSucceeds;
    };
    env.openWorkbook = [this](const QString& p, QString* message) {
      openedWorkbooks << p;
      if (!openSucceeds) *message = QStringLiteral("The results workbook could not be opened; it is %1").arg(p);
      return openSucceeds;
    };
    qunsetenv("FAKE_ENGINE_MODE");
    qunsetenv("FAKE_ENGINE_RESULTS");
  }

  void TearDown() override {
    watchers.clear();
    window.reset();
    qunsetenv("FAKE_ENGINE_MODE");
  }

  QString path(const QString& name) const { return QDir(tmp.path()).filePath(name); }
  QString inWork(const QString& name) const { return QDir(work).filePath(name); }

  MainWindow& open() {
    window = std::make_unique<MainWindow>(env);
    window->show();
    return *window;
  }

  template <typename T = QWidget>
  T* child(const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w) ADD_FAILURE() << "no " << name;
    return w;
  }
  QPushButton* button(const char* name) { return child<QPushButton>(name); }
  QString text(int row) {
    return child<QPlainTextEdit>(row == 8 ? "Text8" : QStringLiteral("Text%1").arg(row).toLatin1().constData())
        ->toPlainText();
  }

  // The command buttons on show.
  QStringList commands() {
    QStringList shown;
    for (const char* name : {"Command8", "Command9", "Command10", "Command11", "Command12"})
      if (button(name)->isVisible()) shown << QString::fromLatin1(name);
    return shown;
  }

  // Acts on the next modal window once it is up.
  void whenModal(std::function<void(QWidget*)> act) {
    auto timer = std::make_unique<QTimer>();
    QTimer* t = timer.get();
    t->setInterval(10);
    QObject::connect(t, &QTimer::timeout, [t, act] {
      QWidget* w = QApplication::activeModalWidget();
      if (!w) return;
      t->stop();
      act(w);
    });
    t->start();
    watchers.push_back(std::move(timer));
  }
  // Types a name into a file dialog, as the user would, and accepts it.
  static void type(QFileDialog* d, const QString& name) {
    auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit) {
      ADD_FAILURE() << "no file name field";
      d->reject();
      return;
    }
    // The selection and the field both hold the name, so the dialog's
    // completer cannot leave it with another one when it is accepted.
    d->selectFile(name);
    edit->setText(name);
    static_cast<QDialog*>(d)->accept();
    if (d->isVisible()) {
      ADD_FAILURE() << "the dialog did not take " << name.toStdString();
      d->reject();
    }
  }

  // Notes the next message box and closes it.
  std::shared_ptr<Message> answerMessage() {
    auto m = std::make_shared<Message>();
    whenModal([m](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box) return;
      m->seen = true;
      m->title = box->windowTitle();
      m->text = box->text();
      m->details = box->informativeText();
      m->icon = box->icon();
      box->done(QMessageBox::Ok);
    });
    return m;
  }

  // Five comma-separated inputs in the working directory, the results
  // workbook and log beside them.
  RunNames csvNames() {
    RunNames n = RunNames::defaults(work);
    for (Input in : kInputs) {
      n.input(in) = inWork(QStringLiteral("input %1.csv").arg(static_cast<int>(in)));
      test::writeFile(n.input(in), "Metric,Site A,Site B,Site C,Site D\nm,1,2,3,4\n");
    }
    n.out = inWork(QStringLiteral("results.xlsx"));
    n.log = inWork(QStringLiteral("run.LOG"));
    return n;
  }
  // Opens the window on a control file naming `n` in the working directory.
  MainWindow& openOn(const RunNames& n) {
    EXPECT_TRUE(writeControlFile(n.controlFile(), n));
    QSettings(env.settingsFile, QSettings::IniFormat).setValue(MainWindow::kLastDirectoryKey, work);
    return open();
  }

  bool waitFor(State s, int ms = 20000) {
    return QTest::qWaitFor([&] { return window->state() == s; }, ms);
  }

  void expectNoRunFiles(const RunNames& n) {
    for (Input in : kInputs) EXPECT_FALSE(QFile::exists(n.convertedFile(in))) << convertedName(in);
    EXPECT_FALSE(QFile::exists(n.markerFile()));
  }
};

TEST_F(MainWindowTest, CaptionsAndArrangement) {
  open();
  const std::map<const char*, const char*> captions = {
      {"Label10", "Default Working Directory:"},
      {"Label1", "Metric Specification File:"},
      {"Label2", "Observed Metric values File:"},
      {"Label3", "Metric standardisation EZERO (E0) File:"},
      {"Label4", "Metric standardisation EONE (E1) File:"},
      {"Label5", "Metric sampling Correlation File:"},
      {"Label6", "Results output File:"},
      {"Label7", "Log output File:"},
      {"Label11", "VELTRASOM"},
      {"Label12", "KOROS PRAVELENT"},
      {"Label13", "Release 1.2 (November 2011)     "},
      {"Label9", "The Log file contains information on any detected errors with the program's progress "
                 "and should always be checked:"},
      {"Label8", "EXCEL OUTPUT FILE OF RESULTS MUST BE CLOSED BEFORE RUNNING THIS PRORAM"},
  };
  for (const auto& [name, caption] : captions) {
    SCOPED_TRACE(name);
    QLabel* label = child<QLabel>(name);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), QString::fromLatin1(caption));
    EXPECT_TRUE(label->isVisible());
  }
  const std::map<const char*, const char*> buttons = {
      {"Command8", "Press to Quit program"},
      {"Command9", "Press to carry out the uncertainty analysis and store results in the specified Output file"},
      {"Command11", "Analysis could not be completed, Press to exit Program and view progress and errors in "
                    "the VELTRASOM.LOG file"},
      {"Command12", "Analysis completed ok Press to view results in EXCEL"},
  };
  for (const auto& [name, caption] : buttons) EXPECT_EQ(button(name)->text(), QString::fromLatin1(caption));

  // Rows 720 twips apart; caption, text box and Edit button of a row share
  // its top, and the columns line up.
  const double px = child("Text1")->x() / (2520 / 15.0);
  const char* rows[][3] = {{"Label10", "Text8", "Command13"}, {"Label1", "Text1", "Command1"},
                           {"Label2", "Text2", "Command2"},   {"Label3", "Text3", "Command3"},
                           {"Label4", "Text4", "Command4"},   {"Label5", "Text5", "Command5"},
                           {"Label6", "Text6", "Command6"},   {"Label7", "Text7", "Command7"}};
  for (int r = 0; r < 8; ++r) {
    SCOPED_TRACE(rows[r][1]);
    const int top = qRound((2040 + 720 * r) / 15.0 * px);
    EXPECT_EQ(child(rows[r][0])->y(), top);
    EXPECT_EQ(child(rows[r][1])->y(), top);
    EXPECT_EQ(child(rows[r][2])->y(), top);
    EXPECT_EQ(child(rows[r][0])->x(), qRound(600 / 15.0 * px));
    EXPECT_EQ(child(rows[r][2])->x(), qRound(9000 / 15.0 * px));
    EXPECT_EQ(button(rows[r][2])->text(), QStringLiteral("Edit"));
    EXPECT_TRUE(child<QPlainTextEdit>(rows[r][1])->isReadOnly());
  }
  // The buttons below the rows: the run button right of the quit button,
  // the outcome buttons below.
  EXPECT_LT(button("Command8")->x(), button("Command9")->x());
  EXPECT_EQ(button("Command10")->y(), button("Command12")->y());
  EXPECT_GT(button("Command10")->y(), button("Command9")->y());
  EXPECT_TRUE(window->rect().contains(button("Command12")->geometry()));
  EXPECT_TRUE(window->rect().contains(child("Label8")->geometry()));
}

TEST_F(MainWindowTest, StartUpNames) {
  RunNames saved = csvNames();
  saved.obs = inWork(QStringLiteral("observed, spring.csv"));  // a comma stays in its name
  saved.log = QStringLiteral("relative.LOG");                  // relative to the working directory
  struct Case {
    const char* what;
    bool controlInWork, controlInStart, remembered;
    QString dir;  // the expected working directory
    bool saved;   // names from the control file, else the defaults
  } cases[] = {
      {"first start", false, false, false, start, false},
      {"control file where started", false, true, false, start, true},
      {"remembered directory with control file", true, true, true, work, true},
      {"remembered directory without control file", false, true, true, start, true},
      {"remembered directory, no control file anywhere", false, false, true, work, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QFile::remove(RunNames::defaults(work).controlFile());
    QFile::remove(RunNames::defaults(start).controlFile());
    QFile::remove(env.settingsFile);
    RunNames inStart = saved;
    inStart.dir = start;
    if (c.controlInWork) { ASSERT_TRUE(writeControlFile(RunNames::defaults(work).controlFile(), saved)); }
    if (c.controlInStart) { ASSERT_TRUE(writeControlFile(RunNames::defaults(start).controlFile(), inStart)); }
    if (c.remembered) QSettings(env.settingsFile, QSettings::IniFormat).setValue(MainWindow::kLastDirectoryKey, work);

    open();
    RunNames expected = c.saved ? (c.dir == work ? saved : inStart) : RunNames::defaults(c.dir);
    expected.dir = c.dir;
    if (c.saved) expected.log = QDir(c.dir).filePath(QStringLiteral("relative.LOG"));
    EXPECT_EQ(window->names(), expected);
    EXPECT_EQ(text(8), expected.dir);
    EXPECT_EQ(text(2), expected.obs);
    EXPECT_EQ(text(7), expected.log);
    EXPECT_EQ(window->state(), State::Ready);
    EXPECT_EQ(commands(), (QStringList{"Command8", "Command9"}));
  }
}

TEST_F(MainWindowTest, EditButtonsThroughTheirDialogs) {
  const RunNames initial = csvNames();
  openOn(initial);
  struct Case {
    int row;
    const char* title;
    const char* filter;
    const char* suffix;
    bool save;
  } cases[] = {
      {1, "Select the Metric Specification File:", "EXCEL (*.xls*)", "csv", false},
      {2, "Select the Observed Metric values File:", "EXCEL (*.xls*)", "", false},
      {3, "Select the Metric standardisation Expected minimum File", "EXCEL (*.xls*)", "", false},
      {4, "Select the Metric standardisation Expected Maximum File:", "EXCEL (*.xls*)", "", false},
      {5, "Select the Metric sampling Correlation File:", "EXCEL (*.xls*)", "", false},
      {6, "Select the File to hold the Results Output:", "EXCEL (*.xls*)", "", true},
      {7, "Select the Log output File:", "VELTRASOM LOG File (*.Log)", "", true},
  };
  const QString other = path(QStringLiteral("elsewhere"));
  QDir().mkpath(other);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    const QString before = text(c.row);
    const QString chosen = QDir(other).filePath(QStringLiteral("chosen %1.xlsx").arg(c.row));
    if (!c.save) test::writeFile(chosen, "x");
    const QByteArray name = QStringLiteral("Command%1").arg(c.row).toLatin1();

    // Cancelled: the name stays.
    bool seen = false;
    QString preset;
    whenModal([&](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      if (!d) return;
      seen = true;
      preset = d->selectedFiles().value(0);
      d->reject();
    });
    button(name.constData())->click();
    EXPECT_TRUE(seen);
    EXPECT_EQ(preset, before);
    EXPECT_EQ(text(c.row), before);

    // Chosen.
    QFileDialog* shown = nullptr;
    QString title, filter, suffix;
    QFileDialog::AcceptMode mode{};
    bool confirms = false;
    whenModal([&](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      if (!d) return;
      shown = d;
      title = d->windowTitle();
      filter = d->nameFilters().value(0);
      suffix = d->defaultSuffix();
      mode = d->acceptMode();
      confirms = !d->testOption(QFileDialog::DontConfirmOverwrite);
      type(d, chosen);
    });
    button(name.constData())->click();
    ASSERT_TRUE(shown);
    EXPECT_EQ(title, QString::fromLatin1(c.title));
    EXPECT_EQ(filter, QString::fromLatin1(c.filter));
    EXPECT_EQ(suffix, QString::fromLatin1(c.suffix));
    EXPECT_EQ(mode, c.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (c.save) { EXPECT_TRUE(confirms); }
    EXPECT_EQ(text(c.row), chosen);
  }
  RunNames expected = initial;
  expected.metspec = QDir(other).filePath(QStringLiteral("chosen 1.xlsx"));
  expected.log = QDir(other).filePath(QStringLiteral("chosen 7.xlsx"));
  EXPECT_EQ(window->names().metspec, expected.metspec);
  EXPECT_EQ(window->names().log, expected.log);
  EXPECT_EQ(window->names().dir, initial.dir);
}

TEST_F(MainWindowTest, WorkingDirectoryButton) {
  const RunNames initial = csvNames();
  openOn(initial);
  const QString chosen = path(QStringLiteral("chosen dir"));
  QDir().mkpath(chosen);

  // Cancelled: nothing changes, not even the chosen workbooks.
  QString title;
  whenModal([&](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    if (!d) return;
    title = d->windowTitle();
    d->reject();
  });
  button("Command13")->click();
  EXPECT_EQ(title, QStringLiteral("Select woking Directory"));
  EXPECT_EQ(window->names(), initial);
  EXPECT_EQ(text(1), initial.metspec);

  // Chosen: the defaults in the new directory, remembered for next time.
  whenModal([&](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    if (!d) return;
    type(d, chosen);
  });
  button("Command13")->click();
  EXPECT_EQ(window->names(), RunNames::defaults(chosen));
  EXPECT_EQ(text(8), chosen);
  EXPECT_EQ(text(6), QDir(chosen).filePath(QStringLiteral("VELTRASOM_TestOut11.xls")));
  EXPECT_EQ(QSettings(env.settingsFile, QSettings::IniFormat).value(MainWindow::kLastDirectoryKey).toString(),
            chosen);
}

// The buttons on show at each state the window passes through.
struct Trace {
  std::map<State, QStringList> shown;
  std::map<State, bool> viewEnabled;
  QStringList progress;
};

TEST_F(MainWindowTest, SuccessfulRunThroughEveryState) {
  const RunNames names = csvNames();
  openOn(names);
  Trace trace;
  QObject::connect(window.get(), &MainWindow::stateChanged, [&](State s) {
    trace.shown[s] = commands();
    trace.viewEnabled[s] = button("Command10")->isEnabled();
    if (s == State::Running) button("Command10")->click();  // not while the engine runs
  });
  QObject::connect(&window->runController(), &RunController::sampleDone,
                   [&] { trace.progress << button("Command10")->text(); });

  button("Command9")->click();
  ASSERT_TRUE(waitFor(State::Waiting));
  EXPECT_EQ(button("Command10")->text(), QStringLiteral("Press to view results "));
  const QStringList justTen{"Command10"};
  EXPECT_EQ(trace.shown[State::Converting], justTen);
  EXPECT_EQ(trace.shown[State::Running], justTen);
  EXPECT_EQ(trace.shown[State::Waiting], justTen);
  EXPECT_FALSE(trace.viewEnabled[State::Converting]);
  EXPECT_FALSE(trace.viewEnabled[State::Running]);
  EXPECT_TRUE(trace.viewEnabled[State::Waiting]);
  ASSERT_EQ(trace.progress.size(), 3);
  EXPECT_TRUE(trace.progress[2].endsWith(QStringLiteral("sample 3 of 4"))) << trace.progress[2].toStdString();

  button("Command10")->click();
  EXPECT_EQ(window->state(), State::Succeeded);
  EXPECT_EQ(commands(), QStringList{"Command12"});
  expectNoRunFiles(names);

  button("Command12")->click();
  EXPECT_EQ(window->state(), State::Ready);
  EXPECT_EQ(commands(), (QStringList{"Command8", "Command9", "Command12"}));
  EXPECT_EQ(openedWorkbooks, QStringList{names.out});
  EXPECT_TRUE(test::readXlsx(names.out).cells.contains(QStringLiteral("A2")));
  EXPECT_EQ(window->names(), names);
  // The control file of the run names the user's choices.
  RunNames written;
  ASSERT_TRUE(readControlFile(names.controlFile(), &written));
  EXPECT_EQ(written, names);

  // The quit button ends the program.
  button("Command8")->click();
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, EngineThatStoppedShowsTheFailureButton) {
  struct Case {
    const char* mode;
    const char* reported;  // in a message at the view-results button, or empty for none
  } cases[] = {
      {"fatal", ""},
      {"failure", "observed metric values workbook"},
  };
  const RunNames names = csvNames();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    openedLogs.clear();
    openOn(names);
    qputenv("FAKE_ENGINE_MODE", c.mode);
    button("Command9")->click();
    ASSERT_TRUE(waitFor(State::Waiting));
    auto message = answerMessage();
    button("Command10")->click();
    EXPECT_EQ(window->state(), State::Failed);
    EXPECT_EQ(commands(), QStringList{"Command11"});
    EXPECT_EQ(message->seen, *c.reported != '\0');
    if (*c.reported) {
      EXPECT_TRUE(message->text.contains(QStringLiteral("\"abc\" is not a number"))) << message->text.toStdString();
      EXPECT_TRUE(message->text.contains(names.obs)) << message->text.toStdString();
      EXPECT_TRUE(message->text.contains(QString::fromLatin1(c.reported)));
      EXPECT_EQ(message->icon, QMessageBox::Critical);
    }
    expectNoRunFiles(names);

    // The failure button opens the log and ends the program, also when the
    // log cannot be shown (then a message says where it is).
    openSucceeds = std::string(c.mode) == "fatal";
    auto logMessage = answerMessage();
    button("Command11")->click();
    EXPECT_EQ(openedLogs, QStringList{names.log});
    EXPECT_EQ(logMessage->seen, !openSucceeds);
    if (!openSucceeds) { EXPECT_TRUE(logMessage->text.contains(names.log)); }
    EXPECT_FALSE(window->isVisible());
    openSucceeds = true;
    watchers.clear();
  }
}

TEST_F(MainWindowTest, RunsThatEndWithoutAnAnswerReturnToReady) {
  struct Case {
    const char* mode;
    const char* reason;
  } cases[] = {
      {"nomarker", "The engine ended without leaving its run marker"},
      {"crash", "The engine crashed"},
  };
  const RunNames names = csvNames();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    test::writeFile(names.out, "earlier results");
    openOn(names);
    qputenv("FAKE_ENGINE_MODE", c.mode);
    button("Command9")->click();
    ASSERT_TRUE(waitFor(State::Waiting));
    auto message = answerMessage();
    button("Command10")->click();
    EXPECT_TRUE(message->seen);
    EXPECT_EQ(message->icon, QMessageBox::Critical);
    EXPECT_EQ(message->text, QString::fromLatin1(c.reason));
    EXPECT_TRUE(message->details.contains(QStringLiteral(FAKE_ENGINE)));
    EXPECT_TRUE(message->details.contains(names.log));
    EXPECT_EQ(window->state(), State::Ready);
    EXPECT_EQ(commands(), (QStringList{"Command8", "Command9"}));
    EXPECT_EQ(window->names(), names);
    EXPECT_EQ(test::readFile(names.out), "earlier results");
    expectNoRunFiles(names);
    watchers.clear();
  }
}

TEST_F(MainWindowTest, RunsThatCannotStartSayWhyAndKeepTheChoices) {
  struct Case {
    const char* what;
    std::function<void(RunNames&, WindowEnvironment&)> spoil;  // before the window opens
    std::function<void(const RunNames&)> block;                // after it has opened
    std::function<QString(const RunNames&)> named;             // what the message must name
    const char* reason;
  } cases[] = {
      {"missing workbook", [](RunNames& n, WindowEnvironment&) { n.eone = n.dir + QStringLiteral("/gone.xlsx"); },
       [](const RunNames&) {}, [](const RunNames& n) { return n.eone; }, "does not exist"},
      {"missing engine", [](RunNames&, WindowEnvironment& e) { e.engine = QStringLiteral("/nonexistent/mondrake"); },
       [](const RunNames&) {}, [](const RunNames&) { return QStringLiteral("/nonexistent/mondrake"); },
       "was not found"},
      {"converted file cannot be written", [](RunNames&, WindowEnvironment&) {},
       [](const RunNames& n) { QDir().mkpath(n.convertedFile(Input::Corr)); },
       [](const RunNames& n) { return n.convertedFile(Input::Corr); }, "Cannot write"},
      {"control file cannot be written", [](RunNames&, WindowEnvironment&) {},
       [](const RunNames& n) {
         QFile::remove(n.controlFile());
         QDir().mkpath(n.controlFile());
       },
       [](const RunNames& n) { return n.controlFile(); }, "Cannot write the control file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunNames names = csvNames();
    WindowEnvironment saved = env;
    c.spoil(names, env);
    openOn(names);
    c.block(names);
    const RunNames before = window->names();
    auto message = answerMessage();
    button("Command9")->click();
    EXPECT_TRUE(message->seen);
    EXPECT_EQ(message->icon, QMessageBox::Critical);
    EXPECT_TRUE(message->text.contains(c.named(names))) << message->text.toStdString();
    EXPECT_TRUE(message->text.contains(QString::fromLatin1(c.reason))) << message->text.toStdString();
    EXPECT_EQ(window->state(), State::Ready);
    EXPECT_EQ(commands(), (QStringList{"Command8", "Command9"}));
    EXPECT_EQ(window->names(), before);
    for (Input in : kInputs)
      if (QFileInfo(names.convertedFile(in)).isFile()) ADD_FAILURE() << convertedName(in) << " left";
    env = saved;
    QDir(names.convertedFile(Input::Corr)).removeRecursively();
    QDir(names.controlFile()).removeRecursively();
    watchers.clear();
  }
}

TEST_F(MainWindowTest, ResultsWorkbookProblemsKeepEarlierResults) {
  const RunNames names = csvNames();
  struct Case {
    const char* what;
    std::function<void()> spoil;
    const char* title;
    const char* text;     // start of the message
    bool opened;          // the workbook was handed to the opener
  } cases[] = {
      {"workbook open in the spreadsheet program",
       [&] { test::writeFile(inWork(QStringLiteral(".~lock.results.xlsx#")), "held"); }, "Problem with Output file",
       "Output File is already open in EXCEL.  Press OK.  Close the EXCEL file and re-run VELTRASOM", false},
      {"workbook cannot be shown", [&] { openSucceeds = false; }, "Problem with the Output file",
       "The results workbook could not be opened; it is", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::writeFile(names.out, "earlier results");
    openedWorkbooks.clear();
    openOn(names);
    button("Command9")->click();
    ASSERT_TRUE(waitFor(State::Waiting));
    button("Command10")->click();
    ASSERT_EQ(window->state(), State::Succeeded);
    c.spoil();
    auto message = answerMessage();
    button("Command12")->click();
    EXPECT_TRUE(message->seen);
    EXPECT_EQ(message->icon, QMessageBox::Critical);
    EXPECT_EQ(message->title, QString::fromLatin1(c.title));
    EXPECT_TRUE(message->text.startsWith(QString::fromLatin1(c.text))) << message->text.toStdString();
    EXPECT_TRUE((message->text + message->details).contains(names.out));
    EXPECT_EQ(openedWorkbooks.isEmpty(), !c.opened);
    if (!c.opened) { EXPECT_EQ(test::readFile(names.out), "earlier results"); }
    EXPECT_EQ(window->state(), State::Ready);
    EXPECT_EQ(commands(), (QStringList{"Command8", "Command9", "Command12"}));
    EXPECT_TRUE(QFile::exists(names.resultsFile()));
    QFile::remove(inWork(QStringLiteral(".~lock.results.xlsx#")));
    openSucceeds = true;
    watchers.clear();
  }
}

// Bad observed values with the real engine: the failure button follows,
// and what the engine said names the workbook behind its file.
TEST_F(MainWindowTest, RealEngineOnBadObservedValues) {
  const QDir example(QStringLiteral(MONDRAKE_SOURCE_DIR "/examples/river-invertebrates"));
  struct Case {
    const char* what;
    std::function<QByteArray(QByteArray)> spoil;
    const char* reported;  // in the message at the view-results button, or empty for none
  } cases[] = {
      {"empty workbook", [](QByteArray) { return QByteArray(); }, ""},
      {"text where a number belongs",
       [](QByteArray obs) { return obs.replace("6.75,", "abc,"); }, "'abc' is not a number"},
  };
  env.engine = QStringLiteral(MONDRAKE_BINARY);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunNames names = RunNames::defaults(work);
    for (Input in : kInputs) {
      names.input(in) = inWork(QStringLiteral("river %1.csv").arg(static_cast<int>(in)));
      QByteArray content = test::readFile(example.filePath(QString::fromLatin1(convertedName(in))));
      if (in == Input::Obs) content = c.spoil(content);
      test::writeFile(names.input(in), content);
    }
    names.out = inWork(QStringLiteral("river-results.xlsx"));
    names.log = inWork(QStringLiteral("river.log"));
    openOn(names);
    button("Command9")->click();
    ASSERT_TRUE(waitFor(State::Waiting, 60000));
    auto message = answerMessage();
    button("Command10")->click();
    EXPECT_EQ(window->state(), State::Failed);
    EXPECT_EQ(commands(), QStringList{"Command11"});
    EXPECT_EQ(message->seen, *c.reported != '\0');
    if (*c.reported) {
      EXPECT_TRUE(message->text.contains(QString::fromLatin1(c.reported))) << message->text.toStdString();
      EXPECT_TRUE(message->text.contains(names.obs)) << message->text.toStdString();
    }
    EXPECT_FALSE(QFile::exists(names.out));
    expectNoRunFiles(names);
    watchers.clear();
  }
}

TEST_F(MainWindowTest, RealEngineOnTheExample) {
  const QDir example(QStringLiteral(MONDRAKE_SOURCE_DIR "/examples/river-invertebrates"));
  RunNames names = RunNames::defaults(work);
  for (Input in : kInputs) {
    names.input(in) = inWork(QStringLiteral("river %1.csv").arg(static_cast<int>(in)));
    ASSERT_TRUE(QFile::copy(example.filePath(QString::fromLatin1(convertedName(in))), names.input(in)));
  }
  names.out = inWork(QStringLiteral("river-results.xlsx"));
  names.log = inWork(QStringLiteral("river.log"));
  env.engine = QStringLiteral(MONDRAKE_BINARY);
  openOn(names);
  QStringList progress;
  QObject::connect(&window->runController(), &RunController::sampleDone,
                   [&] { progress << button("Command10")->text(); });

  button("Command9")->click();
  ASSERT_TRUE(waitFor(State::Waiting, 60000));
  ASSERT_EQ(progress.size(), 24);
  EXPECT_TRUE(progress.last().endsWith(QStringLiteral("sample 24 of 24"))) << progress.last().toStdString();
  button("Command10")->click();
  ASSERT_EQ(window->state(), State::Succeeded);
  button("Command12")->click();
  EXPECT_EQ(openedWorkbooks, QStringList{names.out});
  const test::Sheet sheet = test::readXlsx(names.out);
  EXPECT_FALSE(sheet.cells.isEmpty());
  EXPECT_TRUE(test::readFile(names.log).contains("Number of samples =   24"));
  expectNoRunFiles(names);
  for (Input in : kInputs) EXPECT_TRUE(QFile::exists(names.input(in)));  // the user's files stay
}

}  // namespace
}  // namespace veltrasom

int main(int argc, char** argv) {
  // The window needs no display: the offscreen platform, and dialog
  // settings kept out of the user's configuration.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
