#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QXmlStreamReader>
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


// A worksheet of an .xlsx workbook as stored, blank cells and styles
// included, with the fill colour and number format of every style.
struct StoredCell {
  bool number = false;
  bool blank = true;  // no value
  QString value;
  int style = 0;
};
struct StoredSheet {
  QMap<QString, StoredCell> cells;
  QByteArray xml;
};
struct Styles {
  QStringList fillOf;    // per style: "FF0070C0", or empty without a fill
  QStringList formatOf;  // per style: the number format code, or empty
};

QStringList sharedStrings(const QString& workbook) {
  QStringList shared;
  QXmlStreamReader xml(test::zipMember(workbook, QStringLiteral("xl/sharedStrings.xml")));
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("t")) shared << xml.readElementText();
  }
  return shared;
}

StoredSheet readStoredSheet(const QString& workbook, int number) {
  const QStringList shared = sharedStrings(workbook);
  StoredSheet sheet;
  sheet.xml = test::zipMember(workbook, QStringLiteral("xl/worksheets/sheet%1.xml").arg(number));
  QXmlStreamReader xml(sheet.xml);
  QString ref, type;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("c")) {
      ref = xml.attributes().value(QLatin1String("r")).toString();
      type = xml.attributes().value(QLatin1String("t")).toString();
      sheet.cells[ref].style = xml.attributes().value(QLatin1String("s")).toInt();
    } else if (xml.name() == QLatin1String("v")) {
      StoredCell& cell = sheet.cells[ref];
      const QString v = xml.readElementText();
      cell.blank = false;
      cell.number = type.isEmpty() || type == QLatin1String("n");
      cell.value = type == QLatin1String("s") ? shared.value(v.toInt()) : v;
    }
  }
  return sheet;
}

Styles readStyles(const QString& workbook) {
  QXmlStreamReader xml(test::zipMember(workbook, QStringLiteral("xl/styles.xml")));
  QMap<int, QString> formats;
  QStringList fills;
  Styles styles;
  QString section;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    const auto a = xml.attributes();
    if (xml.name() == QLatin1String("fills") || xml.name() == QLatin1String("cellXfs") ||
        xml.name() == QLatin1String("cellStyleXfs"))
      section = xml.name().toString();
    if (xml.name() == QLatin1String("numFmt"))
      formats[a.value(QLatin1String("numFmtId")).toInt()] = a.value(QLatin1String("formatCode")).toString();
    if (section == QLatin1String("fills") && xml.name() == QLatin1String("fill")) fills << QString();
    if (section == QLatin1String("fills") && xml.name() == QLatin1String("fgColor"))
      fills.last() = a.value(QLatin1String("rgb")).toString();
    if (section == QLatin1String("cellXfs") && xml.name() == QLatin1String("xf")) {
      styles.fillOf << fills.value(a.value(QLatin1String("fillId")).toInt());
      styles.formatOf << formats.value(a.value(QLatin1String("numFmtId")).toInt());
    }
  }
  return styles;
}

QString cellRef(int row, int column) {  // both from 0
  QString ref;
  for (int n = column + 1; n > 0; n = (n - 1) / 26) ref.prepend(QLatin1Char(static_cast<char>('A' + (n - 1) % 26)));
  return ref + QString::number(row + 1);
}

const char kHigh[] = "FF0070C0", kGood[] = "FF00B050", kModerate[] = "FFFFFF00", kPoor[] = "FFFFA500",
           kBad[] = "FFFF0000", kNoClass[] = "FFBFBFBF", kMissing[] = "FFE7E6E6";

const QString kExample =
    QStringLiteral(MONDRAKE_SOURCE_DIR "/engine/run/testdata/example/expected/VELTRASOM_OUT.csv");

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


TEST_F(ResultsXlsx, StatusColoursMissingValuesFormatsAndFrozenHeadings) {
  // Samples 1 ... 7 are good, mod, poor, bad, good*, none*, high.
  test::writeFile(path("VELTRASOM_OUT.csv"), test::engineResults(7, 1));
  ASSERT_TRUE(writeResultsWorkbook(path("VELTRASOM_OUT.csv"), path("out.xlsx"), Office{}).ok());
  const StoredSheet sheet = readStoredSheet(path("out.xlsx"), 1);
  const Styles styles = readStyles(path("out.xlsx"));
  struct Expect {
    const char* ref;
    const char* value;  // "" for an empty cell
    const char* fill;   // "" for none
    const char* format;
  } expected[] = {
      {"B12", "good", kGood, ""},       {"B13", "mod", kModerate, ""}, {"B14", "poor", kPoor, ""},
      {"B15", "bad", kBad, ""},         {"B16", "good*", kGood, ""},   {"B17", "none*", kNoClass, ""},
      {"B18", "high", kHigh, ""},       {"P12", "mod", kModerate, ""},
      {"C12", "0", "", "0.0"},          {"D12", "100", "", "0.0"},     {"Q12", "12.5", "", "0.0"},
      {"I12", "0.5", "", "0.000"},      {"K12", "12.25", "", "0.000"},
      // -9 is no value: an empty grey cell, nothing a sum could add.
      {"J12", "", kMissing, ""},        {"R12", "", kMissing, ""},
      // Headings and the file names keep their plain look.
      {"B11", "Status", "", ""},        {"A1", "Metric Specification file :", "", ""},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.ref);
    ASSERT_TRUE(sheet.cells.contains(QString::fromLatin1(e.ref)));
    const StoredCell& c = sheet.cells[QString::fromLatin1(e.ref)];
    EXPECT_EQ(c.blank, *e.value == 0);
    if (!c.blank) {
      EXPECT_EQ(c.number, c.value.front().isDigit());
      EXPECT_EQ(c.value, QString::fromLatin1(e.value));
    }
    EXPECT_EQ(styles.fillOf.value(c.style), QString::fromLatin1(e.fill));
    EXPECT_EQ(styles.formatOf.value(c.style), QString::fromLatin1(e.format));
  }
  // The three heading rows above the samples and the identifiers stay in view.
  EXPECT_TRUE(sheet.xml.contains(R"(<pane xSplit="1" ySplit="11" topLeftCell="B12")")) << sheet.xml.left(800).toStdString();
}

// The summary of the example run, read back from the workbook, against the
// figures of its results file.
TEST_F(ResultsXlsx, SummaryOfTheExampleRunAgreesWithItsResults) {
  ASSERT_TRUE(writeResultsWorkbook(kExample, path("out.xlsx"), Office{}).ok());
  const QByteArray book = test::zipMember(path("out.xlsx"), QStringLiteral("xl/workbook.xml"));
  const qsizetype results = book.indexOf(R"(name="Results")"), summary = book.indexOf(R"(name="Summary")"),
                  chart = book.indexOf(R"(name="Chart")");
  EXPECT_TRUE(results > 0 && results < summary && summary < chart) << book.toStdString();
  const StoredSheet sheet = readStoredSheet(path("out.xlsx"), 2);
  const Styles styles = readStyles(path("out.xlsx"));
  auto cell = [&](const char* ref) { return sheet.cells.value(QString::fromLatin1(ref)); };

  // Worked by hand from the results file.  Blocks: overall B-F,
  // Composition Q-U, ASPT V-Z; row 3 is the first sample.
  struct Expect {
    const char* sample;  // in column A
    const char* observedRef;
    const char* observed;
    const char* observedFill;
    const char* mostProbable;
    const char* mostProbableFill;
    double goodOrBetter, moderateOrWorse, risk;
  } expected[] = {
      {"A3 Tarrow Headwaters", "B3", "high", kHigh, "high", kHigh, 99.9, 0.1, 14.6},
      {"A3 Tarrow Headwaters", "Q3", "high", kHigh, "high", kHigh, 100.0, 0.0, 5.1},
      {"A3 Tarrow Headwaters", "V3", "high", kHigh, "high", kHigh, 100.0, 0.0, 0.9},
      {"A13 Aldwater Town", "B13", "poor*", kPoor, "poor", kPoor, 0.0, 99.9, 9.9},
      {"A13 Aldwater Town", "Q13", "mod*", kModerate, "moderate", kModerate, 25.5, 74.5, 28.6},
      {"A13 Aldwater Town", "V13", "poor", kPoor, "poor", kPoor, 0.0, 100.0, 4.5},
      {"A20 Marl Brook Outfall", "B20", "bad", kBad, "bad", kBad, 0.0, 100.0, 12.3},
      {"A20 Marl Brook Outfall", "Q20", "poor", kPoor, "poor", kPoor, 0.1, 99.9, 37.2},
      // 97.1 + 3.0 in the results: held at 100.
      {"A22 Fennick Upper", "V22", "high", kHigh, "high", kHigh, 100.0, 0.0, 2.9},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.observedRef);
    const QString sample = QString::fromLatin1(e.sample);
    EXPECT_EQ(cell(sample.section(QLatin1Char(' '), 0, 0).toLatin1()).value, sample.section(QLatin1Char(' '), 1));
    const QString ref = QString::fromLatin1(e.observedRef);
    const int row = ref.mid(1).toInt() - 1;
    const int column = ref.front().unicode() - 'A';
    const StoredCell observed = sheet.cells.value(cellRef(row, column));
    const StoredCell probable = sheet.cells.value(cellRef(row, column + 1));
    EXPECT_EQ(observed.value, QString::fromLatin1(e.observed));
    EXPECT_EQ(styles.fillOf.value(observed.style), QString::fromLatin1(e.observedFill));
    EXPECT_EQ(probable.value, QString::fromLatin1(e.mostProbable));
    EXPECT_EQ(styles.fillOf.value(probable.style), QString::fromLatin1(e.mostProbableFill));
    const double figures[] = {e.goodOrBetter, e.moderateOrWorse, e.risk};
    for (int k = 0; k < 3; ++k) {
      const StoredCell c = sheet.cells.value(cellRef(row, column + 2 + k));
      EXPECT_TRUE(c.number);
      EXPECT_DOUBLE_EQ(c.value.toDouble(), figures[k]) << k;
      EXPECT_EQ(styles.formatOf.value(c.style), QStringLiteral("0.0"));
    }
  }

  // Every sample and level: the figures follow from the results' cells.
  ResultsTable table;
  ASSERT_TRUE(readResultsTable(kExample, &table, nullptr));
  const QStringList names{QStringLiteral("high"), QStringLiteral("good"), QStringLiteral("moderate"),
                          QStringLiteral("poor"), QStringLiteral("bad")};
  const QList<Cell>& headings = table[10];
  int blocks = 0, missing = 0;
  for (int c = 0; c < headings.size(); ++c) {
    if (headings[c].text != QLatin1String("Status")) continue;
    const int first = 1 + 5 * blocks++;
    EXPECT_FALSE(sheet.cells.value(cellRef(0, first)).value.isEmpty()) << c;  // the level's name
    for (int s = 0; s < 24; ++s) {
      const QList<Cell>& row = table[11 + s];
      SCOPED_TRACE(cellRef(2 + s, first).toStdString());
      double p[5];
      int best = 0;
      for (int k = 0; k < 5; ++k) {
        p[k] = row[c + 1 + k].number;
        if (p[k] > p[best]) best = k;
      }
      int observed = -1;
      for (int k = 0; k < 5; ++k)
        if (row[c].text.startsWith(names[k].left(3))) observed = k;
      EXPECT_EQ(sheet.cells.value(cellRef(2 + s, first)).value, row[c].text);
      if (p[0] == -9) {  // not calculated: nothing to summarise
        EXPECT_EQ(row[c].text, QStringLiteral("none*"));
        for (int k = 1; k <= 4; ++k) EXPECT_TRUE(sheet.cells.value(cellRef(2 + s, first + k)).blank);
        ++missing;
        continue;
      }
      EXPECT_EQ(sheet.cells.value(cellRef(2 + s, first + 1)).value, names[best]);
      EXPECT_NEAR(sheet.cells.value(cellRef(2 + s, first + 2)).value.toDouble(), std::min(100.0, p[0] + p[1]), 1e-9);
      EXPECT_NEAR(sheet.cells.value(cellRef(2 + s, first + 3)).value.toDouble(),
                  std::min(100.0, p[2] + p[3] + p[4]), 1e-9);
      ASSERT_GE(observed, 0);
      EXPECT_NEAR(sheet.cells.value(cellRef(2 + s, first + 4)).value.toDouble(), 100.0 - p[observed], 1e-9);
    }
  }
  EXPECT_EQ(blocks, 21);
  EXPECT_GT(missing, 0);  // the example has levels that were not calculated
  // Notes under the table say what the columns mean.
  EXPECT_EQ(cell("A28").value, QStringLiteral("Notes"));
  EXPECT_TRUE(cell("A34").value.startsWith(QStringLiteral("Risk of misclassification %: 100 - "))) << cell("A34").value.toStdString();
}

// A level without a class ("none*") still has its most probable class, but
// no risk of misclassification: an empty grey cell.
TEST_F(ResultsXlsx, SummaryWithoutAnObservedClassHasNoRisk) {
  test::writeFile(path("VELTRASOM_OUT.csv"), test::engineResults(6, 1));  // sample 6 is none*, good 100 %
  ASSERT_TRUE(writeResultsWorkbook(path("VELTRASOM_OUT.csv"), path("out.xlsx"), Office{}).ok());
  const StoredSheet sheet = readStoredSheet(path("out.xlsx"), 2);
  const Styles styles = readStyles(path("out.xlsx"));
  auto cell = [&](const char* ref) { return sheet.cells.value(QString::fromLatin1(ref)); };
  EXPECT_EQ(cell("A8").value, QStringLiteral("Site 6"));
  EXPECT_EQ(cell("B8").value, QStringLiteral("none*"));
  EXPECT_EQ(styles.fillOf.value(cell("B8").style), QString::fromLatin1(kNoClass));
  EXPECT_EQ(cell("C8").value, QStringLiteral("good"));
  EXPECT_EQ(cell("D8").value, QStringLiteral("100"));
  EXPECT_TRUE(cell("F8").blank);
  EXPECT_EQ(styles.fillOf.value(cell("F8").style), QString::fromLatin1(kMissing));
  EXPECT_EQ(cell("F7").value, QStringLiteral("0"));  // good*, all in good
}

// One chart of at most 50 bars for up to 50 samples, then charts of even
// size, together covering every sample once, in the results' order.
TEST_F(ResultsXlsx, ChartsOfOverallClassPercentages) {
  struct Case {
    int samples, charts;
  } cases[] = {{1, 1}, {50, 1}, {51, 2}, {120, 3}, {300, 6}};
  const QRegularExpression range(QStringLiteral("<c:f>Results!\\$([A-Z]+)\\$(\\d+):\\$([A-Z]+)\\$(\\d+)</c:f>"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.samples);
    QTemporaryDir dir;
    const QString csv = QDir(dir.path()).filePath(QStringLiteral("VELTRASOM_OUT.csv"));
    const QString xlsx = QDir(dir.path()).filePath(QStringLiteral("out.xlsx"));
    test::writeFile(csv, test::engineResults(c.samples, 1));
    ASSERT_TRUE(writeResultsWorkbook(csv, xlsx, Office{}).ok());
    int nextRow = 12;  // the first sample
    for (int n = 1; n <= c.charts + 1; ++n) {
      const QByteArray chart = test::zipMember(xlsx, QStringLiteral("xl/charts/chart%1.xml").arg(n));
      if (n > c.charts) {
        EXPECT_TRUE(chart.isEmpty()) << n;
        break;
      }
      ASSERT_FALSE(chart.isEmpty()) << n;
      EXPECT_TRUE(chart.contains(R"(<c:barDir val="bar"/>)"));
      EXPECT_TRUE(chart.contains(R"(<c:grouping val="percentStacked"/>)"));
      EXPECT_TRUE(chart.contains(R"(<c:orientation val="maxMin"/>)"));  // first sample on top
      // Categories then values for each of the five series: the sample
      // names, then the overall %high ... %bad.
      QStringList columns;
      int first = 0, last = 0;
      for (auto it = range.globalMatch(QString::fromUtf8(chart)); it.hasNext();) {
        const auto m = it.next();
        columns << m.captured(1);
        EXPECT_EQ(m.captured(1), m.captured(3));
        first = m.captured(2).toInt();
        last = m.captured(4).toInt();
        EXPECT_EQ(first, nextRow);
      }
      EXPECT_EQ(columns.join(QLatin1Char(' ')), QStringLiteral("A C A D A E A F A G"));
      EXPECT_LE(last - first + 1, 50);
      EXPECT_GE(last - first + 1, c.samples / c.charts);
      nextRow = last + 1;
      qsizetype at = 0;
      for (const char* colour : {"0070C0", "00B050", "FFFF00", "FFA500", "FF0000"}) {
        at = chart.indexOf(QByteArray(R"(<a:srgbClr val=")") + colour, at);
        EXPECT_GE(at, 0) << colour;  // in the order high ... bad
      }
    }
    EXPECT_EQ(nextRow, 12 + c.samples);
  }
}

}  // namespace
}  // namespace veltrasom
