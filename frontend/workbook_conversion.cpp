#include "frontend/workbook_conversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

#include "frontend/results_table.h"

namespace veltrasom {

namespace {

ConversionResult fail(ConversionResult::Failure f, QString message) {
  ConversionResult r;
  r.failure = f;
  r.message = std::move(message);
  return r;
}

bool isCsv(const QString& path) {
  return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}

// Copies `from` over `to`, replacing `to` only once the copy is complete.
bool replaceWith(const QString& from, const QString& to, QString* error) {
  QFile in(from);
  if (!in.open(QIODevice::ReadOnly)) {
    *error = in.errorString();
    return false;
  }
  QSaveFile out(to);
  out.setDirectWriteFallback(false);
  if (!out.open(QIODevice::WriteOnly)) {
    *error = out.errorString();
    return false;
  }
  while (!in.atEnd()) {
    const QByteArray chunk = in.read(1 << 16);
    if (out.write(chunk) != chunk.size()) {
      *error = out.errorString();
      out.cancelWriting();
      return false;
    }
  }
  if (!out.commit()) {
    *error = out.errorString();
    return false;
  }
  return true;
}

}  // namespace

void deleteConvertedFiles(const RunNames& names) {
  for (Input in : kInputs) QFile::remove(names.convertedFile(in));
}

ConversionResult convertInputWorkbooks(const RunNames& names, const Office& office) {
  using F = ConversionResult::Failure;
  // Converted files of an earlier run must not pass for this run's.
  deleteConvertedFiles(names);

  for (Input in : kInputs) {
    const QFileInfo info(names.input(in));
    if (names.input(in).trimmed().isEmpty())
      return fail(F::MissingInput, QStringLiteral("No %1 is named").arg(inputRole(in)));
    if (!info.isFile())
      return fail(F::MissingInput,
                  QStringLiteral("The %1 %2 does not exist").arg(inputRole(in), names.input(in)));
  }

  QTemporaryDir work;
  if (!work.isValid())
    return fail(F::Write, QStringLiteral("Cannot make a temporary folder: %1").arg(work.errorString()));
  const QDir workDir(work.path());
  workDir.mkdir(QStringLiteral("in"));
  workDir.mkdir(QStringLiteral("out"));

  // Every workbook goes in under a name of its own, so two workbooks with
  // one base name cannot overwrite each other's converted file; the copy
  // also keeps the spreadsheet program's lock files out of the user's
  // folders.
  QStringList toConvert;
  QList<Input> converted;
  auto staged = [&](Input in) {
    return workDir.filePath(QStringLiteral("out/%1.csv").arg(static_cast<int>(in)));
  };
  for (Input in : kInputs) {
    const QString source = names.input(in);
    QString copyError;
    if (isCsv(source)) {
      // A comma-separated input is already in the engine's form; the
      // spreadsheet program would rewrite its fields.
      if (!replaceWith(source, staged(in), &copyError))
        return fail(F::MissingInput, QStringLiteral("The %1 %2 cannot be read: %3")
                                         .arg(inputRole(in), source, copyError));
      continue;
    }
    const QString suffix = QFileInfo(source).suffix();
    const QString copy = workDir.filePath(QStringLiteral("in/%1%2").arg(static_cast<int>(in)).arg(
        suffix.isEmpty() ? QString() : QStringLiteral(".") + suffix));
    if (!replaceWith(source, copy, &copyError))
      return fail(F::MissingInput, QStringLiteral("The %1 %2 cannot be read: %3")
                                       .arg(inputRole(in), source, copyError));
    toConvert << copy;
    converted << in;
  }

  if (!toConvert.isEmpty()) {
    // One call converts them all.
    const OfficeResult r =
        convertWithOffice(office, toConvert, csvExportFilter(), workDir.filePath(QStringLiteral("out")));
    if (!r.ok) {
      QStringList workbooks;
      for (Input in : converted) workbooks << names.input(in);
      return fail(F::Office, QStringLiteral("The workbooks could not be converted (%1): %2")
                                 .arg(workbooks.join(QStringLiteral(", ")), r.error));
    }
    // The program names each file after its workbook and sheet.
    const QDir outDir(workDir.filePath(QStringLiteral("out")));
    for (Input in : converted) {
      const QStringList made = outDir.entryList(
          {QStringLiteral("%1-*.csv").arg(static_cast<int>(in)), QStringLiteral("%1.csv").arg(static_cast<int>(in))},
          QDir::Files);
      if (made.size() == 1 && outDir.filePath(made.first()) != staged(in))
        QFile::rename(outDir.filePath(made.first()), staged(in));
      if (!QFileInfo(staged(in)).isFile())
        return fail(F::NotProduced,
                    QStringLiteral("LibreOffice could not convert the %1 %2")
                        .arg(inputRole(in), names.input(in)));
    }
  }

  for (Input in : kInputs) {
    QString error;
    if (!replaceWith(staged(in), names.convertedFile(in), &error)) {
      deleteConvertedFiles(names);
      return fail(F::Write, QStringLiteral("Cannot write %1 (from the %2 %3): %4")
                                .arg(names.convertedFile(in), inputRole(in), names.input(in), error));
    }
  }
  return {};
}

ConversionResult writeResultsWorkbook(const QString& resultsCsv, const QString& workbook,
                                      const Office& office) {
  using F = ConversionResult::Failure;
  if (!QFileInfo(resultsCsv).isFile())
    return fail(F::MissingInput, QStringLiteral("The results file %1 does not exist").arg(resultsCsv));

  const QFileInfo target(workbook);
  const QString suffix = target.suffix().toLower();
  if (suffix != QLatin1String("xlsx") && suffix != QLatin1String("ods") &&
      suffix != QLatin1String("xls"))
    return fail(F::Write, QStringLiteral("The results workbook %1 must end in .xlsx, .ods or .xls")
                              .arg(workbook));

  // The spreadsheet program marks a workbook it has open with a lock file
  // beside it; write-protection is the other way a workbook resists.
  const QString lock = target.dir().filePath(QStringLiteral(".~lock.%1#").arg(target.fileName()));
  if (QFileInfo::exists(lock) || (target.exists() && !target.isWritable()))
    return fail(F::OutputHeld, QStringLiteral("The results workbook %1 is open or write-protected")
                                   .arg(workbook));

  ResultsTable table;
  QString error;
  if (!readResultsTable(resultsCsv, &table, &error)) return fail(F::MissingInput, error);

  QTemporaryDir work;
  if (!work.isValid())
    return fail(F::Write, QStringLiteral("Cannot make a temporary folder: %1").arg(work.errorString()));
  const QString made = QDir(work.path()).filePath(QStringLiteral("results.") + suffix);

  if (suffix == QLatin1String("xlsx")) {
    if (!writeXlsx(table, made, &error)) return fail(F::Write, error);
  } else {
    const int columns = usedColumns(table);
    if (suffix == QLatin1String("xls") && columns > 256)
      return fail(F::TooManyColumns,
                  QStringLiteral("The results have %1 columns, more than the 256 that an .xls "
                                 "workbook holds. Choose an .xlsx or .ods results workbook; the "
                                 "results are in %2")
                      .arg(columns)
                      .arg(resultsCsv));
    const QString csv = QDir(work.path()).filePath(QStringLiteral("results.csv"));
    if (!QFile::copy(resultsCsv, csv))
      return fail(F::MissingInput, QStringLiteral("Cannot read the results file %1").arg(resultsCsv));
    const QString targetFilter = suffix == QLatin1String("xls") ? QStringLiteral("xls:MS Excel 97")
                                                                : QStringLiteral("ods:calc8");
    const OfficeResult r = convertWithOffice(office, {csv}, targetFilter, work.path(), csvImportFilter());
    if (!r.ok) return fail(F::Office, r.error);
    if (!QFileInfo(made).isFile())
      return fail(F::NotProduced, QStringLiteral("LibreOffice did not make the results workbook %1")
                                      .arg(workbook));
  }

  if (!replaceWith(made, workbook, &error)) {
    // Without write permission in its folder the workbook cannot be
    // replaced either.
    const bool denied = !QFileInfo(target.absolutePath()).isWritable();
    return fail(denied ? F::OutputHeld : F::Write,
                QStringLiteral("Cannot write the results workbook %1: %2").arg(workbook, error));
  }
  return {};
}

QString resultsFailureText(const ConversionResult& r) {
  using F = ConversionResult::Failure;
  int number = 0;
  switch (r.failure) {
    case F::None: return {};
    case F::OutputHeld:
      return QStringLiteral(
          "Output File is already open in EXCEL.  Press OK.  Close the EXCEL file and re-run VELTRASOM");
    case F::TooManyColumns: return r.message;
    case F::MissingInput: number = 53; break;
    case F::Office: number = 429; break;
    case F::NotProduced:
    case F::Write: number = 75; break;
  }
  return QStringLiteral("Untrapped Error: %1 %2 : Check the format of the input files and re-run")
      .arg(number)
      .arg(r.message);
}

QString resultsFailureTitle(const ConversionResult& r) {
  return r.failure == ConversionResult::Failure::OutputHeld
             ? QStringLiteral("Problem with Output file")
             : QStringLiteral("Problem with the Output file");
}

bool openWorkbook(const QString& workbook, const Office& office, QString* message) {
  QProcess xdg;
  xdg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  xdg.setStandardOutputFile(QProcess::nullDevice());
  xdg.start(QStringLiteral("xdg-open"), {workbook});
  if (xdg.waitForStarted(10000) && xdg.waitForFinished(60000) &&
      xdg.exitStatus() == QProcess::NormalExit && xdg.exitCode() == 0)
    return true;
  if (xdg.state() != QProcess::NotRunning) xdg.kill();

  const QString program = office.resolvedProgram();
  if (!program.isEmpty() &&
      QProcess::startDetached(program, {QStringLiteral("--calc"), workbook}))
    return true;
  if (message)
    *message = QStringLiteral("The results workbook could not be opened; it is %1").arg(workbook);
  return false;
}

}  // namespace veltrasom
