#include "frontend/results_table.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QRegularExpression>
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

bool writeXlsx(const ResultsTable& table, const QString& path, QString* error) {
  CNumericLocale cLocale;
  const QByteArray file = QFile::encodeName(path);
  lxw_workbook* wb = workbook_new(file.constData());
  if (!wb) {
    if (error) *error = QStringLiteral("Cannot create the workbook %1").arg(path);
    return false;
  }
  lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
  lxw_error failed = LXW_NO_ERROR;
  if (table.size() > static_cast<qsizetype>(LXW_ROW_MAX) ||
      usedColumns(table) > static_cast<int>(LXW_COL_MAX)) {
    if (error) *error = QStringLiteral("The results do not fit in a worksheet");
    workbook_close(wb);
    QFile::remove(path);
    return false;
  }
  for (qsizetype r = 0; r < table.size() && !failed; ++r) {
    const auto& row = table[r];
    for (qsizetype c = 0; c < row.size() && !failed; ++c) {
      const Cell& cell = row[c];
      const auto rr = static_cast<lxw_row_t>(r);
      const auto cc = static_cast<lxw_col_t>(c);
      if (cell.kind == Cell::Kind::Number) {
        failed = worksheet_write_number(ws, rr, cc, cell.number, nullptr);
      } else if (cell.kind == Cell::Kind::Text) {
        const QByteArray utf8 = cell.text.toUtf8();
        failed = worksheet_write_string(ws, rr, cc, utf8.constData(), nullptr);
      }
    }
  }
  if (!failed) failed = worksheet_set_column(ws, 0, 0, firstColumnWidth(table), nullptr);
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
