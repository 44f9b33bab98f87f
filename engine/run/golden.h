// Golden runs for tests: a run directory is copied to a fresh folder, the
// engine runs there, and every file of the expected folder is compared
// byte for byte (a unified diff is printed on a mismatch).
//
// A case folder holds input/ (copied into the run folder) and expected/:
// the files the run must leave, plus ".status" (the exit status),
// optionally ".stdout" / ".stderr" (the console) and ".absent" (names, one
// per line, of files the run must not leave).  With MONDRAKE_UPDATE_GOLDEN=1
// in the environment the expected files are rewritten from the run.
#pragma once

#include <filesystem>
#include <string>

namespace mondrake::testing {

// Folder of a test case below the source tree.
std::filesystem::path source_path(const std::string& relative);

struct RunOutcome {
  int status = -1;
  std::string out, err;
  std::filesystem::path dir;  // the run folder
};

// Runs the engine binary in a fresh copy of `input`.
RunOutcome run_in_copy(const std::filesystem::path& input);

std::string read_file(const std::filesystem::path& p);

// Runs a golden case and reports every difference as a test failure.  The
// run's input is case_dir/input unless another folder is given.
void check_golden(const std::filesystem::path& case_dir);
void check_golden(const std::filesystem::path& case_dir,
                  const std::filesystem::path& input);

}  // namespace mondrake::testing
