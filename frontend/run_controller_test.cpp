#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include "frontend/run_controller.h"
#include "frontend/test_support.h"

namespace veltrasom {
namespace {

// A working directory with five comma-separated inputs (copied, so no
// spreadsheet program is needed) and the stand-in engine.
class RunControllerTest : public ::testing::Test {
 protected:
  QTemporaryDir tmp;
  RunNames names;
  RunController run;

  void SetUp() override {
    names = RunNames::defaults(tmp.path());
    for (Input in : kInputs) {
      names.input(in) = file(QStringLiteral("in %1.csv").arg(static_cast<int>(in)));
      test::writeFile(names.input(in), "input " + QByteArray::number(static_cast<int>(in)) + ",\"a,b\",0.5\n");
    }
    names.out = file(QStringLiteral("results.xlsx"));
    names.log = file(QStringLiteral("run.LOG"));
    run.setEngineProgram(QStringLiteral(FAKE_ENGINE));
    qunsetenv("FAKE_ENGINE_RESULTS");
  }
  void TearDown() override { qunsetenv("FAKE_ENGINE_MODE"); }

  QString file(const QString& name) const { return QDir(tmp.path()).filePath(name); }

  // Runs to the end; false when the run did not start.
  bool runToEnd(const char* mode) {
    qputenv("FAKE_ENGINE_MODE", mode);
    if (!run.start(names)) return false;
    QEventLoop loop;
    QObject::connect(&run, &RunController::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (run.state() == RunController::State::Running) loop.exec();
    return true;
  }

  void expectNoRunFilesLeft() {
    for (Input in : kInputs) EXPECT_FALSE(QFile::exists(names.convertedFile(in)));
    EXPECT_FALSE(QFile::exists(names.markerFile()));
  }
};

TEST_F(RunControllerTest, NormalEndGivesResultsAndCleansUp) {
  test::writeFile(names.markerFile(), "0\n");  // left by an earlier run
  QSignalSpy samples(&run, &RunController::sampleDone);
  ASSERT_TRUE(runToEnd("ok"));
  const RunOutcome& o = run.outcome();
  EXPECT_TRUE(o.completed) << o.reason.toStdString();
  EXPECT_EQ(o.marker, 0);
  EXPECT_EQ(o.logFile, names.log);
  EXPECT_TRUE(o.engineReport.isEmpty());
  ASSERT_EQ(samples.count(), 3);
  EXPECT_EQ(samples[2][0].toInt(), 3);
  EXPECT_TRUE(samples[2][1].toString().startsWith(QStringLiteral(" Sample    3 : Site 3")));

  // The engine got the control file and the inputs unchanged.
  EXPECT_EQ(test::readFile(file(QStringLiteral("seen/VELTRASOM.INP"))),
            names.controlLines().join(QLatin1Char('\n')).toUtf8() + "\n");
  for (Input in : kInputs)
    EXPECT_EQ(test::readFile(file(QStringLiteral("seen/")) + QString::fromLatin1(convertedName(in))),
              test::readFile(names.input(in)));
  expectNoRunFilesLeft();

  ASSERT_TRUE(run.writeResults().ok());
  EXPECT_TRUE(test::readXlsx(names.out).cells.contains(QStringLiteral("A2")));
  EXPECT_TRUE(QFile::exists(names.resultsFile()));
}

TEST_F(RunControllerTest, FailedRunsReportWhyAndCleanUp) {
  struct Case {
    const char* mode;
    int exitCode;
    int marker;
    const char* reason;  // start of the reason
    const char* report;  // in the engine's report, or empty
  } cases[] = {
      {"fatal", 1, 1, "Analysis could not be completed", ""},
      {"failure", 2, 1, "Analysis could not be completed", "\"abc\" is not a number"},
      {"nomarker", 0, -1, "The engine ended without leaving its run marker", ""},
      {"crash", -1, 1, "The engine crashed", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_TRUE(runToEnd(c.mode));
    const RunOutcome& o = run.outcome();
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.exitCode, c.exitCode);
    EXPECT_EQ(o.marker, c.marker);
    EXPECT_TRUE(o.reason.startsWith(QString::fromLatin1(c.reason))) << o.reason.toStdString();
    EXPECT_EQ(o.logFile, names.log);
    if (*c.report) {
      EXPECT_TRUE(o.engineReport.join(QLatin1Char('\n')).contains(QString::fromLatin1(c.report)));
    }
    expectNoRunFilesLeft();
  }
}

TEST_F(RunControllerTest, CancelEndsTheEngine) {
  qputenv("FAKE_ENGINE_MODE", "slow");
  ASSERT_TRUE(run.start(names));
  QEventLoop loop;
  QObject::connect(&run, &RunController::finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(500, &run, &RunController::cancel);
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(run.state(), RunController::State::Finished);
  EXPECT_FALSE(run.outcome().completed);
  EXPECT_EQ(run.outcome().reason, QStringLiteral("The run was cancelled"));
  expectNoRunFilesLeft();
}

TEST_F(RunControllerTest, RunsThatCannotStartLeaveNoConvertedFiles) {
  struct Case {
    const char* what;
    std::function<void(RunNames&, RunController&)> spoil;
    const char* reason;
  } cases[] = {
      {"missing workbook", [](RunNames& n, RunController&) { n.eone = n.dir + QStringLiteral("/gone.xlsx"); },
       "The E1 (EONE) workbook"},
      {"missing engine",
       [](RunNames&, RunController& r) { r.setEngineProgram(QStringLiteral("/nonexistent/mondrake")); },
       "The engine program /nonexistent/mondrake was not found"},
      {"blank log name", [](RunNames& n, RunController&) { n.log = QStringLiteral("  "); }, "No log file"},
      {"missing directory", [](RunNames& n, RunController&) { n.dir += QStringLiteral("/none"); },
       "The working directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunNames spoilt = names;
    run.setEngineProgram(QStringLiteral(FAKE_ENGINE));
    c.spoil(spoilt, run);
    QSignalSpy finished(&run, &RunController::finished);
    EXPECT_FALSE(run.start(spoilt));
    EXPECT_TRUE(run.outcome().reason.startsWith(QString::fromLatin1(c.reason)))
        << run.outcome().reason.toStdString();
    EXPECT_EQ(run.state(), RunController::State::Ready);
    EXPECT_EQ(finished.count(), 0);
    expectNoRunFilesLeft();
  }
}

}  // namespace
}  // namespace veltrasom
