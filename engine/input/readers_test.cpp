// Tests of the run-settings reader and the four input readers.
//
// Two kinds of test:
// - reader runs in memory, on a run context whose files are given as text,
//   for the values the readers leave in the tables;
// - runs of the engine binary on a copy of the small normal run with one
//   edit each, for the exact log lines of every stop, the exit status, the
//   run marker and the report of a run-time failure; and a few full golden
//   runs of realistic metric specification files.
#include <algorithm>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/input/readers.h"
#include "engine/input/record.h"
#include "engine/run/golden.h"

namespace fs = std::filesystem;

namespace mondrake {
namespace {

using testing::check_golden;
using testing::read_file;
using testing::run_in_copy;
using testing::source_path;

const fs::path kNormal = source_path("engine/run/testdata/normal-end");

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t stop = end == std::string::npos ? text.size() : end;
    std::size_t len = stop - start;
    if (len > 0 && text[start + len - 1] == '\r') --len;
    lines.push_back(text.substr(start, len));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string crlf(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

std::string padded(std::string s, std::size_t n) {
  s.resize(n, ' ');
  return s;
}

// A metric row of 17 fields, as a spreadsheet saves it.
std::string metric_row(const std::string& name, const std::string& values) {
  std::string row = name + "," + values;
  int commas = 0;
  for (char c : row) commas += c == ',';
  // Names with quoted commas are rare here; count only what is needed.
  while (commas < 16) row += ',', ++commas;
  return row;
}

// The input files of a run, line by line, keyed by file name.
struct Inputs {
  std::map<std::string, std::vector<std::string>> files;

  static Inputs normal() {
    Inputs in;
    for (const char* f : {kMetspecFile, kObsFile, kEzeroFile, kEoneFile, kCorrFile}) {
      in.files[f] = split_lines(read_file(kNormal / "input" / f));
    }
    return in;
  }
  std::vector<std::string>& operator[](const char* f) { return files[f]; }
  // Sets line n (from 1) of file f.
  Inputs& set(const char* f, int n, std::string text) {
    files[f].at(static_cast<std::size_t>(n - 1)) = std::move(text);
    return *this;
  }
};

// ---- Reading in memory ----------------------------------------------------

enum class Outcome { complete, fatal_stop, run_failure };

struct Read {
  std::unique_ptr<RunContext> ctx = std::make_unique<RunContext>();
  Outcome outcome = Outcome::complete;
  std::string failure;
  std::string log() const { return ctx->log.text(); }
};

enum Stages { kMetspec = 1, kSamples = 2, kAll = 3 };

Read read_inputs(Inputs in, int stages = kAll) {
  Read r;
  RunContext& ctx = *r.ctx;
  for (int k = 1; k <= 8; ++k) ctx.control[static_cast<std::size_t>(k)] = padded("control " + std::to_string(k), 200);
  std::string texts[5];
  const char* names[5] = {kMetspecFile, kObsFile, kEzeroFile, kEoneFile, kCorrFile};
  InputFile* files[5] = {&ctx.metspec, &ctx.obs, &ctx.ezero, &ctx.eone, &ctx.corr};
  for (int k = 0; k < 5; ++k) {
    texts[k] = crlf(in[names[k]]);
    files[k]->open_text(names[k], texts[k], &ctx.where);
  }
  try {
    load_metric_spec(ctx);
    if (stages >= kSamples) read_sample_values(ctx);
    if (stages >= kAll) read_correlations(ctx);
  } catch (const FatalStop&) {
    r.outcome = Outcome::fatal_stop;
  } catch (const RunFailure& f) {
    r.outcome = Outcome::run_failure;
    r.failure = f.report;
  }
  return r;
}

// Header lines 1-20 of the normal run's metric specification file, then
// these rows.
Inputs with_metric_rows(const std::vector<std::string>& rows) {
  Inputs in = Inputs::normal();
  auto& lines = in[kMetspecFile];
  lines.resize(20);
  lines.insert(lines.end(), rows.begin(), rows.end());
  return in;
}

std::string name_text(const Name& n) {
  std::string_view v = n.view();
  return std::string(v.substr(0, static_cast<std::size_t>(trimmed_length(v))));
}

TEST(MetricSpecification, SlotsTakeDefaultsAndIndicesFollowTheMetrics) {
  Inputs in = with_metric_rows({
      metric_row("MMI one", "6,1,0,0.8,0.6,0.4,0.2,,,,,,1,2.5,1,0.5"),
      "Bare,1",
      "",
      "   ",
      metric_row("Off", "0,1"),
      metric_row("Blank use", ",1"),
      metric_row("Two", "2,1"),
      metric_row("Seven", "7,1"),
      metric_row("Minus", "-1,1"),
      metric_row("\"Taxa, families\"", "1,2,1,10,20,30,40,0.35,4,0.5,0.25,0.1,3,2,4,0.75"),
      metric_row("MMI two", "6,1,0,1,2,3,4,,9,,,0.3,2,1,0,1"),
      metric_row("  Lead", "1,0,0,0.8,0.6,0.4,0.2,1.5e-1,2,,,,0,0,0,0"),
  });
  Read r = read_inputs(in, kMetspec);
  ASSERT_EQ(r.outcome, Outcome::complete) << r.log();
  const RunContext& c = *r.ctx;
  EXPECT_EQ(c.cigband.nmet, 3);
  EXPECT_EQ(c.cigband.nmmi, 2);
  EXPECT_EQ(c.cigband.nslot, 5);

  // Only a name and use flag 1: limits -9, SD 0, overall level, weights 1.
  EXPECT_EQ(name_text(c.slots.name[1]), "Bare");
  EXPECT_EQ(c.cbandlim.use[1], 1);
  for (float l : c.cbandlim.lim[1]) EXPECT_EQ(l, -9.0f);
  EXPECT_EQ(c.slots.sd[1], 0.0f);
  EXPECT_EQ(c.slots.oeqr[1], 0);
  EXPECT_EQ(c.slots.trans[1], 0);
  EXPECT_EQ(c.cigband.mgp[1][0], 0);
  EXPECT_EQ(c.cigband.mgp[1][1], 0);
  EXPECT_EQ(c.cigband.wt[1][0], 1.0f);
  EXPECT_EQ(c.cigband.wt[1][1], 1.0f);
  EXPECT_EQ(c.cbandlim.dir[1], -1);

  // A quoted name keeps its quotes; the comma inside does not split it.
  EXPECT_EQ(name_text(c.slots.name[2]), "\"Taxa, families\"");
  EXPECT_EQ(c.slots.oeqr[2], 2);
  EXPECT_EQ(c.slots.intf[2], 1);
  EXPECT_EQ(c.cbandlim.lim[2][0], 10.0f);
  EXPECT_EQ(c.cbandlim.lim[2][3], 40.0f);
  EXPECT_EQ(c.cbandlim.dir[2], 1);
  EXPECT_EQ(c.slots.sd[2], 0.35f);
  EXPECT_EQ(c.slots.trans[2], 4);
  EXPECT_EQ(c.slots.bias[2], 0.5f);
  EXPECT_EQ(c.slots.biassd[2], 0.25f);
  EXPECT_EQ(c.slots.e1sd[2], 0.1f);
  EXPECT_EQ(c.cigband.mgp[2][0], 3);
  EXPECT_EQ(c.cigband.wt[2][0], 2.0f);
  EXPECT_EQ(c.cigband.mgp[2][1], 4);
  EXPECT_EQ(c.cigband.wt[2][1], 0.75f);

  // Leading blanks are part of the name; zero weights are allowed.
  EXPECT_EQ(name_text(c.slots.name[3]), "  Lead");
  EXPECT_EQ(c.slots.sd[3], 0.15f);
  EXPECT_EQ(c.cbandlim.dir[3], -1);
  EXPECT_EQ(c.cigband.wt[3][0], 0.0f);

  // The index rows, in file order, behind the metrics, with all fields.
  EXPECT_EQ(name_text(c.slots.name[4]), "MMI one");
  EXPECT_EQ(c.cbandlim.use[4], 6);
  EXPECT_EQ(c.cbandlim.lim[4][0], 0.8f);
  EXPECT_EQ(c.cbandlim.dir[4], -1);
  EXPECT_EQ(c.cigband.mgp[4][0], 1);
  EXPECT_EQ(c.cigband.wt[4][0], 2.5f);
  EXPECT_EQ(c.cigband.wt[4][1], 0.5f);
  EXPECT_EQ(name_text(c.slots.name[5]), "MMI two");
  EXPECT_EQ(c.cbandlim.dir[5], 1);
  EXPECT_EQ(c.slots.trans[5], 9);  // codes are only checked on metrics
  EXPECT_EQ(c.slots.e1sd[5], 0.3f);
  EXPECT_EQ(c.cigband.mgp[5][0], 2);
  EXPECT_EQ(c.cigband.mgp[5][1], 0);
}

TEST(MetricSpecification, RuleTableLabelsAndWeights) {
  Inputs in = Inputs::normal();
  in.set(kMetspecFile, 7, "a,b,c,d,Overall,\"Fish, all\",G2 G3,,x,ThisLabelIsLongerThan25Chars,,,,");
  in.set(kMetspecFile, 8, ",,,Overall status,3,,,,,,,,,,,,");
  in.set(kMetspecFile, 9, ",,,Invertebrate fauna and more,1,6,2,,,,,,8,1.5,,,");
  in.set(kMetspecFile, 10, ",,,   ,2,,,,,,,,,0,,,");
  in.set(kMetspecFile, 12, "x,y,z,,,,,,,,,,,,,,");
  Read r = read_inputs(in, kMetspec);
  ASSERT_EQ(r.outcome, Outcome::complete) << r.log();
  const RunContext& c = *r.ctx;
  EXPECT_EQ(c.col_label[0], padded("Overall", 25));
  EXPECT_EQ(c.col_label[1], padded("Fish, all", 25));
  EXPECT_EQ(c.col_label[2], padded("G2", 25));
  EXPECT_EQ(c.col_label[3], padded("G3", 25));
  EXPECT_EQ(c.col_label[4], blanks(25));
  EXPECT_EQ(c.col_label[5], padded("x", 25));
  EXPECT_EQ(c.col_label[6], "ThisLabelIsLongerThan25Ch");
  EXPECT_EQ(c.cigband.rule[0][0], 3);
  EXPECT_EQ(c.row_label[0], padded("Overall status", 25));
  EXPECT_EQ(c.row_label[1], "Invertebrate fauna and mo");
  EXPECT_EQ(c.cigband.rule[1][0], 1);
  EXPECT_EQ(c.cigband.rule[1][1], 6);
  EXPECT_EQ(c.cigband.rule[1][2], 2);
  EXPECT_EQ(c.cigband.rule[1][3], 0);
  EXPECT_EQ(c.cigband.rule[1][8], 8);
  EXPECT_EQ(c.cigband.rowwt[1], 1.5f);
  EXPECT_EQ(c.row_label[2], padded("MG 2", 25));  // blanks only: no label
  EXPECT_EQ(c.cigband.rowwt[2], 0.0f);
  EXPECT_EQ(c.row_label[4], padded("MG 4", 25));
  EXPECT_EQ(c.cigband.rowwt[4], 1.0f);
  for (std::int16_t rule : c.cigband.rule[4]) EXPECT_EQ(rule, 0);
  for (int j = 1; j < kGroups; ++j) EXPECT_EQ(c.cigband.rule[0][j], 0);
  const std::string log = r.log();
  EXPECT_NE(log.find("\r\n" + blanks(23) + " Over Fish G2   G3        x    This" + blanks(10) + "  Weight\r\n"),
            std::string::npos) << log;
  EXPECT_NE(log.find("\r\nOverall status          3\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\nInvertebrate fauna a    1    6    2    0    0    0    0    0    8  1.500\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("\r\nMG 2                    2    0    0    0    0    0    0    0    0  0.000\r\n"),
            std::string::npos);
}

// ---- Observed values, E0 and E1 ------------------------------------------

Inputs three_samples() {
  Inputs in = with_metric_rows({
      metric_row("M1", "1,0,0,0.8,0.6,0.4,0.2,0.1"),
      metric_row("Index", "6,1,0,0.8,0.6,0.4,0.2,,,,,0.4"),
      metric_row("m2", "1,1,0,0.8,0.6,0.4,0.2,0.1,,,,0.7"),
      metric_row("\"M, 3\"", "1,0,0,0.8,0.6,0.4,0.2,0.1,,,,0.2"),
  });
  in[kObsFile] = {"Metric,A,B,C"};
  in[kEzeroFile] = {"3"};
  in[kEoneFile] = {"3"};
  in[kCorrFile] = {};
  return in;
}

float obs(const Read& r, int s, int k) { return r.ctx->OBS.v[s][k]; }

TEST(ObservedValues, RowsAreFoundByNameAndReadByPosition) {
  Inputs in = three_samples();
  in[kObsFile] = {
      "Metric,A,B,C",
      ",9,9,9",
      "No comma here",
      " M1,8,8,8",                 // a leading blank makes another name
      "\"Unclosed,1,2,3",           // would stop the run if a search reached it
  };
  in[kObsFile].insert(in[kObsFile].begin() + 1, {
      "M2   ,1,2,3,4,5",           // case and trailing blanks do not count
      "M1,0.5,,Not Calculated",
      "\"M, 3\",7,Not Calculated",  // only the quoted name matches
      "M1,6,6,6",                  // the first of two rows wins
  });
  Read r = read_inputs(in, kSamples);
  ASSERT_EQ(r.outcome, Outcome::complete) << r.log() << r.failure;
  EXPECT_EQ(r.ctx->nsamp, 3);
  EXPECT_EQ(name_text(r.ctx->sampname[2]), "B");
  EXPECT_EQ(obs(r, 1, 1), 0.5f);
  EXPECT_EQ(obs(r, 1, 2), -9.0f);
  EXPECT_EQ(obs(r, 1, 3), -9.0f);
  EXPECT_EQ(obs(r, 2, 1), 1.0f);
  EXPECT_EQ(obs(r, 2, 3), 3.0f);
  EXPECT_EQ(obs(r, 2, 4), 0.0f);  // beyond the samples: never written
  EXPECT_EQ(obs(r, 3, 1), 7.0f);
  EXPECT_EQ(obs(r, 3, 2), -9.0f);
  EXPECT_EQ(obs(r, 4, 1), -9.0f);  // the index slot stays missing
}

TEST(ObservedValues, HeaderEdgeCases) {
  struct Case { std::string header; std::vector<std::string> names; };
  const Case cases[] = {
      {"Metric,A,B,C", {"A", "B", "C"}},
      {"Metric,A,B,", {"A", "B", ""}},
      {"Metric,,B,C", {""}},
      {"Metric,\"A, B\",C", {"\"A", " B\"", "C"}},
      {"\"M1\",A,A", {"A", "A"}},
  };
  for (const Case& k : cases) {
    Inputs in = three_samples();
    in[kObsFile] = {k.header, "M1,1", "m2,1", "\"M, 3\",1"};
    Read r = read_inputs(in, kSamples);
    ASSERT_EQ(r.outcome, Outcome::complete) << k.header << r.log() << r.failure;
    ASSERT_EQ(r.ctx->nsamp, static_cast<int>(k.names.size())) << k.header;
    for (std::size_t i = 0; i < k.names.size(); ++i) {
      EXPECT_EQ(name_text(r.ctx->sampname[i + 1]), k.names[i]) << k.header;
    }
    EXPECT_NE(r.log().find(crlf({"", " Number of samples =" + blanks(4) + std::to_string(k.names.size()), "   "})),
              std::string::npos);
  }
}

TEST(ObservedValues, ThreeHundredSamplesAreAccepted) {
  Inputs in = three_samples();
  std::string header = "Metric", row = "M1";
  for (int k = 1; k <= 300; ++k) header += ",S" + std::to_string(k), row += "," + std::to_string(k);
  in[kObsFile] = {header, row, "m2," + row.substr(3), "\"M, 3\"," + row.substr(3)};
  Read r = read_inputs(in, kSamples);
  ASSERT_EQ(r.outcome, Outcome::complete) << r.failure;
  EXPECT_EQ(r.ctx->nsamp, 300);
  EXPECT_EQ(obs(r, 1, 300), 300.0f);
  EXPECT_EQ(obs(r, 2, 300), 300.0f);
  EXPECT_EQ(obs(r, 4, 300), -9.0f);
}

TEST(ObservedValues, LongRecordsAndNamesAreReadWhole) {
  // 300 samples of 22-character values: a row of more than 6600 characters.
  Inputs in = three_samples();
  const std::string value = "0.12500000000000000000";
  const std::string long_name = std::string(100, 'L');
  in[kMetspecFile][20] = metric_row(long_name + "cut off", "1,0,0,0.8,0.6,0.4,0.2,0.1");
  std::string header = "Metric", row = long_name + "ignored";
  for (int k = 1; k <= 300; ++k) header += ",S" + std::to_string(k), row += "," + value;
  row += ",2";
  in[kObsFile] = {header, row, "m2," + row.substr(108), "\"M, 3\"," + row.substr(108)};
  Read r = read_inputs(in, kSamples);
  ASSERT_EQ(r.outcome, Outcome::complete) << r.failure;
  EXPECT_EQ(r.ctx->slots.name[1].view(), long_name);
  for (int k : {1, 226, 227, 300}) {
    EXPECT_EQ(obs(r, 1, k), 0.125f) << k;
    EXPECT_EQ(obs(r, 2, k), 0.125f) << k;
  }
}

TEST(StandardisationValues, CodesFillTheTables) {
  struct Case {
    const char* what;
    std::vector<std::string> ezero, eone;
    float e0[3][3];  // metrics 1-3, samples A-C
    float e1[3][3];
    bool e1sd_zero;
  };
  const Case cases[] = {
      {"code 3 in both", {"3"}, {"3,anything,else"},
       {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, true},
      {"code 2: the first value for every sample",
       {"2,E0", "m2,5,6,7", "M1,Not Calculated,3", "\"M, 3\",,4"},
       {"  2 ", "M1,10", "m2,1e1", "\"M, 3\",1.5D1"},
       {{-9, -9, -9}, {5, 5, 5}, {-9, -9, -9}}, {{10, 10, 10}, {10, 10, 10}, {15, 15, 15}}, false},
      {"code 1: names as in the observed file but for case and blanks",
       {"1,a,B  ,c", "M1,1,2,3", "m2,4,,6", "\"M, 3\",7,8,9,10"},
       {"1,A,B,C", "M1,1,1,1", "m2,2,2", "\"M, 3\",3"},
       {{1, 2, 3}, {4, -9, 6}, {7, 8, 9}}, {{1, 1, 1}, {2, 2, -9}, {3, -9, -9}}, false},
      {"E0 code 3, E1 code 1", {"3,1"}, {"1,A,B,C", "M1,1,2,3", "m2,4,5,6", "\"M, 3\",7,8,9"},
       {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Inputs in = three_samples();
    in[kObsFile] = {"Metric,A,B,C", "M1,1", "m2,1", "\"M, 3\",1"};
    in[kEzeroFile] = k.ezero;
    in[kEoneFile] = k.eone;
    Read r = read_inputs(in, kSamples);
    ASSERT_EQ(r.outcome, Outcome::complete) << r.log() << r.failure;
    const RunContext& c = *r.ctx;
    for (int s = 1; s <= 3; ++s) {
      for (int j = 1; j <= 3; ++j) {
        EXPECT_EQ(c.E0.v[s][j], k.e0[s - 1][j - 1]) << s << "," << j;
        EXPECT_EQ(c.E1.v[s][j], k.e1[s - 1][j - 1]) << s << "," << j;
      }
      EXPECT_EQ(c.slots.e1sd[s], k.e1sd_zero ? 0.0f : (s == 1 ? 0.0f : s == 2 ? 0.7f : 0.2f));
    }
    // The index slot keeps -9 in all three tables; its E1 SD goes with code 3.
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(c.OBS.v[4][j], -9.0f);
      EXPECT_EQ(c.E0.v[4][j], -9.0f);
      EXPECT_EQ(c.E1.v[4][j], -9.0f);
    }
    EXPECT_EQ(c.slots.e1sd[4], k.e1sd_zero ? 0.0f : 0.4f);
  }
}

// ---- Correlations ---------------------------------------------------------

Inputs corr_run(const std::vector<std::string>& records) {
  Inputs in = with_metric_rows({
      metric_row("A", "1,0,0,0.8,0.6,0.4,0.2,0.2"),
      metric_row("B", "1,0,0,0.8,0.6,0.4,0.2,0.5"),
      metric_row("C has a name longer than thirty-four characters", "1,0,0,0.8,0.6,0.4,0.2,3"),
  });
  in[kObsFile] = {"Metric,S", "A,1", "B,1", "C has a name longer than thirty-four characters,1"};
  in[kEzeroFile] = {"3"};
  in[kEoneFile] = {"3"};
  in[kCorrFile] = records;
  return in;
}

// A covariance as the reader forms it: in double, from single precision.
float cov(float r, float a, float b) {
  return static_cast<float>(static_cast<double>(r) * static_cast<double>(a) * static_cast<double>(b));
}

TEST(Correlations, RecordsThatCountAndRecordsThatAreSkipped) {
  struct Case {
    std::vector<std::string> records;
    float corr_ab, cov_ab, corr_aa, cov_aa;
  };
  const float cov_aa = cov(1, 0.2f, 0.2f);
  const Case cases[] = {
      {{"A,B,0.5"}, 0.5f, cov(0.5, 0.2f, 0.5f), 1, cov_aa},
      {{"A,B,0.5", "B,A,0.30"}, 0.3f, cov(0.3f, 0.2f, 0.5f), 1, cov_aa},
      {{"A,B,1"}, 0, 0, 1, cov_aa},
      {{"A,B,-1"}, 0, 0, 1, cov_aa},
      {{"A,B,1.0"}, 1, cov(1, 0.2f, 0.5f), 1, cov_aa},
      {{"a,B,0.5"}, 0, 0, 1, cov_aa},
      {{"A,B,0.5,extra,fields"}, 0.5f, cov(0.5, 0.2f, 0.5f), 1, cov_aa},
      {{"Metric 1,Metric 2,Correlation"}, 0, 0, 1, cov_aa},
      {{"A,A,0.5"}, 0, 0, 0.5f, cov(0.5, 0.2f, 0.2f)},
      {{",B,0.5"}, 0, 0, 1, cov_aa},
      {{"A,,0.5"}, 0, 0, 1, cov_aa},
      {{"A,B"}, 0, 0, 1, cov_aa},
      {{"A"}, 0, 0, 1, cov_aa},
      {{""}, 0, 0, 1, cov_aa},
      {{"A,B,0.5  ", "A  ,B,0.25"}, 0.25f, cov(0.25, 0.2f, 0.5f), 1, cov_aa},
      {{" A,B,0.25"}, 0, 0, 1, cov_aa},
      {{"A,B,abc"}, 0, 0, 1, cov_aa},
      {{"A,B,0.5", "A,B,0.7x"}, 0.5f, cov(0.5, 0.2f, 0.5f), 1, cov_aa},
      // An empty third field holds no correlation, whatever follows it.
      {{"A,A,0.5", "A,B,,0.9"}, 0, 0, 0.5f, cov(0.5, 0.2f, 0.2f)},
      {{"A,A,0.5", "A,B,   ,0.9"}, 0, 0, 0.5f, cov(0.5, 0.2f, 0.2f)},
      {{"A,B,  0.5"}, 0.5f, cov(0.5, 0.2f, 0.5f), 1, cov_aa},
      {{"A,B,.5e0"}, 0.5f, cov(0.5, 0.2f, 0.5f), 1, cov_aa},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.records.front());
    Read r = read_inputs(corr_run(k.records));
    ASSERT_EQ(r.outcome, Outcome::complete) << r.log() << r.failure;
    const RunContext& c = *r.ctx;
    EXPECT_EQ(c.CORR[packed(2, 1)], k.corr_ab);
    EXPECT_EQ(c.COV[packed(2, 1)], k.cov_ab);
    EXPECT_EQ(c.CORR[packed(1, 1)], k.corr_aa);
    EXPECT_EQ(c.COV[packed(1, 1)], k.cov_aa);
    EXPECT_EQ(c.COV[packed(3, 3)], 9.0f);
    EXPECT_EQ(c.CORR[packed(3, 1)], 0.0f);
  }
}

TEST(Correlations, CovarianceIsFormedInDoubleFromSinglePrecisionValues) {
  Read r = read_inputs(corr_run({"C has a name longer than thirty-four characters,B,0.123456789"}));
  ASSERT_EQ(r.outcome, Outcome::complete) << r.failure;
  const float corr = 0.123456789f;
  EXPECT_EQ(r.ctx->CORR[packed(3, 2)], corr);
  EXPECT_EQ(r.ctx->COV[packed(3, 2)],
            static_cast<float>(static_cast<double>(corr) * static_cast<double>(0.5f) * 3.0));
}

TEST(Correlations, EchoIsALowerTriangleWithColumnNumbers) {
  Read r = read_inputs(corr_run({"B,A,-0.25", "C has a name longer than thirty-four characters,A,0.125",
                                 "B,C has a name longer than thirty-four characters,1.0"}));
  ASSERT_EQ(r.outcome, Outcome::complete) << r.failure;
  const std::string tail = crlf({
      "",
      "     Metric" + blanks(32) + "SD     Sampling Correlations",
      "   1 A" + blanks(33) + "  0.200",
      "   2 B" + blanks(33) + "  0.500   -0.25",
      "   3 C has a name longer than thirty-fo  3.000    0.13  1.00",
      blanks(46) + "     1     2",
  });
  const std::string log = r.log();
  ASSERT_GE(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << log;
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(r.ctx->mean[i], 0.0f);
}

TEST(Correlations, OneMetricEchoesAnEmptyFooter) {
  Inputs in = corr_run({"A,A,2.0"});
  in[kMetspecFile].resize(21);
  Read r = read_inputs(in);
  ASSERT_EQ(r.outcome, Outcome::complete) << r.failure;
  const std::string tail = crlf({"     Metric" + blanks(32) + "SD     Sampling Correlations",
                                 "   1 A" + blanks(33) + "  0.200", ""});
  const std::string log = r.log();
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << log;
  EXPECT_EQ(r.ctx->CORR[1], 2.0f);
}

// ---- Runs of the engine ---------------------------------------------------

struct EngineRun {
  int status = -1;
  std::string log, err, marker;
  bool inputs_kept = false;
};

EngineRun run_engine(const Inputs& in) {
  char tmpl[] = "/tmp/mondrake-readers-XXXXXX";
  fs::path dir = mkdtemp(tmpl);
  fs::copy(kNormal / "input" / kControlFile, dir / kControlFile);
  for (const auto& [name, lines] : in.files) std::ofstream(dir / name, std::ios::binary) << crlf(lines);
  testing::RunOutcome r = run_in_copy(dir);
  fs::remove_all(dir);
  EngineRun e;
  e.status = r.status;
  e.err = r.err;
  e.log = read_file(r.dir / "run.log");
  e.marker = read_file(r.dir / kMarkerFile);
  e.inputs_kept = fs::exists(r.dir / kMetspecFile) && fs::exists(r.dir / kCorrFile);
  fs::remove_all(r.dir);
  return e;
}

// The log ends with these lines.
::testing::AssertionResult log_ends_with(const std::string& log, const std::vector<std::string>& lines) {
  const std::string tail = crlf(lines);
  if (log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0) {
    return ::testing::AssertionSuccess();
  }
  std::string shown = log.substr(log.size() > tail.size() + 400 ? log.size() - tail.size() - 400 : 0);
  return ::testing::AssertionFailure() << "log ends with:\n" << shown << "\nexpected:\n" << tail;
}

struct StopCase {
  const char* name;
  std::function<void(Inputs&)> edit;
  std::vector<std::string> tail;  // the log's last lines
};

void expect_fatal_stops(const std::vector<StopCase>& cases) {
  for (const StopCase& k : cases) {
    SCOPED_TRACE(k.name);
    Inputs in = Inputs::normal();
    k.edit(in);
    EngineRun r = run_engine(in);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.marker, "1\r\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.inputs_kept);
    EXPECT_TRUE(log_ends_with(r.log, k.tail));
  }
}

const std::string kSettingsEcho[] = {" Number of simulations required =   100", "",
                                     " Integer random number seed =    4321"};
const std::string kFileNamesEnd = blanks(35) + "T1 : file names to VELTRASOM-OUT.CSV";
const std::string kProblemHeader = " Problem reading header lines of METRIC SPEC file :";
const std::string kMetricHeading[] = {
    "Metric name" + blanks(35) + "USE   O/EQR  INT  MGP1  Wt1   MGP2  Wt2", blanks(51) + " 1/2"};
const std::string kTaxaEcho = "  1 Taxa" + blanks(40) + "1    0      0     0  1.000    0  1.000";
const std::string kAsptEcho = "  2 ASPT" + blanks(40) + "1    0      0     0  1.000    0  1.000";
std::string mg_row(int i) {
  return "MG " + std::to_string(i) + blanks(20) + "0    0    0    0    0    0    0    0    0  1.000";
}

void set_line15(Inputs& in, const std::string& value) {
  in.set(kMetspecFile, 15, "Number of simulations required," + value + ",,,,,,,,,,,,,,,");
}
void set_line16(Inputs& in, const std::string& value) {
  in.set(kMetspecFile, 16, "Integer random number seed," + value + ",,,,,,,,,,,,,,,");
}

TEST(RunSettingsRun, FatalStops) {
  expect_fatal_stops({
      {"100001 simulations", [](Inputs& in) { set_line15(in, "100001"); },
       {" Number of simulations required =100001", "", " Integer random number seed =    4321", "",
        " The requested number of simulations is 100001",
        " The maximum allowed (due to memory limitations) is 100000",
        " Reset to a valid number of simulations.", "   "}},
      {"the simulation check comes before the seed check",
       [](Inputs& in) { set_line15(in, "2000000"); set_line16(in, "2147483647"); },
       {" Integer random number seed =********", "",
        " The requested number of simulations is2000000",
        " The maximum allowed (due to memory limitations) is 100000",
        " Reset to a valid number of simulations.", "   "}},
      {"seed 2147483647", [](Inputs& in) { set_line16(in, "2147483647"); },
       {kSettingsEcho[0], "", " Integer random number seed =********", "",
        " Integer random number seed cannot be  2147483647", " Choose another seed and re-run.", "   "}},
      {"seed -2147483647", [](Inputs& in) { set_line16(in, "-2147483647"); },
       {" Integer random number seed =********", "",
        " Integer random number seed cannot be -2147483647", " Choose another seed and re-run.", "   "}},
      {"line 15 lacks its key text", [](Inputs& in) { in.set(kMetspecFile, 15, "Number of sims,100"); },
       {kFileNamesEnd, "", "", kProblemHeader}},
      {"the key text is case sensitive",
       [](Inputs& in) { in.set(kMetspecFile, 15, "number of simulations required,100"); },
       {kFileNamesEnd, "", "", kProblemHeader}},
      {"line 16 lacks its key text", [](Inputs& in) { set_line16(in, "4321"); in.set(kMetspecFile, 16, "Seed,4321"); },
       {kSettingsEcho[0], "", "", kProblemHeader}},
      {"the file ends at line 15", [](Inputs& in) { in[kMetspecFile].resize(15); },
       {kSettingsEcho[0], "", "", kProblemHeader}},
      {"the file ends at line 10", [](Inputs& in) { in[kMetspecFile].resize(10); },
       {kFileNamesEnd, "", "", kProblemHeader}},
      {"an empty file", [](Inputs& in) { in[kMetspecFile].clear(); },
       {kFileNamesEnd, "", "", kProblemHeader}},
  });
}

struct FailureCase {
  const char* name;
  std::function<void(Inputs&)> edit;
  std::string report;  // after "mondrake: "
};

void expect_run_failures(const std::vector<FailureCase>& cases) {
  for (const FailureCase& k : cases) {
    SCOPED_TRACE(k.name);
    Inputs in = Inputs::normal();
    k.edit(in);
    EngineRun r = run_engine(in);
    const std::string report = "mondrake: " + k.report;
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.marker, "1\r\n");
    EXPECT_EQ(r.err, report + "\r\n");
    EXPECT_TRUE(r.inputs_kept);
    EXPECT_TRUE(log_ends_with(r.log, {"", report}));
  }
}

TEST(RunSettingsRun, ValuesThatCannotBeReadEndTheRun) {
  const std::string at = std::string(kMetspecFile) + " line ";
  expect_run_failures({
      {"a word", [](Inputs& in) { set_line15(in, "abc"); }, at + "15: 'abc' is not a number"},
      {"a decimal point", [](Inputs& in) { set_line15(in, "100.0"); }, at + "15: '100.0' is not a whole number"},
      {"an exponent", [](Inputs& in) { set_line15(in, "1E3"); }, at + "15: '1E3' is not a whole number"},
      {"no comma", [](Inputs& in) { in.set(kMetspecFile, 15, "Number of simulations required 100"); },
       at + "15: 'Number' is not a number"},
      {"nothing after the comma", [](Inputs& in) { in.set(kMetspecFile, 15, "Number of simulations required,   "); },
       at + "15: the line ends before the value was read"},
      {"a seed beyond 32 bits", [](Inputs& in) { set_line16(in, "2147483648"); },
       at + "16: '2147483648' is out of range"},
      {"a seed that is a word", [](Inputs& in) { set_line16(in, "clock"); }, at + "16: 'clock' is not a number"},
  });
}

TEST(RunSettingsRun, AcceptedSettings) {
  struct Case {
    const char* name;
    std::function<void(Inputs&)> edit;
    std::vector<std::string> lines;  // consecutive lines the log holds
  };
  const Case cases[] = {
      {"1000 simulations", [](Inputs& in) { set_line15(in, "1000"); },
       {"", " Number of simulations required =  1000", "", " Integer random number seed =    4321", ""}},
      {"an empty value field leaves 0", [](Inputs& in) { set_line15(in, ",5"); },
       {" Number of simulations required =     0"}},
      {"a negative number", [](Inputs& in) { set_line15(in, "-5"); },
       {" Number of simulations required =    -5"}},
      {"other text before the key",
       [](Inputs& in) { in.set(kMetspecFile, 15, "Setting: Number of simulations required (runs), 200 ,x,,,,,,,,,,,,,,"); },
       {" Number of simulations required =   200"}},
      {"seed 0 is used as it stands", [](Inputs& in) { set_line16(in, "0"); },
       {" Integer random number seed =       0", "", " Multi-metric rule types for top level (rows)"}},
      {"a seed beyond 16 bits", [](Inputs& in) { set_line16(in, "-2147483646"); },
       {" Integer random number seed =********", "", " Multi-metric rule types for top level (rows)"}},
      {"seed 40000", [](Inputs& in) { set_line16(in, "+40000"); },
       {" Integer random number seed =   40000", ""}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Inputs in = Inputs::normal();
    k.edit(in);
    EngineRun r = run_engine(in);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.marker, "0\r\n");
    EXPECT_NE(r.log.find(crlf(k.lines)), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("Clock-based"), std::string::npos);
  }
}

TEST(RunSettingsRun, SeedMinusOneTakesTheClock) {
  Inputs in = Inputs::normal();
  set_line16(in, "-1");
  EngineRun r = run_engine(in);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string before = "\r\n Integer random number seed =      -1\r\n (Clock-based random number seed =";
  const std::string after = " )\r\n   \r\n\r\n Multi-metric rule types";
  std::size_t at = r.log.find(before);
  ASSERT_NE(at, std::string::npos) << r.log;
  const std::string field = r.log.substr(at + before.size(), 8);
  EXPECT_EQ(r.log.substr(at + before.size() + 8, after.size()), after) << r.log;
  ASSERT_GE(field.find_first_not_of(' '), 4u) << field;  // 0 ... 2949 in 8 characters
  ASSERT_EQ(field.find_first_not_of(" 0123456789"), std::string::npos) << field;
  int seed = std::stoi(field);
  EXPECT_GE(seed, 0);
  EXPECT_LE(seed, 2949);
}

TEST(RunSettingsRun, HundredThousandSimulationsAreAccepted) {
  // The run stops at the metric rows, before any simulation.
  Inputs in = Inputs::normal();
  set_line15(in, "100000");
  in[kMetspecFile].resize(20);
  EngineRun r = run_engine(in);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.log.find("\r\n Number of simulations required =100000\r\n"), std::string::npos);
  EXPECT_TRUE(log_ends_with(r.log, {" No metric selected for Uncertainty assessment",
                                    " Correct METRIC SPECIFICATION file and re-run.", "", "   "}));
}


std::vector<std::string> rows_of(const std::string& prefix, int n, const std::string& values) {
  std::vector<std::string> rows;
  for (int k = 1; k <= n; ++k) rows.push_back(metric_row(prefix + std::to_string(k), values));
  return rows;
}

std::string metric_echo(int n, const std::string& name, int use = 1) {
  std::string s;
  append_integer(s, n, 3);
  return s + " " + padded(name, 40) + "    " + std::to_string(use) + "    0      0     0  1.000    0  1.000";
}

const std::vector<std::string> kNoMetric = {
    "", "", " No metric selected for Uncertainty assessment",
    " Correct METRIC SPECIFICATION file and re-run.", "", "   "};

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(MetricSpecificationRun, FatalStops) {
  expect_fatal_stops({
      {"line 7 has three commas", [](Inputs& in) { in.set(kMetspecFile, 7, "a,b,c"); },
       {kSettingsEcho[2], "", "", kProblemHeader}},
      {"the fourth comma of line 7 ends it", [](Inputs& in) { in.set(kMetspecFile, 7, "a,b,c,d,   "); },
       {kSettingsEcho[2], "", "", kProblemHeader}},
      {"row 4 has three commas", [](Inputs& in) { in.set(kMetspecFile, 12, ",,,"); },
       {mg_row(2), mg_row(3), "", "", kProblemHeader}},
      {"the fourth comma of row 0 ends it", [](Inputs& in) { in.set(kMetspecFile, 8, ",,,All metrics,"); },
       {blanks(23) + " Over Grp1 Grp2 Grp3 Grp4 Grp5 Grp6 Grp7 Grp8  Weight", "", "", kProblemHeader}},
      {"the file ends at line 19", [](Inputs& in) { in[kMetspecFile].resize(19); },
       {mg_row(8), "", "", "", kProblemHeader}},
      {"no metric rows", [](Inputs& in) { in[kMetspecFile].resize(20); },
       std::vector<std::string>{kMetricHeading[0], kMetricHeading[1], "",
                                " Number of individual metrics to be used =    0"} + kNoMetric},
      {"only index rows",
       [](Inputs& in) {
         in.set(kMetspecFile, 21, metric_row("Taxa", "6,0,0,0.8,0.6,0.4,0.2"));
         in.set(kMetspecFile, 22, metric_row("ASPT", "6"));
         in[kMetspecFile].push_back(metric_row("Off", "0"));
       },
       std::vector<std::string>{kMetricHeading[1], "   ", metric_echo(1, "Taxa", 6), metric_echo(2, "ASPT", 6), "",
                                " Number of individual metrics to be used =    0", "",
                                " Number of Multi-metric indices (MMI) to be used =    2"} + kNoMetric},
      {"the 201st metric, on the last line",
       [](Inputs& in) {
         in[kMetspecFile].resize(20);
         for (const std::string& row : rows_of("M", 201, "1")) in[kMetspecFile].push_back(row);
       },
       {metric_echo(199, "M199"), metric_echo(200, "M200"), "",
        " maximum number of metrics which can be used = 200", " Reduce number of metrics and re-run.", "   "}},
      {"the 101st index",
       [](Inputs& in) {
         for (const std::string& row : rows_of("X", 101, "6")) in[kMetspecFile].push_back(row);
         in[kMetspecFile].push_back(metric_row("Late", "1"));
       },
       {kTaxaEcho, kAsptEcho, "", " maximum number of MMIs which can be used = 100",
        " Reduce number of MMIs used and re-run.", "   "}},
      {"a metric row without its second quote, switched off",
       [](Inputs& in) { in[kMetspecFile].push_back("\"Note,0"); },
       {kAsptEcho, " \"Note,0" + std::string(28, ',') + blanks(40), " No second quote in metric name"}},
      {"a long metric row without its second quote",
       [](Inputs& in) { in.set(kMetspecFile, 21, "\"" + std::string(90, 'n') + ",1,0"); },
       {kMetricHeading[0], kMetricHeading[1], " \"" + std::string(74, 'n'), " No second quote in metric name"}},
  });
}

TEST(MetricSpecificationRun, RowsRefusedWhenRead) {
  expect_fatal_stops({
      {"transformation code 5 on a metric",
       [](Inputs& in) { in.set(kMetspecFile, 22, metric_row("ASPT", "1,0,0,0.9,0.7,0.5,0.3,0.3,5")); },
       {kTaxaEcho, "", " Transformation code of metric :", " ASPT",
        " is     5; the codes allowed are 0, 1, 2, 3 and 4.", " Correct METRIC SPECIFICATION file and re-run.", "   "}},
      {"transformation code -1 on a metric",
       [](Inputs& in) { in.set(kMetspecFile, 21, metric_row("\"Taxa, all\"", "1,0,0,0.9,0.7,0.5,0.3,0.3,-1")); },
       {kMetricHeading[1], "", " Transformation code of metric :", " \"Taxa, all\"",
        " is    -1; the codes allowed are 0, 1, 2, 3 and 4.", " Correct METRIC SPECIFICATION file and re-run.", "   "}},
      {"negative Wt1 on a metric",
       [](Inputs& in) { in.set(kMetspecFile, 22, metric_row("ASPT", "1,0,0,0.9,0.7,0.5,0.3,0.3,0,0,0,0.1,0,-1,0,1")); },
       {kTaxaEcho, "", " Negative weight in the row of metric :", " ASPT", " Wt1 =    -1.000",
        " Weights must be zero or positive.", " Correct METRIC SPECIFICATION file and re-run.", "   "}},
      {"negative Wt2 on an index row",
       [](Inputs& in) { in[kMetspecFile].push_back(metric_row("An index", "6,1,0,0.9,0.7,0.5,0.3,,,,,,1,1,1,-0.25")); },
       {kAsptEcho, "", " Negative weight in the row of MMI :", " An index", " Wt2 =    -0.250",
        " Weights must be zero or positive.", " Correct METRIC SPECIFICATION file and re-run.", "   "}},
      {"negative row weight",
       [](Inputs& in) { in.set(kMetspecFile, 10, ",,,Plants,1,,,,,,,,,-2,,,"); },
       {mg_row(1), "", " Negative weight in the row of metric group :", " Plants", " Weight =    -2.000",
        " Weights must be zero or positive.", " Correct METRIC SPECIFICATION file and re-run.", "   "}},
  });
}

TEST(MetricSpecificationRun, ValuesThatCannotBeReadEndTheRun) {
  const std::string at = std::string(kMetspecFile) + " line ";
  expect_run_failures({
      {"too few column labels", [](Inputs& in) { in.set(kMetspecFile, 7, "a,b,c,d,L1, L2"); },
       at + "7: the line ends before all 9 values were read"},
      {"a rule type that is a word", [](Inputs& in) { in.set(kMetspecFile, 10, ",,,G,1,x,,,,,,,,,,,"); },
       at + "10: 'x' is not a number"},
      {"a rule type with a point", [](Inputs& in) { in.set(kMetspecFile, 8, ",,,All,1.0"); },
       at + "8: '1.0' is not a whole number"},
      {"a rule row without its weight field", [](Inputs& in) { in.set(kMetspecFile, 13, ",,,G,1,2,3,4,5,6,7,8,9"); },
       at + "13: the line ends before all 10 values were read"},
      {"a rule type beyond 16 bits", [](Inputs& in) { in.set(kMetspecFile, 9, ",,,G,40000,,,,,,,,,,"); },
       at + "9: '40000' is out of range"},
      {"a heading line among the metric rows",
       [](Inputs& in) { in[kMetspecFile].push_back(in[kMetspecFile][19]); },
       at + "23: 'Use' is not a number"},
      {"a use flag with a point", [](Inputs& in) { in.set(kMetspecFile, 21, "Taxa,1.0"); },
       at + "21: '1.0' is not a whole number"},
      {"a sampling SD that is a word",
       [](Inputs& in) { in.set(kMetspecFile, 22, metric_row("ASPT", "1,0,0,0.9,0.7,0.5,0.3,high")); },
       at + "22: 'high' is not a number"},
      {"an MGP1 with a point",
       [](Inputs& in) { in.set(kMetspecFile, 22, metric_row("ASPT", "1,0,0,0.9,0.7,0.5,0.3,0.3,0,0,0,0,1.5")); },
       at + "22: '1.5' is not a whole number"},
  });
}

TEST(MetricSpecificationRun, EchoOfRowsAndCounts) {
  Inputs in = Inputs::normal();
  in.set(kMetspecFile, 12, ",,,A row label of thirty chars,,,,,,,,,,,,,");
  in[kMetspecFile].resize(20);
  for (std::string row : {metric_row("Idx", "6,1,0,0.9,0.7,0.5,0.3,,,,,,2,0.5,1,2"), std::string(""),
                          metric_row("Taxa", "1,0,0,0.8,0.6,0.4,0.2,2,0,0,0,0,0,1,0,1"),
                          metric_row("Skipped", "2"),
                          metric_row("\"ASPT, a name with a comma and forty-one chars\"",
                                     "1,1,1,0.9,0.7,0.5,0.3,0.3,3,0,0,0.1,12,1.25,123,0.5")}) {
    in[kMetspecFile].push_back(row);
  }
  in[kObsFile] = {"Metric,Site A,Site B", "Taxa,20,12", "\"ASPT, a name with a comma and forty-one chars\",0.5,0.4"};
  in[kEzeroFile] = {"3"};
  in[kEoneFile] = {"3"};
  in[kCorrFile] = {};
  EngineRun r = run_engine(in);
  const std::string expected = crlf({
      "MG 3                    0    0    0    0    0    0    0    0    0  1.000",
      "A row label of thirt    0    0    0    0    0    0    0    0    0  1.000",
      mg_row(5), mg_row(6), mg_row(7), mg_row(8), "", "", kMetricHeading[0], kMetricHeading[1],
      "  1 Taxa" + blanks(40) + "1    0      0     0  1.000    0  1.000",
      "  2 \"ASPT, a name with a comma and forty-one    1    1      1    12  1.250  123  0.500",
      "   ",
      "  1 Idx" + blanks(41) + "6    1      0     2  0.500    1  2.000",
      "", " Number of individual metrics to be used =    2", "",
      " Number of Multi-metric indices (MMI) to be used =    1", "", " Number of samples =    2", "   ", ""});
  EXPECT_NE(r.log.find(expected), std::string::npos) << r.log;
}

// ---- Observed values, E0 and E1 in runs ----------------------------------

const std::vector<std::string> kSampleCount = {"", " Number of samples =    2", "   "};

std::vector<std::string> obs_header_report(const std::string& field) {
  return {"", "", " Problem reading header line of METRIC Observed values file :", " " + padded(field, 100), "",
          " Check file and re-run", "   "};
}

std::vector<std::string> cell_a1_report(const char* name, const char* symbol, const std::string& control) {
  return {"", "",
          std::string(" Problem : Cell A1 of the ") + name + " file does not begin with a 1, 2 or 3",
          std::string(" to denote whether the ") + symbol + " values are",
          " zero, constant across samples, or variable between samples repsectively",
          std::string(" ") + name + " file is :", " " + padded(control, std::max<std::size_t>(control.size(), 200)), "",
          " Correct file and re-run", "   "};
}

std::vector<std::string> e_header_report(const char* name, const char* symbol, const std::string& observed,
                                         const std::string& here) {
  return {"", "",
          std::string(" Problem reading header line of file holding the ") + symbol + " (" + name +
              ") values for each Sample :",
          " Check Sample names are the same as in the Observed values file", "",
          " Sample name in Observed file : " + padded(observed, 50),
          std::string(" Sample name in ") + name + " file : " + padded(here, 50), " Check file and re-run", "   "};
}

TEST(SampleValuesRun, FatalStops) {
  std::string long_header = "Metric " + std::string(120, 'h');
  std::string many = "Metric";
  for (int k = 1; k <= 301; ++k) many += ",S" + std::to_string(k);
  expect_fatal_stops({
      {"an empty observed values file", [](Inputs& in) { in[kObsFile].clear(); },
       std::vector<std::string>{" Number of individual metrics to be used =    2"} + obs_header_report("")},
      {"an observed header without a comma", [](Inputs& in) { in.set(kObsFile, 1, "Metric Site A"); },
       std::vector<std::string>{" Number of individual metrics to be used =    2"} + obs_header_report("Metric Site A")},
      {"a long observed header without a comma", [&](Inputs& in) { in.set(kObsFile, 1, long_header); },
       obs_header_report(long_header.substr(0, 100))},
      {"301 samples", [&](Inputs& in) { in.set(kObsFile, 1, many); },
       {" Number of individual metrics to be used =    2", "", " Number of samples =  301", "   ", "",
        " maximum number of samples which can be used = 300", " Reduce number of samples and re-run.", "   "}},
      {"a metric without an observed row", [](Inputs& in) { in[kObsFile].pop_back(); },
       {"   ", "", "", " Some of the Selected Metric names are not in the", " OBSERVED Metric values file", "",
        " Check both files for EXACT agreement (including case and spaces), then correct and re-run", "  ", ""}},
      {"an observed row with a leading blank", [](Inputs& in) { in.set(kObsFile, 3, " ASPT,5.5,4.1"); },
       {" OBSERVED Metric values file", "",
        " Check both files for EXACT agreement (including case and spaces), then correct and re-run", "  ", ""}},
      {"an unselected observed row without its second quote",
       [](Inputs& in) { in[kObsFile].insert(in[kObsFile].begin() + 1, "\"Other,Not Calculated,1"); },
       {"   ", " \"Other,-9,1" + std::string(28, ',') + blanks(36), " No second quote in metric name"}},
      {"E0 code 4", [](Inputs& in) { in.set(kEzeroFile, 1, "4"); },
       kSampleCount + cell_a1_report("EZERO", "E0", "/data/run/ezero.xlsx")},
      {"E0 code written 2.0", [](Inputs& in) { in.set(kEzeroFile, 1, "2.0"); },
       cell_a1_report("EZERO", "E0", "/data/run/ezero.xlsx")},
      {"E0 code a word", [](Inputs& in) { in.set(kEzeroFile, 1, "two,Site A"); },
       cell_a1_report("EZERO", "E0", "/data/run/ezero.xlsx")},
      {"E0 code in an empty first field", [](Inputs& in) { in.set(kEzeroFile, 1, ",2"); },
       cell_a1_report("EZERO", "E0", "/data/run/ezero.xlsx")},
      {"E1 code 0", [](Inputs& in) { in.set(kEoneFile, 1, "0,Site A,Site B"); },
       kSampleCount + cell_a1_report("EONE", "E1", "/data/run/eone.xlsx")},
      {"an empty E0 file", [](Inputs& in) { in[kEzeroFile].clear(); },
       kSampleCount + e_header_report("EZERO", "E0", "", "")},
      {"an E1 header without a comma", [](Inputs& in) { in.set(kEoneFile, 1, "1"); },
       kSampleCount + e_header_report("EONE", "E1", "", "")},
      {"an E1 sample name that differs", [](Inputs& in) { in.set(kEoneFile, 1, "1,Site A,Site  B"); },
       e_header_report("EONE", "E1", "Site B", "Site  B")},
      {"an E1 name with a leading blank", [](Inputs& in) { in.set(kEoneFile, 1, "1, Site A,Site B"); },
       e_header_report("EONE", "E1", "Site A", " Site A")},
      {"an extra E1 sample", [](Inputs& in) { in.set(kEoneFile, 1, "1,Site A,Site B,Site C"); },
       e_header_report("EONE", "E1", "", "Site C")},
      {"an E1 header ending with a comma", [](Inputs& in) { in.set(kEoneFile, 1, "1,Site A,Site B,"); },
       e_header_report("EONE", "E1", "", "")},
      {"too few E1 samples", [](Inputs& in) { in.set(kEoneFile, 1, "1,Site A"); },
       e_header_report("EONE", "E1", "Site B", "Site A")},
      {"a long E1 name", [](Inputs& in) { in.set(kEoneFile, 1, "1," + std::string(60, 'a')); },
       e_header_report("EONE", "E1", "Site A", std::string(50, 'a'))},
      {"a metric without an E0 row", [](Inputs& in) { in.set(kEzeroFile, 2, "Taxon,0"); },
       {"   ", "", "", " Some of the Selected Metric names are not in the E0 (EZERO) values file", "",
        " Check both files for agreement, then correct and re-run", "  ", ""}},
      {"a metric without an E1 row", [](Inputs& in) { in[kEoneFile].pop_back(); },
       {"   ", "", "", " Some of the Selected Metric names are not in the E1 (EONE) values file", "",
        " Check both files for agreement, then correct and re-run", "  ", ""}},
      {"an E0 row without its second quote", [](Inputs& in) { in.set(kEzeroFile, 2, "\"Taxa,0"); },
       {"   ", " \"Taxa,0" + std::string(28, ',') + blanks(40), " No second quote in metric name"}},
  });
}

// A workbook name longer than 200 characters is shown whole, never cut.
TEST(SampleValuesRun, CellA1ReportShowsTheWholeControlName) {
  const std::string workbook = "/data/" + std::string(240, 'w') + ".xlsx";
  expect_fatal_stops({
      {"E1 code 4 with a long workbook name",
       [&](Inputs& in) {
         in[kControlFile] = split_lines(read_file(kNormal / "input" / kControlFile));
         in.set(kControlFile, 5, workbook);
         in.set(kEoneFile, 1, "4,Site A,Site B");
       },
       cell_a1_report("EONE", "E1", workbook)},
  });
}

TEST(SampleValuesRun, ValuesThatCannotBeReadEndTheRun) {
  const std::string obs = std::string(kObsFile) + " line ";
  expect_run_failures({
      {"an observed word", [](Inputs& in) { in.set(kObsFile, 3, "ASPT,5.5,high"); }, obs + "3: 'high' is not a number"},
      {"not calculated in lower case", [](Inputs& in) { in.set(kObsFile, 2, "Taxa,not calculated,1"); },
       obs + "2: 'not' is not a number"},
      {"the corner cell names the second metric", [](Inputs& in) { in.set(kObsFile, 1, "ASPT,Site A,Site B"); },
       obs + "1: 'Site' is not a number"},
      {"a row of 12 values for 40 samples",
       [](Inputs& in) {
         std::string header = "Metric", row = "Taxa";
         for (int k = 1; k <= 40; ++k) header += ",S" + std::to_string(k);
         for (int k = 1; k <= 12; ++k) row += ",1";
         in[kObsFile] = {header, row, "ASPT,1"};
         in[kEzeroFile] = {"3"};
         in[kEoneFile] = {"3"};
       },
       obs + "2: the line ends before all 40 values were read"},
      {"an E0 word with code 2", [](Inputs& in) { in.set(kEzeroFile, 3, "ASPT,two"); },
       std::string(kEzeroFile) + " line 3: 'two' is not a number"},
      {"an E1 word with code 1", [](Inputs& in) { in.set(kEoneFile, 2, "Taxa,25,x24"); },
       std::string(kEoneFile) + " line 2: 'x24' is not a number"},
  });
}

TEST(SampleValuesRun, A40SampleRowOf13ValuesIsEnough) {
  Inputs in = Inputs::normal();
  std::string header = "Metric", row = "Taxa";
  for (int k = 1; k <= 40; ++k) header += ",S" + std::to_string(k);
  for (int k = 1; k <= 13; ++k) row += ",1";
  in[kObsFile] = {header, row, "ASPT" + row.substr(4)};
  in[kEzeroFile] = {"3"};
  in[kEoneFile] = {"3"};
  set_line15(in, "0");
  EngineRun r = run_engine(in);
  EXPECT_EQ(r.status, 0) << r.err;
}

// ---- Full golden runs -----------------------------------------------------

TEST(ReaderGolden, GroupsIndicesAndQuotedNames) {
  check_golden(source_path("engine/input/testdata/groups-and-indices"));
}

TEST(ReaderGolden, CorrelationTableOfManyMetrics) {
  check_golden(source_path("engine/input/testdata/correlation-table"));
}

}  // namespace
}  // namespace mondrake
