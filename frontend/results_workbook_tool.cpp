// Writes a results file as the results workbook, the way a run does:
//   veltrasom_results_workbook RESULTS.csv WORKBOOK.xlsx
#include <cstdio>

#include <QCoreApplication>

#include "frontend/workbook_conversion.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: veltrasom_results_workbook RESULTS.csv WORKBOOK.xlsx\n");
    return 2;
  }
  const veltrasom::ConversionResult r = veltrasom::writeResultsWorkbook(args[1], args[2], veltrasom::Office{});
  if (!r.ok()) {
    std::fprintf(stderr, "%s\n", qPrintable(veltrasom::resultsFailureText(r)));
    return 1;
  }
  return 0;
}
