// Helpers of the front end's tests.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace veltrasom::test {

void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A results file in the engine's layout: the file-name block (5000-character
// records), three heading rows and one data row per sample, with
// fixed-width numbers ("   0.500", "  -9.000") and class labels.
QByteArray engineResults(int samples, int slotCount);

// The uncompressed contents of one member of a zip archive (an .xlsx or
// .ods workbook); empty when it is missing.
QByteArray zipMember(const QString& archive, const QString& member);

struct SheetCell {
  bool number = false;
  QString value;  // the number as stored, or the text
};
struct Sheet {
  QMap<QString, SheetCell> cells;  // by reference, "A1"
  double firstColumnWidth = 0;     // 0 when the workbook sets none
};
// The first worksheet of an .xlsx workbook.
Sheet readXlsx(const QString& path);

// Environment of a decimal-comma user, for the child processes of a test.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale();
  ~DecimalCommaLocale();

 private:
  QMap<QByteArray, QByteArray> saved_;
};

}  // namespace veltrasom::test

// Readable QStrings in test failures.
#include <ostream>
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
