#include "engine/simulation/sample_loop.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "engine/run/golden.h"
#include "engine/simulation/statistics.h"
#include "engine/simulation/test_run.h"

namespace mondrake {
namespace {

using testing::kFalling;
using testing::Limits;
using testing::MetricSpec;
using testing::TestRun;

constexpr Limits kRising = {0.2f, 0.4f, 0.6f, 0.8f};

void expect_same_generator(const RandomState& a, const RandomState& b) {
  EXPECT_EQ(a.state, b.state);
  EXPECT_EQ(a.have_reserve, b.have_reserve);
  if (a.have_reserve && b.have_reserve) {
    EXPECT_EQ(a.reserve, b.reserve);
  }
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

std::vector<std::string> fields_of(const std::string& row) {
  std::vector<std::string> fields;
  std::stringstream in(row);
  for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
  if (!row.empty() && row.back() == ',') fields.push_back("");
  return fields;
}

// ---------------------------------------------------------------------------
// Back-transformation of a value with its sampling error.

struct TransformCase {
  int code;
  float x, e;
  float expected;
};

class BackTransform : public ::testing::TestWithParam<TransformCase> {};

TEST_P(BackTransform, Value) {
  const TransformCase& c = GetParam();
  EXPECT_NEAR(back_transform(c.code, c.x, c.e), c.expected, 1e-5f * (1 + std::fabs(c.expected)))
      << "code " << c.code << " x " << c.x << " e " << c.e;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, BackTransform,
    ::testing::Values(
        TransformCase{0, 2.0f, 0.5f, 2.5f},
        TransformCase{0, 1.0f, -3.0f, -2.0f},   // no floor on the untransformed scale
        TransformCase{1, 4.0f, 1.0f, 9.0f},
        TransformCase{1, 4.0f, -3.0f, 0.0f},    // y = -1 becomes 0
        TransformCase{1, -1.0f, 0.5f, 0.0f},    // root of a negative value
        TransformCase{2, 16.0f, 1.0f, 81.0f},
        TransformCase{2, 16.0f, -5.0f, 0.0f},
        TransformCase{2, -16.0f, 5.0f, 0.0f},
        TransformCase{3, 0.25f, 0.0f, 0.25f},
        TransformCase{3, 0.5f, -1.0f, 0.0f},
        TransformCase{3, 1.5f, 0.1f, 0.0f},     // proportion above 1
        TransformCase{4, 25.0f, 0.0f, 25.0f},
        TransformCase{4, 50.0f, 0.1f,
                      static_cast<float>(100.0 * std::pow(std::sin(std::asin(std::sqrt(0.5)) + 0.1), 2))},
        TransformCase{4, 150.0f, 0.0f, 0.0f}));  // percentage above 100

// ---------------------------------------------------------------------------
// Classes of simulated values in thousandths.

struct ThousandthsCase {
  std::int32_t r;
  Limits lim;
  std::int16_t expected;
};

class ClassInThousandths : public ::testing::TestWithParam<ThousandthsCase> {};

TEST_P(ClassInThousandths, Class) {
  const ThousandthsCase& c = GetParam();
  const std::int16_t dir = c.lim[3] > c.lim[0] ? 1 : -1;
  EXPECT_EQ(class_in_thousandths(c.r, c.lim.data(), dir), c.expected) << c.r;
}

constexpr Limits kNoLimits = {-9.0f, -9.0f, -9.0f, -9.0f};

INSTANTIATE_TEST_SUITE_P(
    Limits, ClassInThousandths,
    ::testing::Values(
        // 0.6 is stored as 0.600000024: 600 lies below it.
        ThousandthsCase{600, kFalling, 3}, ThousandthsCase{601, kFalling, 2},
        ThousandthsCase{800, kFalling, 2}, ThousandthsCase{801, kFalling, 1},
        ThousandthsCase{200, kFalling, 5}, ThousandthsCase{201, kFalling, 4},
        ThousandthsCase{0, kFalling, 5},
        ThousandthsCase{600, kRising, 3}, ThousandthsCase{601, kRising, 4},
        ThousandthsCase{200, kRising, 1}, ThousandthsCase{900, kRising, 5},
        ThousandthsCase{0, kNoLimits, 1}, ThousandthsCase{INT32_MAX, kFalling, 1}));

TEST(Thousandths, RoundsHalvesAwayAndHoldsTheStoreRange) {
  EXPECT_EQ(thousandths(0.0f), 0);
  EXPECT_EQ(thousandths(0.6f), 600);
  EXPECT_EQ(thousandths(0.0125f), 13);   // 12.5000002 in single
  EXPECT_EQ(thousandths(0.0005f), 1);
  EXPECT_EQ(thousandths(3.0e6f), INT32_MAX);
  EXPECT_EQ(thousandths(INFINITY), INT32_MAX);
  EXPECT_EQ(thousandths(-INFINITY), INT32_MIN);
}

// ---------------------------------------------------------------------------
// The observed evaluation.

TEST(ObservedValues, EqrsAndOverwrittenStandards) {
  struct Case {
    std::int16_t oeqr;
    float x, e0, e1;
    float eqr, e0_after, e1_after;
  };
  const float inf = INFINITY;
  const Case cases[] = {
      {0, 5, 1, 9, 0.5f, 1, 9},
      {0, 19, 1, 9, 2.25f, 1, 9},      // no upper limit
      {0, 0, 1, 9, 0.0f, 1, 9},        // negative becomes 0
      {0, 2, 2, 2, 0.0f, 2, 2},        // 0 / 0
      {0, 3, 2, 2, inf, 2, 2},         // E1 = E0
      {0, 1, 2, 2, 0.0f, 2, 2},        // minus infinity
      {0, 1, -9, 9, 10.0f / 18.0f, -9, 9},  // a missing E0 counts as -9
      {0, -9, 1, 9, -9, 1, 9},
      {0, -8.9f, 1, 9, -9, 1, 9},      // -8.9 counts as missing
      {0, -8.89f, 1, 9, 0.0f, 1, 9},
      {1, 0.7f, 1, 9, 0.7f, -9, -9},
      {1, 1.7f, 1, 9, 1.7f, -9, -9},
      {1, -9, 1, 9, -9, -9, -9},       // also overwritten when missing
  };
  TestRun run(0);
  for (const Case& c : cases) {
    MetricSpec m;
    m.oeqr = c.oeqr;
    m.sd = 1;
    run.metric("M", m, {c.x}, {c.e0}, {c.e1});
  }
  run.prepare();
  RunContext& ctx = *run.ctx;
  evaluate_observed(ctx, 1);
  for (int i = 1; i <= ctx.cigband.nslot; ++i) {
    const Case& c = cases[i - 1];
    SCOPED_TRACE(i);
    EXPECT_FLOAT_EQ(ctx.sample.obs_eqr[i], c.eqr);
    EXPECT_EQ(ctx.E0.v[i][1], c.e0_after);
    EXPECT_EQ(ctx.E1.v[i][1], c.e1_after);
    const ClassCode cls = is_missing(c.eqr) ? kNone : class_of(c.eqr, kFalling.data(), -1);
    EXPECT_EQ(ctx.sample.obs_class[i], cls);
  }
  // A missing metric flags the overall class.
  EXPECT_LT(ctx.sample.obs_group[0][0], 0);
}

// ---------------------------------------------------------------------------
// The order of the random draws.

// Replays the simulations of sample s on the generator r: the expected
// thousandths of every metric in every simulation.  The sampling errors are
// uncorrelated and the SDs powers of two, so the correlated draw of metric m
// is exactly its SD times its own deviate.
std::vector<std::vector<std::int32_t>> replay(const RunContext& c, int s, RandomState& r) {
  const int M = c.cigband.nmet;
  std::vector<std::vector<std::int32_t>> out(static_cast<std::size_t>(M + 1));
  std::vector<float> err(static_cast<std::size_t>(M + 1));
  for (int n = 1; n <= c.nsim; ++n) {
    for (int m = 1; m <= M; ++m) ZNORM(r);
    for (int m = 1; m <= M; ++m) {
      err[static_cast<std::size_t>(m)] =
          static_cast<float>(double{c.slots.sd[m]} * RANDOM_NORMAL(r));
    }
    for (int m = 1; m <= M; ++m) {
      const float x = c.OBS.v[m][s];
      if (x <= -8.9f) continue;
      float t = back_transform(c.slots.trans[m], x, err[static_cast<std::size_t>(m)]);
      if (c.slots.biassd[m] > 0) {
        const float z = ZNORM(r);
        t = static_cast<float>(t + (double{c.slots.bias[m]} + double{c.slots.biassd[m]} * z));
      } else {
        t = static_cast<float>(double{t} + c.slots.bias[m]);
      }
      double v;
      if (c.slots.oeqr[m] == 1) {
        v = c.slots.intf[m] == 1 ? std::round(t) : t;
      } else {
        const float z = ZNORM(r);
        const double e0 = c.E0.v[m][s];
        v = (t - e0) / (c.E1.v[m][s] + double{c.slots.e1sd[m]} * z - e0);
      }
      if (!(v >= 0)) v = 0;
      out[static_cast<std::size_t>(m)].push_back(
          static_cast<std::int32_t>(std::round(1000.0 * static_cast<float>(v))));
    }
  }
  return out;
}

TEST(DrawOrder, SimulationsOfTwoSamplesReplayDeviateByDeviate) {
  TestRun run(5, 2, 777);
  // Standardised, E1 uncertain, fixed bias without a deviate.
  MetricSpec a;
  a.sd = 0.5f;
  a.bias = 0.1f;
  a.e1sd = 0.25f;
  run.metric("A", a, {5, -9}, {1, 1}, {9, 9});
  // EQR given: a bias deviate, no E1 deviate; square root scale.
  MetricSpec b;
  b.oeqr = 1;
  b.trans = 1;
  b.sd = 0.25f;
  b.bias = -0.05f;
  b.biassd = 0.5f;
  run.metric("B", b, {0.7f, 0.9f});
  // Missing in sample 1: no deviates of its own there.
  MetricSpec c;
  c.sd = 1;
  c.biassd = 0.125f;
  run.metric("C", c, {-9, 4}, {0, 0}, {10, 10});
  // Fourth root, bias deviate and an E1 deviate although its SD is 0.
  MetricSpec d;
  d.trans = 2;
  d.sd = 0.125f;
  d.biassd = 0.25f;
  run.metric("D", d, {16, 16}, {0, 0}, {20, 20});
  // Whole numbers on the percentage scale.
  MetricSpec e;
  e.oeqr = 1;
  e.intf = 1;
  e.trans = 4;
  e.sd = 2;
  run.metric("E", e, {50, 30});
  run.prepare();
  RunContext& ctx = *run.ctx;
  // Start with a reserve deviate pending: it must be the first pre-draw.
  ZNORM(ctx.rng);
  RandomState expected_rng = ctx.rng;
  for (int s = 1; s <= 2; ++s) {
    SCOPED_TRACE(s);
    evaluate_observed(ctx, s);
    simulate(ctx, s);
    const auto expected = replay(ctx, s, expected_rng);
    expect_same_generator(ctx.rng, expected_rng);
    for (int m = 1; m <= ctx.cigband.nmet; ++m) {
      if (is_missing(ctx.OBS.v[m][s])) continue;
      EXPECT_EQ(run.stored(m), expected[static_cast<std::size_t>(m)]) << "metric " << m;
    }
  }
}

TEST(DrawOrder, MissingMetricDrawsOnlyItsPreDrawAndCorrelatedDeviate) {
  // Two identical runs, one with the metric missing: per simulation the
  // missing one draws exactly its bias and E1 deviates fewer.
  for (int nsim : {1, 3}) {
    TestRun with(nsim, 1, 99), without(nsim, 1, 99);
    MetricSpec m;
    m.sd = 0.5f;
    m.biassd = 0.5f;
    with.metric("M", m, {5}, {0}, {10});
    without.metric("M", m, {-9}, {0}, {10});
    for (TestRun* r : {&with, &without}) {
      r->prepare();
      evaluate_observed(*r->ctx, 1);
      simulate(*r->ctx, 1);
    }
    RandomState r = without.ctx->rng;
    RandomState replayed{};
    SEED(replayed, 99);
    for (int n = 0; n < nsim; ++n) {
      ZNORM(replayed);
      RANDOM_NORMAL(replayed);
    }
    expect_same_generator(r, replayed);
    RandomState full{};
    SEED(full, 99);
    for (int n = 0; n < nsim; ++n) {
      ZNORM(full);
      RANDOM_NORMAL(full);
      ZNORM(full);
      ZNORM(full);
    }
    expect_same_generator(with.ctx->rng, full);
  }
}

// ---------------------------------------------------------------------------
// Whole runs of the loop.

TEST(SampleLoop, SimulatedClassesCompareThousandthsWithTheStoredLimits) {
  // SD 0: every simulated value is the observed 0.6 (a factor column of
  // zeros), which is on the limit of "good" but 600 lies below 0.600000024.
  for (Limits lim : {kFalling, kRising}) {
    TestRun run(10);
    MetricSpec m;
    m.oeqr = 1;
    m.lim = lim;
    run.metric("M", m, {0.6f});
    run.prepare();
    RunContext& ctx = *run.ctx;
    evaluate_observed(ctx, 1);
    simulate(ctx, 1);
    compute_statistics(ctx);
    const SampleTables& t = ctx.sample;
    EXPECT_EQ(t.obs_class[1], lim == kFalling ? 2 : 3);
    const float moderate[5] = {0, 0, 100, 0, 0};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(t.pct[1][c], moderate[c]) << c;
    EXPECT_EQ(run.stored(1), std::vector<std::int32_t>(10, 600));
    EXPECT_EQ(t.lower[1], 0.6f);
    EXPECT_EQ(t.upper[1], 0.6f);
    // The running sums are single-precision accumulators.
    float sum = 0, sumsq = 0;
    for (int n = 0; n < 10; ++n) {
      sum = static_cast<float>(double{sum} + 0.6f);
      sumsq = static_cast<float>(double{sumsq} + double{0.6f} * 0.6f);
    }
    EXPECT_EQ(t.sum[1], sum);
    EXPECT_EQ(t.sumsq[1], sumsq);
    EXPECT_EQ(t.sd[1], sd_from_sums(sum, sumsq, 10));
    EXPECT_LT(t.sd[1], 1e-3f);
  }
}

TEST(SampleLoop, EqrFlagAndIntegerFlagGiveWholeNumbers) {
  TestRun run(300);
  MetricSpec m;
  m.oeqr = 1;
  m.intf = 1;
  m.sd = 2;
  m.lim = {7, 5, 3, 1};
  run.metric("Count", m, {1});
  run.prepare();
  RunContext& ctx = *run.ctx;
  evaluate_observed(ctx, 1);
  simulate(ctx, 1);
  compute_statistics(ctx);
  bool zero = false;
  const std::vector<std::int32_t> records = run.stored(1);
  for (std::int32_t r : records) {
    EXPECT_EQ(r % 1000, 0) << r;
    EXPECT_GE(r, 0);
    zero = zero || r == 0;
  }
  EXPECT_TRUE(zero) << "negative counts become 0";
  const SampleTables& t = ctx.sample;
  EXPECT_EQ(t.lower[1], 0.0f);
  EXPECT_EQ(t.upper[1], std::round(t.upper[1]));
  EXPECT_GE(t.upper[1], 3.0f);
  EXPECT_LE(t.upper[1], 7.0f);
}

TEST(SampleLoop, MissingValuesAreNeitherSimulatedNorRecorded) {
  TestRun run(20);
  MetricSpec m;
  m.sd = 0.5f;
  m.mgp1 = 1;
  m.mgp2 = 1;
  const int a = run.metric("A", m, {5}, {0}, {10});
  const int b = run.metric("B", m, {-9}, {0}, {10});
  const int c = run.metric("C", m, {6}, {0}, {10});
  // An index whose members are all missing in the sample.
  MetricSpec x = m;
  x.mgp1 = 2;
  x.mgp2 = 0;
  const int d = run.metric("D", x, {-9}, {0}, {10});
  const int idx = run.index("Index", 2, 0);
  run.rule(2, 0, kRuleIndex);
  run.rule(1, 1, 1);
  run.prepare();
  RunContext& ctx = *run.ctx;
  std::fill(ctx.store.begin(), ctx.store.end(), 4242);
  evaluate_observed(ctx, 1);
  simulate(ctx, 1);
  compute_statistics(ctx);
  const SampleTables& t = ctx.sample;
  for (int i : {b, d, idx}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.obs_eqr[i], kMissing);
    EXPECT_EQ(t.obs_class[i], kNone);
    EXPECT_EQ(t.sim_class[i], kNone);
    EXPECT_EQ(run.stored(i), std::vector<std::int32_t>(20, 4242));
    EXPECT_EQ(t.sd[i], kMissing);
    EXPECT_EQ(t.lower[i], kMissing);
    EXPECT_EQ(t.upper[i], kMissing);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(t.pct[i][k], kMissing);
    EXPECT_EQ(t.tally[i][0] + t.tally[i][1] + t.tally[i][2] + t.tally[i][3] + t.tally[i][4], 0);
  }
  EXPECT_EQ(ctx.cbandlim.status[idx], 5);
  for (int i : {a, c}) {
    float total = 0;
    for (int k = 0; k < 5; ++k) total += t.pct[i][k];
    EXPECT_FLOAT_EQ(total, 100.0f);
    EXPECT_GT(t.sd[i], 0.0f);
  }
  // Group (1,1) is flagged (B missing) and still counted without its sign;
  // row 2 consists of the empty index only; row 3 has no members at all.
  EXPECT_LT(t.obs_group[1][1], 0);
  EXPECT_EQ(t.obs_group[2][0], kNone);
  EXPECT_EQ(t.obs_group[3][0], kNoMembers);
  EXPECT_LT(t.obs_group[0][0], 0);
  for (auto [I, J] : {std::pair{1, 1}, {1, 0}, {0, 0}}) {
    float total = 0;
    for (int k = 0; k < 5; ++k) total += t.group_pct[I][J][k];
    EXPECT_FLOAT_EQ(total, 100.0f) << I << "," << J;
  }
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(t.group_pct[2][0][k], kMissing);
    EXPECT_EQ(t.group_pct[3][0][k], 0.0f);
  }
}

TEST(SampleLoop, IndexOfSimulatedMembersIsRecorded) {
  TestRun run(50);
  MetricSpec m;
  m.oeqr = 1;
  m.sd = 0.05f;
  m.mgp1 = 1;
  m.mgp2 = 1;
  run.metric("A", m, {0.9f});
  run.metric("B", m, {1.3f});  // capped at 1 inside the index
  const int idx = run.index("Index", 1, 1);
  run.rule(1, 1, kRuleIndex);
  run.prepare();
  RunContext& ctx = *run.ctx;
  evaluate_observed(ctx, 1);
  simulate(ctx, 1);
  const SampleTables& t = ctx.sample;
  EXPECT_FLOAT_EQ(t.obs_eqr[2], 1.0f);
  EXPECT_FLOAT_EQ(t.obs_eqr[idx], 0.95f);
  const std::vector<std::int32_t> capped = run.stored(2);
  for (std::int32_t r : capped) EXPECT_LE(r, 1000);
  const auto a = run.stored(1), b = run.stored(2), x = run.stored(idx);
  for (std::size_t n = 0; n < x.size(); ++n) {
    EXPECT_NEAR(x[n], (a[n] + b[n]) / 2.0, 1.0) << n;
  }
  compute_statistics(ctx);
  EXPECT_GT(t.sd[idx], 0.0f);
}

TEST(SampleLoop, StandardisedEqrTooLargeForTheStoreIsHeldAtItsEnd) {
  // E1 = E0: every EQR is infinite.
  TestRun run(10);
  MetricSpec m;
  m.sd = 0.5f;
  run.metric("Flat", m, {5}, {2}, {2});
  MetricSpec ok;
  ok.oeqr = 1;
  ok.sd = 0.1f;
  run.metric("Next", ok, {0.5f});
  run_samples(*run.ctx);
  RunContext& ctx = *run.ctx;
  EXPECT_EQ(run.stored(1), std::vector<std::int32_t>(10, INT32_MAX));
  EXPECT_EQ(ctx.sample.lower[1], static_cast<float>(INT32_MAX / 1000.0));
  const auto lines = lines_of(ctx.results.text());
  ASSERT_EQ(lines.size(), 4u);
  // The columns stay in place: every field keeps its width.
  const auto fields = fields_of(lines[3]);
  ASSERT_EQ(fields.size(), 8u + 2 * 14 + 1);
  for (std::size_t slot = 0; slot < 2; ++slot) {
    const std::size_t b = 8 + 14 * slot;
    for (std::size_t k = 0; k < 7; ++k) EXPECT_EQ(fields[b + k].size(), 8u) << fields[b + k];
    EXPECT_EQ(fields[b + 7].size(), 5u);
    EXPECT_EQ(fields[b + 8].size(), 6u);
    for (std::size_t k = 9; k < 13; ++k) EXPECT_EQ(fields[b + k].size(), 8u) << fields[b + k];
    EXPECT_EQ(fields[b + 13], "  ");
  }
  EXPECT_EQ(fields[8 + 5], "********");  // lower limit
  EXPECT_EQ(fields[8 + 6], "********");  // upper limit
  EXPECT_EQ(fields[8 + 7], "high ");
  EXPECT_EQ(fields[8 + 8], " 100.0");
  EXPECT_EQ(fields[8 + 14], "   0.500");
}

TEST(SampleLoop, OneSimulation) {
  TestRun run(1);
  MetricSpec m;
  m.oeqr = 1;
  m.sd = 0.1f;
  run.metric("M", m, {0.5f});
  const RandomState before = run.ctx->rng;
  run_samples(*run.ctx);
  RunContext& ctx = *run.ctx;
  const SampleTables& t = ctx.sample;
  const std::int32_t r = run.stored(1)[0];
  EXPECT_EQ(t.sd[1], 0.0f);
  EXPECT_EQ(t.lower[1], static_cast<float>(r / 1000.0));
  EXPECT_EQ(t.upper[1], t.lower[1]);
  int hundred = 0;
  for (int c = 0; c < 5; ++c) {
    EXPECT_TRUE(t.pct[1][c] == 0.0f || t.pct[1][c] == 100.0f);
    hundred += t.pct[1][c] == 100.0f;
  }
  EXPECT_EQ(hundred, 1);
  EXPECT_NE(ctx.rng.state, before.state);
}

TEST(SampleLoop, NoSimulationsReportObservedValuesOnly) {
  for (int nsim : {0, -3}) {
    SCOPED_TRACE(nsim);
    TestRun run(nsim);
    MetricSpec m;
    m.sd = 0.5f;
    m.mgp1 = 1;
    run.metric("M", m, {5}, {1}, {9});
    const RandomState before = run.ctx->rng;
    run_samples(*run.ctx);
    RunContext& ctx = *run.ctx;
    expect_same_generator(ctx.rng, before);
    const SampleTables& t = ctx.sample;
    EXPECT_FLOAT_EQ(t.obs_eqr[1], 0.5f);
    EXPECT_EQ(t.obs_class[1], 3);
    EXPECT_EQ(t.obs_group[1][0], 3);
    EXPECT_EQ(t.sd[1], kMissing);
    EXPECT_EQ(t.lower[1], kMissing);
    EXPECT_EQ(t.upper[1], kMissing);
    for (int c = 0; c < 5; ++c) {
      EXPECT_EQ(t.pct[1][c], kMissing);
      EXPECT_EQ(t.group_pct[0][0][c], kMissing);
      EXPECT_EQ(t.group_pct[1][0][c], kMissing);
    }
    const auto lines = lines_of(ctx.results.text());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3],
              std::string("Site 1") + std::string(44, ' ') +
                  ",mod  ,  -9.0,  -9.0,  -9.0,  -9.0,  -9.0,"
                  ",mod  ,  -9.0,  -9.0,  -9.0,  -9.0,  -9.0,"
                  ",   5.000,   1.000,   9.000,   0.500,  -9.000,  -9.000,  -9.000,"
                  "mod  ,  -9.0,    -9.0,    -9.0,    -9.0,    -9.0,  ,");
  }
}

TEST(SampleLoop, ReportsEverySampleInOrder) {
  TestRun run(20, 3);
  MetricSpec m;
  m.oeqr = 1;
  m.sd = 0.05f;
  run.metric("M", m, {0.9f, 0.5f, -9});
  run.ctx->sampname[2].assign("Upper reach");
  run_samples(*run.ctx);
  RunContext& ctx = *run.ctx;
  auto line = [](const char* number, std::string id, const char* label) {
    id.resize(40, ' ');
    return std::string("\r\n Sample") + number + " : " + id + " : Overall class : " + label + "\r\n";
  };
  const std::string expected_lines = "\r\n" + line("    1", "Site 1", "high ") +
                                     line("    2", "Upper reach", "mod  ") +
                                     line("    3", "Site 3", "none*");
  EXPECT_EQ(ctx.log.text(), expected_lines);
  EXPECT_EQ(ctx.console.text(), expected_lines.substr(2));
  const auto lines = lines_of(ctx.results.text());
  ASSERT_EQ(lines.size(), 6u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(lines[static_cast<std::size_t>(k)].size(), 5000u);
  EXPECT_EQ(lines[3].substr(0, 6), "Site 1");
  EXPECT_EQ(lines[4].substr(0, 11), "Upper reach");
  EXPECT_EQ(lines[5].substr(0, 57), "Site 3" + std::string(44, ' ') + ",none*,");
}

// The SD reported for an untransformed metric given as EQR follows its
// sampling SD, and the limits lie about 1.96 SD either side.
TEST(SampleLoop, SimulatedSpreadFollowsTheSamplingSd) {
  TestRun run(2000, 1, 13579);
  MetricSpec eqr;
  eqr.oeqr = 1;
  eqr.sd = 0.1f;
  run.metric("EQR", eqr, {0.5f});
  MetricSpec raw;
  raw.sd = 1.0f;
  run.metric("Raw", raw, {10}, {0}, {20});
  run.ctx->COV[packed(2, 1)] = 0.05f;  // correlation 0.5
  run.prepare();
  RunContext& ctx = *run.ctx;
  evaluate_observed(ctx, 1);
  simulate(ctx, 1);
  // The correlation of the records, before the statistics reorder them.
  double s1 = 0, s2 = 0, s12 = 0;
  const auto a = run.stored(1), b = run.stored(2);
  for (std::size_t n = 0; n < a.size(); ++n) {
    s1 += (a[n] - 500.0) * (a[n] - 500.0);
    s2 += (b[n] - 500.0) * (b[n] - 500.0);
    s12 += (a[n] - 500.0) * (b[n] - 500.0);
  }
  EXPECT_NEAR(s12 / std::sqrt(s1 * s2), 0.5, 0.08);
  compute_statistics(ctx);
  const SampleTables& t = ctx.sample;
  EXPECT_NEAR(t.sd[1], 0.1, 0.01);
  EXPECT_NEAR(t.lower[1], 0.5 - 1.96 * 0.1, 0.03);
  EXPECT_NEAR(t.upper[1], 0.5 + 1.96 * 0.1, 0.03);
  // Classes 0.6-0.8 and 0.4-0.6 take about 16 % and 68 %.
  EXPECT_NEAR(t.pct[1][1], 15.9, 3.0);
  EXPECT_NEAR(t.pct[1][2], 68.3, 4.0);
  EXPECT_NEAR(t.sd[2], 0.05, 0.006);
}

// Whole runs of the engine: no simulations, and one; at Site B E1 equals
// E0 for Taxa, so its EQR is infinite.
TEST(SampleLoopGolden, NoSimulations) {
  testing::check_golden(testing::source_path("engine/simulation/testdata/no-simulations"));
}

TEST(SampleLoopGolden, OneSimulation) {
  testing::check_golden(testing::source_path("engine/simulation/testdata/one-simulation"));
}

}  // namespace
}  // namespace mondrake
