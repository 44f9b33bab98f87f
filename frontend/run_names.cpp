#include "frontend/run_names.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace veltrasom {

const char* convertedName(Input input) {
  switch (input) {
    case Input::Metspec: return "VELTRASOM_METSPEC.csv";
    case Input::Obs: return "VELTRASOM_OBS.csv";
    case Input::EZero: return "VELTRASOM_EZERO.csv";
    case Input::EOne: return "VELTRASOM_EONE.csv";
    case Input::Corr: return "VELTRASOM_CORR.csv";
  }
  return "";
}

QString inputRole(Input input) {
  switch (input) {
    case Input::Metspec: return QStringLiteral("metric specification workbook");
    case Input::Obs: return QStringLiteral("observed metric values workbook");
    case Input::EZero: return QStringLiteral("E0 (EZERO) workbook");
    case Input::EOne: return QStringLiteral("E1 (EONE) workbook");
    case Input::Corr: return QStringLiteral("sampling correlation workbook");
  }
  return {};
}

QString& RunNames::input(Input which) {
  switch (which) {
    case Input::Metspec: return metspec;
    case Input::Obs: return obs;
    case Input::EZero: return ezero;
    case Input::EOne: return eone;
    case Input::Corr: break;
  }
  return corr;
}

const QString& RunNames::input(Input which) const {
  return const_cast<RunNames*>(this)->input(which);
}

static QString inDir(const QString& dir, const char* name) {
  return QDir(dir).filePath(QString::fromLatin1(name));
}

RunNames RunNames::defaults(const QString& dir) {
  RunNames n;
  n.dir = QDir::cleanPath(dir);
  n.metspec = inDir(n.dir, "VELTRASOM_TestMetricsSpec11.xls");
  n.obs = inDir(n.dir, "VELTRASOM_TestObs11.xls");
  n.ezero = inDir(n.dir, "VELTRASOM_TestEZero11.xls");
  n.eone = inDir(n.dir, "VELTRASOM_TestEOne11.xls");
  n.corr = inDir(n.dir, "VELTRASOM_TestCorr11.xls");
  n.out = inDir(n.dir, "VELTRASOM_TestOut11.xls");
  n.log = inDir(n.dir, "VELTRASOM.LOG");
  return n;
}

QString RunNames::controlFile() const { return inDir(dir, kControlFile); }
QString RunNames::markerFile() const { return inDir(dir, kMarkerFile); }
QString RunNames::resultsFile() const { return inDir(dir, kResultsFile); }
QString RunNames::convertedFile(Input which) const { return inDir(dir, convertedName(which)); }

QStringList RunNames::controlLines() const {
  return {dir, metspec, obs, ezero, eone, corr, out, log};
}

bool readControlFile(const QString& path, RunNames* names, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    if (error) *error = QStringLiteral("Cannot read %1: %2").arg(path, f.errorString());
    return false;
  }
  QStringList lines;
  while (lines.size() < 8 && !f.atEnd()) {
    QByteArray line = f.readLine();
    if (line.endsWith('\n')) line.chop(1);
    if (line.endsWith('\r')) line.chop(1);
    lines << QString::fromUtf8(line);
  }
  if (lines.size() < 8) {
    if (error)
      *error = QStringLiteral("%1 holds %2 lines instead of eight").arg(path).arg(lines.size());
    return false;
  }
  RunNames n;
  n.dir = lines[0];
  n.metspec = lines[1];
  n.obs = lines[2];
  n.ezero = lines[3];
  n.eone = lines[4];
  n.corr = lines[5];
  n.out = lines[6];
  n.log = lines[7];
  *names = n;
  return true;
}

bool writeControlFile(const QString& path, const RunNames& names, QString* error) {
  // A line end inside a name would shift every later line of the file.
  for (const QString& line : names.controlLines()) {
    if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r'))) {
      if (error) *error = QStringLiteral("The name \"%1\" holds a line end").arg(line);
      return false;
    }
  }
  QSaveFile f(path);
  if (f.open(QIODevice::WriteOnly)) {
    for (const QString& line : names.controlLines()) {
      f.write(line.toUtf8());
      f.write("\n");
    }
    if (f.commit()) return true;
  }
  if (error) *error = QStringLiteral("Cannot write the control file %1: %2").arg(path, f.errorString());
  return false;
}

}  // namespace veltrasom
