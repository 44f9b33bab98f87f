// What each sample's results say about how sure its class is: the layout of
// the results table (its levels and samples) and, per sample and level, the
// observed and most probable class and the probabilities behind them.
#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "frontend/results_table.h"

namespace veltrasom {

// Classes 1 (high) to 5 (bad), best first.
inline constexpr int kClassCount = 5;
// "high", "good", "moderate", "poor", "bad" for classes 1 ... 5.
QString className(int cls);

// A status cell of the results.  The engine writes "high ", "good ", "mod  ",
// "poor ", "bad  ", the same with a star for a class formed although a
// contributing metric was missing, "none*" when nothing was calculated and
// "---- " for a level without members.
struct StatusLabel {
  bool isLabel = false;  // one of the labels above
  int cls = 0;           // 1 ... 5; 0 for "none*" and "----"
  bool flagged = false;  // the star
};
StatusLabel statusLabel(const Cell& cell);

// The engine's code for a value it could not form (written -9.000 or -9.0).
bool isMissingValue(const Cell& cell);

struct ResultsLevel {
  enum class Kind { Overall, Group, Slot };  // a slot is a metric or an index
  Kind kind = Kind::Overall;
  QString name;
  int statusColumn = 0;  // the five class percentages follow it
};

struct ResultsLayout {
  int headingRow = -1;  // first of the three heading rows; -1 when there are none
  QList<ResultsLevel> levels;  // overall, groups, then metrics and indices
  QList<int> sampleRows;       // the data rows, in the results' order
  bool found() const { return headingRow >= 0; }
  // Whether column c (0-based) of the data rows holds a class percentage.
  QList<bool> percentColumns;
};
// Finds the heading rows ("Site/Waterbody Identifier" in column 1, then the
// row of level names and the row of column names) and the samples below.
ResultsLayout resultsLayout(const ResultsTable& table);

struct LevelSummary {
  QString observed;       // the status label as written; empty when the row has none
  int observedClass = 0;  // 1 ... 5; 0 when not calculated or without members
  int mostProbable = 0;   // 1 ... 5; 0 when the percentages are missing
  std::optional<double> goodOrBetter;     // %high + %good
  std::optional<double> moderateOrWorse;  // %moderate + %poor + %bad
  std::optional<double> risk;             // 100 - % of the observed class
};
// One level of one data row.  The class with the largest percentage is the
// most probable; equal percentages go to the better class.  Sums are rounded
// to the one decimal of the percentages they add, and held at 100 at most.
LevelSummary summariseLevel(const QList<Cell>& row, int statusColumn);

}  // namespace veltrasom
