// The names of one analysis: the working directory, the five input
// workbooks, the results workbook and the log file, and the files that the
// front end and the engine exchange in the working directory.
#pragma once

#include <QString>
#include <QStringList>

namespace veltrasom {

// Files in the working directory, in the letter case the engine uses.
inline constexpr const char* kControlFile = "VELTRASOM.INP";
inline constexpr const char* kMarkerFile = "VELTRASOM.ERR";
inline constexpr const char* kResultsFile = "VELTRASOM_OUT.csv";

// The five inputs in their conversion order.
enum class Input { Metspec, Obs, EZero, EOne, Corr };
inline constexpr Input kInputs[] = {Input::Metspec, Input::Obs, Input::EZero,
                                    Input::EOne, Input::Corr};

// Name of the converted input file in the working directory.
const char* convertedName(Input input);
// What the input holds, for messages ("metric specification workbook").
QString inputRole(Input input);

struct RunNames {
  QString dir;  // working directory, without a trailing separator
  QString metspec, obs, ezero, eone, corr;  // the five input workbooks
  QString out;  // results workbook
  QString log;  // log file

  QString& input(Input which);
  const QString& input(Input which) const;

  // The names of a first run in `dir`: the test workbooks there and
  // "VELTRASOM.LOG".
  static RunNames defaults(const QString& dir);

  QString controlFile() const;                 // dir/VELTRASOM.INP
  QString markerFile() const;                  // dir/VELTRASOM.ERR
  QString resultsFile() const;                 // dir/VELTRASOM_OUT.csv
  QString convertedFile(Input which) const;    // dir/VELTRASOM_METSPEC.csv …

  // The eight lines of the control file, in their order.
  QStringList controlLines() const;

  bool operator==(const RunNames&) const = default;
};

// Reads the control file: true and the eight names when it exists and has
// eight lines.  A line is taken whole (names may hold commas); line ends
// LF and CR LF are both accepted.
bool readControlFile(const QString& path, RunNames* names, QString* error = nullptr);

// Writes the eight names, one per line, replacing an earlier file.  The
// file is replaced only once it is complete.
bool writeControlFile(const QString& path, const RunNames& names, QString* error = nullptr);

}  // namespace veltrasom
