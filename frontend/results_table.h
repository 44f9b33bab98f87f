// The engine's results file as a table of cells, and its .xlsx form.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace veltrasom {

// Splits one line into fields at commas; a field that begins with a double
// quote runs to its closing quote ("" inside stands for one quote).  A
// quote that is never closed is taken as an ordinary character, so no text
// of the line is lost.
QStringList splitCsvLine(const QString& line);

struct Cell {
  enum class Kind { Empty, Number, Text };
  Kind kind = Kind::Empty;
  double number = 0;
  QString text;

  // A field becomes a number when, without its blanks, it is a finite
  // decimal number ("   0.500", "-9.000", "1e-3"); a field of blanks is
  // empty; anything else is text without its trailing blanks (the padding
  // of fixed-width fields), its leading blanks kept.
  static Cell fromField(const QString& field);
  bool operator==(const Cell&) const = default;
};

using ResultsTable = QList<QList<Cell>>;

// Reads a results file; false and a message when it cannot be read.
bool readResultsTable(const QString& path, ResultsTable* table, QString* error);

// Columns up to the last one that holds a cell, over all rows.
int usedColumns(const ResultsTable& table);

// Width, in characters, that shows the longest entry of column 1.
double firstColumnWidth(const ResultsTable& table);

// Writes the table as a one-sheet .xlsx workbook (numbers as numbers,
// text as text, column 1 fitted).  False and a message on failure.
bool writeXlsx(const ResultsTable& table, const QString& path, QString* error);

}  // namespace veltrasom
