#include "frontend/run_controller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace veltrasom {

QString engineBeside(const QString& programPath) {
  return QFileInfo(programPath).absoluteDir().filePath(QStringLiteral("mondrake"));
}

int readRunMarker(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QString text = QString::fromLatin1(f.readLine()).trimmed();
  const QString field = text.section(QLatin1Char(','), 0, 0).trimmed();
  bool ok = false;
  const int v = field.toInt(&ok);
  return ok ? v : -1;
}

RunController::RunController(QObject* parent) : QObject(parent) {}

RunController::~RunController() {
  if (process_ && process_->state() != QProcess::NotRunning) {
    process_->disconnect(this);
    process_->kill();
    process_->waitForFinished(5000);
  }
}

void RunController::setState(State s) {
  state_ = s;
  emit stateChanged(s);
}

bool RunController::start(const RunNames& names) {
  if (state_ == State::Converting || state_ == State::Running) return false;
  names_ = names;
  names_.dir = QDir::cleanPath(names.dir);
  outcome_ = RunOutcome{};
  outcome_.logFile = QDir(names_.dir).absoluteFilePath(names_.log);
  samples_ = 0;
  cancelled_ = false;
  pending_[0].clear();
  pending_[1].clear();

  auto refuse = [this](const QString& reason) {
    outcome_.reason = reason;
    setState(State::Ready);
    return false;
  };
  if (!QFileInfo(names_.dir).isDir())
    return refuse(QStringLiteral("The working directory %1 does not exist").arg(names_.dir));
  // The engine opens its log under this name without looking at it.
  if (names_.log.trimmed().isEmpty()) return refuse(QStringLiteral("No log file is named"));
  if (!QFileInfo(engine_).isExecutable())
    return refuse(QStringLiteral("The engine program %1 was not found").arg(engine_));

  setState(State::Converting);
  const ConversionResult converted = convertInputWorkbooks(names_, office_);
  if (!converted.ok()) return refuse(converted.message);

  QString error;
  if (!writeControlFile(names_.controlFile(), names_, &error)) {
    deleteConvertedFiles(names_);
    return refuse(error);
  }
  // The marker of an earlier run must not answer for this one.
  QFile::remove(names_.markerFile());

  delete process_;
  process_ = new QProcess(this);
  process_->setWorkingDirectory(names_.dir);
  process_->setStandardInputFile(QProcess::nullDevice());
  connect(process_, &QProcess::readyReadStandardOutput, this,
          [this] { readEngineOutput(QProcess::StandardOutput); });
  connect(process_, &QProcess::readyReadStandardError, this,
          [this] { readEngineOutput(QProcess::StandardError); });
  connect(process_, &QProcess::finished, this, &RunController::engineEnded);
  connect(process_, &QProcess::errorOccurred, this, &RunController::engineError);
  setState(State::Running);
  process_->start(engine_, {});
  return true;
}

void RunController::cancel() {
  if (state_ != State::Running || !process_) return;
  cancelled_ = true;
  process_->kill();
}

void RunController::readEngineOutput(QProcess::ProcessChannel channel) {
  process_->setReadChannel(channel);
  QByteArray& buffer = pending_[channel == QProcess::StandardOutput ? 0 : 1];
  buffer += process_->readAll();
  static const QRegularExpression kSample(QStringLiteral("^ Sample\\s*(\\d+) :"));
  qsizetype end;
  while ((end = buffer.indexOf('\n')) >= 0) {
    QString line = QString::fromLocal8Bit(buffer.left(end));
    buffer.remove(0, end + 1);
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const auto m = kSample.match(line);
    if (channel == QProcess::StandardOutput && m.hasMatch()) {
      ++samples_;
      emit sampleDone(m.captured(1).toInt(), line);
    } else if (!line.trimmed().isEmpty()) {
      outcome_.engineReport << line;
    }
  }
}

void RunController::engineEnded(int exitCode, QProcess::ExitStatus status) {
  readEngineOutput(QProcess::StandardOutput);
  readEngineOutput(QProcess::StandardError);
  for (QByteArray& rest : pending_) {
    const QString line = QString::fromLocal8Bit(rest).trimmed();
    if (!line.isEmpty()) outcome_.engineReport << line;
    rest.clear();
  }
  outcome_.exitCode = status == QProcess::NormalExit ? exitCode : -1;
  if (cancelled_)
    outcome_.reason = QStringLiteral("The run was cancelled");
  else if (status != QProcess::NormalExit)
    outcome_.reason = QStringLiteral("The engine crashed");
  conclude();
}

void RunController::engineError(QProcess::ProcessError error) {
  if (error != QProcess::FailedToStart) return;  // the others end in finished()
  outcome_.reason = QStringLiteral("The engine %1 could not be started: %2")
                        .arg(engine_, process_->errorString());
  conclude();
}

void RunController::conclude() {
  if (state_ != State::Running) return;
  outcome_.marker = readRunMarker(names_.markerFile());
  QFile::remove(names_.markerFile());
  // The engine removes them itself only at a normal end.
  deleteConvertedFiles(names_);
  outcome_.completed = outcome_.reason.isEmpty() && outcome_.marker == 0 && outcome_.exitCode == 0;
  if (!outcome_.completed && outcome_.reason.isEmpty()) {
    if (outcome_.marker < 0)
      outcome_.reason = QStringLiteral("The engine ended without leaving its run marker");
    else if (outcome_.marker != 0)
      outcome_.reason = QStringLiteral("Analysis could not be completed");
    else
      outcome_.reason = QStringLiteral("The engine ended with exit status %1").arg(outcome_.exitCode);
  }
  setState(State::Finished);
  emit finished(outcome_);
}

ConversionResult RunController::writeResults() const {
  return writeResultsWorkbook(names_.resultsFile(), QDir(names_.dir).absoluteFilePath(names_.out),
                              office_);
}

}  // namespace veltrasom
