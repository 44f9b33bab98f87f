#include "engine/run/golden.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef MONDRAKE_BINARY
#error "MONDRAKE_BINARY must name the engine binary"
#endif

namespace fs = std::filesystem;

namespace mondrake::testing {

fs::path source_path(const std::string& relative) {
  const char* root = std::getenv("MONDRAKE_SOURCE_DIR");
  return fs::path(root ? root : MONDRAKE_SOURCE_DIR) / relative;
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

namespace {

void write_file(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

std::string unified_diff(const std::string& expected, const std::string& actual,
                         const fs::path& scratch) {
  write_file(scratch / ".diff-expected", expected);
  write_file(scratch / ".diff-actual", actual);
  std::string cmd = "diff -u --label expected --label actual '" +
                    (scratch / ".diff-expected").string() + "' '" +
                    (scratch / ".diff-actual").string() + "' | head -c 20000";
  std::string diff;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) diff.append(buf, n);
    pclose(p);
  }
  fs::remove(scratch / ".diff-expected");
  fs::remove(scratch / ".diff-actual");
  return diff;
}

void compare(const fs::path& expected_file, const std::string& actual,
             const fs::path& scratch, bool update) {
  if (update) return write_file(expected_file, actual);
  std::string expected = read_file(expected_file);
  if (expected != actual) {
    ADD_FAILURE() << expected_file.filename() << " differs:\n"
                  << unified_diff(expected, actual, scratch);
  }
}

}  // namespace

RunOutcome run_in_copy(const fs::path& input) {
  RunOutcome r;
  char tmpl[] = "/tmp/mondrake-run-XXXXXX";
  r.dir = mkdtemp(tmpl);
  fs::copy(input, r.dir, fs::copy_options::recursive);
  std::string cmd = "cd '" + r.dir.string() + "' && '" MONDRAKE_BINARY
                    "' > .console-out 2> .console-err";
  int raw = std::system(cmd.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = read_file(r.dir / ".console-out");
  r.err = read_file(r.dir / ".console-err");
  fs::remove(r.dir / ".console-out");
  fs::remove(r.dir / ".console-err");
  return r;
}

void check_golden(const fs::path& case_dir) { check_golden(case_dir, case_dir / "input"); }

void check_golden(const fs::path& case_dir, const fs::path& input) {
  SCOPED_TRACE(case_dir.string());
  const bool update = std::getenv("MONDRAKE_UPDATE_GOLDEN") != nullptr;
  const fs::path expected = case_dir / "expected";
  RunOutcome r = run_in_copy(input);
  if (update) fs::create_directories(expected);

  compare(expected / ".status", std::to_string(r.status) + "\n", r.dir, update);
  if (update || fs::exists(expected / ".stdout")) compare(expected / ".stdout", r.out, r.dir, update);
  if (update || fs::exists(expected / ".stderr")) compare(expected / ".stderr", r.err, r.dir, update);

  if (update) {
    // Keep every file the run left that was not an input left unchanged.
    for (const auto& e : fs::directory_iterator(r.dir)) {
      fs::path in = input / e.path().filename();
      std::string text = read_file(e.path());
      if (fs::exists(in) && read_file(in) == text) continue;
      write_file(expected / e.path().filename(), text);
    }
    std::string gone;
    for (const auto& e : fs::directory_iterator(input)) {
      if (!fs::exists(r.dir / e.path().filename())) gone += e.path().filename().string() + "\n";
    }
    if (gone.empty()) fs::remove(expected / ".absent");
    else write_file(expected / ".absent", gone);
  } else {
    for (const auto& e : fs::directory_iterator(expected)) {
      std::string name = e.path().filename().string();
      if (name[0] == '.') continue;
      fs::path actual = r.dir / name;
      if (!fs::exists(actual)) {
        ADD_FAILURE() << name << " was not written";
        continue;
      }
      compare(e.path(), read_file(actual), r.dir, false);
    }
    std::istringstream absent(fs::exists(expected / ".absent") ? read_file(expected / ".absent") : "");
    for (std::string name; std::getline(absent, name);) {
      if (!name.empty()) {
        EXPECT_FALSE(fs::exists(r.dir / name)) << name << " should be gone";
      }
    }
  }
  if (!::testing::Test::HasFailure()) fs::remove_all(r.dir);
}

}  // namespace mondrake::testing
