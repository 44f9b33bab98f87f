// `veltrasom --batch`: one whole analysis without a window.
#pragma once

#include <QCommandLineParser>
#include <QStringList>

#include "frontend/run_names.h"

namespace veltrasom {

// Adds the batch mode's options to `parser`.
void addBatchOptions(QCommandLineParser& parser);

// The names of the run: each from its option, else from the control file
// in the working directory, else the default.  Option names are taken
// relative to `currentDir`, names from the control file relative to the
// working directory.
RunNames batchNames(const QCommandLineParser& parser, const QString& currentDir);

// Runs the analysis named by the parsed options; returns the exit status
// (0 only when the results workbook was written).  Needs a running
// QCoreApplication instance (it runs its event loop).
int runBatch(const QCommandLineParser& parser);

}  // namespace veltrasom
