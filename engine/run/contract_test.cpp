// The run's contract with its caller, checked on the real program: every
// input ends in exactly one of three ways (a normal end, a fatal stop with
// its message, a run-time failure with a report naming the file, line and
// text), never in a crash, a sanitizer report or a write outside the
// working directory and the log, and every results row keeps every value
// in its own field under the heading rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/run/golden.h"
#include "engine/run/text_out.h"

namespace fs = std::filesystem;
using mondrake::testing::read_file;
using mondrake::testing::run_in_copy;
using mondrake::testing::RunOutcome;

namespace {

const char* const kInputs[] = {"VELTRASOM_METSPEC.csv", "VELTRASOM_OBS.csv",
                               "VELTRASOM_EZERO.csv", "VELTRASOM_EONE.csv",
                               "VELTRASOM_CORR.csv"};

// The files of one run, by name; a name mapped to nullopt is left out.
using Files = std::map<std::string, std::optional<std::string>>;

std::string lines(const std::vector<std::string>& ls) {
  std::string s;
  for (const auto& l : ls) s += l + "\n";
  return s;
}

// A metric specification with the given rule rows (lines 8 … 14), number
// of simulations and metric rows.
std::string metspec(const std::vector<std::string>& rows, const std::string& nsim = "10",
                    const std::vector<std::string>& rules = {",,,All metrics,1,,,,,,,,,,,,"}) {
  std::vector<std::string> ls = {"Metric specification for a contract run,,,,,,,,,,,,,,,,"};
  for (int k = 2; k <= 6; ++k) ls.push_back("line " + std::to_string(k) + ",,,,,,,,,,,,,,,,");
  ls.push_back("Setting,Value,,Group,Overall,Grp1,Grp2,Grp3,Grp4,Grp5,Grp6,Grp7,Grp8,,,,");
  for (std::size_t k = 0; k < 7; ++k) ls.push_back(k < rules.size() ? rules[k] : ",,,,,,,,,,,,,,,,");
  ls.push_back("Number of simulations required," + nsim + ",,,,,,,,,,,,,,,");
  ls.push_back("Integer random number seed,4321,,,,,,,,,,,,,,,");
  for (int k = 17; k <= 19; ++k) ls.push_back("line " + std::to_string(k) + ",,,,,,,,,,,,,,,,");
  ls.push_back("Metric,Use,O/EQR,INT,L1,L2,L3,L4,SD,Trans,Bias,BiasSD,E1SD,MGP1,Wt1,MGP2,Wt2");
  ls.insert(ls.end(), rows.begin(), rows.end());
  return lines(ls);
}

const std::vector<std::string> kTwoMetrics = {
    "Taxa,1,0,0,0.8,0.6,0.4,0.2,2,0,0,0,0,0,1,0,1",
    "ASPT,1,0,0,0.9,0.7,0.5,0.3,0.3,0,0,0,0.1,0,1,0,1"};

// A small valid run: two metrics, two samples.
Files small_run() {
  return {{"VELTRASOM_METSPEC.csv", metspec(kTwoMetrics)},
          {"VELTRASOM_OBS.csv", "Metric,Site A,Site B\nTaxa,20,12\nASPT,5.5,4.1\n"},
          {"VELTRASOM_EZERO.csv", "2\nTaxa,0\nASPT,2\n"},
          {"VELTRASOM_EONE.csv", "1,Site A,Site B\nTaxa,25,24\nASPT,6.2,6.0\n"},
          {"VELTRASOM_CORR.csv", "Metric 1,Metric 2,Correlation\nTaxa,ASPT,0.4\n"}};
}

// What a run left behind.
struct Outcome {
  RunOutcome run;
  std::string marker, log, results;
  std::set<std::string> left;       // names in the working directory
  std::set<std::string> workbooks;  // names in the folder the control file points at
};

// The begin of every message a fatal stop writes to the log.
const char* const kStopMessages[] = {
    " The requested number of simulations is",
    " Integer random number seed cannot be",
    " Problem reading header lines of METRIC SPEC file :",
    "No second quote in metric name",
    " maximum number of metrics which can be used =",
    " maximum number of MMIs which can be used = 100",
    " No metric selected for Uncertainty assessment",
    " Transformation code of metric :",
    " Negative weight in the row of ",
    " Problem reading header line of METRIC",
    " maximum number of samples which can be used =",
    " Some of the Selected Metric names are not in the",
    " Problem : Cell A1 of the",
    " Problem reading header line of file holding",
    " No Multi-metric index (MMI) has been identified to",
};

class Runner {
 public:
  Runner() {
    char tmpl[] = "/tmp/mondrake-contract-XXXXXX";
    base_ = mkdtemp(tmpl);
    fs::create_directories(base_ / "input");
    fs::create_directories(base_ / "workbooks");
  }
  ~Runner() {
    std::error_code ec;
    fs::remove_all(base_, ec);
  }

  // The control file names the user's workbooks in a folder of their own,
  // which the engine must never write to, and a relative log file.
  std::string control(int lines = 8) const {
    const std::string wb = (base_ / "workbooks").string();
    const std::vector<std::string> names = {
        base_.string(), wb + "/metspec.xlsx", wb + "/observed.xlsx", wb + "/ezero.xlsx",
        wb + "/eone.xlsx", wb + "/corr.xlsx", wb + "/results.xlsx", "run.log"};
    return lines >= 8 ? ::lines(names)
                      : ::lines(std::vector<std::string>(names.begin(), names.begin() + lines));
  }

  Outcome run(const Files& files) {
    const fs::path input = base_ / "input";
    for (const auto& e : fs::directory_iterator(input)) fs::remove_all(e.path());
    Files all = files;
    if (!all.count("VELTRASOM.INP")) all["VELTRASOM.INP"] = control();
    for (const auto& [name, text] : all) {
      if (!text) continue;
      std::ofstream(input / name, std::ios::binary) << *text;
    }
    Outcome o;
    o.run = run_in_copy(input);
    o.marker = read_file(o.run.dir / "VELTRASOM.ERR");
    o.log = read_file(o.run.dir / "run.log");
    o.results = read_file(o.run.dir / "VELTRASOM_OUT.csv");
    for (const auto& e : fs::directory_iterator(o.run.dir)) o.left.insert(e.path().filename());
    for (const auto& e : fs::directory_iterator(base_ / "workbooks"))
      o.workbooks.insert(e.path().filename());
    std::error_code ec;
    fs::remove_all(o.run.dir, ec);
    return o;
  }

 private:
  fs::path base_;
};

std::vector<std::string> split(const std::string& text, const std::string& sep) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t p; (p = text.find(sep, start)) != std::string::npos; start = p + sep.size())
    out.push_back(text.substr(start, p - start));
  out.push_back(text.substr(start));
  return out;
}

std::string rtrim(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// Fields of a heading row, a field that opens with a double quote running
// through its closing quote (metric names may hold commas that way).
std::vector<std::string> heading_fields(const std::string& row) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (char c : row) {
    if (quoted) {
      out.back() += c;
      if (c == '"') quoted = false;
    } else if (c == ',') {
      out.emplace_back();
    } else {
      if (c == '"' && out.back().empty()) quoted = true;
      out.back() += c;
    }
  }
  return out;
}

// A fixed-point field after its leading blanks: digits with d decimals,
// w asterisks, or the non-finite forms.
bool is_fixed(const std::string& field, std::size_t w, std::size_t d) {
  std::string f = field.substr(std::min(field.find_first_not_of(' '), field.size()));
  if (f == std::string(w, '*') || f == "Inf" || f == "-Inf" || f == "NaN") return true;
  if (!f.empty() && f[0] == '-') f.erase(0, 1);
  const std::size_t point = f.find('.');
  if (point == std::string::npos || f.size() - point - 1 != d) return false;
  for (std::size_t k = 0; k < f.size(); ++k)
    if (k != point && !std::isdigit(static_cast<unsigned char>(f[k]))) return false;
  return true;
}

// The report of a run-time failure: "mondrake: " and one line; a failure
// while reading names the run file, its line and what was wrong.
bool is_failure_report(const std::string& err) {
  const std::string prefix = "mondrake: ";
  if (err.rfind(prefix, 0) != 0 || err.size() < prefix.size() + 3) return false;
  if (err.compare(err.size() - 2, 2, "\r\n") != 0) return false;
  const std::string body = err.substr(prefix.size(), err.size() - prefix.size() - 2);
  if (body.empty() || body.find_first_of("\r\n") != std::string::npos) return false;
  if (body.rfind("VELTRASOM", 0) != 0 || body.find(" line ") == std::string::npos) return true;
  const std::size_t at = body.find(" line ");
  const std::size_t colon = body.find(": ", at);
  if (colon == std::string::npos || colon + 2 >= body.size()) return false;
  for (std::size_t k = at + 6; k < colon; ++k)
    if (!std::isdigit(static_cast<unsigned char>(body[k]))) return false;
  return colon > at + 6;
}

// Every data row has the heading rows' columns, the sample name in its 50
// characters before the first separator, and every value in its field: a
// class label of 5 characters, percentages and values right-aligned in
// their widths (or asterisks when they do not fit).
void check_results_columns(const std::string& results) {
  std::vector<std::string> rows = split(results, "\r\n");
  ASSERT_FALSE(rows.empty());
  ASSERT_EQ(rows.back(), "") << "the results file ends inside a row";
  rows.pop_back();
  if (rows.size() <= 8) return;  // stopped before the headings
  ASSERT_GE(rows.size(), 11u);
  ASSERT_EQ(rows[8].rfind("Site/Waterbody Identifier", 0), 0u);
  const std::vector<std::string> names = heading_fields(rtrim(rows[9]));
  const std::vector<std::string> labels = split(rtrim(rows[10]), ",");
  ASSERT_EQ(labels.size() + 1, names.size()) << rows[9].substr(0, 300);

  for (std::size_t r = 11; r < rows.size(); ++r) {
    SCOPED_TRACE("results row " + std::to_string(r + 1));
    const std::string& row = rows[r];
    ASSERT_GT(row.size(), 50u);
    ASSERT_EQ(row[50], ',') << row.substr(0, 80);
    std::vector<std::string> fields = split(row.substr(51), ",");
    fields.insert(fields.begin(), row.substr(0, 50));
    ASSERT_EQ(fields.size(), names.size()) << row.substr(0, 300);
    for (std::size_t j = 1; j < labels.size(); ++j) {
      const std::string& label = labels[j];
      const std::string& f = fields[j];
      if (label == "Status") {
        EXPECT_EQ(f.size(), 5u) << "column " << j << ": '" << f << "'";
      } else if (!label.empty() && label[0] == '%') {
        EXPECT_TRUE(f.size() <= 8 && is_fixed(f, 6, 1))
            << "column " << j << " (" << label << "): '" << f << "'";
      } else if (!label.empty()) {
        EXPECT_TRUE(f.size() == 8 && is_fixed(f, 8, 3))
            << "column " << j << " (" << label << "): '" << f << "'";
      }
    }
  }
}

bool has_stop_message(const std::string& log) {
  // The message stands among the last lines of the log.
  const std::string tail = log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
  for (const char* m : kStopMessages)
    if (tail.find(m) != std::string::npos) return true;
  return false;
}

// The three ways a run may end, and nothing else.
void check_contract(const Outcome& o) {
  const RunOutcome& r = o.run;
  for (const char* report : {"runtime error", "Sanitizer", "AddressSanitizer"})
    ASSERT_EQ(r.err.find(report), std::string::npos) << r.err;
  ASSERT_TRUE(r.status == 0 || r.status == 1 || r.status == 2)
      << "status " << r.status << "\n" << r.err;
  EXPECT_EQ(o.marker, r.status == 0 ? "0\r\n" : "1\r\n");
  EXPECT_TRUE(o.workbooks.empty()) << "the run wrote beside the user's workbooks";

  std::set<std::string> allowed = {"VELTRASOM.INP", "VELTRASOM.ERR", "VELTRASOM_OUT.csv",
                                   "run.log"};
  allowed.insert(std::begin(kInputs), std::end(kInputs));
  for (const std::string& name : o.left) EXPECT_TRUE(allowed.count(name)) << "left " << name;

  const bool closed = o.log.find(" End of program VELTRASOM") != std::string::npos;
  if (r.status == 0) {
    EXPECT_TRUE(closed);
    EXPECT_EQ(r.err, "");
    for (const char* in : kInputs) EXPECT_FALSE(o.left.count(in)) << in << " kept";
  } else {
    EXPECT_FALSE(closed);
  }
  if (r.status == 1) {
    const bool console = r.out.find("ERROR:\r\n Sampling Variance-Covariance matrix is not") !=
                             std::string::npos ||
                         r.out.find("SIZE OF VECTOR IS NON POSITIVE") != std::string::npos;
    EXPECT_TRUE(console || has_stop_message(o.log))
        << "a fatal stop without its message; log ends:\n"
        << o.log.substr(o.log.size() > 600 ? o.log.size() - 600 : 0);
    EXPECT_EQ(r.err, "");
  }
  if (r.status == 2) {
    EXPECT_TRUE(is_failure_report(r.err)) << r.err;
    if (!o.log.empty()) {
      EXPECT_NE(o.log.find(r.err), std::string::npos) << "the log lacks the report";
    }
  }
  if (!o.results.empty()) check_results_columns(o.results);
}

// ---- Bad and odd input: each ends in one of the three ways ------------------

struct Case {
  const char* name;
  std::function<void(Files&, const Runner&)> change;
  int status;                     // the expected exit status
  const char* expect = nullptr;   // text the console report or the log must hold
};

void set(Files& f, const std::string& name, std::optional<std::string> text) { f[name] = std::move(text); }

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int k = 0; k < n; ++k) out += s;
  return out;
}

const Case kCases[] = {
    {"valid run", [](Files&, const Runner&) {}, 0},
    {"control file missing", [](Files& f, const Runner&) { set(f, "VELTRASOM.INP", std::nullopt); }, 2,
     "VELTRASOM.INP"},
    {"control file of seven lines", [](Files& f, const Runner& r) { set(f, "VELTRASOM.INP", r.control(7)); },
     2, "has 7 lines"},
    {"log file in a folder that does not exist",
     [](Files& f, const Runner& r) {
       std::string c = r.control();
       c.replace(c.rfind("run.log"), 7, "/nonexistent/folder/run.log");
       set(f, "VELTRASOM.INP", c);
     },
     2, "cannot open output file /nonexistent/folder/run.log"},
    {"control names of 5000 characters",
     [](Files& f, const Runner&) {
       set(f, "VELTRASOM.INP", repeat(std::string(5000, 'x') + "\n", 7) + "run.log\n");
     },
     0},
    {"metric specification missing",
     [](Files& f, const Runner&) { set(f, "VELTRASOM_METSPEC.csv", std::nullopt); }, 2,
     "VELTRASOM_METSPEC.csv"},
    {"observed values missing", [](Files& f, const Runner&) { set(f, "VELTRASOM_OBS.csv", std::nullopt); },
     2, "VELTRASOM_OBS.csv"},
    {"correlations missing", [](Files& f, const Runner&) { set(f, "VELTRASOM_CORR.csv", std::nullopt); }, 2,
     "VELTRASOM_CORR.csv"},
    {"metric specification empty", [](Files& f, const Runner&) { set(f, "VELTRASOM_METSPEC.csv", ""); }, 1,
     " Problem reading header lines of METRIC SPEC file :"},
    {"metric specification cut after the settings",
     [](Files& f, const Runner&) {
       auto ls = split(*f["VELTRASOM_METSPEC.csv"], "\n");
       ls.resize(16);
       set(f, "VELTRASOM_METSPEC.csv", lines(ls));
     },
     1, " Problem reading header lines of METRIC SPEC file :"},
    {"simulations not a number",
     [](Files& f, const Runner&) { set(f, "VELTRASOM_METSPEC.csv", metspec(kTwoMetrics, "many")); }, 2,
     "VELTRASOM_METSPEC.csv line 15: "},
    {"100001 simulations",
     [](Files& f, const Runner&) { set(f, "VELTRASOM_METSPEC.csv", metspec(kTwoMetrics, "100001")); }, 1,
     " The requested number of simulations is 100001"},
    {"no simulations", [](Files& f, const Runner&) { set(f, "VELTRASOM_METSPEC.csv", metspec(kTwoMetrics, "0")); },
     0},
    {"negative simulations",
     [](Files& f, const Runner&) { set(f, "VELTRASOM_METSPEC.csv", metspec(kTwoMetrics, "-5")); }, 0},
    {"observed values empty", [](Files& f, const Runner&) { set(f, "VELTRASOM_OBS.csv", ""); }, 1,
     " Problem reading header line of METRIC"},
    {"observed values header only",
     [](Files& f, const Runner&) { set(f, "VELTRASOM_OBS.csv", "Metric,Site A,Site B\n"); }, 1,
     " Some of the Selected Metric names are not in the"},
    {"observed value not a number",
     [](Files& f, const Runner&) {
       set(f, "VELTRASOM_OBS.csv", "Metric,Site A,Site B\nTaxa,20,twelve\nASPT,5.5,4.1\n");
     },
     2, "VELTRASOM_OBS.csv line 2: "},
    {"observed value with a NUL byte",
     [](Files& f, const Runner&) {
       set(f, "VELTRASOM_OBS.csv", std::string("Metric,Site A,Site B\nTaxa,2\0" "0,12\nASPT,5.5,4.1\n", 44));
     },
     2, "VELTRASOM_OBS.csv line 2: "},
    {"quoted metric name without its closing quote",
     [](Files& f, const Runner&) {
       set(f, "VELTRASOM_OBS.csv", "Metric,Site A,Site B\n\"Taxa,20,12\nASPT,5.5,4.1\n");
     },
     1, "No second quote in metric name"},
    {"values not calculated",
     [](Files& f, const Runner&) {
       set(f, "VELTRASOM_OBS.csv", "Metric,Site A,Site B\nTaxa,Not Calculated,12\nASPT,-9,Not Calculated\n");
     },
     0},
    {"301 samples",
     [](Files& f, const Runner&) {
       std::string head = "Metric";
       for (int s = 1; s <= 301; ++s) head += ",S" + std::to_string(s);
       set(f, "VELTRASOM_OBS.csv", head + "\nTaxa" + repeat(",20", 301) + "\nASPT" + repeat(",5", 301) + "\n");
       set(f, "VELTRASOM_EONE.csv", "3\n");
     },
     1, " maximum number of samples which can be used ="},
    {"header record of 12000 characters",
     [](Files& f, const Runner&) {
       set(f, "VELTRASOM_OBS.csv", "Metric,Site A,Site B" + repeat(",x", 6000) + "\nTaxa,20,12\nASPT,5.5,4.1\n");
     },
     1, " maximum number of samples which can be used ="},
    {"E0 code 4", [](Files& f, const Runner&) { set(f, "VELTRASOM_EZERO.csv", "4\nTaxa,0\nASPT,2\n"); }, 1,
     " Problem : Cell A1 of the"},
    {"E0 empty", [](Files& f, const Runner&) { set(f, "VELTRASOM_EZERO.csv", ""); }, 1,
     " Problem reading header line of file holding the E0 (EZERO) values"},
    {"E1 sample names differ",
     [](Files& f, const Runner&) { set(f, "VELTRASOM_EONE.csv", "1,Site A,Site C\nTaxa,25,24\nASPT,6.2,6.0\n"); },
     1, " Problem reading header line of file holding"},
    {"E1 metric missing",
     [](Files& f, const Runner&) { set(f, "VELTRASOM_EONE.csv", "1,Site A,Site B\nTaxa,25,24\n"); }, 1,
     " Some of the Selected Metric names are not in the"},
    {"correlations empty", [](Files& f, const Runner&) { set(f, "VELTRASOM_CORR.csv", ""); }, 0},
    {"correlations of binary noise",
     [](Files& f, const Runner&) {
       std::string noise;
       for (int k = 0; k < 2000; ++k) noise += static_cast<char>((k * 7919 + 13) % 256);
       set(f, "VELTRASOM_CORR.csv", noise);
     },
     0},
    {"correlation beyond 1",
     [](Files& f, const Runner&) { set(f, "VELTRASOM_CORR.csv", "Taxa,ASPT,2.0\n"); }, 1,
     " Sampling Variance-Covariance matrix is not"},
    {"every file with CR LF line ends",
     [](Files& f, const Runner&) {
       for (auto& [name, text] : f)
         if (text && name != "VELTRASOM.INP") {
           std::string crlf;
           for (char c : *text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
           text = crlf;
         }
     },
     0},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class RunContract : public ::testing::TestWithParam<Case> {};

TEST_P(RunContract, EndsInOneOfTheThreeWays) {
  const Case& c = GetParam();
  Runner runner;
  Files files = small_run();
  c.change(files, runner);
  Outcome o = runner.run(files);
  check_contract(o);
  EXPECT_EQ(o.run.status, c.status) << o.run.err << o.log.substr(o.log.size() > 800 ? o.log.size() - 800 : 0);
  if (c.expect) {
    const std::string all = o.run.err + o.run.out + o.log;
    EXPECT_NE(all.find(c.expect), std::string::npos) << "'" << c.expect << "' not reported";
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, RunContract, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string n;
                           for (char ch : std::string(info.param.name))
                             n += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return n;
                         });

// ---- Extreme but legal values: the run completes, every value in its field -

std::string join(const std::vector<std::string>& v, const std::string& sep) {
  std::string out;
  for (std::size_t k = 0; k < v.size(); ++k) out += (k ? sep : "") + v[k];
  return out;
}

Outcome expect_normal_end(const Files& files) {
  Runner runner;
  Outcome o = runner.run(files);
  check_contract(o);
  EXPECT_EQ(o.run.status, 0) << o.run.err << o.log.substr(o.log.size() > 800 ? o.log.size() - 800 : 0);
  return o;
}

TEST(ExtremeValues, E1EqualToE0AndHugeAndTinyValues) {
  Files f = small_run();
  f["VELTRASOM_OBS.csv"] = "Metric,S1,S2,S3,S4\nTaxa,20,3e38,1e-38,-3e38\nASPT,5.5,1e30,-1e-30,0\n";
  f["VELTRASOM_EZERO.csv"] = "1,S1,S2,S3,S4\nTaxa,25,0,1e-38,3e38\nASPT,5,1e-30,0,-3e38\n";
  f["VELTRASOM_EONE.csv"] = "1,S1,S2,S3,S4\nTaxa,25,3e38,1e-38,-3e38\nASPT,5,1e30,1e-37,3e38\n";
  Outcome o = expect_normal_end(f);
  // Values too wide for their fields are asterisks in those fields.
  EXPECT_NE(o.results.find(",********,"), std::string::npos);
}

TEST(ExtremeValues, AHundredThousandSimulationsOfOneMetric) {
  Files f = small_run();
  f["VELTRASOM_METSPEC.csv"] = metspec({kTwoMetrics[0]}, "100000");
  f["VELTRASOM_OBS.csv"] = "Metric,S\nTaxa,20\n";
  f["VELTRASOM_EZERO.csv"] = "3\n";
  f["VELTRASOM_EONE.csv"] = "1,S\nTaxa,25\n";
  f["VELTRASOM_CORR.csv"] = "";
  Outcome o = expect_normal_end(f);
  EXPECT_NE(o.log.find(" Number of simulations required =100000"), std::string::npos);
}

TEST(ExtremeValues, TwoHundredMetricsAHundredIndicesThreeHundredSamples) {
  std::vector<std::string> rows, names, samples;
  for (int k = 0; k < 200; ++k) {
    names.push_back("Metric " + std::to_string(k));
    rows.push_back(names.back() + ",1,0,0,,,,,0.1,0,0,0,0,1,1,1,1");
  }
  for (int k = 0; k < 100; ++k)
    rows.push_back("Index " + std::to_string(k) + ",6,1,0,0.8,0.6,0.4,0.2,,,,,,1,1,1,1");
  for (int s = 0; s < 300; ++s) samples.push_back("Sample " + std::to_string(s));
  std::string obs = "Metric," + join(samples, ",") + "\n";
  for (int k = 0; k < 200; ++k) {
    obs += names[static_cast<std::size_t>(k)];
    for (int s = 0; s < 300; ++s) obs += "," + std::to_string(((k * 31 + s * 17) % 100) / 100.0);
    obs += "\n";
  }
  Files f = {{"VELTRASOM_METSPEC.csv",
              metspec(rows, "2", {",,,Overall,1,,,,,,,,,,,,", ",,,Group 1,1,6,0,0,0,0,0,0,0,1,,,"})},
             {"VELTRASOM_OBS.csv", obs},
             {"VELTRASOM_EZERO.csv", "3\n"},
             {"VELTRASOM_EONE.csv", "3\n"},
             {"VELTRASOM_CORR.csv", "Metric 1,Metric 2,Correlation\nMetric 0,Metric 1,0.4\n"}};
  Outcome o = expect_normal_end(f);
  EXPECT_NE(o.log.find(" Number of individual metrics to be used =  200"), std::string::npos);
  EXPECT_NE(o.log.find(" Number of Multi-metric indices (MMI) to be used =  100"), std::string::npos);
  EXPECT_NE(o.log.find(" Sample  300 : Sample 299"), std::string::npos);
}

TEST(ExtremeValues, NamesOfAHundredCharactersWithQuotesAndCommas) {
  // A quoted metric name holding commas, an unquoted one holding quotes and
  // an apostrophe, sample names holding quotes: all 100 characters long.
  std::string quoted = "\"Metric 1, odd name, with commas";
  quoted += std::string(99 - quoted.size(), 'x') + "\"";
  std::string plain = "Metric \"two\" it's ";
  plain += std::string(100 - plain.size(), 'z');
  std::string s1 = "'Site 1 \"quoted\"";
  s1 += std::string(100 - s1.size(), 'y');
  std::string s2 = "Site 2 \"quoted\"";
  s2 += std::string(100 - s2.size(), 'w');
  ASSERT_EQ(quoted.size(), 100u);
  const std::string head = s1 + "," + s2;
  Files f = {
      {"VELTRASOM_METSPEC.csv",
       metspec({quoted + ",1,0,0,0.8,0.6,0.4,0.2,2,0,0,0,0,0,1,0,1",
                plain + ",1,0,0,0.9,0.7,0.5,0.3,0.3,0,0,0,0.1,0,1,0,1"})},
      {"VELTRASOM_OBS.csv", "Metric," + head + "\n" + quoted + ",20,12\n" + plain + ",5.5,4.1\n"},
      {"VELTRASOM_EZERO.csv", "1," + head + "\n" + quoted + ",0,0\n" + plain + ",2,2\n"},
      {"VELTRASOM_EONE.csv", "1," + head + "\n" + quoted + ",25,24\n" + plain + ",6.2,6.0\n"},
      {"VELTRASOM_CORR.csv", "Metric 1,Metric 2,Correlation\n" + plain + "," + plain + ",1.0\n"}};
  Outcome o = expect_normal_end(f);
  EXPECT_NE(o.results.find("," + quoted + ","), std::string::npos);
  EXPECT_NE(o.results.find("\r\n" + s1.substr(0, 50) + ","), std::string::npos);
  EXPECT_NE(o.log.find(" Sample    2 : " + s2.substr(0, 40)), std::string::npos);
}

// ---- Regressions --------------------------------------------------------

// An empty line written to a file: the empty view holds no buffer, which
// the C library must not be handed.
TEST(ContractRegressions, EmptyLineToAFile) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  mondrake::TextOut out(f);
  out.empty();
  out.line(std::string_view{});
  std::rewind(f);
  char buf[8] = {};
  EXPECT_EQ(std::fread(buf, 1, sizeof buf, f), 4u);
  EXPECT_EQ(std::string(buf, 4), "\r\n\r\n");
  std::fclose(f);
}

}  // namespace
