#include "frontend/office.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace veltrasom {

QString Office::resolvedProgram() const {
  if (!program.isEmpty()) {
    if (program.contains(QLatin1Char('/'))) return program;
    return QStandardPaths::findExecutable(program);
  }
  for (const char* name : {"soffice", "libreoffice"}) {
    QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!found.isEmpty()) return found;
  }
  return {};
}

QString csvExportFilter() {
  // Tokens: separator, text delimiter, charset, first line, column formats,
  // language, quote all text, numbers unquoted, as shown, formulas, trim
  // spaces, sheet number.  Not "as shown": a cell formatted with two
  // decimals must still give all of its value.  Naming a sheet makes the
  // program add "-<sheet name>" to the output file's name.
  return QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,true,false,false,false,1");
}

QString csvImportFilter() {
  return QStringLiteral("Text - txt - csv (StarCalc):44,34,76,1,,1033,false,false,false,false,false,0,false");
}

OfficeResult convertWithOffice(const Office& office, const QStringList& files,
                               const QString& target, const QString& outDir,
                               const QString& inFilter) {
  OfficeResult r;
  const QString program = office.resolvedProgram();
  if (program.isEmpty()) {
    r.error = QStringLiteral("LibreOffice (soffice) is not installed");
    return r;
  }
  QTemporaryDir profile;
  if (!profile.isValid()) {
    r.error = QStringLiteral("Cannot make a temporary folder: %1").arg(profile.errorString());
    return r;
  }
  QStringList args{
      QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
      QStringLiteral("--headless"), QStringLiteral("--invisible"), QStringLiteral("--norestore"),
      QStringLiteral("--nologo"), QStringLiteral("--nodefault"), QStringLiteral("--nolockcheck")};
  if (!inFilter.isEmpty()) args << QStringLiteral("--infilter=") + inFilter;
  args << QStringLiteral("--convert-to") << target << QStringLiteral("--outdir") << outDir;
  args << files;

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
  env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
  env.remove(QStringLiteral("LANGUAGE"));
  env.remove(QStringLiteral("LC_NUMERIC"));

  QProcess p;
  p.setProcessEnvironment(env);
  p.setWorkingDirectory(profile.path());
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.setStandardInputFile(QProcess::nullDevice());
  p.start(program, args);
  if (!p.waitForStarted(30000)) {
    r.error = QStringLiteral("LibreOffice (%1) could not be started: %2").arg(program, p.errorString());
    return r;
  }
  if (!p.waitForFinished(office.timeoutMs)) {
    p.kill();
    p.waitForFinished(5000);
    r.error = QStringLiteral("LibreOffice did not finish within %1 s").arg(office.timeoutMs / 1000);
    return r;
  }
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    QString out = QString::fromLocal8Bit(p.readAll()).trimmed();
    r.error = QStringLiteral("LibreOffice failed (exit status %1)%2")
                  .arg(p.exitCode())
                  .arg(out.isEmpty() ? QString() : QStringLiteral(": ") + out);
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace veltrasom
