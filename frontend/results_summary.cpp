#include "frontend/results_summary.h"

#include <algorithm>
#include <cmath>

namespace veltrasom {

QString className(int cls) {
  static const char* const kNames[kClassCount] = {"high", "good", "moderate", "poor", "bad"};
  if (cls < 1 || cls > kClassCount) return {};
  return QString::fromLatin1(kNames[cls - 1]);
}

StatusLabel statusLabel(const Cell& cell) {
  StatusLabel s;
  if (cell.kind != Cell::Kind::Text) return s;
  // Cell text has lost its trailing blanks: "mod  " is "mod", "mod* " "mod*".
  static const char* const kShort[kClassCount] = {"high", "good", "mod", "poor", "bad"};
  QString t = cell.text;
  if (t == QLatin1String("none*") || t == QLatin1String("----")) {
    s.isLabel = true;
    return s;
  }
  if (t.endsWith(QLatin1Char('*'))) {
    s.flagged = true;
    t.chop(1);
  }
  for (int c = 0; c < kClassCount; ++c) {
    if (t == QLatin1String(kShort[c])) {
      s.isLabel = true;
      s.cls = c + 1;
      return s;
    }
  }
  return StatusLabel{};
}

bool isMissingValue(const Cell& cell) { return cell.kind == Cell::Kind::Number && cell.number == -9.0; }

static const Cell& cellAt(const QList<Cell>& row, int c) {
  static const Cell kEmpty;
  return c >= 0 && c < row.size() ? row[c] : kEmpty;
}

ResultsLayout resultsLayout(const ResultsTable& table) {
  ResultsLayout layout;
  for (qsizetype r = 0; r + 2 < table.size(); ++r) {
    const Cell& first = cellAt(table[r], 0);
    if (first.kind == Cell::Kind::Text && first.text == QLatin1String("Site/Waterbody Identifier")) {
      layout.headingRow = static_cast<int>(r);
      break;
    }
  }
  if (!layout.found()) return layout;
  const QList<Cell>& names = table[layout.headingRow + 1];
  const QList<Cell>& columns = table[layout.headingRow + 2];
  auto textAt = [](const QList<Cell>& row, int c) {
    const Cell& cell = cellAt(row, c);
    return cell.kind == Cell::Kind::Text ? cell.text.trimmed() : QString();
  };
  layout.percentColumns.resize(columns.size());
  for (int c = 0; c < columns.size(); ++c) {
    const QString heading = textAt(columns, c);
    layout.percentColumns[c] = heading.startsWith(QLatin1Char('%'));
    if (heading != QLatin1String("Status")) continue;
    ResultsLevel level;
    level.statusColumn = c;
    if (layout.levels.isEmpty()) {
      level.kind = ResultsLevel::Kind::Overall;
      level.name = textAt(names, c);
      if (level.name.isEmpty()) level.name = QStringLiteral("Overall");
    } else if (textAt(columns, c - 7) == QLatin1String("Observed")) {
      level.kind = ResultsLevel::Kind::Slot;  // the name stands above Observed
      level.name = textAt(names, c - 7);
    } else {
      // A group's name stands above its status, or in the column before.
      level.kind = ResultsLevel::Kind::Group;
      level.name = textAt(names, c);
      if (level.name.isEmpty()) level.name = textAt(names, c - 1);
    }
    layout.levels << level;
  }
  for (qsizetype r = layout.headingRow + 3; r < table.size(); ++r)
    if (!table[r].isEmpty()) layout.sampleRows << static_cast<int>(r);
  return layout;
}

// Percentages rounded to one decimal may add to a little over 100; a
// probability never does.
static double oneDecimal(double v) { return std::min(100.0, std::round(v * 10.0) / 10.0); }

LevelSummary summariseLevel(const QList<Cell>& row, int statusColumn) {
  LevelSummary s;
  const Cell& status = cellAt(row, statusColumn);
  const StatusLabel label = statusLabel(status);
  if (label.isLabel) {
    s.observed = status.text;
    s.observedClass = label.cls;
  } else if (status.kind == Cell::Kind::Text) {
    s.observed = status.text;
  }
  double pct[kClassCount];
  for (int k = 0; k < kClassCount; ++k) {
    const Cell& c = cellAt(row, statusColumn + 1 + k);
    if (c.kind != Cell::Kind::Number || isMissingValue(c)) return s;
    pct[k] = c.number;
  }
  s.mostProbable = 1;
  for (int k = 1; k < kClassCount; ++k)
    if (pct[k] > pct[s.mostProbable - 1]) s.mostProbable = k + 1;
  s.goodOrBetter = oneDecimal(pct[0] + pct[1]);
  s.moderateOrWorse = oneDecimal(pct[2] + pct[3] + pct[4]);
  if (s.observedClass > 0) s.risk = oneDecimal(100.0 - pct[s.observedClass - 1]);
  return s;
}

}  // namespace veltrasom
