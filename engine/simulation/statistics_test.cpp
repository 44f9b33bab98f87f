#include "engine/simulation/statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "engine/simulation/test_run.h"

namespace mondrake {
namespace {

using testing::MetricSpec;
using testing::TestRun;

// ---------------------------------------------------------------------------
// Ranks of the 2.5 % limits.

struct RankCase {
  int n, lower, upper;
};

class Ranks : public ::testing::TestWithParam<RankCase> {};

TEST_P(Ranks, OfN) {
  const RankCase& c = GetParam();
  EXPECT_EQ(lower_rank(c.n), c.lower) << c.n;
  EXPECT_EQ(upper_rank(c.n), c.upper) << c.n;
}

INSTANTIATE_TEST_SUITE_P(
    Simulations, Ranks,
    ::testing::Values(RankCase{1000, 25, 976}, RankCase{100, 3, 98}, RankCase{999, 25, 975},
                      RankCase{10, 1, 10}, RankCase{1, 1, 1}, RankCase{2, 1, 2},
                      // 0.025 (single) x 20 lies just above one half.
                      RankCase{19, 1, 19}, RankCase{39, 1, 39}, RankCase{59, 2, 59},
                      RankCase{100000, 2500, 97501}));

// ---------------------------------------------------------------------------
// Percentages with one decimal.

struct PercentCase {
  float count;
  int n;
  float expected;
};

class Percentages : public ::testing::TestWithParam<PercentCase> {};

TEST_P(Percentages, OfN) {
  const PercentCase& c = GetParam();
  EXPECT_FLOAT_EQ(percentage(c.count, c.n), c.expected) << c.count << " of " << c.n;
}

INSTANTIATE_TEST_SUITE_P(
    Tallies, Percentages,
    ::testing::Values(PercentCase{333, 1000, 33.3f}, PercentCase{334, 1000, 33.4f},
                      PercentCase{0, 1000, 0.0f}, PercentCase{1, 3, 33.3f},
                      PercentCase{2, 3, 66.7f}, PercentCase{0, 3, 0.0f},
                      PercentCase{1000, 1000, 100.0f}, PercentCase{1, 1, 100.0f},
                      PercentCase{1, 16, 6.3f},     // 6.25: half away from zero
                      PercentCase{5, 2000, 0.3f},   // 0.25
                      PercentCase{1, 2000, 0.1f},   // 0.05
                      PercentCase{99999, 100000, 100.0f}));

// ---------------------------------------------------------------------------
// SD from the running sums.

TEST(SdFromSums, FormulaAndItsGuards) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float sum, sumsq;
    int n;
    float expected;
  } cases[] = {
      {6, 14, 3, 1.0f},           // 1, 2, 3
      {2, 1, 4, 0.0f},            // four times 0.5, exact sums
      {0.6f, 0.36f, 1, 0.0f},     // one simulation
      {3, 2.9999f, 3, 0.0f},      // negative variance
      {inf, inf, 5, 0.0f},        // not a number
      {nan, nan, 5, 0.0f},
      {10, 30, 5, static_cast<float>(std::sqrt(2.5))},
  };
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(sd_from_sums(c.sum, c.sumsq, c.n), c.expected)
        << c.sum << " " << c.sumsq << " " << c.n;
  }
}

TEST(SdFromSums, EqualValuesFollowTheSinglePrecisionSums) {
  // 0.1 a thousand times: the single-precision sums are not exact, and the
  // formula on them gives what it gives, formed in double from the sums.
  float sum = 0, sumsq = 0;
  for (int n = 0; n < 1000; ++n) {
    sum = static_cast<float>(double{sum} + 0.1f);
    sumsq = static_cast<float>(double{sumsq} + double{0.1f} * 0.1f);
  }
  const double mean = double{sum} / 1000;
  const double var = (double{sumsq} - 1000 * mean * mean) / 999;
  const float expected = var >= 0 ? static_cast<float>(std::sqrt(var)) : 0.0f;
  EXPECT_EQ(sd_from_sums(sum, sumsq, 1000), expected);
  EXPECT_LT(expected, 1e-3f);
}

// ---------------------------------------------------------------------------
// Statistics of a sample from stored records.

// One metric (and a second one when asked) with n records filled by hand.
struct Records {
  TestRun run;
  explicit Records(int n, std::int16_t oeqr = 0, std::int16_t intf = 0) : run(n) {
    MetricSpec m;
    m.oeqr = oeqr;
    m.intf = intf;
    run.metric("A", m, {0.5f});
    run.metric("B", m, {0.5f});
    run.prepare();
    for (int i = 1; i <= 2; ++i) {
      run.ctx->sample.obs_eqr[i] = 0.5f;
      run.ctx->sample.obs_class[i] = 3;
    }
  }
  SampleTables& t() { return run.ctx->sample; }
  void store(int slot, const std::vector<std::int32_t>& v) {
    std::copy(v.begin(), v.end(), run.ctx->stored(slot));
  }
};

TEST(Statistics, LimitsAreRanksOfTheStoredThousandths) {
  std::mt19937 shuffle(5);
  for (int n : {1000, 100, 999, 10, 1, 2}) {
    SCOPED_TRACE(n);
    Records r(n);
    std::vector<std::int32_t> v(static_cast<std::size_t>(n));
    std::iota(v.begin(), v.end(), 0);
    for (std::int32_t& x : v) x *= 7;
    std::shuffle(v.begin(), v.end(), shuffle);
    r.store(1, v);
    // The second slot holds the values descending with many ties.
    std::vector<std::int32_t> w(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) w[static_cast<std::size_t>(k)] = (n - k) / 3;
    r.store(2, w);
    compute_statistics(*r.run.ctx);
    EXPECT_FLOAT_EQ(r.t().lower[1], (lower_rank(n) - 1) * 7 / 1000.0f);
    EXPECT_FLOAT_EQ(r.t().upper[1], (upper_rank(n) - 1) * 7 / 1000.0f);
    std::sort(w.begin(), w.end());
    EXPECT_FLOAT_EQ(r.t().lower[2], w[static_cast<std::size_t>(lower_rank(n) - 1)] / 1000.0f);
    EXPECT_FLOAT_EQ(r.t().upper[2], w[static_cast<std::size_t>(upper_rank(n) - 1)] / 1000.0f);
  }
}

TEST(Statistics, ThousandValuesZeroTo999) {
  Records r(1000);
  std::vector<std::int32_t> v(1000);
  for (int k = 0; k < 1000; ++k) v[static_cast<std::size_t>(k)] = (k * 337) % 1000;
  r.store(1, v);
  compute_statistics(*r.run.ctx);
  EXPECT_EQ(r.t().lower[1], 0.024f);
  EXPECT_EQ(r.t().upper[1], 0.975f);
}

TEST(Statistics, WholeNumberLimitsOnlyForEqrAndIntegerFlags) {
  struct Case {
    std::int16_t oeqr, intf;
    float lower, upper;
  } cases[] = {{1, 1, 3.0f, 1.0f}, {1, 0, 2.5f, 1.499f}, {0, 1, 2.5f, 1.499f}};
  for (const Case& c : cases) {
    Records r(10, c.oeqr, c.intf);
    r.store(1, {2500, 2500, 2500, 2500, 2500, 2500, 2500, 2500, 2500, 2500});
    r.store(2, {1499, 1499, 1499, 1499, 1499, 1499, 1499, 1499, 1499, 1499});
    compute_statistics(*r.run.ctx);
    EXPECT_EQ(r.t().lower[1], c.lower) << c.oeqr << c.intf;
    EXPECT_EQ(r.t().upper[2], c.upper) << c.oeqr << c.intf;
  }
}

TEST(Statistics, SlotPercentagesAndMissingValues) {
  Records r(1000);
  SampleTables& t = r.t();
  const float tallies[5] = {333, 333, 334, 0, 0};
  std::copy(tallies, tallies + 5, t.tally[1]);
  std::copy(tallies, tallies + 5, t.tally[2]);
  t.obs_class[1] = -2;  // flagged: computed all the same
  t.obs_eqr[2] = kMissing;
  t.obs_class[2] = kNone;
  compute_statistics(*r.run.ctx);
  const float expected[5] = {33.3f, 33.3f, 33.4f, 0.0f, 0.0f};
  for (int c = 0; c < 5; ++c) {
    EXPECT_FLOAT_EQ(t.pct[1][c], expected[c]);
    EXPECT_EQ(t.pct[2][c], kMissing);
  }
  EXPECT_EQ(t.sd[2], kMissing);
  EXPECT_EQ(t.lower[2], kMissing);
  EXPECT_EQ(t.upper[2], kMissing);
}

TEST(Statistics, GroupPercentages) {
  Records r(3);
  SampleTables& t = r.t();
  for (auto& row : t.obs_group)
    for (ClassCode& c : row) c = kNoMembers;
  t.obs_group[0][0] = -2;
  t.obs_group[1][0] = 2;
  t.obs_group[1][1] = kNone;
  const float tallies[5] = {1, 2, 0, 0, 0};
  for (auto [I, J] : {std::pair{0, 0}, {1, 0}, {1, 1}, {2, 2}})
    std::copy(tallies, tallies + 5, t.group_tally[I][J]);
  compute_statistics(*r.run.ctx);
  const float expected[5] = {33.3f, 66.7f, 0.0f, 0.0f, 0.0f};
  for (int c = 0; c < 5; ++c) {
    EXPECT_FLOAT_EQ(t.group_pct[0][0][c], expected[c]);
    EXPECT_FLOAT_EQ(t.group_pct[1][0][c], expected[c]);
    EXPECT_EQ(t.group_pct[1][1][c], kMissing);
    EXPECT_EQ(t.group_pct[3][0][c], 0.0f);
  }
}

TEST(Statistics, NoSimulationsGiveMissingStatistics) {
  for (int n : {0, -1}) {
    Records r(n);
    SampleTables& t = r.t();
    for (auto& row : t.obs_group)
      for (ClassCode& c : row) c = 2;
    compute_statistics(*r.run.ctx);
    for (int i = 1; i <= 2; ++i) {
      EXPECT_EQ(t.sd[i], kMissing);
      EXPECT_EQ(t.lower[i], kMissing);
      EXPECT_EQ(t.upper[i], kMissing);
      for (int c = 0; c < 5; ++c) EXPECT_EQ(t.pct[i][c], kMissing);
    }
    for (int c = 0; c < 5; ++c) {
      EXPECT_EQ(t.group_pct[0][0][c], kMissing);
      EXPECT_EQ(t.group_pct[4][4][c], kMissing);
    }
  }
}

}  // namespace
}  // namespace mondrake
