#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <clocale>

#include "frontend/results_table.h"
#include "frontend/workbook_conversion.h"
#include "frontend/test_support.h"

namespace veltrasom {
namespace {

TEST(SplitCsvLine, FieldsAndQuotes) {
  struct Case {
    QString line;
    QStringList fields;
  } cases[] = {
      {QStringLiteral("a,b,c"), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
      {QStringLiteral(""), {QString()}},
      {QStringLiteral("a,"), {QStringLiteral("a"), QString()}},
      {QStringLiteral(",,"), {QString(), QString(), QString()}},
      {QStringLiteral("\"Site, upper\",good "), {QStringLiteral("Site, upper"), QStringLiteral("good ")}},
      {QStringLiteral("\"say \"\"hi\"\"\",x"), {QStringLiteral("say \"hi\""), QStringLiteral("x")}},
      // A quote that is never closed is text, not the rest of the line.
      {QStringLiteral("\"cut name,good ,  0.5"),
       {QStringLiteral("\"cut name"), QStringLiteral("good "), QStringLiteral("  0.5")}},
      {QStringLiteral("  0.500,  -9.000,"), {QStringLiteral("  0.500"), QStringLiteral("  -9.000"), QString()}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitCsvLine(c.line), c.fields) << c.line.toStdString();
}

TEST(Cell, NumbersLabelsAndBlanks) {
  using K = Cell::Kind;
  struct Case {
    const char* field;
    K kind;
    double number;
    const char* text;
  } cases[] = {
      {"   0.500", K::Number, 0.5, ""},
      {"  -9.000", K::Number, -9, ""},
      {" 100.0", K::Number, 100, ""},
      {"1e-3", K::Number, 0.001, ""},
      {"-.25", K::Number, -0.25, ""},
      {"good*", K::Text, 0, "good*"},
      {"none*", K::Text, 0, "none*"},
      {"good ", K::Text, 0, "good"},
      {"mod  ", K::Text, 0, "mod"},
      {"********", K::Text, 0, "********"},
      {"  Site 1   ", K::Text, 0, "  Site 1"},
      {"nan", K::Text, 0, "nan"},
      {"inf", K::Text, 0, "inf"},
      {"0,5", K::Text, 0, "0,5"},
      {"1.2.3", K::Text, 0, "1.2.3"},
      {"  ", K::Empty, 0, ""},
      {"", K::Empty, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    const Cell cell = Cell::fromField(QString::fromLatin1(c.field));
    EXPECT_EQ(cell.kind, c.kind);
    if (c.kind == K::Number) {
      EXPECT_DOUBLE_EQ(cell.number, c.number);
    }
    if (c.kind == K::Text) {
      EXPECT_EQ(cell.text, QString::fromLatin1(c.text));
    }
  }
}

class ResultsXlsx : public ::testing::Test {
 protected:
  QTemporaryDir tmp;
  QString path(const char* name) const { return QDir(tmp.path()).filePath(QString::fromLatin1(name)); }
};

TEST_F(ResultsXlsx, EveryFieldInItsCellNumbersAsNumbers) {
  test::writeFile(path("VELTRASOM_OUT.csv"), test::engineResults(3, 2));
  ASSERT_TRUE(writeResultsWorkbook(path("VELTRASOM_OUT.csv"), path("out.xlsx"), Office{}).ok());
  const test::Sheet sheet = test::readXlsx(path("out.xlsx"));

  struct Expect {
    const char* ref;
    bool number;
    const char* value;
  } expected[] = {
      {"A1", false, "Metric Specification file :"},
      {"B1", false, "/data/run"},  // the name holds a comma: two fields
      {"C1", false, " one/workbook0.xlsx"},
      {"A9", false, "Site/Waterbody Identifier"},
      {"B10", false, "Overall"},
      {"I10", false, "Metric 1"},
      {"W10", false, "Metric 2"},
      {"I11", false, "Observed"},
      {"A12", false, "Site 1"},
      {"B12", false, "good"},
      {"C12", true, "0"},
      {"D12", true, "100"},
      {"I12", true, "0.5"},
      {"J12 (-9: empty)", false, ""},
      {"K12", true, "12.25"},
      {"L12", true, "0.5"},
      {"O12", true, "2"},
      {"P12", false, "mod"},
      {"Q12", true, "12.5"},
      {"R12 (-9: empty)", false, ""},
      {"V12 (two blanks)", false, ""},
      {"H12 (empty)", false, ""},
      {"A15 (no fourth sample)", false, ""},
      {"B13", false, "mod"},
      {"B14", false, "poor"},
      {"L14", true, "1.5"},
      {"AC14", true, "3"},
      {"AD14", false, "good*"},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.ref);
    const QString ref = QString::fromLatin1(e.ref);
    if (ref.contains(QLatin1Char(' '))) {
      EXPECT_FALSE(sheet.cells.contains(ref.section(QLatin1Char(' '), 0, 0)));
      continue;
    }
    ASSERT_TRUE(sheet.cells.contains(ref));
    EXPECT_EQ(sheet.cells[ref].number, e.number);
    if (e.number) {
      EXPECT_DOUBLE_EQ(sheet.cells[ref].value.toDouble(), QString::fromLatin1(e.value).toDouble());
    } else {
      EXPECT_EQ(sheet.cells[ref].value, QString::fromLatin1(e.value));
    }
  }
  // Column 1 shows its longest entry, "Metric sampling Correlations file : ".
  EXPECT_GE(sheet.firstColumnWidth, 36.0);
  EXPECT_LE(sheet.firstColumnWidth, 40.0);
}

TEST_F(ResultsXlsx, NumbersKeepTheirPointInADecimalCommaLocale) {
  const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"};
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  bool found = false;
  for (const char* l : commaLocales) found = found || std::setlocale(LC_NUMERIC, l);
  if (!found) GTEST_SKIP() << "no decimal-comma locale is installed";
  test::writeFile(path("VELTRASOM_OUT.csv"), "Site 1,   0.500,  -9.000\n");
  const bool ok = writeResultsWorkbook(path("VELTRASOM_OUT.csv"), path("out.xlsx"), Office{}).ok();
  std::setlocale(LC_NUMERIC, saved.c_str());
  ASSERT_TRUE(ok);
  const QByteArray xml = test::zipMember(path("out.xlsx"), QStringLiteral("xl/worksheets/sheet1.xml"));
  EXPECT_TRUE(xml.contains("<v>0.5</v>")) << xml.toStdString();
  EXPECT_FALSE(xml.contains("0,5"));
}

TEST_F(ResultsXlsx, ReplacesAnEarlierWorkbookAndKeepsTheResultsFile) {
  const QByteArray results = test::engineResults(1, 1);
  test::writeFile(path("VELTRASOM_OUT.csv"), results);
  test::writeFile(path("out.xlsx"), "an earlier workbook");
  ASSERT_TRUE(writeResultsWorkbook(path("VELTRASOM_OUT.csv"), path("out.xlsx"), Office{}).ok());
  EXPECT_TRUE(test::readXlsx(path("out.xlsx")).cells.contains(QStringLiteral("A12")));
  EXPECT_EQ(test::readFile(path("VELTRASOM_OUT.csv")), results);
}

TEST_F(ResultsXlsx, RefusalsLeaveTheResultsFileAndAnyEarlierWorkbook) {
  using F = ConversionResult::Failure;
  const QByteArray results = test::engineResults(2, 21);  // 8 + 21 * 14 = 302 columns
  test::writeFile(path("VELTRASOM_OUT.csv"), results);
  const QString csv = path("VELTRASOM_OUT.csv");

  // More columns than an .xls holds: refused before the spreadsheet
  // program is asked.
  Office none;
  none.program = QStringLiteral("/nonexistent/soffice");
  ConversionResult r = writeResultsWorkbook(csv, path("out.xls"), none);
  EXPECT_EQ(r.failure, F::TooManyColumns);
  EXPECT_TRUE(resultsFailureText(r).contains(QStringLiteral(".xlsx"))) << r.message.toStdString();
  EXPECT_FALSE(QFile::exists(path("out.xls")));

  // Open in the spreadsheet program (its lock file beside it).
  test::writeFile(path("held.xlsx"), "earlier");
  test::writeFile(path(".~lock.held.xlsx#"), "user");
  r = writeResultsWorkbook(csv, path("held.xlsx"), none);
  EXPECT_EQ(r.failure, F::OutputHeld);
  EXPECT_EQ(resultsFailureText(r),
            QStringLiteral("Output File is already open in EXCEL.  Press OK.  Close the EXCEL file "
                           "and re-run VELTRASOM"));
  EXPECT_EQ(resultsFailureTitle(r), QStringLiteral("Problem with Output file"));
  EXPECT_EQ(test::readFile(path("held.xlsx")), "earlier");

  // No results file.
  r = writeResultsWorkbook(path("missing.csv"), path("new.xlsx"), none);
  EXPECT_EQ(r.failure, F::MissingInput);
  EXPECT_TRUE(resultsFailureText(r).startsWith(QStringLiteral("Untrapped Error: ")));
  EXPECT_EQ(resultsFailureTitle(r), QStringLiteral("Problem with the Output file"));

  // Write-protected.
  test::writeFile(path("locked.xlsx"), "earlier");
  QFile::setPermissions(path("locked.xlsx"), QFileDevice::ReadOwner);
  if (!QFileInfo(path("locked.xlsx")).isWritable()) {  // not so for the superuser
    r = writeResultsWorkbook(csv, path("locked.xlsx"), none);
    EXPECT_EQ(r.failure, F::OutputHeld);
    EXPECT_EQ(test::readFile(path("locked.xlsx")), "earlier");
  }

  EXPECT_EQ(test::readFile(csv), results);
}

}  // namespace
}  // namespace veltrasom
