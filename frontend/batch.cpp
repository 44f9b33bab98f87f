#include "frontend/batch.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "frontend/run_controller.h"

namespace veltrasom {

namespace {

struct NameOption {
  const char* name;
  QString RunNames::*field;
  const char* what;
};

const NameOption kNameOptions[] = {
    {"metspec", &RunNames::metspec, "metric specification workbook"},
    {"obs", &RunNames::obs, "observed metric values workbook"},
    {"ezero", &RunNames::ezero, "E0 (EZERO) workbook"},
    {"eone", &RunNames::eone, "E1 (EONE) workbook"},
    {"corr", &RunNames::corr, "sampling correlation workbook"},
    {"out", &RunNames::out, "results workbook (.xlsx, .ods or .xls)"},
    {"log", &RunNames::log, "log file"},
};

QTextStream& out() {
  static QTextStream s(stdout);
  return s;
}
QTextStream& err() {
  static QTextStream s(stderr);
  return s;
}

// The last lines of the log that say something, for a failure report when
// the engine said nothing on the console.
QStringList logTail(const QString& path, int count) {
  QFile f(path);
  QStringList lines;
  if (!f.open(QIODevice::ReadOnly)) return lines;
  const QStringList all = QString::fromLocal8Bit(f.readAll()).split(QLatin1Char('\n'));
  for (auto it = all.crbegin(); it != all.crend() && lines.size() < count; ++it) {
    QString line = *it;
    while (!line.isEmpty() && line.back().isSpace()) line.chop(1);
    if (!line.isEmpty()) lines.prepend(line);
  }
  return lines;
}

}  // namespace

void addBatchOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(QStringLiteral(
      "Estimates the confidence of ecological status classes.\n\n"
      "With --batch it runs one whole analysis without a window: it converts the five input\n"
      "workbooks, writes the control file VELTRASOM.INP, runs the engine mondrake in the\n"
      "working directory, and on success writes the results workbook. Names not given as\n"
      "options come from VELTRASOM.INP in the working directory, else the defaults.\n"
      "Exit status: 0 when the results workbook was written, 1 when the analysis failed,\n"
      "2 for a bad command line."));
  parser.addHelpOption();
  parser.addOption({QStringLiteral("batch"), QStringLiteral("Run the analysis without a window.")});
  parser.addOption({QStringLiteral("dir"),
                    QStringLiteral("Working directory (default: the current directory)."),
                    QStringLiteral("path")});
  for (const NameOption& o : kNameOptions)
    parser.addOption({QString::fromLatin1(o.name), QStringLiteral("The %1.").arg(QLatin1String(o.what)),
                      QStringLiteral("file")});
  parser.addOption({QStringLiteral("engine"),
                    QStringLiteral("Engine program (default: mondrake beside veltrasom)."),
                    QStringLiteral("path")});
  parser.addOption({QStringLiteral("office"),
                    QStringLiteral("Spreadsheet program for conversions (default: soffice)."),
                    QStringLiteral("path")});
}

RunNames batchNames(const QCommandLineParser& parser, const QString& currentDir) {
  const QDir current(currentDir);
  const QString dir = QDir::cleanPath(parser.isSet(QStringLiteral("dir"))
                                          ? current.absoluteFilePath(parser.value(QStringLiteral("dir")))
                                          : current.absolutePath());
  RunNames names = RunNames::defaults(dir);
  RunNames saved;
  if (readControlFile(RunNames::defaults(dir).controlFile(), &saved)) {
    const QDir working(dir);
    for (const NameOption& o : kNameOptions)
      if (!(saved.*o.field).isEmpty()) names.*o.field = working.absoluteFilePath(saved.*o.field);
  }
  for (const NameOption& o : kNameOptions) {
    const QString option = QString::fromLatin1(o.name);
    if (parser.isSet(option)) names.*o.field = current.absoluteFilePath(parser.value(option));
  }
  return names;
}

int runBatch(const QCommandLineParser& parser) {
  const RunNames names = batchNames(parser, QDir::currentPath());

  RunController run;
  run.setEngineProgram(parser.isSet(QStringLiteral("engine"))
                           ? QFileInfo(parser.value(QStringLiteral("engine"))).absoluteFilePath()
                           : engineBeside(QCoreApplication::applicationFilePath()));
  Office office;
  if (parser.isSet(QStringLiteral("office"))) office.program = parser.value(QStringLiteral("office"));
  run.setOffice(office);

  QObject::connect(&run, &RunController::sampleDone, [](int, const QString& line) {
    out() << line << Qt::endl;
  });

  out() << "Working directory: " << names.dir << Qt::endl;
  out() << "Converting the input workbooks ..." << Qt::endl;
  if (!run.start(names)) {
    err() << "veltrasom: the analysis could not be started: " << run.outcome().reason << Qt::endl;
    return 1;
  }
  out() << "Running " << run.engineProgram() << " ..." << Qt::endl;

  QEventLoop loop;
  QObject::connect(&run, &RunController::finished, &loop, &QEventLoop::quit);
  if (run.state() == RunController::State::Running) loop.exec();

  const RunOutcome& outcome = run.outcome();
  if (!outcome.completed) {
    err() << "veltrasom: the analysis could not be completed: " << outcome.reason << Qt::endl;
    err() << "Log file: " << outcome.logFile << Qt::endl;
    const QStringList report =
        outcome.engineReport.isEmpty() ? logTail(outcome.logFile, 8) : outcome.engineReport;
    if (!report.isEmpty()) {
      err() << (outcome.engineReport.isEmpty() ? "End of the log:" : "The engine reported:") << Qt::endl;
      for (const QString& line : report) err() << "  " << line << Qt::endl;
    }
    return 1;
  }

  out() << "Writing the results workbook ..." << Qt::endl;
  const ConversionResult written = run.writeResults();
  if (!written.ok()) {
    err() << "veltrasom: " << resultsFailureTitle(written) << ": " << resultsFailureText(written)
          << Qt::endl;
    err() << "Results file: " << run.names().resultsFile() << Qt::endl;
    err() << "Log file: " << outcome.logFile << Qt::endl;
    return 1;
  }
  out() << "Results workbook: " << QDir(names.dir).absoluteFilePath(names.out) << Qt::endl;
  out() << "Log file: " << outcome.logFile << Qt::endl;
  return 0;
}

}  // namespace veltrasom
