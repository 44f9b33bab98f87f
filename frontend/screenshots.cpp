// Pictures of the window for the documentation: at start, and after a run
// of the engine on the river example has succeeded.
//   veltrasom_screenshots OUTPUT_DIR ENGINE EXAMPLE_DIR
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include "frontend/main_window.h"

namespace {

void settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool waitForState(veltrasom::MainWindow& w, veltrasom::MainWindow::State s, int ms) {
  QEventLoop loop;
  QObject::connect(&w, &veltrasom::MainWindow::stateChanged, &loop, [&](veltrasom::MainWindow::State now) {
    if (now == s) loop.quit();
  });
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  if (w.state() != s) loop.exec();
  return w.state() == s;
}

bool save(QWidget& w, const QString& file) {
  settle(300);
  const bool ok = w.grab().save(file, "PNG");
  QTextStream(ok ? stdout : stderr) << (ok ? "wrote " : "cannot write ") << file << Qt::endl;
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 4) {
    QTextStream(stderr) << "usage: veltrasom_screenshots OUTPUT_DIR ENGINE EXAMPLE_DIR\n";
    return 2;
  }
  const QDir output(args[1]);
  QDir().mkpath(output.path());
  const QDir example(args[3]);

  QTemporaryDir tmp;
  const QString work = QDir(tmp.path()).filePath(QStringLiteral("river-invertebrates"));
  QDir().mkpath(work);
  using namespace veltrasom;
  RunNames names = RunNames::defaults(work);
  const char* workbooks[] = {"river-metspec.csv", "river-observed.csv", "river-e0.csv", "river-e1.csv",
                             "river-correlations.csv"};
  int i = 0;
  for (Input in : kInputs) {
    names.input(in) = QDir(work).filePath(QString::fromLatin1(workbooks[i++]));
    if (!QFile::copy(example.filePath(QString::fromLatin1(convertedName(in))), names.input(in))) {
      QTextStream(stderr) << "cannot copy the example from " << example.path() << Qt::endl;
      return 1;
    }
  }
  names.out = QDir(work).filePath(QStringLiteral("river-results.xlsx"));
  names.log = QDir(work).filePath(QStringLiteral("river.log"));
  writeControlFile(names.controlFile(), names);

  WindowEnvironment env;
  env.currentDir = work;
  env.engine = QFileInfo(args[2]).absoluteFilePath();
  env.settingsFile = QDir(tmp.path()).filePath(QStringLiteral("settings.ini"));
  env.nativeDialogs = false;
  env.openLog = [](const QString&, QString*) { return true; };
  env.openWorkbook = [](const QString&, QString*) { return true; };

  MainWindow window(env);
  window.show();
  if (!save(window, output.filePath(QStringLiteral("window-start.png")))) return 1;

  window.findChild<QPushButton*>(QStringLiteral("Command9"))->click();
  if (!waitForState(window, MainWindow::State::Waiting, 60000)) {
    QTextStream(stderr) << "the engine did not finish\n";
    return 1;
  }
  window.findChild<QPushButton*>(QStringLiteral("Command10"))->click();
  if (window.state() != MainWindow::State::Succeeded) {
    QTextStream(stderr) << "the run did not succeed: " << window.runController().outcome().reason << Qt::endl;
    return 1;
  }
  return save(window, output.filePath(QStringLiteral("window-success.png"))) ? 0 : 1;
}
