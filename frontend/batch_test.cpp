#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "frontend/run_names.h"
#include "frontend/test_support.h"

namespace veltrasom {
namespace {

struct BatchRun {
  int exitCode = -1;
  QString out, err;
};

// Runs the program as a user would, on a machine without a display.
BatchRun runVeltrasom(const QStringList& args, const QString& cwd,
                      const QMap<QString, QString>& extraEnv = {}) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(v));
  for (auto it = extraEnv.cbegin(); it != extraEnv.cend(); ++it) env.insert(it.key(), it.value());
  p.setProcessEnvironment(env);
  p.setWorkingDirectory(cwd);
  p.start(QStringLiteral(VELTRASOM_BINARY), args);
  BatchRun r;
  if (!p.waitForFinished(120000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  r.err = QString::fromLocal8Bit(p.readAllStandardError());
  return r;
}

class BatchTest : public ::testing::Test {
 protected:
  QTemporaryDir tmp;
  QString file(const QString& name) const { return QDir(tmp.path()).filePath(name); }

  // The five inputs as .csv (no spreadsheet program needed) and names
  // given as options relative to the current directory.
  QStringList options() {
    const char* opts[] = {"--metspec", "--obs", "--ezero", "--eone", "--corr"};
    QStringList args{QStringLiteral("--batch"), QStringLiteral("--engine"), QStringLiteral(FAKE_ENGINE),
                     QStringLiteral("--dir"), QStringLiteral("work")};
    QDir(tmp.path()).mkpath(QStringLiteral("work"));
    QDir(tmp.path()).mkpath(QStringLiteral("data"));
    for (const char* o : opts) {
      const QString name = QStringLiteral("data/") + QString::fromLatin1(o + 2) + QStringLiteral(".csv");
      test::writeFile(file(name), "x,1\n");
      args << QString::fromLatin1(o) << name;
    }
    args << QStringLiteral("--out") << QStringLiteral("data/results.xlsx");
    return args;
  }
};

TEST_F(BatchTest, SuccessWritesTheWorkbookAndSaysWhere) {
  const QString results = file(QStringLiteral("engine_out.csv"));
  test::writeFile(results, test::engineResults(3, 2));
  const BatchRun r = runVeltrasom(options(), tmp.path(), {{QStringLiteral("FAKE_ENGINE_RESULTS"), results}});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << r.out.toStdString();
  const QString workbook = file(QStringLiteral("data/results.xlsx"));
  const QString log = file(QStringLiteral("work/VELTRASOM.LOG"));
  EXPECT_TRUE(r.out.contains(QStringLiteral("Results workbook: ") + workbook)) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral("Log file: ") + log)) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral(" Sample    2 : Site 2"))) << r.out.toStdString();
  EXPECT_EQ(test::readXlsx(workbook).cells.value(QStringLiteral("A12")).value, QStringLiteral("Site 1"));

  // The control file remembers the run with full names; a second run with
  // no name options takes them from it.
  RunNames saved;
  ASSERT_TRUE(readControlFile(file(QStringLiteral("work/VELTRASOM.INP")), &saved));
  EXPECT_EQ(saved.dir, file(QStringLiteral("work")));
  EXPECT_EQ(saved.obs, file(QStringLiteral("data/obs.csv")));
  EXPECT_EQ(saved.log, log);
  QFile::remove(workbook);
  const BatchRun again = runVeltrasom({QStringLiteral("--batch"), QStringLiteral("--engine"),
                                       QStringLiteral(FAKE_ENGINE)},
                                      file(QStringLiteral("work")));
  ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
  EXPECT_TRUE(QFile::exists(workbook));
}

TEST_F(BatchTest, FailuresGiveNonZeroExitTheLogAndTheReason) {
  struct Case {
    const char* mode;
    const char* expected;  // in the error output
  } cases[] = {
      {"fatal", "No metric selected for Uncertainty assessment"},
      {"failure", "\"abc\" is not a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const BatchRun r = runVeltrasom(options(), tmp.path(), {{QStringLiteral("FAKE_ENGINE_MODE"), QString::fromLatin1(c.mode)}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Log file: ") + file(QStringLiteral("work/VELTRASOM.LOG"))))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.expected))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("data/results.xlsx"))));
  }
}

TEST_F(BatchTest, AMissingWorkbookIsNamed) {
  QStringList args = options();
  args << QStringLiteral("--corr") << QStringLiteral("data/nothing.xlsx");
  const BatchRun r = runVeltrasom(args, tmp.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains(file(QStringLiteral("data/nothing.xlsx")))) << r.err.toStdString();
  EXPECT_FALSE(QFile::exists(file(QStringLiteral("work/VELTRASOM.INP"))));
}

TEST_F(BatchTest, CommandLine) {
  const BatchRun help = runVeltrasom({QStringLiteral("--help")}, tmp.path());
  EXPECT_EQ(help.exitCode, 0);
  for (const char* o : {"--batch", "--dir", "--metspec", "--obs", "--ezero", "--eone", "--corr", "--out", "--log"})
    EXPECT_TRUE(help.out.contains(QString::fromLatin1(o))) << o;
  EXPECT_EQ(runVeltrasom({QStringLiteral("--batch"), QStringLiteral("--bogus")}, tmp.path()).exitCode, 2);
  EXPECT_EQ(runVeltrasom({}, tmp.path()).exitCode, 2);
}

}  // namespace
}  // namespace veltrasom

namespace veltrasom {
namespace {

// The engine itself on the example that must stop.
TEST_F(BatchTest, BadInputExampleFailsWithTheLogAndTheReason) {
  const QDir example(QStringLiteral(MONDRAKE_SOURCE_DIR "/examples/bad-input"));
  ASSERT_TRUE(example.exists(QStringLiteral("VELTRASOM_OBS.csv")));
  QDir(tmp.path()).mkpath(QStringLiteral("work"));
  QStringList args{QStringLiteral("--batch"), QStringLiteral("--dir"), file(QStringLiteral("work"))};
  const std::pair<const char*, Input> inputs[] = {{"--metspec", Input::Metspec}, {"--obs", Input::Obs},
                                                  {"--ezero", Input::EZero}, {"--eone", Input::EOne},
                                                  {"--corr", Input::Corr}};
  for (const auto& [option, in] : inputs)
    args << QString::fromLatin1(option) << example.filePath(QString::fromLatin1(convertedName(in)));
  args << QStringLiteral("--out") << file(QStringLiteral("work/results.xlsx"));

  const BatchRun r = runVeltrasom(args, tmp.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains(QStringLiteral("Log file: ") + file(QStringLiteral("work/VELTRASOM.LOG"))))
      << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("Some of the Selected Metric names are not in the")))
      << r.err.toStdString();
  EXPECT_FALSE(QFile::exists(file(QStringLiteral("work/results.xlsx"))));
  // The run's files are cleaned up; the example itself is untouched.
  EXPECT_EQ(QDir(file(QStringLiteral("work"))).entryList(QDir::Files, QDir::Name),
            (QStringList{QStringLiteral("VELTRASOM.INP"), QStringLiteral("VELTRASOM.LOG"),
                         QStringLiteral("VELTRASOM_OUT.csv")}));
}

}  // namespace
}  // namespace veltrasom
