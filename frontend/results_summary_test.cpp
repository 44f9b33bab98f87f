#include "frontend/results_summary.h"

#include <gtest/gtest.h>

#include "frontend/test_support.h"

namespace veltrasom {
namespace {

TEST(StatusLabel, EveryLabelTheEngineWrites) {
  struct Case {
    const char* field;
    bool isLabel;
    int cls;
    bool flagged;
  } cases[] = {
      {"high ", true, 1, false}, {"good ", true, 2, false}, {"mod  ", true, 3, false},
      {"poor ", true, 4, false}, {"bad  ", true, 5, false}, {"high*", true, 1, true},
      {"good*", true, 2, true},  {"mod* ", true, 3, true},  {"poor*", true, 4, true},
      {"bad* ", true, 5, true},  {"none*", true, 0, false}, {"---- ", true, 0, false},
      {"moderate", false, 0, false}, {"Status", false, 0, false}, {"  85.4", false, 0, false},
      {"", false, 0, false},     {"*", false, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    const StatusLabel s = statusLabel(Cell::fromField(QString::fromLatin1(c.field)));
    EXPECT_EQ(s.isLabel, c.isLabel);
    EXPECT_EQ(s.cls, c.cls);
    EXPECT_EQ(s.flagged, c.flagged);
  }
}

QList<Cell> rowOf(const char* line) {
  QList<Cell> row;
  for (const QString& f : splitCsvLine(QString::fromLatin1(line))) row << Cell::fromField(f);
  return row;
}

TEST(SummariseLevel, ClassesProbabilitiesAndRisk) {
  constexpr double kNone = -1;  // no figure expected
  struct Case {
    const char* row;  // identifier, status, five percentages
    const char* observed;
    int observedClass, mostProbable;
    double goodOrBetter, moderateOrWorse, risk;
  } cases[] = {
      {"S,high ,  85.4,  14.5,   0.1,   0.0,   0.0", "high", 1, 1, 99.9, 0.1, 14.6},
      // The observed class need not be the most probable one.
      {"S,mod  ,   1.0,  41.3,  57.5,   0.2,   0.0", "mod", 3, 3, 42.3, 57.7, 42.5},
      {"S,good ,   0.0,  22.7,  75.2,   2.1,   0.0", "good", 2, 3, 22.7, 77.3, 77.3},
      // Ties go to the better class, wherever the tie lies.
      {"S,good ,  50.0,  50.0,   0.0,   0.0,   0.0", "good", 2, 1, 100.0, 0.0, 50.0},
      {"S,bad  ,   0.0,   0.0,  20.0,  40.0,  40.0", "bad", 5, 4, 0.0, 100.0, 60.0},
      {"S,poor ,  20.0,  20.0,  20.0,  20.0,  20.0", "poor", 4, 1, 40.0, 60.0, 80.0},
      // Rounded percentages that add to more than 100.
      {"S,high ,  72.4,  27.7,   0.0,   0.0,   0.0", "high", 1, 1, 100.0, 0.0, 27.6},
      {"S,bad  ,   0.0,   0.0,   0.0,  41.4,  58.7", "bad", 5, 5, 0.0, 100.0, 41.3},
      // A flagged class counts as its class.
      {"S,mod* ,   0.0,  10.0,  60.0,  30.0,   0.0", "mod*", 3, 3, 10.0, 90.0, 40.0},
      {"S,bad* ,   0.0,   0.0,   0.0,   0.0, 100.0", "bad*", 5, 5, 0.0, 100.0, 0.0},
      // Without a class there is no risk; missing percentages give nothing.
      {"S,none*,  -9.0,  -9.0,  -9.0,  -9.0,  -9.0", "none*", 0, 0, kNone, kNone, kNone},
      {"S,---- ,  10.0,  90.0,   0.0,   0.0,   0.0", "----", 0, 2, 100.0, 0.0, kNone},
      {"S,high ,  90.0,  -9.0,   0.0,   0.0,   0.0", "high", 1, 0, kNone, kNone, kNone},
      // A row cut short by the engine's line limit.
      {"S,good ,  10.0,  80.0", "good", 2, 0, kNone, kNone, kNone},
      {"S", "", 0, 0, kNone, kNone, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    const LevelSummary s = summariseLevel(rowOf(c.row), 1);
    EXPECT_EQ(s.observed, QString::fromLatin1(c.observed));
    EXPECT_EQ(s.observedClass, c.observedClass);
    EXPECT_EQ(s.mostProbable, c.mostProbable);
    const std::pair<std::optional<double>, double> figures[] = {
        {s.goodOrBetter, c.goodOrBetter}, {s.moderateOrWorse, c.moderateOrWorse}, {s.risk, c.risk}};
    for (const auto& [got, want] : figures) {
      if (want == kNone) {
        EXPECT_FALSE(got.has_value());
      } else {
        ASSERT_TRUE(got.has_value());
        EXPECT_DOUBLE_EQ(*got, want);  // rounded to the percentages' decimal
      }
    }
  }
}

TEST(ResultsLayout, LevelsAndSamplesOfTheExampleRun) {
  ResultsTable table;
  ASSERT_TRUE(readResultsTable(
      QStringLiteral(MONDRAKE_SOURCE_DIR "/engine/run/testdata/example/expected/VELTRASOM_OUT.csv"), &table,
      nullptr));
  const ResultsLayout layout = resultsLayout(table);
  ASSERT_EQ(layout.headingRow, 8);
  ASSERT_EQ(layout.sampleRows.size(), 24);
  EXPECT_EQ(layout.sampleRows.first(), 11);
  EXPECT_EQ(layout.sampleRows.last(), 34);
  using K = ResultsLevel::Kind;
  struct Expect {
    int index;
    K kind;
    const char* name;
    int statusColumn;
  } expected[] = {
      {0, K::Overall, "Overall", 1},
      {1, K::Group, "Tolerance", 8},
      {3, K::Group, "Composition", 22},
      {4, K::Slot, "ASPT", 36},
      {5, K::Slot, "Saprobic index", 50},
      {20, K::Slot, "Composition MMI", 36 + 16 * 14},
  };
  EXPECT_EQ(layout.levels.size(), 21);  // overall, 3 groups, 17 metrics and indices
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.index);
    ASSERT_LT(e.index, layout.levels.size());
    EXPECT_EQ(layout.levels[e.index].kind, e.kind);
    EXPECT_EQ(layout.levels[e.index].name, QString::fromLatin1(e.name));
    EXPECT_EQ(layout.levels[e.index].statusColumn, e.statusColumn);
  }
  // The percentage columns are those headed %high ... %bad.
  for (const ResultsLevel& level : layout.levels) {
    for (int k = 0; k <= kClassCount; ++k)
      EXPECT_EQ(layout.percentColumns.value(level.statusColumn + k), k > 0) << level.statusColumn + k;
  }
  EXPECT_FALSE(layout.percentColumns.value(layout.levels[4].statusColumn - 1));  // Upper 2.5%

  // Results of a run that stopped before its first sample: no layout.
  EXPECT_FALSE(resultsLayout(ResultsTable(table.begin(), table.begin() + 8)).found());
}

}  // namespace
}  // namespace veltrasom
