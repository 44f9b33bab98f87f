#include "engine/simulation/mvnorm.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "engine/run/stop.h"

namespace mondrake {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

const char* const kNotPositiveDefinite =
    "\r\n"
    "\r\n"
    "ERROR:\r\n"
    " Sampling Variance-Covariance matrix is not positive-definite.\r\n"
    " Set of Correlations are not valid\r\n"
    " Revise & try again\r\n"
    "   \r\n";

// Packed lower triangle, row after row, from position 1.
std::vector<float> packed_lower(std::initializer_list<std::initializer_list<float>> rows) {
  std::vector<float> p{0.0f};
  for (auto row : rows) p.insert(p.end(), row.begin(), row.end());
  return p;
}

// Covariances from SDs and a full correlation matrix.
std::vector<float> covariance(std::vector<float> sd, std::vector<std::vector<float>> corr) {
  std::vector<float> p{0.0f};
  for (size_t r = 0; r < sd.size(); ++r)
    for (size_t s = 0; s <= r; ++s) p.push_back(corr[r][s] * sd[r] * sd[s]);
  return p;
}

class Mvnorm : public ::testing::Test {
 protected:
  Mvnorm() { SEED(rng, 12345); }

  // Draws with the given covariance; returns out[1] … out[n].
  std::vector<float> draw(int n, const std::vector<float>& cov, bool first = true,
                          std::vector<float> mean = {}) {
    mean.resize(n + 1, 0.0f);
    std::vector<float> out(n + 1, kNaN);
    RANDOM_MVNORM(rng, *st, n, cov.data(), mean.data(), out.data(), first, console, log);
    return {out.begin() + 1, out.end()};
  }

  // The next n RANDOM_NORMAL deviates from a copy of the generator.
  std::vector<double> next_normals(int n) const {
    RandomState copy = rng;
    std::vector<double> y;
    for (int k = 0; k < n; ++k) y.push_back(RANDOM_NORMAL(copy));
    return y;
  }

  float F(int i, int j, int n) const { return st->factor[factor_pos(i, j, n)]; }

  RandomState rng;
  std::unique_ptr<MvnormState> st = std::make_unique<MvnormState>();
  TextOut console, log;
};

TEST_F(Mvnorm, SingleMetricIsMeanPlusSdTimesOneDeviate) {
  const double y = next_normals(1)[0];
  RandomState after = rng;
  RANDOM_NORMAL(after);
  const auto out = draw(1, packed_lower({{2.25f}}), true, {0.0f, 10.0f});
  EXPECT_EQ(F(1, 1, 1), 1.5f);
  EXPECT_EQ(out[0], static_cast<float>(10.0 + 1.5 * y));
  EXPECT_EQ(rng.state, after.state);
}

TEST_F(Mvnorm, TwoMetricFactor) {
  // SDs 2 and 3, correlation 0.5.
  const auto cov = covariance({2, 3}, {{1, 0.5f}, {0.5f, 1}});
  EXPECT_EQ(cov, packed_lower({{4}, {3, 9}}));
  const auto y = next_normals(2);
  const auto out = draw(2, cov);
  EXPECT_EQ(st->factor[1], 2.0f);
  EXPECT_EQ(st->factor[2], 1.5f);
  EXPECT_EQ(st->factor[3], static_cast<float>(std::sqrt(6.75)));
  EXPECT_EQ(out[0], static_cast<float>(2.0 * y[0]));
  EXPECT_EQ(out[1], static_cast<float>(static_cast<float>(1.5 * y[0]) +
                                       double{st->factor[3]} * y[1]));
}

TEST_F(Mvnorm, FactorIsStoredColumnAfterColumn) {
  // cov = L L' with L = [2 0 0; 1 3 0; -1 2 1], all exact in single.
  const auto cov = packed_lower({{4}, {2, 10}, {-2, 5, 6}});
  draw(3, cov);
  const float expected[] = {0, 2, 1, -1, 3, 2, 1};
  for (int p = 1; p <= 6; ++p) EXPECT_EQ(st->factor[p], expected[p]) << p;
  EXPECT_EQ(F(3, 2, 3), 2.0f);
  EXPECT_EQ(st->size, 3);
}

TEST_F(Mvnorm, DeviatesTakenInMetricOrder) {
  const auto cov = packed_lower({{4}, {2, 10}, {-2, 5, 6}});
  const std::vector<float> mean = {0, 1, -2, 0.5f};
  const auto y = next_normals(3);
  const auto out = draw(3, cov, true, mean);
  // Accumulated one column at a time, each step rounded to single.
  float e1 = static_cast<float>(1 + 2 * y[0]);
  float e2 = static_cast<float>(-2 + 1 * y[0]);
  float e3 = static_cast<float>(0.5 - 1 * y[0]);
  e2 = static_cast<float>(e2 + 3 * y[1]);
  e3 = static_cast<float>(e3 + 2 * y[1]);
  e3 = static_cast<float>(e3 + 1 * y[2]);
  EXPECT_EQ(out, (std::vector<float>{e1, e2, e3}));
}

TEST_F(Mvnorm, LaterDrawsReuseTheFactor) {
  const auto cov = packed_lower({{4}, {3, 9}});
  draw(2, cov);
  const float factor3 = st->factor[3];
  // A different matrix is ignored when no factorisation is asked for.
  const auto y = next_normals(2);
  const auto out = draw(2, packed_lower({{1}, {0, 1}}), false);
  EXPECT_EQ(st->factor[3], factor3);
  EXPECT_EQ(out[0], static_cast<float>(2.0 * y[0]));
  // ... and taken when it is.
  const auto y2 = next_normals(2);
  const auto out2 = draw(2, packed_lower({{1}, {0, 1}}), true);
  EXPECT_EQ(out2[0], static_cast<float>(y2[0]));
  EXPECT_EQ(out2[1], static_cast<float>(y2[1]));
}

TEST_F(Mvnorm, FactorOfAnotherSizeIsNotReused) {
  draw(1, packed_lower({{4}}));
  const auto y = next_normals(2);
  const auto out = draw(2, packed_lower({{9}, {0, 16}}), false);
  EXPECT_EQ(out, (std::vector<float>{static_cast<float>(3 * y[0]),
                                     static_cast<float>(4 * y[1])}));
}

// A zero pivot (a metric with sampling SD 0, or one correlated exactly +-1
// with the metrics before it) contributes no error of its own; every call
// still draws one deviate per metric.
struct ZeroPivotCase {
  const char* what;
  std::vector<float> sd;
  std::vector<std::vector<float>> corr;
  std::vector<bool> zero_column;
};

TEST_F(Mvnorm, ZeroPivotGivesZeroColumn) {
  const ZeroPivotCase cases[] = {
      {"first of three", {0, 2, 3}, {{1, 0, 0}, {0, 1, 0.5f}, {0, 0.5f, 1}}, {true, false, false}},
      {"middle of three", {1, 0, 3}, {{1, 0, 0.3f}, {0, 1, 0}, {0.3f, 0, 1}}, {false, true, false}},
      {"last of three", {1, 2, 0}, {{1, 0.4f, 0}, {0.4f, 1, 0}, {0, 0, 1}}, {false, false, true}},
      {"all", {0, 0}, {{1, 0}, {0, 1}}, {true, true}},
      {"correlation 1", {1, 1}, {{1, 1}, {1, 1}}, {false, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int n = static_cast<int>(c.sd.size());
    const auto cov = covariance(c.sd, c.corr);
    RandomState after = rng;
    for (int k = 0; k < n; ++k) RANDOM_NORMAL(after);

    std::vector<float> mean(n + 1, 0.0f);
    for (int i = 1; i <= n; ++i) mean[i] = 5.0f * i;
    const auto out = draw(n, cov, true, mean);
    EXPECT_EQ(rng.state, after.state);

    for (int j = 1; j <= n; ++j) {
      if (!c.zero_column[j - 1]) continue;
      for (int i = j; i <= n; ++i) EXPECT_EQ(F(i, j, n), 0.0f) << i << "," << j;
    }
    for (int i = 1; i <= n; ++i) {
      EXPECT_TRUE(std::isfinite(out[i - 1])) << i;
      if (c.sd[i - 1] == 0) {
        EXPECT_EQ(out[i - 1], mean[i]) << i;
      }
    }
    EXPECT_TRUE(console.text().empty());
    EXPECT_TRUE(log.text().empty());
  }
}

TEST_F(Mvnorm, PerfectlyCorrelatedMetricsShareTheirError) {
  const auto cov = covariance({1, 1}, {{1, 1}, {1, 1}});
  for (int sim = 0; sim < 3; ++sim) {
    const auto out = draw(2, cov, sim == 0);
    EXPECT_EQ(out[0], out[1]);
  }
}

struct InvalidCase {
  const char* what;
  int n;
  std::vector<float> cov;
};

TEST_F(Mvnorm, InvalidCovarianceStopsBeforeDrawing) {
  const InvalidCase cases[] = {
      {"correlation 1.2", 2, covariance({2, 3}, {{1, 1.2f}, {1.2f, 1}})},
      {"negative first variance", 2, packed_lower({{-1}, {0, 1}})},
      {"negative pivot in row 3", 3, packed_lower({{1}, {0, 1}, {0.8f, 0.8f, 1}})},
      {"not a number first", 1, packed_lower({{kNaN}})},
      {"not a number later", 2, packed_lower({{1}, {kNaN, 1}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    console = TextOut();
    log = TextOut();
    const std::int32_t before = rng.state;
    EXPECT_THROW(draw(c.n, c.cov), FatalStop);
    EXPECT_EQ(console.text(), kNotPositiveDefinite);
    EXPECT_EQ(log.text(), kNotPositiveDefinite);
    EXPECT_EQ(rng.state, before);
    // The failed factor is never reused.
    EXPECT_EQ(st->size, 0);
  }
}

TEST_F(Mvnorm, NonPositiveSizeStops) {
  for (int n : {0, -1}) {
    console = TextOut();
    log = TextOut();
    float cov[2] = {0, 1}, mean[2] = {0, 0}, out[2] = {0, 0};
    EXPECT_THROW(RANDOM_MVNORM(rng, *st, n, cov, mean, out, true, console, log), FatalStop);
    EXPECT_EQ(console.text(), " SIZE OF VECTOR IS NON POSITIVE\r\n");
    EXPECT_EQ(log.text(), " SIZE OF VECTOR IS NON POSITIVE\r\n");
    EXPECT_EQ(rng.state, 12345);
  }
}

TEST_F(Mvnorm, FullSizeFactorRecoversTheCovariance) {
  // 200 metrics with an equicorrelated matrix: every stored position is
  // distinct and inside the triangle, and F F' gives back the covariance.
  const int n = kMaxMetrics;
  std::vector<float> cov{0.0f};
  for (int r = 1; r <= n; ++r)
    for (int s = 1; s <= r; ++s) cov.push_back(r == s ? 1.0f + 0.01f * r : 0.3f);
  draw(n, cov);
  for (int r : {1, 2, 50, 199, 200}) {
    for (int s : {1, 2, 100, 199, 200}) {
      if (s > r) continue;
      double sum = 0;
      for (int m = 1; m <= s; ++m) sum += double{F(r, m, n)} * F(s, m, n);
      EXPECT_NEAR(sum, cov[r * (r - 1) / 2 + s], 1e-5) << r << "," << s;
    }
  }
  EXPECT_EQ(factor_pos(n, n, n), kPackedTriangle);
}

// The loop and the drawing thread share the correlated error's columns;
// wherever the split falls, every element comes out bit for bit as one
// pass over all columns gives it.
TEST(MvnormColumns, AnySplitGivesTheSameBits) {
  const int n = 37;
  std::vector<float> cov{0.0f};
  for (int r = 1; r <= n; ++r)
    for (int s = 1; s <= r; ++s) cov.push_back(r == s ? 0.5f + 0.013f * r : 0.07f / (1 + r - s));
  auto st = std::make_unique<MvnormState>();
  ASSERT_TRUE(mvnorm_factorise(*st, n, cov.data()));
  std::vector<float> mean(n + 1), y(n);
  RandomState rng;
  SEED(rng, 977);
  for (int i = 1; i <= n; ++i) mean[i] = 0.01f * i;
  for (float& v : y) v = RANDOM_NORMAL(rng);
  std::vector<float> whole(n + 1);
  mvnorm_apply(*st, n, mean.data(), y.data(), whole.data());
  for (int k : {0, 1, 2, 16, 36, 37}) {
    std::vector<float> acc(mean.begin() + 1, mean.end());
    mvnorm_columns(*st, n, 1, k, y.data(), acc.data());
    mvnorm_columns(*st, n, k + 1, n, y.data(), acc.data());
    for (int i = 1; i <= n; ++i) {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(acc[i - 1]), std::bit_cast<std::uint32_t>(whole[i]))
          << "split after column " << k << ", element " << i;
    }
  }
}

}  // namespace
}  // namespace mondrake
