#include "engine/input/record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace mondrake {
namespace {

std::string commas(int n) { return std::string(static_cast<std::size_t>(n), ','); }

std::string padded(std::string_view s, std::size_t n) {
  std::string r(s.substr(0, std::min(s.size(), n)));
  r.resize(n, ' ');
  return r;
}

Name name_of(std::string_view s) {
  Name n;
  n.assign(s);
  return n;
}

// The report of the run-time failure that fn raises, or a marker text.
template <class F>
std::string failure_of(F fn) {
  try {
    fn();
  } catch (const RunFailure& f) {
    EXPECT_TRUE(f.at_read_position);
    return f.report;
  }
  return "<no failure>";
}

// ---- Positions and lengths ------------------------------------------------

TEST(RecordText, FirstPositionCountsFromOne) {
  struct Case { std::string_view text; char c; int pos; };
  const Case cases[] = {
      {"abc,d,e", ',', 4}, {",a", ',', 1}, {"abc", ',', 0},
      {"", ',', 0},        {"a\"b\"", '"', 2}, {"aAa", 'A', 2},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(first_pos(k.text, k.c), k.pos) << k.text;
  }
}

TEST(RecordText, TrimmedLengthIgnoresOnlyTrailingBlanks) {
  struct Case { std::string_view text; int len; };
  const Case cases[] = {
      {"", 0},     {"   ", 0},    {"ab", 2},       {"ab   ", 2},
      {" ab ", 3}, {"ab\t", 3},   {"ab\t  ", 3},   {"a b  ", 3},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(trimmed_length(k.text), k.len) << '[' << k.text << ']';
  }
}

// ---- Header names ---------------------------------------------------------

TEST(HeaderNames, ListEndsAtFirstEmptyOrLastField) {
  struct Case {
    std::string record;
    std::optional<std::vector<std::string>> names;  // nullopt: no comma
  };
  const std::string long_name(130, 'x');
  const Case cases[] = {
      {"Metric,S1,S2", {{"S1", "S2"}}},
      {"Metric,S1,S2,", {{"S1", "S2", ""}}},
      {"Metric,S1,,S3", {{"S1", ""}}},
      {"Metric,", {{""}}},
      {"Metric", std::nullopt},
      {"", std::nullopt},
      {",S1", {{"S1"}}},
      {"Metric,S1,S2   ", {{"S1", "S2"}}},
      {"Metric, S1 ,S2", {{" S1", "S2"}}},
      {"Metric,\"A,B\",C", {{"\"A", "B\"", "C"}}},
      {"Metric,S1,S2,,", {{"S1", "S2", ""}}},
      {"Metric,S1, ,S3", {{"S1", "", "S3"}}},  // a blank field is not empty
      {"Metric," + long_name + ",S2", {{long_name.substr(0, 100), "S2"}}},
  };
  for (const Case& k : cases) {
    std::vector<Name> names(3);  // any earlier content is replaced
    bool ok = HEADNAMES(k.record, names);
    ASSERT_EQ(ok, k.names.has_value()) << k.record;
    if (!ok) continue;
    ASSERT_EQ(names.size(), k.names->size()) << k.record;
    for (std::size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(names[i].view(), padded((*k.names)[i], kNameLength))
          << k.record << " name " << i + 1;
    }
  }
}

// ---- Not Calculated -------------------------------------------------------

TEST(NotCalculated, ReplacedUpToTheNextComma) {
  struct Case { std::string in, out; };
  const Case cases[] = {
      {"M1,Not Calculated,0.5", "M1,-9,0.5"},
      {"M1,0.5,Not Calculated", "M1,0.5,-9"},
      {"M1,not calculated", "M1,not calculated"},
      {"M1,NOT CALCULATED,1", "M1,NOT CALCULATED,1"},
      {"M1,Not  Calculated,1", "M1,Not  Calculated,1"},
      {"M1,x Not Calculated,1", "M1,x -9,1"},
      {"M1,Not Calculated yet,1", "M1,-9,1"},
      {"M1,Not Calculated,Not Calculated,3", "M1,-9,-9,3"},
      {"M1,Not Calculated,2,Not Calculated", "M1,-9,2,-9"},
      {"M1,Not Calculated and more", "M1,-9"},
      {"M1,Not CalculatedNot Calculated,1", "M1,-9,1"},
      {"Not Calculated", "-9"},
      {"M1,1,2", "M1,1,2"},
  };
  for (const Case& k : cases) {
    std::string r = k.in;
    NOTCALC(r);
    EXPECT_EQ(r, k.out) << k.in;
  }
}

TEST(NotCalculated, OtherSpellingLeavesAWordForTheStrictRead) {
  std::string r = "M1,not calculated";
  NOTCALC(r);
  comma_extend(r);
  TextOut log;
  Name name;
  std::string values;
  ROWNAME(r, name, values, log);
  float v = kMissing;
  EXPECT_EQ(failure_of([&] {
              READVALS(values, {ReadTarget::real(&v)}, ReadMode::strict);
            }),
            "'not' is not a number");
}

// ---- Comma extension ------------------------------------------------------

TEST(CommaExtension, AppendsCommasAfterTheTrimmedLength) {
  struct Case { std::string in, out; };
  const std::string long_record = "M1," + std::string(5997, '1');
  const Case cases[] = {
      {"M1,1,2", "M1,1,2" + commas(28)},
      {"M1,1,2   ", "M1,1,2" + commas(28)},
      {"M1,1,", "M1,1," + commas(28)},
      {"", commas(28)},
      {"   ", commas(28)},
      // Nothing is cut from a record longer than the record buffer.
      {long_record, long_record + commas(28)},
  };
  for (const Case& k : cases) {
    std::string r = k.in;
    comma_extend(r);
    EXPECT_EQ(r, k.out) << k.in.substr(0, 20);
  }
}

// ---- Row name -------------------------------------------------------------

TEST(RowName, SplitsNameAndValueText) {
  struct Case { std::string record, name, values; };
  const std::string long_name(120, 'n');
  const Case cases[] = {
      {"\"A, B\",1,2", "\"A, B\"", "1,2" + commas(28)},
      {"M1,1,2", "M1", "1,2" + commas(28)},
      {" M1,1", " M1", "1" + commas(28)},
      {"M1,,2", "M1", ",2" + commas(28)},
      {"\"AB\"", "\"AB\"", commas(27)},
      {"\"\",5", "\"\"", "5" + commas(28)},
      {"\"A\"\"B\",5", "\"A\"", "B\",5" + commas(28)},
      {long_name + ",7", long_name.substr(0, 100), "7" + commas(28)},
      // Only a quote at the start makes a quoted name.
      {"M1,\"x, y\",2", "M1", "\"x, y\",2" + commas(28)},
      {"M1,5\",2", "M1", "5\",2" + commas(28)},
  };
  for (const Case& k : cases) {
    std::string r = k.record;
    comma_extend(r);
    TextOut log;
    Name name;
    std::string values = "old";
    ROWNAME(r, name, values, log);
    EXPECT_EQ(name.view(), padded(k.name, kNameLength)) << k.record;
    EXPECT_EQ(values, k.values) << k.record;
    EXPECT_EQ(log.text(), "") << k.record;
  }
}

TEST(RowName, MissingSecondQuoteStopsWithTheFirst75Characters) {
  struct Case { std::string record; };
  const Case cases[] = {
      {"\"AB,1,2"},
      {"\"Metric with a long name and no closing quote, which goes on and on,1,2,3"},
      {"\"" + std::string(200, 'z')},
  };
  for (const Case& k : cases) {
    std::string r = k.record;
    comma_extend(r);
    TextOut log;
    Name name;
    std::string values;
    EXPECT_THROW(ROWNAME(r, name, values, log), FatalStop) << k.record;
    EXPECT_EQ(log.text(), " " + padded(r, 75) + "\r\n" +
                              " No second quote in metric name\r\n")
        << k.record;
  }
  // A short record shows some of the added commas, then blanks.
  std::string r = "\"AB,1";
  comma_extend(r);
  TextOut log;
  Name name;
  std::string values;
  EXPECT_THROW(ROWNAME(r, name, values, log), FatalStop);
  EXPECT_EQ(log.text().substr(0, 40), " \"AB,1" + commas(28) + "      ");
}

// ---- Free-form read: reals ------------------------------------------------

struct RealCase {
  std::string text;
  std::vector<float> want;  // the cells after the read; all start at -9
};

TEST(FreeFormRead, StrictRealsSeparatorsNullValuesAndSlash) {
  const RealCase cases[] = {
      {"1.5,,3", {1.5f, -9, 3}},
      {"1.5 2", {1.5f, 2}},
      {"1/2", {1, -9, -9}},
      {",1", {-9, 1}},
      {"   ,1", {-9, 1}},
      {",,1", {-9, -9, 1}},
      {"1, ,2", {1, -9, 2}},
      {"1 , 2", {1, 2}},
      {"1 ,,2", {1, -9, 2}},
      {"1,  ,  ,2", {1, -9, -9, 2}},
      {"  1    2  ,  3", {1, 2, 3}},
      {"1,2,3,4", {1, 2, 3}},
      {"1 2 word", {1, 2}},
      {"1,/", {1, -9}},
      {"1 / 2", {1, -9}},
      {"/", {-9, -9}},
      {",/,5", {-9, -9, -9}},
      {"1,2,", {1, 2}},
      {"-9,0.5", {-9, 0.5f}},
      {"1,2,,,", {1, 2, -9}},
  };
  for (const RealCase& k : cases) {
    std::vector<float> cells(k.want.size(), kMissing);
    EXPECT_EQ(failure_of([&] {
                READVALS(k.text,
                         {ReadTarget::real(cells.data(),
                                           static_cast<int>(cells.size()))},
                         ReadMode::strict);
              }),
              "<no failure>")
        << k.text;
    EXPECT_EQ(cells, k.want) << k.text;
  }
}

TEST(FreeFormRead, RealForms) {
  struct Case { std::string_view text; float want; };
  const Case cases[] = {
      {"1E0", 1.0f},        {"1e0", 1.0f},         {"1d-2", 0.01f},
      {"1D2", 100.0f},      {"-2.5e+1", -25.0f},   {"+.5", 0.5f},
      {"5.", 5.0f},         {"-0.75", -0.75f},     {"0.1", 0.1f},
      {"007", 7.0f},        {"1.5E-3", 0.0015f},   {"2.5d0", 2.5f},
      {"1e-50", 0.0f},      {"3.4028234e38", 3.4028234e38f},
      {"16777217", 16777216.0f},
      // Rounded once, straight from the decimal text: through a double the
      // value would land on the tie 1 + 2^-24 and round to even, 1.
      {"1.0000000596046447755", std::nextafter(1.0f, 2.0f)},
  };
  for (const Case& k : cases) {
    float v = kMissing;
    READVALS(k.text, {ReadTarget::real(&v)}, ReadMode::strict);
    EXPECT_EQ(v, k.want) << k.text;
  }
}

// ---- Free-form read: strict failures --------------------------------------

TEST(FreeFormRead, StrictFailureReports) {
  float r[3] = {kMissing, kMissing, kMissing};
  std::int32_t i = 0;
  std::int16_t h = 0;
  std::string s;
  struct Case {
    std::string_view text;
    ReadTarget target;
    std::string report;
  };
  const Case cases[] = {
      {"abc", ReadTarget::real(r), "'abc' is not a number"},
      {"1.5.2", ReadTarget::real(r), "'1.5.2' is not a number"},
      {"1.5x,2", ReadTarget::real(r), "'1.5x' is not a number"},
      {"\"1\"", ReadTarget::real(r), "'\"1\"' is not a number"},
      {"'1'", ReadTarget::real(r), "''1'' is not a number"},
      {"E5", ReadTarget::real(r), "'E5' is not a number"},
      {"1E", ReadTarget::real(r), "'1E' is not a number"},
      {"1E+", ReadTarget::real(r), "'1E+' is not a number"},
      {".", ReadTarget::real(r), "'.' is not a number"},
      {"-", ReadTarget::real(r), "'-' is not a number"},
      {"1e5.0", ReadTarget::real(r), "'1e5.0' is not a number"},
      {"0x10", ReadTarget::real(r), "'0x10' is not a number"},
      {"inf", ReadTarget::real(r), "'inf' is not a number"},
      {"1E39", ReadTarget::real(r), "'1E39' is out of range"},
      {"-1d40", ReadTarget::real(r), "'-1d40' is out of range"},
      {"1.5", ReadTarget::integer(&i), "'1.5' is not a whole number"},
      {"1.0", ReadTarget::integer(&i), "'1.0' is not a whole number"},
      {"1E0", ReadTarget::integer(&i), "'1E0' is not a whole number"},
      {"1d2", ReadTarget::int16(&h), "'1d2' is not a whole number"},
      {"abc", ReadTarget::integer(&i), "'abc' is not a number"},
      {"1x", ReadTarget::integer(&i), "'1x' is not a number"},
      {"2147483648", ReadTarget::integer(&i), "'2147483648' is out of range"},
      {"99999999999999999999", ReadTarget::integer(&i),
       "'99999999999999999999' is out of range"},
      {"32768", ReadTarget::int16(&h), "'32768' is out of range"},
      {"-32769", ReadTarget::int16(&h), "'-32769' is out of range"},
      {"\"abc", ReadTarget::text(&s, 5), "'\"abc' has no closing quote"},
      {"'ab'c,d", ReadTarget::text(&s, 5), "''ab'c' is not a valid text"},
      {"", ReadTarget::real(r), "the line ends before the value was read"},
      {"   ", ReadTarget::real(r), "the line ends before the value was read"},
      {"1,", ReadTarget::real(r, 2),
       "the line ends before all 2 values were read"},
      {"1,2", ReadTarget::real(r, 3),
       "the line ends before all 3 values were read"},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(failure_of([&] { READVALS(k.text, {k.target}, ReadMode::strict); }),
              k.report)
        << k.text;
  }
  // A long offending text is shown by its beginning.
  std::string word(100, 'q');
  EXPECT_EQ(failure_of([&] {
              READVALS(word, {ReadTarget::real(r)}, ReadMode::strict);
            }),
            "'" + word.substr(0, 60) + "...' is not a number");
}

TEST(FreeFormRead, WholeNumbers) {
  struct Case { std::string_view text; std::int32_t i; std::int16_t h; };
  const Case cases[] = {
      {"6,1", 6, 1},
      {"+6 -1", 6, -1},
      {"2147483647,32767", 2147483647, 32767},
      {"-2147483648,-32768", -2147483647 - 1, -32768},
      {",7", 0, 7},
      {"007,0", 7, 0},
  };
  for (const Case& k : cases) {
    std::int32_t i = 0;
    std::int16_t h = 0;
    READVALS(k.text, {ReadTarget::integer(&i), ReadTarget::int16(&h)},
             ReadMode::strict);
    EXPECT_EQ(i, k.i) << k.text;
    EXPECT_EQ(h, k.h) << k.text;
  }
}

TEST(FreeFormRead, MixedTargetsInOrder) {
  // A use flag, two flags, four limits, and a run of 16-bit codes.
  std::int32_t use = 0, oeqr = 0;
  std::int16_t intf = 0;
  float limits[4] = {kMissing, kMissing, kMissing, kMissing};
  std::int16_t groups[2] = {5, 5};
  std::string label;
  READVALS("1,2,,0.8, 0.6 ,,0.2 ,3 4,'MG 1'",
           {ReadTarget::integer(&use), ReadTarget::integer(&oeqr),
            ReadTarget::int16(&intf), ReadTarget::real(limits, 4),
            ReadTarget::int16(groups, 2), ReadTarget::text(&label, 6)},
           ReadMode::strict);
  EXPECT_EQ(use, 1);
  EXPECT_EQ(oeqr, 2);
  EXPECT_EQ(intf, 0);
  EXPECT_EQ(limits[0], 0.8f);
  EXPECT_EQ(limits[1], 0.6f);
  EXPECT_EQ(limits[2], kMissing);
  EXPECT_EQ(limits[3], 0.2f);
  EXPECT_EQ(groups[0], 3);
  EXPECT_EQ(groups[1], 4);
  EXPECT_EQ(label, "MG 1  ");

  // The span form reads the same way.
  std::vector<ReadTarget> targets = {ReadTarget::integer(&use),
                                     ReadTarget::real(limits, 2)};
  READVALS("6 1 2", targets, ReadMode::strict);
  EXPECT_EQ(use, 6);
  EXPECT_EQ(limits[0], 1.0f);
  EXPECT_EQ(limits[1], 2.0f);
}

// ---- Free-form read: texts ------------------------------------------------

TEST(FreeFormRead, Texts) {
  struct Case {
    std::string_view text;
    int len;
    std::vector<std::string> want;  // the strings after the read; all start "old"
  };
  const Case cases[] = {
      {"abc", 5, {"abc  "}},
      {"abcdefgh", 5, {"abcde"}},
      {"ab cd", 3, {"ab ", "cd "}},
      {"ab,cd", 3, {"ab ", "cd "}},
      {"\"a,b c\",d", 6, {"a,b c ", "d     "}},
      {"'it''s'", 5, {"it's "}},
      {"\"say \"\"hi\"\"\"", 10, {"say \"hi\"  "}},
      {"'say \"hi\"'", 10, {"say \"hi\"  "}},
      {"\"a/b\",c", 4, {"a/b ", "c   "}},
      {"ab/cd", 3, {"ab ", "old"}},
      {"a,,c", 2, {"a ", "old", "c "}},
      {"\"\",x", 2, {"  ", "x "}},
      {"ab\"c d", 4, {"ab\"c", "d   "}},
      {"  Col1 ,Col2,  'Col 3'  ", 6, {"Col1  ", "Col2  ", "Col 3 "}},
  };
  for (const Case& k : cases) {
    std::vector<std::string> cells(k.want.size(), "old");
    EXPECT_EQ(READVALS(k.text,
                       {ReadTarget::text(cells.data(), k.len,
                                         static_cast<int>(cells.size()))},
                       ReadMode::strict),
              ReadStatus::ok)
        << k.text;
    EXPECT_EQ(cells, k.want) << k.text;
  }
}

// ---- Free-form read: lenient and with status ------------------------------

TEST(FreeFormRead, LenientAndWithStatusModes) {
  struct Case {
    std::string_view text;
    ReadMode mode;
    ReadStatus status;
    std::vector<float> want;  // all start at -9
  };
  const Case cases[] = {
      {"1,abc,3", ReadMode::lenient, ReadStatus::error, {1, -9, -9}},
      {"1", ReadMode::lenient, ReadStatus::end, {1, -9, -9}},
      {"1,2,", ReadMode::lenient, ReadStatus::end, {1, 2, -9}},
      {"1,,3", ReadMode::lenient, ReadStatus::ok, {1, -9, 3}},
      {"0.5", ReadMode::with_status, ReadStatus::ok, {0.5f}},
      {"0.5,extra", ReadMode::with_status, ReadStatus::ok, {0.5f}},
      {"Correlation", ReadMode::with_status, ReadStatus::error, {-9}},
      {"", ReadMode::with_status, ReadStatus::end, {-9}},
      {"   ", ReadMode::with_status, ReadStatus::end, {-9}},
      {",0.5", ReadMode::with_status, ReadStatus::ok, {-9}},
      {"1,2x", ReadMode::with_status, ReadStatus::error, {1, -9}},
      {"1/", ReadMode::with_status, ReadStatus::ok, {1, -9}},
  };
  for (const Case& k : cases) {
    std::vector<float> cells(k.want.size(), kMissing);
    ReadStatus st = ReadStatus::ok;
    EXPECT_EQ(failure_of([&] {
                st = READVALS(k.text,
                              {ReadTarget::real(cells.data(),
                                                static_cast<int>(cells.size()))},
                              k.mode);
              }),
              "<no failure>")
        << k.text;
    EXPECT_EQ(st, k.status) << k.text;
    EXPECT_EQ(cells, k.want) << k.text;
  }
}

TEST(FreeFormRead, LenientCodeFromTheFirstCell) {
  struct Case { std::string_view record; std::int32_t code; };
  const Case cases[] = {
      {"3", 3},           {"3,S1,S2", 3},   {"2,anything", 2},
      {"1.0,S1", 0},      {"code,S1", 0},   {",S1,S2", 0},
      {"", 0},            {" 1 ,S1", 1},
  };
  for (const Case& k : cases) {
    std::int32_t code = 0;
    READVALS(k.record, {ReadTarget::integer(&code)}, ReadMode::lenient);
    EXPECT_EQ(code, k.code) << k.record;
  }
}

// ---- Comma extension and the strict read together -------------------------

TEST(FreeFormRead, ExtendedRowSuppliesItsFieldsAnd27NullValues) {
  struct Case {
    std::string record;
    int samples;
    int given;    // values the row holds for the first samples: 1, 2, …
    bool fails;
  };
  auto row = [](int values, std::string_view tail) {
    std::string r = "M1";
    for (int v = 1; v <= values; ++v) r += "," + std::to_string(v);
    return r + std::string(tail);
  };
  const Case cases[] = {
      {row(3, ""), 10, 3, false},
      {row(12, ""), 39, 12, false},
      {row(12, ""), 40, 12, true},
      {row(3, ""), 30, 3, false},
      {row(3, ""), 31, 3, true},
      {row(3, ","), 31, 3, false},   // the trailing comma is one more field
      {row(3, ","), 32, 3, true},
      {row(3, "   "), 31, 3, true},  // trailing blanks are not a field
      {row(0, ","), 28, 0, false},
      {row(0, ","), 29, 0, true},
  };
  for (const Case& k : cases) {
    std::string r = k.record;
    comma_extend(r);
    TextOut log;
    Name name;
    std::string values;
    ROWNAME(r, name, values, log);
    std::vector<float> cells(static_cast<std::size_t>(k.samples), kMissing);
    std::string report = failure_of([&] {
      READVALS(values, {ReadTarget::real(cells.data(), k.samples)},
               ReadMode::strict);
    });
    if (k.fails) {
      EXPECT_EQ(report, "the line ends before all " +
                            std::to_string(k.samples) + " values were read")
          << k.record << " / " << k.samples;
    } else {
      EXPECT_EQ(report, "<no failure>") << k.record << " / " << k.samples;
    }
    for (int s = 0; s < k.samples; ++s) {
      EXPECT_EQ(cells[s], s < k.given ? float(s + 1) : kMissing)
          << k.record << " sample " << s + 1;
    }
  }
}

// ---- Name comparisons -----------------------------------------------------

TEST(NameComparison, IstrsameFoldsOnlyAtoZAndIgnoresTrailingBlanks) {
  struct Case { std::string a, b; bool same; };
  const std::string x100(100, 'x');
  const Case cases[] = {
      {"Metric A", "Metric A", true},
      {"Metric A", "metric a", true},
      {"METRIC A", "metric a", true},
      {"Metric A", "Metric A   ", true},
      {"Metric A", " Metric A", false},
      {"Metric A", "Metric A.", false},
      {"Metric A", "MetricA", false},
      {"Metric  A", "Metric A", false},
      {"", "", true},
      {"", "     ", true},
      {"", "a", false},
      {"\xC9t\xE9", "\xE9t\xE9", false},  // letters outside A to Z
      {"a[", "A{", false},
      {"@", "`", false},
      {"\"A, B\"", "\"a, b\"", true},
      {"M1\t", "M1", false},
      {x100 + "A", x100 + "B", true},  // names are 100 characters
      {x100.substr(0, 99) + "A", x100.substr(0, 99) + "B", false},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(ISTRSAME(k.a, k.b), k.same) << k.a << " / " << k.b;
    EXPECT_EQ(ISTRSAME(k.b, k.a), k.same) << k.b << " / " << k.a;
    EXPECT_EQ(ISTRSAME(name_of(k.a), name_of(k.b)), k.same) << k.a;
  }
}

TEST(NameComparison, ExactSameCountsCase) {
  struct Case { std::string field; std::string name; bool same; };
  const std::string x100(100, 'x');
  const Case cases[] = {
      {"Metric A", "Metric A", true},
      {"metric A", "Metric A", false},
      {"Metric A   ", "Metric A", true},
      {"Metric A", padded("Metric A", 100), true},
      {" Metric A", "Metric A", false},
      {"", padded("", 100), true},
      {x100 + "y", x100, false},
      {x100 + "   ", x100, true},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(exact_same(k.field, k.name), k.same) << k.field;
  }
}

// ---- Metric row search ----------------------------------------------------

class RowSearch : public ::testing::Test {
 protected:
  void open(std::string_view text) { file.open_text("obs.csv", text, &where); }

  // Searches for the metric; the value text, or nullopt at the end.
  std::optional<std::string> find(std::string_view metric) {
    std::string values = "unchanged";
    if (!FINDROW(file, name_of(metric), values, log)) return std::nullopt;
    return values;
  }

  InputFile file;
  ReadPosition where;
  TextOut log;
};

TEST_F(RowSearch, SkipsAndPreparesRows) {
  open("Metric,A,B,C\n"
       "M1\n"                      // no comma: never a row
       ",M1,9\n"                    // empty first field
       "Not Calculated\n"           // becomes -9: no comma
       "M1,0.5,,Not Calculated\n"
       "m2,Not Calculated,7\n"
       " M3,1\n"
       "\"A, B\",1,2\n"
       "M1,99\n"
       ",5\n"
       " ,6\n");
  struct Case { std::string_view metric; std::optional<std::string> values; };
  const Case cases[] = {
      {"M1", "0.5,,-9" + commas(28)},
      {"M2", "-9,7" + commas(28)},
      {"M3", std::nullopt},  // a leading blank is part of a name
      {" M3", "1" + commas(28)},
      {"\"A, B\"", "1,2" + commas(28)},
      {"\"a, b\"   ", "1,2" + commas(28)},
      {"A", std::nullopt},
      {"", "6" + commas(28)},  // ",5" has an empty first field
  };
  for (const Case& k : cases) {
    file.restart();
    EXPECT_EQ(find(k.metric), k.values) << k.metric;
  }
  EXPECT_EQ(log.text(), "");
}

TEST_F(RowSearch, FirstSearchStartsAfterTheHeaderLaterOnesAtTheTop) {
  open("M2,S1,S2\n"
       "M1,1,2\n"
       "M2,3,4\n"
       "M1,5,6\n");
  std::string header;
  ASSERT_TRUE(file.read(header));
  EXPECT_EQ(find("M2"), "3,4" + commas(28));
  EXPECT_EQ(where.line, 3);
  file.restart();
  // The header line now takes part like a row, and comes first.
  EXPECT_EQ(find("M2"), "S1,S2" + commas(28));
  EXPECT_EQ(where.line, 1);
  EXPECT_EQ(where.text, "M2,S1,S2");
  file.restart();
  EXPECT_EQ(find("M1"), "1,2" + commas(28));  // the first of two rows
  EXPECT_EQ(where.line, 2);
  // Without a restart the search goes on from where it stopped.
  EXPECT_EQ(find("M1"), "5,6" + commas(28));
  EXPECT_EQ(where.line, 4);
  EXPECT_FALSE(find("M1"));
  EXPECT_EQ(where.line, 5);
  EXPECT_EQ(where.text, "");
}

TEST_F(RowSearch, ReadPositionNamesTheFoundRowWhetherPreparedNowOrBefore) {
  open("Metric,S1\nM1,1\nM2,x\nM3,3\n");
  std::string header;
  file.read(header);
  // Each search after a restart meets rows prepared by earlier searches.
  const char* order[] = {"M3", "M1", "M2", "M3", "M2"};
  const long line[] = {4, 2, 3, 4, 3};
  for (int k = 0; k < 5; ++k) {
    auto values = find(order[k]);
    ASSERT_TRUE(values) << order[k];
    EXPECT_EQ(where.line, line[k]) << order[k];
    EXPECT_EQ(where.text, order[k] + std::string(",") + (*values)[0]);
    EXPECT_EQ(file.line(), line[k]);
    file.restart();
  }
  // A strict read of the found row fails at that row.
  auto values = find("M2");
  float v = kMissing;
  EXPECT_EQ(failure_of([&] {
              READVALS(*values, {ReadTarget::real(&v)}, ReadMode::strict);
            }),
            "'x' is not a number");
  EXPECT_EQ(where.line, 3);
}

TEST_F(RowSearch, MissingQuoteStopsWhenASearchFirstReachesTheRow) {
  const std::string bad = "\"Bad name,1,2";
  open("Metric,S1\nM1,1\n" + bad + "\nM2,2\n");
  std::string header;
  file.read(header);
  EXPECT_EQ(find("M1"), "1" + commas(28));  // stops before the bad row
  file.restart();
  EXPECT_EQ(find("M1"), "1" + commas(28));
  EXPECT_EQ(log.text(), "");
  file.restart();
  EXPECT_THROW(find("M2"), FatalStop);
  std::string shown = bad + commas(28);
  EXPECT_EQ(log.text(), " " + padded(shown, 75) + "\r\n" +
                            " No second quote in metric name\r\n");
  EXPECT_EQ(where.line, 3);
}

TEST_F(RowSearch, MissingQuoteStopsEvenBeforeASelectedRow) {
  open("Metric,S1\n\"Bad,Not Calculated\nM1,1\n");
  std::string header;
  file.read(header);
  EXPECT_THROW(find("M1"), FatalStop);
  // The report shows the row after the replacement and the extension.
  const std::string start = " \"Bad,-9" + commas(28) + " ";
  EXPECT_EQ(log.text().substr(0, start.size()), start);
}

TEST_F(RowSearch, LongRecordIsReadWhole) {
  std::string row = "M1";
  for (int k = 0; k < 2000; ++k) row += ",1.5";
  row += ",7";  // beyond the 5000th character
  ASSERT_GT(row.size(), 6000u);
  open("Metric,S\n" + row + "\nM2,8\n");
  std::string header;
  file.read(header);
  auto values = find("M1");
  ASSERT_TRUE(values);
  std::vector<float> cells(2001, kMissing);
  READVALS(*values, {ReadTarget::real(cells.data(), 2001)}, ReadMode::strict);
  EXPECT_EQ(cells[1999], 1.5f);
  EXPECT_EQ(cells[2000], 7.0f);
  EXPECT_EQ(find("M2"), "8" + commas(28));  // the following line
  EXPECT_EQ(where.line, 3);
}

TEST_F(RowSearch, OpeningAFileAgainForgetsItsPreparedRows) {
  open("H,S\nM1,1\n");
  EXPECT_EQ(find("M1"), "1" + commas(28));
  open("H,S\nM1,2\n");
  EXPECT_EQ(find("M1"), "2" + commas(28));
  open("");
  EXPECT_FALSE(find("M1"));
  EXPECT_EQ(where.line, 1);
}

}  // namespace
}  // namespace mondrake
