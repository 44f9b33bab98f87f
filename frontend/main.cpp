// veltrasom: the front end of the mondrake engine.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <clocale>

#include "frontend/batch.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("veltrasom"));
  // Numbers written into files must carry a decimal point whatever the
  // user's locale (Qt has applied it by now).
  std::setlocale(LC_NUMERIC, "C");

  QCommandLineParser parser;
  veltrasom::addBatchOptions(parser);
  if (!parser.parse(QCoreApplication::arguments())) {
    QTextStream(stderr) << "veltrasom: " << parser.errorText() << " (see --help)\n";
    return 2;
  }
  if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);

  if (!parser.isSet(QStringLiteral("batch"))) {
    QTextStream(stderr) << "veltrasom: this build has no window; run an analysis with --batch "
                           "(see --help)\n";
    return 2;
  }
  if (!parser.positionalArguments().isEmpty()) {
    QTextStream(stderr) << "veltrasom: unexpected argument " << parser.positionalArguments().first()
                        << " (see --help)\n";
    return 2;
  }
  return veltrasom::runBatch(parser);
}
