#include "engine/report/results.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace mondrake {
namespace {

std::string padded(std::string s, std::size_t n) {
  s.resize(n, ' ');
  return s;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text after the last line end";
  return lines;
}

// A sample's observed evaluation and statistics, set by hand.
struct Report {
  std::unique_ptr<RunContext> ctx = std::make_unique<RunContext>();

  Report() {
    ctx->console = TextOut();
    ctx->nsamp = 1;
    ctx->sampname[1].assign("Site A");
    for (int g = 0; g < kGroups; ++g) ctx->row_label[static_cast<std::size_t>(g)] = padded("", 25);
    for (auto& row : ctx->sample.obs_group)
      for (ClassCode& c : row) c = kNoMembers;
    ctx->sample.obs_group[0][0] = 2;
    set_pct(ctx->sample.group_pct[0][0], {33.3f, 33.3f, 33.4f, 0, 0});
  }

  static void set_pct(float* pct, std::vector<float> v) {
    for (int c = 0; c < kClasses; ++c) pct[c] = v[static_cast<std::size_t>(c)];
  }

  // A slot with its values of sample 1 and status 1 (reported).
  int slot(const std::string& name, std::vector<float> values, ClassCode cls,
           std::vector<float> pct, std::int16_t status = 1) {
    const int i = ++ctx->cigband.nslot;
    ctx->slots.name[i].assign(name);
    ctx->cbandlim.status[i] = status;
    ctx->OBS.v[i][1] = values[0];
    ctx->E0.v[i][1] = values[1];
    ctx->E1.v[i][1] = values[2];
    SampleTables& t = ctx->sample;
    t.obs_eqr[i] = values[3];
    t.sd[i] = values[4];
    t.lower[i] = values[5];
    t.upper[i] = values[6];
    t.obs_class[i] = cls;
    set_pct(t.pct[i], pct);
    return i;
  }

  void group(int g, const std::string& label, ClassCode cls, std::vector<float> pct) {
    ctx->row_label[static_cast<std::size_t>(g)] = padded(label, 25);
    ctx->sample.obs_group[g][0] = cls;
    set_pct(ctx->sample.group_pct[g][0], pct);
  }

  std::vector<std::string> written() {
    write_results_headings(*ctx);
    write_results_row(*ctx, 1);
    return lines_of(ctx->results.text());
  }
};

TEST(ResultsRow, OneSlotAndNoGroups) {
  Report r;
  r.slot("Taxa", {0.5f, -9, -9, 0.5f, 0.1f, 0.3f, 0.7f}, 3, {0, 12.5f, 87.5f, 0, 0});
  EXPECT_EQ(data_row(*r.ctx, 1),
            padded("Site A", 50) +
                ",good ,  33.3,  33.3,  33.4,   0.0,   0.0,"
                ","
                "   0.500,  -9.000,  -9.000,   0.500,   0.100,   0.300,   0.700,"
                "mod  ,   0.0,    12.5,    87.5,     0.0,     0.0,  ,");
}

TEST(ResultsRow, GroupsAndSlotsInOrderUnreportedOnesLeftOut) {
  Report r;
  r.ctx->sample.obs_group[0][0] = -2;
  r.group(1, "Invertebrates", -3, {0, 10, 90, 0, 0});
  r.group(3, "Plants", 1, {100, 0, 0, 0, 0});
  r.ctx->sample.obs_group[3][2] = 4;  // a bottom-level group is not a column
  r.slot("A", {20, 0, 25, 0.8f, 0.072f, 0.649f, 0.956f}, 1, {47, 53, 0, 0, 0});
  r.slot("Idle index", {-9, -9, -9, -9, -9, -9, -9}, kNone, {-9, -9, -9, -9, -9}, 6);
  r.slot("B", {-9, 2, 6, -9, -9, -9, -9}, kNone, {-9, -9, -9, -9, -9}, 3);
  r.slot("Index", {-9, -9, -9, 0.65f, 0.05f, 0.55f, 0.75f}, -2, {0, 100, 0, 0, 0}, 5);
  EXPECT_EQ(data_row(*r.ctx, 1),
            padded("Site A", 50) +
                ",good*,  33.3,  33.3,  33.4,   0.0,   0.0,"
                ",mod* ,   0.0,  10.0,  90.0,   0.0,   0.0,"
                ",high , 100.0,   0.0,   0.0,   0.0,   0.0,"
                ","
                "  20.000,   0.000,  25.000,   0.800,   0.072,   0.649,   0.956,"
                "high ,  47.0,    53.0,     0.0,     0.0,     0.0,  ,"
                "  -9.000,   2.000,   6.000,  -9.000,  -9.000,  -9.000,  -9.000,"
                "none*,  -9.0,    -9.0,    -9.0,    -9.0,    -9.0,  ,"
                "  -9.000,  -9.000,  -9.000,   0.650,   0.050,   0.550,   0.750,"
                "good*,   0.0,   100.0,     0.0,     0.0,     0.0,  ,");
}

TEST(ResultsRow, NumbersTooWideForTheirFieldsAreAsterisks) {
  struct Case {
    float value;
    const char* eight_three;
    const char* six_one;
  } cases[] = {
      {0.5f, "   0.500", "   0.5"},     {-9.0f, "  -9.000", "  -9.0"},
      {100.0f, " 100.000", " 100.0"},   {9999.999f, "9999.999", "******"},
      {10000.0f, "********", "******"}, {12345.6f, "********", "******"},
      {-999.999f, "-999.999", "******"}, {-1000.0f, "********", "******"},
      {-0.25f, "  -0.250", "  -0.3"},   {0.0f, "   0.000", "   0.0"},
  };
  for (const Case& c : cases) {
    Report r;
    r.slot("M", {c.value, c.value, c.value, c.value, c.value, c.value, c.value}, 1,
           {c.value, c.value, c.value, c.value, c.value});
    const std::string row = data_row(*r.ctx, 1);
    const std::string e = c.eight_three;
    const std::string p = c.six_one;
    const std::string expected = e + "," + e + "," + e + "," + e + "," + e + "," + e + "," + e +
                                 ",high ," + p + ",  " + p + ",  " + p + ",  " + p + ",  " + p +
                                 ",  ,";
    ASSERT_GE(row.size(), 93u);
    EXPECT_EQ(row.substr(93), expected) << c.value;
  }
}

TEST(ResultsRow, IdentifierCutOrPaddedTo50) {
  Report r;
  r.slot("M", {0.5f, -9, -9, 0.5f, 0.1f, 0.3f, 0.7f}, 3, {0, 0, 100, 0, 0});
  const std::string longer = "Long river name at the lower bridge below the weir, site 2";
  r.ctx->sampname[1].assign(longer);
  EXPECT_EQ(data_row(*r.ctx, 1).substr(0, 57), longer.substr(0, 50) + ",good ,");
  r.ctx->sampname[1].assign(" Leading");
  EXPECT_EQ(data_row(*r.ctx, 1).substr(0, 57), padded(" Leading", 50) + ",good ,");
}

TEST(ResultsHeadings, GroupsAndSlots) {
  Report r;
  r.group(2, "Fish", 2, {0, 100, 0, 0, 0});
  r.group(5, "Diatoms and other algae", 3, {0, 0, 100, 0, 0});
  r.slot("Taxa   ", {1, 0, 2, 0.5f, 0, 0.5f, 0.5f}, 3, {0, 0, 100, 0, 0});
  r.slot("\"ASPT, mean\"", {1, 0, 2, 0.5f, 0, 0.5f, 0.5f}, 3, {0, 0, 100, 0, 0});
  r.slot("Unused", {1, 0, 2, 0.5f, 0, 0.5f, 0.5f}, kNone, {0, 0, 100, 0, 0}, 6);
  const auto lines = r.written();
  ASSERT_EQ(lines.size(), 4u);
  const std::string status = ",Status,%high,%good,%moderate,%poor,%bad,";
  const std::string slot_columns = ",Observed,E0,E1,EQR,St Dev,Lower 2.5%,Upper 2.5%" + status;
  const std::string expected[3] = {
      "Site/Waterbody Identifier,Multi-metric status (First Overall;"
      "then for each top level metric group (MG))",
      ",Overall,,,,,,," + padded("Fish", 25) + ",,,,,,," + "Diatoms and other algae  ,,,,,,," +
          "Taxa,,,,,,,,,,,,,,\"ASPT, mean\",,,,,,,,,,,,,,",
      status + status + status + slot_columns + slot_columns,
  };
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(heading_row(*r.ctx, k + 1), expected[k]);
    EXPECT_EQ(lines[static_cast<std::size_t>(k)], padded(expected[k], 5000));
  }
}

TEST(ResultsHeadings, NoGroups) {
  Report r;
  r.slot("Taxa", {1, 0, 2, 0.5f, 0, 0.5f, 0.5f}, 3, {0, 0, 100, 0, 0});
  EXPECT_EQ(heading_row(*r.ctx, 2), ",Overall,,,,,,,Taxa,,,,,,,,,,,,,,");
  EXPECT_EQ(heading_row(*r.ctx, 3),
            ",Status,%high,%good,%moderate,%poor,%bad,"
            ",Observed,E0,E1,EQR,St Dev,Lower 2.5%,Upper 2.5%"
            ",Status,%high,%good,%moderate,%poor,%bad,");
}

// Rows are never cut: a specification with many slots gets rows longer
// than the record buffer, written whole, with every slot's columns.
TEST(ResultsRows, LongRowsAreWrittenWhole) {
  Report r;
  r.group(1, "Group", 2, {0, 100, 0, 0, 0});
  constexpr int kSlots = 120;
  for (int k = 1; k <= kSlots; ++k) {
    r.slot("Metric number " + std::to_string(k) + " with a long descriptive name", {1, 0, 2, 0.5f, 0.1f, 0.3f, 0.7f},
           3, {0, 10, 90, 0, 0});
  }
  const auto lines = r.written();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].size(), 5000u);
  for (int k = 1; k < 4; ++k) EXPECT_GT(lines[static_cast<std::size_t>(k)].size(), 5000u) << k;
  const std::string last = "Metric number 120 with a long descriptive name,,,,,,,,,,,,,,";
  EXPECT_EQ(lines[1].substr(lines[1].size() - last.size()), last);
  const std::string block =
      "   1.000,   0.000,   2.000,   0.500,   0.100,   0.300,   0.700,"
      "mod  ,   0.0,    10.0,    90.0,     0.0,     0.0,  ,";
  EXPECT_EQ(lines[3].size(), 50 + 42 + 42 + 1 + kSlots * block.size());
  EXPECT_EQ(lines[3].substr(lines[3].size() - block.size()), block);
  const std::string status = ",Status,%high,%good,%moderate,%poor,%bad,";
  EXPECT_EQ(lines[2].size(), 2 * status.size() +
                                 kSlots * (status.size() + std::string(",Observed,E0,E1,EQR,St Dev,"
                                                                       "Lower 2.5%,Upper 2.5%").size()));
}

TEST(SampleLog, LineInLogAndOnConsole) {
  struct Case {
    int sample;
    const char* id;
    ClassCode overall;
    std::string line;
  } cases[] = {
      {3, "Upper reach", 2,
       " Sample    3 : Upper reach" + std::string(29, ' ') + " : Overall class : good "},
      {300, "Long river name at the lower bridge below the weir", -1,
       " Sample  300 : Long river name at the lower bridge belo : Overall class : high*"},
      {7, "", kNone, " Sample    7 : " + std::string(40, ' ') + " : Overall class : none*"},
      {1, "  Pool", -3, " Sample    1 : " + padded("  Pool", 40) + " : Overall class : mod* "},
  };
  for (const Case& c : cases) {
    Report r;
    RunContext& ctx = *r.ctx;
    ctx.nsamp = c.sample;
    ctx.sampname[c.sample].assign(c.id);
    ctx.sample.obs_group[0][0] = c.overall;
    write_sample_log(ctx, c.sample);
    const std::string expected = "\r\n" + c.line + "\r\n";
    EXPECT_EQ(ctx.log.text(), expected);
    EXPECT_EQ(ctx.console.text(), expected);
  }
}

}  // namespace
}  // namespace mondrake
