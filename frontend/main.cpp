// veltrasom: the front end of the mondrake engine.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <clocale>
#include <cstring>
#include <memory>

#include "frontend/batch.h"
#include "frontend/main_window.h"

namespace {

// The batch mode and the help texts must run without a display, so the
// window's application object is made only when the window is wanted.
bool wantsWindow(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--batch") == 0 || std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0 ||
        std::strcmp(a, "--help-all") == 0 || std::strcmp(a, "-?") == 0)
      return false;
  }
  return true;
}

// Whether a window can be shown at all: without a display the platform
// would abort the program.
bool haveDisplay() {
  return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
         qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool window = wantsWindow(argc, argv);
  if (window && !haveDisplay()) {
    QTextStream(stderr) << "veltrasom: there is no display for the window; run an analysis with "
                           "--batch (see --help)\n";
    return 2;
  }
  std::unique_ptr<QCoreApplication> app =
      window ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
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
  if (!parser.positionalArguments().isEmpty()) {
    QTextStream(stderr) << "veltrasom: unexpected argument " << parser.positionalArguments().first()
                        << " (see --help)\n";
    return 2;
  }
  if (parser.isSet(QStringLiteral("batch"))) return veltrasom::runBatch(parser);

  veltrasom::MainWindow main(veltrasom::WindowEnvironment::desktop());
  main.show();
  return app->exec();
}
