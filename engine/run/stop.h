// The two ways a run ends early.
//
// A fatal stop is the engine's own answer to bad input: the raising stage
// has already written its message (to the log, or to the console); the run
// ends with exit status 1.  A run-time failure is input the engine could not
// read at all (a missing file, a value that is not a number): the report
// names the file, line and text and the run ends with exit status 2.  Both
// unwind to the entry point, which ends the process; the run marker keeps
// the "1" written at the start and the input files stay on disk.
#pragma once

#include <string>

namespace mondrake {

inline constexpr int kStatusNormal = 0;
inline constexpr int kStatusFatalStop = 1;
inline constexpr int kStatusRunFailure = 2;

struct FatalStop {};

struct RunFailure {
  std::string report;        // one line, without the "mondrake: " prefix
  bool at_read_position;     // prefix the file and line of the last record read
};

// Where the last record was read: a run-time failure during a read names it.
struct ReadPosition {
  const char* file = nullptr;
  long line = 0;
  std::string text;  // the record, for reports on values it holds
};

[[noreturn]] void fatal_stop();
[[noreturn]] void run_failure(std::string report, bool at_read_position = true);

}  // namespace mondrake
