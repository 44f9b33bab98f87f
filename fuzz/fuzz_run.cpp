// A whole run from five fuzzed files (split at a byte 0x01, in the order
// metric specification, observed values, E0, E1, correlations), in a
// private working directory.  Line 15 of the metric specification is
// replaced by a small number of simulations (-3 … 20) so every input runs
// fast.  Checks the run's answer: an exit status of 0, 1 or 2, the marker
// "0" exactly after a normal end, no file beyond the run's own, and every
// results row under the columns of the heading rows.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "engine/run/run_sequence.h"
#include "fuzz/fuzz_support.h"

using namespace mondrake;
namespace fs = std::filesystem;

namespace {

void write(const char* name, std::string_view text) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string slurp(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string small_metspec(std::string_view text) {
  std::string out;
  int line = 1;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view l = text.substr(start, end - start);
    if (line == 15) {
      int k = (l.empty() ? 13 : static_cast<unsigned char>(l[0]) % 24) - 3;
      out += "Number of simulations required," + std::to_string(k);
    } else {
      out += l;
    }
    if (end == text.size()) break;
    out += '\n';
    start = end + 1;
    ++line;
  }
  return out;
}

// Fields of a heading row; a field opening with a double quote runs through
// its closing quote.
std::size_t heading_fields(std::string_view row) {
  std::size_t n = 1;
  bool quoted = false, fresh = true;
  for (char c : row) {
    if (quoted) {
      if (c == '"') quoted = false;
    } else if (c == ',') {
      ++n;
      fresh = true;
      continue;
    } else if (c == '"' && fresh) {
      quoted = true;
    }
    fresh = false;
  }
  return n;
}

// Every data row of the results has the columns of the heading rows, with
// the sample name in the 50 characters before the first separator.
bool columns_hold(const std::string& results) {
  std::vector<std::string_view> rows;
  std::string_view all(results);
  for (std::size_t p; (p = all.find("\r\n")) != std::string_view::npos; all.remove_prefix(p + 2))
    rows.push_back(all.substr(0, p));
  if (!all.empty()) return false;  // a row without its line end
  if (rows.size() <= 10) return true;
  std::string_view names = rows[9];
  names = names.substr(0, names.find_last_not_of(' ') + 1);
  const std::size_t want = heading_fields(names);
  for (std::size_t r = 11; r < rows.size(); ++r) {
    std::string_view row = rows[r];
    if (row.size() <= 50 || row[50] != ',') return false;
    const std::size_t n = 2 + static_cast<std::size_t>(
                                  std::count(row.begin() + 51, row.end(), ','));
    if (n != want) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char tmpl[] = "/tmp/mondrake-fuzz-run-XXXXXX";
  if (!mkdtemp(tmpl) || chdir(tmpl) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto parts = fuzz::split(data, size, 5);
  for (const auto& e : fs::directory_iterator(".")) fs::remove(e.path());
  write(kControlFile,
        "/w\n/w/m.xlsx\n/w/o.xlsx\n/w/e0.xlsx\n/w/e1.xlsx\n/w/c.xlsx\n/w/out.xlsx\nrun.log\n");
  write(kMetspecFile, small_metspec(parts[0]));
  write(kObsFile, parts[1]);
  write(kEzeroFile, parts[2]);
  write(kEoneFile, parts[3]);
  write(kCorrFile, parts[4]);

  RunContext& ctx = fuzz::fresh_context();
  const int status = run_engine(ctx);
  if (status < 0 || status > 2) __builtin_trap();
  const std::string marker = slurp(kMarkerFile);
  if (marker != (status == 0 ? "0\r\n" : "1\r\n")) __builtin_trap();

  if (!columns_hold(slurp(kResultsFile))) __builtin_trap();

  static const std::set<std::string> allowed = {
      kControlFile, kMarkerFile, kMetspecFile, kObsFile, kEzeroFile,
      kEoneFile,    kCorrFile,   kResultsFile, "run.log"};
  for (const auto& e : fs::directory_iterator("."))
    if (!allowed.count(e.path().filename().string())) __builtin_trap();
  return 0;
}
