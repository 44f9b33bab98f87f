#include "frontend/test_support.h"

#include <zlib.h>

#include <QFile>
#include <QXmlStreamReader>
#include <cstring>
#include <stdexcept>

namespace veltrasom::test {

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
    throw std::runtime_error("cannot write " + path.toStdString());
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

static QByteArray padded(QByteArray text, int width) {
  if (text.size() < width) text += QByteArray(width - text.size(), ' ');
  return text.left(width);
}

static QByteArray fixed(double v, int width, int decimals) {
  QByteArray s = QByteArray::number(v, 'f', decimals);
  if (s.size() > width) return QByteArray(width, '*');
  return QByteArray(width - s.size(), ' ') + s;
}

QByteArray engineResults(int samples, int slotCount) {
  static const char* kLabels[] = {"high ", "good ", "mod  ", "poor ", "bad  ", "good*", "none*"};
  QByteArray out;
  const char* blockLabels[] = {"Metric Specification file : ,", "Observed Metric values file : ,",
                               "EZERO (E0) values file : ,", "EONE (E1) values file : ,",
                               "Metric sampling Correlations file : ,", "Results Output file : ,",
                               "Log Output file : ,"};
  for (int i = 0; i < 7; ++i) {
    QByteArray record = blockLabels[i] + padded("/data/run, one/workbook" + QByteArray::number(i) + ".xlsx", 200);
    out += padded(record, 5000) + "\n";
  }
  out += padded(",,", 5000) + "\n";

  QByteArray h1 = "Site/Waterbody Identifier,Multi-metric status (First Overall;then for each top level metric group (MG))";
  QByteArray h2 = ",Overall,,,,,,,";
  QByteArray h3 = ",Status,%high,%good,%moderate,%poor,%bad,";
  for (int s = 1; s <= slotCount; ++s) {
    h2 = h2.trimmed() + "Metric " + QByteArray::number(s) + ",,,,,,,,,,,,,,";
    h3 += ",Observed,E0,E1,EQR,St Dev,Lower 2.5%,Upper 2.5%,Status,%high,%good,%moderate,%poor,%bad,";
  }
  out += padded(h1, 5000) + "\n" + padded(h2, 5000) + "\n" + padded(h3, 5000) + "\n";

  for (int k = 1; k <= samples; ++k) {
    QByteArray row = padded("Site " + QByteArray::number(k), 50) + "," + kLabels[k % 7] + ",";
    for (int c = 0; c < 5; ++c) row += fixed(c == 1 ? 100.0 : 0.0, 6, 1) + ",";
    row += ",";
    for (int s = 1; s <= slotCount; ++s) {
      const double values[] = {0.5, -9, 12.25, 0.5 * k, 0.125, -0.25, 1.0 + s};
      for (double v : values) row += fixed(v, 8, 3) + ",";
      row += QByteArray(kLabels[(k + s) % 7]) + ",";
      for (int c = 0; c < 5; ++c) row += fixed(c == 0 ? 12.5 : -9.0, 6, 1) + ",  ";
      row += ",";
    }
    out += row + "\n";
  }
  return out;
}

QByteArray zipMember(const QString& archive, const QString& member) {
  const QByteArray zip = readFile(archive);
  auto u16 = [&](qsizetype at) {
    return static_cast<quint32>(static_cast<quint8>(zip[at])) |
           static_cast<quint32>(static_cast<quint8>(zip[at + 1])) << 8;
  };
  auto u32 = [&](qsizetype at) { return u16(at) | u16(at + 2) << 16; };
  // The end-of-central-directory record lies in the last 64 KiB.
  qsizetype eocd = -1;
  for (qsizetype at = zip.size() - 22; at >= 0 && at >= zip.size() - 65557; --at)
    if (u32(at) == 0x06054b50) {
      eocd = at;
      break;
    }
  if (eocd < 0) return {};
  const quint32 entries = u16(eocd + 10);
  qsizetype at = u32(eocd + 16);
  for (quint32 e = 0; e < entries; ++e) {
    if (u32(at) != 0x02014b50) return {};
    const quint32 method = u16(at + 10), csize = u32(at + 20), usize = u32(at + 24);
    const quint32 nameLen = u16(at + 28), extraLen = u16(at + 30), commentLen = u16(at + 32);
    const quint32 local = u32(at + 42);
    const QByteArray name = zip.mid(at + 46, nameLen);
    at += 46 + nameLen + extraLen + commentLen;
    if (name != member.toUtf8()) continue;
    const qsizetype data = local + 30 + u16(local + 26) + u16(local + 28);
    const QByteArray packed = zip.mid(data, csize);
    if (method == 0) return packed;
    QByteArray result(static_cast<qsizetype>(usize), '\0');
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    z.avail_in = csize;
    z.next_out = reinterpret_cast<Bytef*>(result.data());
    z.avail_out = usize;
    const int rc = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return rc == Z_STREAM_END ? result : QByteArray();
  }
  return {};
}

Sheet readXlsx(const QString& path) {
  QStringList shared;
  {
    QXmlStreamReader xml(zipMember(path, QStringLiteral("xl/sharedStrings.xml")));
    QString current;
    bool inItem = false;
    while (!xml.atEnd()) {
      xml.readNext();
      if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
        inItem = true;
        current.clear();
      } else if (xml.isStartElement() && xml.name() == QLatin1String("t") && inItem) {
        current += xml.readElementText();
      } else if (xml.isEndElement() && xml.name() == QLatin1String("si")) {
        shared << current;
        inItem = false;
      }
    }
  }
  Sheet sheet;
  QXmlStreamReader xml(zipMember(path, QStringLiteral("xl/worksheets/sheet1.xml")));
  QString ref, type;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("col") && xml.attributes().value(QLatin1String("min")) == QLatin1String("1"))
      sheet.firstColumnWidth = xml.attributes().value(QLatin1String("width")).toDouble();
    if (xml.name() == QLatin1String("c")) {
      ref = xml.attributes().value(QLatin1String("r")).toString();
      type = xml.attributes().value(QLatin1String("t")).toString();
    }
    if (xml.name() == QLatin1String("v")) {
      const QString v = xml.readElementText();
      SheetCell cell;
      if (type == QLatin1String("s")) {
        cell.value = shared.value(v.toInt());
      } else if (type.isEmpty() || type == QLatin1String("n")) {
        cell.number = true;
        cell.value = v;
      } else {
        cell.value = v;
      }
      sheet.cells[ref] = cell;
    }
    if (xml.name() == QLatin1String("is")) {  // an inline string
      xml.readNextStartElement();
      sheet.cells[ref] = SheetCell{false, xml.readElementText()};
    }
  }
  return sheet;
}

static const char* kLocaleVars[] = {"LANG", "LC_ALL", "LC_NUMERIC", "LANGUAGE"};

DecimalCommaLocale::DecimalCommaLocale() {
  for (const char* v : kLocaleVars) saved_[v] = qgetenv(v);
  qputenv("LANG", "de_DE.UTF-8");
  qputenv("LC_ALL", "de_DE.UTF-8");
  qputenv("LC_NUMERIC", "de_DE.UTF-8");
  qputenv("LANGUAGE", "de_DE:de");
}

DecimalCommaLocale::~DecimalCommaLocale() {
  for (auto it = saved_.cbegin(); it != saved_.cend(); ++it) {
    if (it.value().isNull())
      qunsetenv(it.key().constData());
    else
      qputenv(it.key().constData(), it.value());
  }
}

}  // namespace veltrasom::test
