#include "frontend/results_table.h"

#include "frontend/results_summary.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <string>

namespace veltrasom {

QStringList splitCsvLine(const QString& line) {
  QStringList fields;
  qsizetype i = 0;
  const qsizetype n = line.size();
  while (true) {
    QString field;
    bool quotedDone = false;
    if (i < n && line[i] == QLatin1Char('"')) {
      // Look for the closing quote first: an unclosed quote is plain text.
      QString inner;
      qsizetype j = i + 1;
      bool closed = false;
      while (j < n) {
        if (line[j] == QLatin1Char('"')) {
          if (j + 1 < n && line[j + 1] == QLatin1Char('"')) {
            inner += QLatin1Char('"');
            j += 2;
            continue;
          }
          closed = true;
          ++j;
          break;
        }
        inner += line[j++];
      }
      if (closed) {
        field = inner;
        i = j;
        // Text between the closing quote and the next comma belongs to the
        // field, as a spreadsheet's import keeps it.
        while (i < n && line[i] != QLatin1Char(',')) field += line[i++];
        quotedDone = true;
      }
    }
    if (!quotedDone) {
      qsizetype comma = line.indexOf(QLatin1Char(','), i);
      if (comma < 0) comma = n;
      field = line.mid(i, comma - i);
      i = comma;
    }
    fields << field;
    if (i >= n) break;
    ++i;  // the comma
    if (i == n) {  // a line ending in a comma has an empty last field
      fields << QString();
      break;
    }
  }
  return fields;
}

Cell Cell::fromField(const QString& field) {
  static const QRegularExpression kNumber(
      QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
  Cell c;
  const QString trimmed = field.trimmed();
  if (trimmed.isEmpty()) return c;
  if (kNumber.match(trimmed).hasMatch()) {
    bool ok = false;
    double v = trimmed.toDouble(&ok);  // always the C convention
    if (ok && std::isfinite(v)) {
      c.kind = Kind::Number;
      c.number = v;
      return c;
    }
  }
  c.kind = Kind::Text;
  qsizetype end = field.size();
  while (end > 0 && field[end - 1].isSpace()) --end;
  c.text = field.left(end);
  return c;
}

bool readResultsTable(const QString& path, ResultsTable* table, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    if (error) *error = QStringLiteral("Cannot read %1: %2").arg(path, f.errorString());
    return false;
  }
  table->clear();
  while (!f.atEnd()) {
    QByteArray raw = f.readLine();
    if (raw.endsWith('\n')) raw.chop(1);
    if (raw.endsWith('\r')) raw.chop(1);
    QList<Cell> row;
    for (const QString& field : splitCsvLine(QString::fromUtf8(raw))) row << Cell::fromField(field);
    while (!row.isEmpty() && row.last().kind == Cell::Kind::Empty) row.removeLast();
    table->append(row);
  }
  return true;
}

int usedColumns(const ResultsTable& table) {
  qsizetype cols = 0;
  for (const auto& row : table) cols = std::max(cols, row.size());
  return static_cast<int>(cols);
}

static QString numberText(double v) { return QString::number(v, 'g', 15); }

double firstColumnWidth(const ResultsTable& table) {
  qsizetype longest = 0;
  for (const auto& row : table) {
    if (row.isEmpty()) continue;
    const Cell& c = row.first();
    if (c.kind == Cell::Kind::Text) longest = std::max(longest, c.text.size());
    if (c.kind == Cell::Kind::Number) longest = std::max(longest, numberText(c.number).size());
  }
  // A little room beyond the text, within the spreadsheet's column limit.
  const double kDefault = 8.43, kMax = 255;
  return std::min(kMax, std::max(kDefault, static_cast<double>(longest) + 1.5));
}

namespace {

// The number text inside the workbook is made with printf: it must use the
// decimal point whatever locale the program runs in.
class CNumericLocale {
 public:
  CNumericLocale() {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    if (old) saved_ = old;
    std::setlocale(LC_NUMERIC, "C");
  }
  ~CNumericLocale() {
    if (!saved_.empty()) std::setlocale(LC_NUMERIC, saved_.c_str());
  }
  CNumericLocale(const CNumericLocale&) = delete;
  CNumericLocale& operator=(const CNumericLocale&) = delete;

 private:
  std::string saved_;
};

}  // namespace

namespace {

// Conventional status colours, high to bad, and the grey of a level without
// a class and of a missing value.
constexpr lxw_color_t kClassColour[kClassCount] = {0x0070C0, 0x00B050, 0xFFFF00, 0xFFA500, 0xFF0000};
constexpr lxw_color_t kNoClassColour = 0xBFBFBF;
constexpr lxw_color_t kMissingColour = 0xE7E6E6;

// Bars per chart: beyond this the sample names no longer fit beside the bars.
constexpr int kMaxBarsPerChart = 50;

QString columnName(int c) {
  QString name;
  for (int n = c + 1; n > 0; n = (n - 1) / 26) name.prepend(QLatin1Char(static_cast<char>('A' + (n - 1) % 26)));
  return name;
}

struct Formats {
  lxw_format* heading = nullptr;
  lxw_format* headingWrapped = nullptr;
  lxw_format* percent = nullptr;
  lxw_format* value = nullptr;
  lxw_format* missing = nullptr;
  lxw_format* noClass = nullptr;
  lxw_format* cls[kClassCount] = {};
  lxw_format* note = nullptr;

  explicit Formats(lxw_workbook* wb) {
    heading = workbook_add_format(wb);
    format_set_bold(heading);
    headingWrapped = workbook_add_format(wb);
    format_set_bold(headingWrapped);
    format_set_text_wrap(headingWrapped);
    format_set_align(headingWrapped, LXW_ALIGN_CENTER);
    format_set_align(headingWrapped, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(headingWrapped, LXW_BORDER_THIN);
    percent = workbook_add_format(wb);
    format_set_num_format(percent, "0.0");
    value = workbook_add_format(wb);
    format_set_num_format(value, "0.000");
    missing = workbook_add_format(wb);
    format_set_bg_color(missing, kMissingColour);
    noClass = workbook_add_format(wb);
    format_set_bg_color(noClass, kNoClassColour);
    format_set_align(noClass, LXW_ALIGN_CENTER);
    for (int k = 0; k < kClassCount; ++k) {
      cls[k] = workbook_add_format(wb);
      format_set_bg_color(cls[k], kClassColour[k]);
      format_set_align(cls[k], LXW_ALIGN_CENTER);
      // White on the dark fills, black on the light ones.
      if (k == 0 || k == 4) format_set_font_color(cls[k], LXW_COLOR_WHITE);
    }
    note = workbook_add_format(wb);
    format_set_italic(note);
  }
  lxw_format* forClass(int c) const { return c >= 1 && c <= kClassCount ? cls[c - 1] : noClass; }
};

// Shown width of a cell, in characters.
qsizetype shownWidth(const Cell& cell, int decimals) {
  if (cell.kind == Cell::Kind::Text) return cell.text.size();
  if (cell.kind == Cell::Kind::Number) return QString::number(cell.number, 'f', decimals).size();
  return 0;
}

lxw_error writeText(lxw_worksheet* ws, int r, int c, const QString& text, lxw_format* f) {
  const QByteArray utf8 = text.toUtf8();
  return worksheet_write_string(ws, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), utf8.constData(), f);
}

lxw_error writeResultsSheet(lxw_worksheet* ws, const ResultsTable& table, const ResultsLayout& layout,
                            const Formats& f) {
  lxw_error failed = LXW_NO_ERROR;
  const int firstData = layout.found() ? layout.headingRow + 3 : static_cast<int>(table.size());
  const int columns = usedColumns(table);
  QList<qsizetype> widths(columns, 0);
  for (qsizetype r = 0; r < table.size() && !failed; ++r) {
    const auto& row = table[r];
    const bool data = r >= firstData;
    const bool headings = layout.found() && r >= layout.headingRow && r < firstData;
    for (qsizetype c = 0; c < row.size() && !failed; ++c) {
      const Cell& cell = row[c];
      const auto rr = static_cast<lxw_row_t>(r);
      const auto cc = static_cast<lxw_col_t>(c);
      const bool pct = c < layout.percentColumns.size() && layout.percentColumns[c];
      if (data || r == layout.headingRow + 2) widths[c] = std::max(widths[c], shownWidth(cell, pct ? 1 : 3));
      if (cell.kind == Cell::Kind::Number) {
        if (data && isMissingValue(cell)) {
          // Shown as an empty grey cell: a -9 that a sum would count is wrong.
          failed = worksheet_write_blank(ws, rr, cc, f.missing);
        } else {
          failed = worksheet_write_number(ws, rr, cc, cell.number,
                                          data ? (pct ? f.percent : f.value) : nullptr);
        }
      } else if (cell.kind == Cell::Kind::Text) {
        lxw_format* format = headings ? f.heading : nullptr;
        if (data) {
          const StatusLabel label = statusLabel(cell);
          if (label.isLabel) format = f.forClass(label.cls);
        }
        failed = writeText(ws, static_cast<int>(r), static_cast<int>(c), cell.text, format);
      }
    }
  }
  if (!failed) failed = worksheet_set_column(ws, 0, 0, firstColumnWidth(table), nullptr);
  for (int c = 1; c < columns && !failed; ++c)
    failed = worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                  std::clamp(static_cast<double>(widths[c]) + 2.0, 3.0, 60.0), nullptr);
  if (layout.found()) worksheet_freeze_panes(ws, static_cast<lxw_row_t>(firstData), 1);
  return failed;
}

lxw_error writeSummarySheet(lxw_worksheet* ws, const ResultsTable& table, const ResultsLayout& layout,
                            const Formats& f) {
  lxw_error failed = LXW_NO_ERROR;
  if (!layout.found() || layout.sampleRows.isEmpty()) {
    failed = writeText(ws, 0, 0, QStringLiteral("The results hold no samples."), nullptr);
    return failed;
  }
  static const char* const kColumns[] = {"Observed class", "Most probable class", "P(good or better) %",
                                         "P(moderate or worse) %", "Risk of misclassification %"};
  constexpr int kBlock = 5;
  failed = worksheet_merge_range(ws, 0, 0, 1, 0, "Site/Waterbody Identifier", f.headingWrapped);
  for (int l = 0; l < layout.levels.size() && !failed; ++l) {
    const auto first = static_cast<lxw_col_t>(1 + l * kBlock);
    const QByteArray name = layout.levels[l].name.toUtf8();
    failed = worksheet_merge_range(ws, 0, first, 0, first + kBlock - 1, name.constData(), f.headingWrapped);
    for (int k = 0; k < kBlock && !failed; ++k)
      failed = worksheet_write_string(ws, 1, first + k, kColumns[k], f.headingWrapped);
  }
  qsizetype idWidth = 26;
  for (int i = 0; i < layout.sampleRows.size() && !failed; ++i) {
    const auto& row = table[layout.sampleRows[i]];
    const auto rr = static_cast<lxw_row_t>(2 + i);
    const Cell id = row.isEmpty() ? Cell{} : row.first();
    idWidth = std::max(idWidth, shownWidth(id, 0));
    if (id.kind == Cell::Kind::Number) failed = worksheet_write_number(ws, rr, 0, id.number, nullptr);
    if (id.kind == Cell::Kind::Text) failed = writeText(ws, 2 + i, 0, id.text, nullptr);
    for (int l = 0; l < layout.levels.size() && !failed; ++l) {
      const LevelSummary s = summariseLevel(row, layout.levels[l].statusColumn);
      const auto c = static_cast<lxw_col_t>(1 + l * kBlock);
      if (s.observed.isEmpty()) {
        failed = worksheet_write_blank(ws, rr, c, f.missing);
      } else {
        const StatusLabel label = statusLabel(Cell::fromField(s.observed));
        failed = writeText(ws, 2 + i, c, s.observed, label.isLabel ? f.forClass(label.cls) : nullptr);
      }
      if (!failed) {
        failed = s.mostProbable ? writeText(ws, 2 + i, c + 1, className(s.mostProbable), f.forClass(s.mostProbable))
                                : worksheet_write_blank(ws, rr, c + 1, f.missing);
      }
      const std::optional<double> figures[] = {s.goodOrBetter, s.moderateOrWorse, s.risk};
      for (int k = 0; k < 3 && !failed; ++k) {
        failed = figures[k] ? worksheet_write_number(ws, rr, c + 2 + k, *figures[k], f.percent)
                            : worksheet_write_blank(ws, rr, c + 2 + k, f.missing);
      }
    }
  }
  static const char* const kNotes[] = {
      "Each block of five columns is one level: the overall status, each reported group, then each reported "
      "metric and index. Percentages are the percentages of simulations in each class, as in the Results sheet.",
      "Observed class: the class of the observed value, as in the Results sheet. A star marks a class formed "
      "although a contributing metric was missing; none* means not calculated; ---- means no members.",
      "Most probable class: the class with the largest percentage of simulations; equal percentages go to the "
      "better class.",
      "P(good or better) %: %high + %good, the confidence that the sample is of good status or better.",
      "P(moderate or worse) %: %moderate + %poor + %bad, the confidence that the sample is worse than good. "
      "The percentages are rounded to one decimal, so the two may not add to exactly 100; neither is shown above 100.",
      "Risk of misclassification %: 100 - the percentage of simulations in the observed class, the chance "
      "that the true class differs from the observed one.",
      "Empty grey cells: no value (not calculated, or missing in the results).",
  };
  const int notesRow = 2 + static_cast<int>(layout.sampleRows.size()) + 1;
  if (!failed) failed = worksheet_write_string(ws, static_cast<lxw_row_t>(notesRow), 0, "Notes", f.heading);
  for (int n = 0; n < static_cast<int>(std::size(kNotes)) && !failed; ++n)
    failed = worksheet_write_string(ws, static_cast<lxw_row_t>(notesRow + 1 + n), 0, kNotes[n], f.note);
  if (!failed) failed = worksheet_set_column(ws, 0, 0, static_cast<double>(std::min<qsizetype>(idWidth, 50)) + 2, nullptr);
  for (int l = 0; l < layout.levels.size() && !failed; ++l) {
    const auto first = static_cast<lxw_col_t>(1 + l * kBlock);
    failed = worksheet_set_column(ws, first, first + kBlock - 2, 12, nullptr);
    if (!failed) failed = worksheet_set_column(ws, first + kBlock - 1, first + kBlock - 1, 15, nullptr);
  }
  if (!failed) failed = worksheet_set_row(ws, 1, 45, nullptr);
  worksheet_freeze_panes(ws, 2, 1);
  return failed;
}

lxw_error writeChartSheet(lxw_workbook* wb, lxw_worksheet* ws, const ResultsLayout& layout) {
  if (!layout.found() || layout.sampleRows.isEmpty() || layout.levels.isEmpty())
    return writeText(ws, 0, 0, QStringLiteral("The results hold no samples."), nullptr);
  const int samples = static_cast<int>(layout.sampleRows.size());
  const int charts = (samples + kMaxBarsPerChart - 1) / kMaxBarsPerChart;
  const int perChart = (samples + charts - 1) / charts;  // charts of even size
  const int overall = layout.levels.first().statusColumn;
  int row = 1;
  lxw_error failed = writeText(
      ws, 0, 0,
      QStringLiteral("Overall status: percentage of simulations in each class, per sample, in the order of the "
                     "Results sheet."),
      nullptr);
  for (int first = 0; first < samples && !failed; first += perChart) {
    const int last = std::min(samples, first + perChart) - 1;
    auto range = [&](int column) {
      const QString col = columnName(column);
      return QStringLiteral("=Results!$%1$%2:$%1$%3")
          .arg(col)
          .arg(layout.sampleRows[first] + 1)
          .arg(layout.sampleRows[last] + 1);
    };
    lxw_chart* chart = workbook_add_chart(wb, LXW_CHART_BAR_STACKED_PERCENT);
    const QByteArray categories = range(0).toUtf8();
    for (int k = 0; k < kClassCount; ++k) {
      const QByteArray values = range(overall + 1 + k).toUtf8();
      lxw_chart_series* series = chart_add_series(chart, categories.constData(), values.constData());
      const QByteArray name = className(k + 1).toUtf8();
      chart_series_set_name(series, name.constData());
      lxw_chart_fill fill = {};
      fill.color = kClassColour[k];
      chart_series_set_fill(series, &fill);
      lxw_chart_line border = {};
      border.none = LXW_TRUE;
      chart_series_set_line(series, &border);
    }
    const QByteArray title = (charts == 1 ? QStringLiteral("Overall class percentages")
                                          : QStringLiteral("Overall class percentages, samples %1 to %2")
                                                .arg(first + 1)
                                                .arg(last + 1))
                                 .toUtf8();
    chart_title_set_name(chart, title.constData());
    // The category axis of a bar chart runs upwards; reversed, the samples
    // read from the top in the order of the results.
    chart_axis_set_reverse(chart->y_axis);
    chart_axis_set_name(chart->x_axis, "% of simulations");
    chart_legend_set_position(chart, LXW_CHART_LEGEND_TOP);
    chart_set_series_gap(chart, 40);
    const int bars = last - first + 1;
    const double height = 130.0 + 18.0 * std::max(bars, 4);
    lxw_chart_options options = {};
    options.x_scale = 960.0 / 480.0;
    options.y_scale = height / 288.0;
    failed = worksheet_insert_chart_opt(ws, static_cast<lxw_row_t>(row), 1, chart, &options);
    row += static_cast<int>(std::ceil(height / 20.0)) + 2;  // rows of 20 pixels, and a gap
  }
  return failed;
}

}  // namespace

bool writeXlsx(const ResultsTable& table, const QString& path, QString* error) {
  CNumericLocale cLocale;
  if (table.size() > static_cast<qsizetype>(LXW_ROW_MAX) ||
      usedColumns(table) > static_cast<int>(LXW_COL_MAX)) {
    if (error) *error = QStringLiteral("The results do not fit in a worksheet");
    return false;
  }
  const QByteArray file = QFile::encodeName(path);
  lxw_workbook* wb = workbook_new(file.constData());
  if (!wb) {
    if (error) *error = QStringLiteral("Cannot create the workbook %1").arg(path);
    return false;
  }
  const ResultsLayout layout = resultsLayout(table);
  const Formats formats(wb);
  lxw_worksheet* results = workbook_add_worksheet(wb, "Results");
  lxw_worksheet* summary = workbook_add_worksheet(wb, "Summary");
  lxw_worksheet* chart = workbook_add_worksheet(wb, "Chart");
  lxw_error failed = writeResultsSheet(results, table, layout, formats);
  if (!failed) failed = writeSummarySheet(summary, table, layout, formats);
  if (!failed) failed = writeChartSheet(wb, chart, layout);
  lxw_error closed = workbook_close(wb);
  if (failed || closed) {
    if (error)
      *error = QStringLiteral("Cannot write the workbook %1: %2")
                   .arg(path, QString::fromUtf8(lxw_strerror(failed ? failed : closed)));
    QFile::remove(path);
    return false;
  }
  return true;
}

}  // namespace veltrasom
