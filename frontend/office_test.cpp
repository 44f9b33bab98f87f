// Conversions through LibreOffice: each call takes seconds, so the
// workbooks that the results conversion makes are the inputs of the input
// conversion.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <QDir>
#include <memory>
#include <QTemporaryDir>

#include <QProcess>

#include "frontend/results_table.h"
#include "frontend/workbook_conversion.h"
#include "frontend/test_support.h"

namespace veltrasom {
namespace {

const QByteArray kTable =
    "Metric,Site A,Site B\n"
    "\"Taxa, richness\",   0.500,12.25\n"
    "ASPT,  -9.000,1e-3\n";
const QByteArray kTableConverted =
    "Metric,Site A,Site B\n"
    "\"Taxa, richness\",0.5,12.25\n"
    "ASPT,-9,0.001\n";

// An .xlsx whose numbers are partly formula results, with a second sheet
// that is the active one.
void makeFormulaWorkbook(const QString& path) {
  lxw_workbook* wb = workbook_new(QFile::encodeName(path).constData());
  lxw_worksheet* first = workbook_add_worksheet(wb, "Data");
  lxw_worksheet* second = workbook_add_worksheet(wb, "Notes");
  worksheet_write_string(first, 0, 0, "Metric", nullptr);
  worksheet_write_string(first, 0, 1, "Site A", nullptr);
  worksheet_write_string(first, 0, 2, "Site B", nullptr);
  worksheet_write_string(first, 1, 0, "Taxa, richness", nullptr);
  worksheet_write_number(first, 1, 1, 0.25, nullptr);
  worksheet_write_formula_num(first, 1, 2, "=B2*2", nullptr, 0.5);
  worksheet_write_string(first, 2, 0, "ASPT", nullptr);
  worksheet_write_formula_num(first, 2, 1, "=SUM(B2,0.75)", nullptr, 1);
  worksheet_write_number(first, 2, 2, -9, nullptr);
  worksheet_write_string(second, 0, 0, "not the data", nullptr);
  worksheet_activate(second);
  ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

class OfficeTest : public ::testing::Test {
 protected:
  std::unique_ptr<QTemporaryDir> tmp = std::make_unique<QTemporaryDir>();
  QString file(const char* name) const { return QDir(tmp->path()).filePath(QString::fromLatin1(name)); }
  test::DecimalCommaLocale decimalComma;
};

TEST_F(OfficeTest, WorkbooksOfEveryFormatBothWays) {
  test::writeFile(file("VELTRASOM_OUT.csv"), kTable);
  for (const char* target : {"table.ods", "table.xls"}) {
    SCOPED_TRACE(target);
    test::writeFile(file(target), "an earlier workbook");
    const ConversionResult r = writeResultsWorkbook(file("VELTRASOM_OUT.csv"), file(target), Office{});
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
  }
  const QByteArray content = test::zipMember(file("table.ods"), QStringLiteral("content.xml"));
  EXPECT_TRUE(content.contains("office:value-type=\"float\" office:value=\"0.5\"")) << content.toStdString();
  EXPECT_TRUE(content.contains("office:value-type=\"float\" office:value=\"-9\""));
  EXPECT_TRUE(content.contains("<text:p>Taxa, richness</text:p>"));
  EXPECT_EQ(test::readFile(file("VELTRASOM_OUT.csv")), kTable);

  // The five inputs, converted by one call.
  QDir(tmp->path()).mkpath(QStringLiteral("work"));
  RunNames names = RunNames::defaults(file("work"));
  makeFormulaWorkbook(file("formulas.xlsx"));
  test::writeFile(file("table.csv"), "Metric,\"a,b\",  0.500\n");
  names.metspec = file("formulas.xlsx");
  names.obs = file("table.ods");
  names.ezero = file("table.xls");
  names.eone = file("table.csv");
  QFile::copy(file("table.ods"), file("work/table.ODS"));  // same base name, other letter case
  names.corr = file("work/table.ODS");
  test::writeFile(names.convertedFile(Input::Corr), "left by an earlier run");

  const ConversionResult r = convertInputWorkbooks(names, Office{});
  ASSERT_TRUE(r.ok()) << r.message.toStdString();
  auto converted = [&](Input in) {
    return test::readFile(names.convertedFile(in)).replace("\r\n", "\n");
  };
  EXPECT_EQ(converted(Input::Metspec),
            "Metric,Site A,Site B\n\"Taxa, richness\",0.25,0.5\nASPT,1,-9\n");
  EXPECT_EQ(converted(Input::Obs), kTableConverted);
  EXPECT_EQ(converted(Input::EZero), kTableConverted);
  EXPECT_EQ(test::readFile(names.convertedFile(Input::EOne)), test::readFile(file("table.csv")));
  EXPECT_EQ(converted(Input::Corr), kTableConverted);
  // The spreadsheet program left nothing in the user's folders.
  EXPECT_EQ(QDir(tmp->path()).entryList(QDir::Hidden | QDir::Files, QDir::Name).filter(QStringLiteral(".~lock")),
            QStringList());
}

TEST_F(OfficeTest, FailuresNameTheWorkbookAndLeaveNoConvertedFiles) {
  QDir(tmp->path()).mkpath(QStringLiteral("bad"));
  RunNames names = RunNames::defaults(file("bad"));
  test::writeFile(file("table.csv"), kTable);
  for (Input in : kInputs) names.input(in) = file("table.csv");
  names.eone = file("bad/broken.xlsx");
  test::writeFile(names.eone, "this is no workbook");
  test::writeFile(names.convertedFile(Input::Metspec), "left by an earlier run");

  Office none;
  none.program = QStringLiteral("/nonexistent/soffice");
  ConversionResult r = convertInputWorkbooks(names, none);
  EXPECT_EQ(r.failure, ConversionResult::Failure::Office);
  EXPECT_TRUE(r.message.contains(names.eone)) << r.message.toStdString();
  for (Input in : kInputs) EXPECT_FALSE(QFile::exists(names.convertedFile(in)));

  r = convertInputWorkbooks(names, Office{});
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.message.contains(names.eone)) << r.message.toStdString();
  for (Input in : kInputs) EXPECT_FALSE(QFile::exists(names.convertedFile(in)));
}

// The example assessment from workbooks of four formats, through the batch
// mode and the engine, gives the engine's own results on the example's
// comma-separated files.
TEST_F(OfficeTest, ExampleFromWorkbooksThroughTheEngine) {
  const QDir example(QStringLiteral(MONDRAKE_SOURCE_DIR "/examples/river-invertebrates"));
  const QString expected =
      QStringLiteral(MONDRAKE_SOURCE_DIR "/engine/run/testdata/example/expected/VELTRASOM_OUT.csv");
  ASSERT_TRUE(QFile::exists(expected));
  const QDir dir(tmp->path());
  dir.mkpath(QStringLiteral("example/work"));
  auto csv = [&](Input in) { return example.filePath(QString::fromLatin1(convertedName(in))); };
  auto asXlsx = [&](Input in, const char* name) {
    ResultsTable table;
    QString error;
    EXPECT_TRUE(readResultsTable(csv(in), &table, &error)) << error.toStdString();
    EXPECT_TRUE(writeXlsx(table, dir.filePath(QString::fromLatin1(name)), &error)) << error.toStdString();
    return dir.filePath(QString::fromLatin1(name));
  };
  const QString ods = dir.filePath(QStringLiteral("example/observed.ods"));
  ASSERT_TRUE(writeResultsWorkbook(csv(Input::Obs), ods, Office{}).ok());

  const QStringList args{
      QStringLiteral("--batch"), QStringLiteral("--dir"), dir.filePath(QStringLiteral("example/work")),
      QStringLiteral("--metspec"), asXlsx(Input::Metspec, "example/metspec.xlsx"),
      QStringLiteral("--obs"), ods,
      QStringLiteral("--ezero"), csv(Input::EZero),
      QStringLiteral("--eone"), asXlsx(Input::EOne, "example/e1.xlsx"),
      QStringLiteral("--corr"), asXlsx(Input::Corr, "example/corr.xlsx"),
      QStringLiteral("--out"), dir.filePath(QStringLiteral("example/results.xlsx")),
      QStringLiteral("--log"), dir.filePath(QStringLiteral("example/river.log"))};
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(VELTRASOM_BINARY), args);
  ASSERT_TRUE(p.waitForFinished(240000));
  const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
  ASSERT_EQ(p.exitCode(), 0) << out.toStdString() << p.readAllStandardError().toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral(" Sample   24 : Oakbourne Mill"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("Results workbook: ") + dir.filePath(QStringLiteral("example/results.xlsx"))));

  // Below the file names (which name this run's workbooks), every cell
  // holds what the engine writes for the example.
  ResultsTable want;
  ASSERT_TRUE(readResultsTable(expected, &want, nullptr));
  const test::Sheet got = test::readXlsx(dir.filePath(QStringLiteral("example/results.xlsx")));
  int compared = 0;
  for (qsizetype r = 8; r < want.size(); ++r) {
    for (qsizetype c = 0; c < want[r].size(); ++c) {
      const Cell& cell = want[r][c];
      QString ref;
      for (qsizetype n = c + 1; n > 0; n = (n - 1) / 26) ref.prepend(QLatin1Char(static_cast<char>('A' + (n - 1) % 26)));
      ref += QString::number(r + 1);
      SCOPED_TRACE(ref.toStdString());
      // A missing value (-9) in a data row is an empty grey cell.
      if (cell.kind == Cell::Kind::Empty ||
          (r >= 11 && cell.kind == Cell::Kind::Number && cell.number == -9)) {
        EXPECT_FALSE(got.cells.contains(ref));
        continue;
      }
      ASSERT_TRUE(got.cells.contains(ref));
      EXPECT_EQ(got.cells[ref].number, cell.kind == Cell::Kind::Number);
      if (cell.kind == Cell::Kind::Number) {
        EXPECT_DOUBLE_EQ(got.cells[ref].value.toDouble(), cell.number);
      } else {
        EXPECT_EQ(got.cells[ref].value, cell.text);
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, 24 * 20);
}

}  // namespace
}  // namespace veltrasom
