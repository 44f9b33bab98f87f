#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "frontend/run_names.h"
#include "frontend/test_support.h"

namespace veltrasom {
namespace {

using test::readFile;
using test::writeFile;

TEST(ControlFile, RoundTripKeepsEveryNameWhole) {
  QTemporaryDir tmp;
  struct Case {
    const char* what;
    QString name;
  } cases[] = {
      {"comma", QStringLiteral("/data/run, one/obs.xlsx")},
      {"blanks and quotes", QStringLiteral("  /data/\"my\" obs .xlsx  ")},
      {"over 200 characters", QStringLiteral("/data/") + QString(250, QLatin1Char('x'))},
      {"non-ASCII", QStringLiteral("/data/Flüsse/Ökologie.ods")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunNames names = RunNames::defaults(tmp.path());
    names.obs = c.name;
    names.log = c.name + QStringLiteral(".LOG");
    const QString path = names.controlFile();
    ASSERT_TRUE(writeControlFile(path, names));
    RunNames back;
    ASSERT_TRUE(readControlFile(path, &back));
    EXPECT_EQ(back, names);
  }
}

TEST(ControlFile, LayoutIsEightLinesInTheEngineOrder) {
  QTemporaryDir tmp;
  RunNames n{QStringLiteral("/w"), QStringLiteral("/w/m.xlsx"), QStringLiteral("/w/o.ods"),
             QStringLiteral("/w/e0.xls"), QStringLiteral("/w/e1.csv"), QStringLiteral("/w/c.xlsx"),
             QStringLiteral("/w/out.xlsx"), QStringLiteral("/w/run.LOG")};
  const QString path = QDir(tmp.path()).filePath(QStringLiteral("VELTRASOM.INP"));
  ASSERT_TRUE(writeControlFile(path, n));
  EXPECT_EQ(readFile(path),
            "/w\n/w/m.xlsx\n/w/o.ods\n/w/e0.xls\n/w/e1.csv\n/w/c.xlsx\n/w/out.xlsx\n/w/run.LOG\n");
}

TEST(ControlFile, ReadsWindowsLineEndsAndRejectsShortOrMissingFiles) {
  QTemporaryDir tmp;
  const QString path = QDir(tmp.path()).filePath(QStringLiteral("VELTRASOM.INP"));
  writeFile(path, "C:\\w\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n");
  RunNames n;
  ASSERT_TRUE(readControlFile(path, &n));
  EXPECT_EQ(n.dir, QStringLiteral("C:\\w"));
  EXPECT_EQ(n.log, QStringLiteral("g"));

  writeFile(path, "w\na\nb\nc\nd\ne\nf\n");  // seven lines
  QString error;
  EXPECT_FALSE(readControlFile(path, &n, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("7 lines"))) << error.toStdString();
  EXPECT_FALSE(readControlFile(QDir(tmp.path()).filePath(QStringLiteral("none")), &n));
}

TEST(ControlFile, RefusesANameWithALineEnd) {
  QTemporaryDir tmp;
  RunNames n = RunNames::defaults(tmp.path());
  n.corr = QStringLiteral("a\nb.xlsx");
  EXPECT_FALSE(writeControlFile(n.controlFile(), n));
  EXPECT_FALSE(QFile::exists(n.controlFile()));
}

TEST(RunNames, DefaultsAndRunFilesLieInTheWorkingDirectory) {
  const RunNames n = RunNames::defaults(QStringLiteral("/data/run/"));
  EXPECT_EQ(n.dir, QStringLiteral("/data/run"));
  EXPECT_EQ(n.metspec, QStringLiteral("/data/run/VELTRASOM_TestMetricsSpec11.xls"));
  EXPECT_EQ(n.out, QStringLiteral("/data/run/VELTRASOM_TestOut11.xls"));
  EXPECT_EQ(n.log, QStringLiteral("/data/run/VELTRASOM.LOG"));
  EXPECT_EQ(n.convertedFile(Input::EZero), QStringLiteral("/data/run/VELTRASOM_EZERO.csv"));
  EXPECT_EQ(n.convertedFile(Input::Corr), QStringLiteral("/data/run/VELTRASOM_CORR.csv"));
  EXPECT_EQ(n.resultsFile(), QStringLiteral("/data/run/VELTRASOM_OUT.csv"));
  EXPECT_EQ(n.markerFile(), QStringLiteral("/data/run/VELTRASOM.ERR"));
}

}  // namespace
}  // namespace veltrasom
