// Between the user's workbooks and the engine's comma-separated files.
#pragma once

#include <QString>

#include "frontend/office.h"
#include "frontend/run_names.h"

namespace veltrasom {

struct ConversionResult {
  enum class Failure {
    None,
    MissingInput,    // an input workbook or the results file does not exist
    Office,          // the spreadsheet program is missing or failed
    NotProduced,     // a converted file did not appear
    OutputHeld,      // the results workbook is open elsewhere or write-protected
    TooManyColumns,  // the results do not fit the chosen workbook format
    Write,           // any other file that could not be written or moved
  };
  Failure failure = Failure::None;
  QString message;
  bool ok() const { return failure == Failure::None; }
};

// Converts the five input workbooks of `names` into the converted files in
// the working directory: a .csv input is copied as it is, every other
// workbook is converted (its first sheet) by one call of the spreadsheet
// program.  On failure no converted file of this run is left behind, and
// the message names the workbook.
ConversionResult convertInputWorkbooks(const RunNames& names, const Office& office);

// Deletes the converted files of `names` that exist.
void deleteConvertedFiles(const RunNames& names);

// Writes the engine's results file `resultsCsv` as the workbook `workbook`,
// in the format of its extension: .xlsx natively, .ods and .xls (at most
// 256 columns) through the spreadsheet program.  Replaces an earlier
// workbook; `resultsCsv` is never touched.
ConversionResult writeResultsWorkbook(const QString& resultsCsv, const QString& workbook,
                                      const Office& office);

// The message the user sees for a failure of writeResultsWorkbook, and its
// title.
QString resultsFailureText(const ConversionResult& r);
QString resultsFailureTitle(const ConversionResult& r);

// Opens a workbook in the user's spreadsheet program: xdg-open, else the
// spreadsheet program itself.  False (and a message that says where the
// workbook is) when neither could.
bool openWorkbook(const QString& workbook, const Office& office, QString* message);

}  // namespace veltrasom
