#include "engine/simulation/statistics.h"

#include <algorithm>
#include <cmath>

namespace mondrake {

namespace {

int rank(float share, int n) {
  return static_cast<int>(std::round(static_cast<double>(share) *
                                     static_cast<double>(static_cast<float>(n + 1))));
}

// The k-th smallest of n values (k from 1); reorders the values.
std::int32_t kth_smallest(std::int32_t* values, int n, int k) {
  std::nth_element(values, values + (k - 1), values + n);
  return values[k - 1];
}

// Simulated EQRs in thousandths nearly always span a few thousand values at
// most: then both ranks come from one count of each value, in two passes
// over the values instead of a selection that moves them about.
constexpr std::int32_t kCountedSpan = 16384;

// The klo-th and khi-th smallest of n values (1 <= klo <= khi <= n).
// Values spread wider than the counted span are selected instead (and
// reordered).
void two_ranks(std::int32_t* values, int n, int klo, int khi, std::int32_t& lo,
               std::int32_t& hi) {
  std::int32_t vmin = values[0], vmax = values[0];
  for (int i = 1; i < n; ++i) {
    vmin = std::min(vmin, values[i]);
    vmax = std::max(vmax, values[i]);
  }
  if (static_cast<std::int64_t>(vmax) - vmin >= kCountedSpan) {
    // The lower rank is found first; the upper one then lies in the part
    // of the values at or above it.
    lo = kth_smallest(values, n, klo);
    hi = kth_smallest(values + klo - 1, n - klo + 1, khi - klo + 1);
    return;
  }
  std::int32_t count[kCountedSpan];
  const int span = vmax - vmin + 1;
  std::fill(count, count + span, 0);
  for (int i = 0; i < n; ++i) ++count[values[i] - vmin];
  int below = 0, v = 0;
  while (below + count[v] < klo) below += count[v++];
  lo = vmin + v;
  while (below + count[v] < khi) below += count[v++];
  hi = vmin + v;
}

void set_missing(float* v, int n) { std::fill(v, v + n, kMissing); }

void slot_statistics(RunContext& ctx, int i) {
  SampleTables& t = ctx.sample;
  const int n = ctx.nsim;
  if (is_missing(t.obs_eqr[i]) || n <= 0) {
    t.sd[i] = t.lower[i] = t.upper[i] = kMissing;
  } else {
    t.sd[i] = sd_from_sums(t.sum[i], t.sumsq[i], n);
    std::int32_t* values = ctx.stored(i);
    const int klo = lower_rank(n), khi = upper_rank(n);
    std::int32_t lo = 0, hi = 0;
    two_ranks(values, n, klo, khi, lo, hi);
    double lower = lo / 1000.0, upper = hi / 1000.0;
    if (ctx.slots.oeqr[i] == 1 && ctx.slots.intf[i] == 1) {
      lower = std::round(lower);
      upper = std::round(upper);
    }
    t.lower[i] = static_cast<float>(lower);
    t.upper[i] = static_cast<float>(upper);
  }
  if (t.obs_class[i] == kNone || n <= 0) {
    set_missing(t.pct[i], kClasses);
  } else {
    for (int c = 0; c < kClasses; ++c) t.pct[i][c] = percentage(t.tally[i][c], n);
  }
}

void group_statistics(RunContext& ctx) {
  SampleTables& t = ctx.sample;
  for (int I = 0; I < kGroups; ++I) {
    for (int J = 0; J < kGroups; ++J) {
      float* pct = t.group_pct[I][J];
      if (t.obs_group[I][J] == kNone || ctx.nsim <= 0) {
        set_missing(pct, kClasses);
      } else {
        for (int c = 0; c < kClasses; ++c) pct[c] = percentage(t.group_tally[I][J][c], ctx.nsim);
      }
    }
  }
}

}  // namespace

int lower_rank(int n) { return std::max(rank(0.025f, n), 1); }
int upper_rank(int n) { return std::min(rank(0.975f, n), n); }

float percentage(float count, int n) {
  return static_cast<float>(std::round(1000.0 * count / n) / 10.0);
}

float sd_from_sums(float sum, float sumsq, int n) {
  if (n <= 1) return 0;
  const double mean = static_cast<double>(sum) / n;
  const double var = (static_cast<double>(sumsq) - n * mean * mean) / (n - 1);
  return var >= 0 ? static_cast<float>(std::sqrt(var)) : 0.0f;
}

void compute_statistics(RunContext& ctx) {
  for (int i = 1; i <= ctx.cigband.nslot; ++i) slot_statistics(ctx, i);
  group_statistics(ctx);
}

}  // namespace mondrake
