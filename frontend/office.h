// The spreadsheet program, run headless for conversions.
//
// Every call gets a private, throw-away user profile, so it neither hands
// its work to nor closes a spreadsheet the user has open, and runs in the
// C locale with fixed CSV options, so the user's decimal comma cannot
// change the numbers it reads or writes.
#pragma once

#include <QString>
#include <QStringList>

namespace veltrasom {

struct Office {
  QString program;          // empty: look for soffice, then libreoffice
  int timeoutMs = 180000;   // for one call, whatever it converts

  // The program to run, or empty when none is installed.
  QString resolvedProgram() const;
};

// CSV filter options: comma, double quote, UTF-8, from line 1.
// Export: values rather than their display, results rather than formulas,
// the first sheet, written as "<name>-<sheet name>.csv".
QString csvExportFilter();
// Import: numbers read in the C convention, quoted fields not forced to
// text, no special numbers (dates), formulas left as text.
QString csvImportFilter();

struct OfficeResult {
  bool ok = false;
  QString error;  // why the call failed, for a message
};

// Runs `program --headless … --convert-to <target> --outdir <outDir> files`
// and waits at most the time limit.  `inFilter` may be empty.  Success
// means the program ran and ended normally; whether it produced each file
// is for the caller to check.
OfficeResult convertWithOffice(const Office& office, const QStringList& files,
                               const QString& target, const QString& outDir,
                               const QString& inFilter = {});

}  // namespace veltrasom
