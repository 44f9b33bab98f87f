// One analysis from the run button to the results: convert the five
// workbooks, write the control file, run the engine in the working
// directory, read and delete its run marker, delete the converted files,
// and on success write the results workbook.  The window and the batch
// mode both drive a run through this class.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "frontend/office.h"
#include "frontend/run_names.h"
#include "frontend/workbook_conversion.h"

namespace veltrasom {

// The engine program beside the given program (normally our own).
QString engineBeside(const QString& programPath);

struct RunOutcome {
  bool completed = false;   // the engine reached its normal end
  QString logFile;          // where the engine wrote its progress and problems
  QString reason;           // why the run failed (empty on success)
  QStringList engineReport; // what the engine wrote besides its sample lines
  int exitCode = -1;
  int marker = -1;          // the run marker's number, -1 when there was none
};

class RunController : public QObject {
  Q_OBJECT
 public:
  enum class State { Ready, Converting, Running, Finished };

  explicit RunController(QObject* parent = nullptr);
  ~RunController() override;

  void setEngineProgram(const QString& path) { engine_ = path; }
  QString engineProgram() const { return engine_; }
  void setOffice(const Office& office) { office_ = office; }
  const Office& office() const { return office_; }

  State state() const { return state_; }
  const RunNames& names() const { return names_; }
  const RunOutcome& outcome() const { return outcome_; }

  // Converts, writes the control file and starts the engine.  False (with
  // finished() not emitted and the reason in outcome()) when the run could
  // not start; the converted files are then removed again.  The engine runs
  // on after this returns; finished() reports its end.
  bool start(const RunNames& names);

  // Ends a running engine; finished() follows with a failed outcome.
  void cancel();

  // After a completed run: writes the results workbook from the results
  // file (which stays in the working directory).
  ConversionResult writeResults() const;

 signals:
  void stateChanged(veltrasom::RunController::State state);
  // One sample finished by the engine: its number and its console line.
  void sampleDone(int sample, const QString& line);
  void finished(const veltrasom::RunOutcome& outcome);

 private:
  void setState(State s);
  void readEngineOutput(QProcess::ProcessChannel channel);
  void engineEnded(int exitCode, QProcess::ExitStatus status);
  void engineError(QProcess::ProcessError error);
  void conclude();

  QString engine_;
  Office office_;
  RunNames names_;
  RunOutcome outcome_;
  State state_ = State::Ready;
  QProcess* process_ = nullptr;
  QByteArray pending_[2];
  int samples_ = 0;
  bool cancelled_ = false;
};

// Reads the run marker's first field as a number; -1 when the file does
// not exist or holds no number.
int readRunMarker(const QString& path);

}  // namespace veltrasom

Q_DECLARE_METATYPE(veltrasom::RunOutcome)
