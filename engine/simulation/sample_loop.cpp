#include "engine/simulation/sample_loop.h"

#include <climits>
#include <cmath>
#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "engine/report/results.h"
#include "engine/simulation/deviate_stream.h"
#include "engine/simulation/statistics.h"

namespace mondrake {

namespace {

// A value that is negative or not a number becomes 0.
inline double non_negative(double v) { return v >= 0 ? v : 0.0; }

bool is_metric_eqr(const RunContext& ctx, int i) { return ctx.slots.oeqr[i] == 1; }

}  // namespace

std::int32_t thousandths(float v) {
  const double x = 1000.0 * v;
  // Inside the store's range the rounding is done here rather than by a
  // library call for every slot of every simulation: x minus its whole part
  // is exact, so the halves go away from zero just as round_half_away does.
  if (x > -2147483648.0 && x < 2147483647.0) {
    const auto whole = static_cast<std::int64_t>(x);  // toward zero
    const double frac = x - static_cast<double>(whole);
    return static_cast<std::int32_t>(whole + (frac >= 0.5) - (frac <= -0.5));
  }
  const double r = round_half_away(x);
  if (!(r < INT32_MAX)) return r < 0 ? INT32_MIN : INT32_MAX;  // NaN too
  if (r < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(r);
}

float back_transform(int code, float x, float e) {
  switch (code) {
    case 1: {
      const double y = non_negative(std::sqrt(static_cast<double>(x)) + e);
      return static_cast<float>(y * y);
    }
    case 2: {
      const double y = non_negative(std::pow(static_cast<double>(x), 0.25) + e);
      return static_cast<float>((y * y) * (y * y));
    }
    case 3: {
      const double y = non_negative(std::asin(std::sqrt(static_cast<double>(x))) + e);
      const double s = std::sin(y);
      return static_cast<float>(s * s);
    }
    case 4: {
      const double y = non_negative(std::asin(std::sqrt(static_cast<double>(x) / 100.0)) + e);
      const double s = std::sin(y);
      return static_cast<float>(100.0 * s * s);
    }
    default:
      return static_cast<float>(static_cast<double>(x) + e);
  }
}

void evaluate_observed(RunContext& ctx, int s) {
  SampleTables& t = ctx.sample;
  CBANDLIM& band = ctx.cbandlim;
  const int nslot = ctx.cigband.nslot;
  for (int i = 1; i <= nslot; ++i) {
    t.obs_class[i] = 0;
    t.obs_eqr[i] = kMissing;
    band.sign[i] = 1;
    const float x = ctx.OBS.v[i][s];
    float& e0 = ctx.E0.v[i][s];
    float& e1 = ctx.E1.v[i][s];
    if (is_metric_eqr(ctx, i)) {
      if (!is_missing(x)) t.obs_eqr[i] = x;
      e0 = e1 = kMissing;
    } else if (!is_missing(x)) {
      const double eqr = (static_cast<double>(x) - e0) / (static_cast<double>(e1) - e0);
      t.obs_eqr[i] = static_cast<float>(non_negative(eqr));
    }
  }
  CALCMMI(band, ctx.cigband, ctx.plan, t.obs_eqr, ctx.log);
  for (int i = 1; i <= nslot; ++i) {
    if (is_missing(t.obs_eqr[i]) || band.status[i] <= 0) {
      t.obs_class[i] = kNone;
    } else {
      t.obs_class[i] = static_cast<ClassCode>(
          band.sign[i] * class_of(t.obs_eqr[i], band.lim[i], band.dir[i]));
    }
    ctx.cigband.cls[i] = t.obs_class[i];
  }
  MMGROUP(band, ctx.cigband, ctx.plan, t.obs_group);
}

namespace {

void clear_records(SampleTables& t, int nslot) {
  for (int i = 1; i <= nslot; ++i) {
    t.sum[i] = t.sumsq[i] = 0;
    for (float& c : t.tally[i]) c = 0;
  }
  for (auto& row : t.group_tally)
    for (auto& cell : row)
      for (float& c : cell) c = 0;
}

// Simulated values of the metrics: sampling error on each metric's scale,
// bias error, and the EQR against an uncertain E1.  z holds the simulation's
// bias and E1 deviates in the order they are used.
void simulate_metrics(RunContext& ctx, int s, const float* z) {
  SampleTables& t = ctx.sample;
  const SlotTable& slot = ctx.slots;
  const int nmet = ctx.cigband.nmet;
  for (int m = 1; m <= nmet; ++m) {
    const float x = ctx.OBS.v[m][s];
    if (is_missing(x)) {
      t.sim_eqr[m] = kMissing;
      continue;
    }
    float value = back_transform(slot.trans[m], x, t.err[m]);
    if (slot.biassd[m] > 0) {
      value = static_cast<float>(value + (static_cast<double>(slot.bias[m]) +
                                          static_cast<double>(slot.biassd[m]) * *z++));
    } else {
      value = static_cast<float>(static_cast<double>(value) + slot.bias[m]);
    }
    double v;
    if (is_metric_eqr(ctx, m)) {
      v = slot.intf[m] == 1 ? round_half_away(value) : value;
    } else {
      const double e0 = ctx.E0.v[m][s];
      const double e1 = ctx.E1.v[m][s] + static_cast<double>(slot.e1sd[m]) * *z++;
      v = (value - e0) / (e1 - e0);
    }
    t.sim_eqr[m] = static_cast<float>(non_negative(v));
  }
  for (int i = nmet + 1; i <= ctx.cigband.nslot; ++i) t.sim_eqr[i] = kMissing;
}

// Stores, sums and classes every recorded slot of simulation n.
void record_slots(RunContext& ctx, int n) {
  SampleTables& t = ctx.sample;
  const CBANDLIM& band = ctx.cbandlim;
  const int nslot = ctx.cigband.nslot;
  for (int i = 1; i <= nslot; ++i) {
    if (is_missing(t.obs_eqr[i]) || band.status[i] <= 0) {
      t.sim_class[i] = kNone;
    } else {
      const float v = t.sim_eqr[i];
      const std::int32_t r = thousandths(v);
      ctx.stored(i)[n - 1] = r;
      t.sum[i] = static_cast<float>(static_cast<double>(t.sum[i]) + v);
      t.sumsq[i] = static_cast<float>(static_cast<double>(t.sumsq[i]) +
                                      static_cast<double>(v) * v);
      const ClassCode c = class_in_thousandths(r, band.lim[i], band.dir[i]);
      t.sim_class[i] = c;
      t.tally[i][c - 1] += 1;
    }
    ctx.cigband.cls[i] = t.sim_class[i];
  }
}

void tally_groups(SampleTables& t) {
  for (int I = 0; I < kGroups; ++I) {
    for (int J = 0; J < kGroups; ++J) {
      const int c = t.sim_group[I][J];
      if (c >= 1 && c <= 5) t.group_tally[I][J][c - 1] += 1;
      else if (c <= -1 && c >= -5) t.group_tally[I][J][-c - 1] += 1;
    }
  }
}

// The bias and E1 deviates of one simulation of sample s.
int extra_draws(const RunContext& ctx, int s) {
  int k = 0;
  for (int m = 1; m <= ctx.cigband.nmet; ++m) {
    if (is_missing(ctx.OBS.v[m][s])) continue;
    if (ctx.slots.biassd[m] > 0) ++k;
    if (!is_metric_eqr(ctx, m)) ++k;
  }
  return k;
}

// Simulation n of sample s from its correlated sampling error (already in
// t.err) and z, its bias and E1 ZNORMs.
void simulate_one(RunContext& ctx, int s, int n, const float* z) {
  SampleTables& t = ctx.sample;
  simulate_metrics(ctx, s, z);
  CALCMMI(ctx.cbandlim, ctx.cigband, ctx.plan, t.sim_eqr, ctx.log);
  record_slots(ctx, n);
  MMGROUP(ctx.cbandlim, ctx.cigband, ctx.plan, t.sim_group);
  tally_groups(t);
}

// The simulations of sample s with their deviates taken from the stream.
void simulate_streamed(RunContext& ctx, int s, DeviateStream& stream) {
  const int nmet = ctx.cigband.nmet;
  const int extra = extra_draws(ctx, s);
  const std::size_t size = DeviateStream::block_size(nmet, extra);
  clear_records(ctx.sample, ctx.cigband.nslot);
  float* const err = ctx.sample.err;
  for (int n = 1; n <= ctx.nsim; ++n) {
    // The covariances are the run's: the factor of the first simulation
    // of the run serves every later one.
    if (n == 1 && s == 1) mvnorm_prepare(ctx.mvnorm, nmet, ctx.COV, true, ctx.console, ctx.log);
    const float* block = stream.next(size);
    // The producer has run the first `split` columns of the correlated
    // error; the loop runs the rest on the sums it handed over.
    const float* sums = block + nmet + extra;
    const int split = static_cast<int>(sums[nmet]);
    std::copy(sums, sums + nmet, err + 1);
    if (split < nmet) mvnorm_columns(ctx.mvnorm, nmet, split + 1, nmet, block, err + 1);
    simulate_one(ctx, s, n, block + nmet);
  }
}

// Starts drawing the run's deviates on a second thread, when there are any
// to draw.  Without a thread (or the memory for its buffer) the loop draws
// them itself: the results are the same either way.  The producer gets its
// own copy of the run's factor; when the covariances cannot be factorised
// it gets none, and the loop stops the run at the first simulation as it
// would without the stream.
void start_stream(RunContext& ctx, std::vector<int>& extra,
                  std::optional<DeviateStream>& stream) {
  const int nmet = ctx.cigband.nmet;
  if (ctx.nsim <= 0 || ctx.nsamp <= 0 || nmet < 1 || nmet > kMaxMetrics) return;
  try {
    extra.assign(static_cast<std::size_t>(ctx.nsamp) + 1, 0);
    for (int s = 1; s <= ctx.nsamp; ++s) extra[static_cast<std::size_t>(s)] = extra_draws(ctx, s);
    auto factor = std::make_unique<MvnormState>();
    if (!mvnorm_factorise(*factor, nmet, ctx.COV)) factor.reset();
    stream.emplace(ctx.rng, nmet, ctx.nsamp, ctx.nsim, extra, std::move(factor), ctx.mean);
  } catch (const std::exception&) {
    stream.reset();
  }
}

}  // namespace

void simulate(RunContext& ctx, int s) {
  const int nmet = ctx.cigband.nmet;
  float block[3 * kMaxMetrics];
  float* const y = block;
  float* const z = block + kMaxMetrics;
  const int extra = extra_draws(ctx, s);
  clear_records(ctx.sample, ctx.cigband.nslot);
  for (int n = 1; n <= ctx.nsim; ++n) {
    // These deviates only advance the generator; the correlated draw does
    // not use them.
    for (int m = 1; m <= nmet; ++m) ZNORM(ctx.rng);
    mvnorm_prepare(ctx.mvnorm, nmet, ctx.COV, n == 1, ctx.console, ctx.log);
    for (int m = 0; m < nmet; ++m) y[m] = RANDOM_NORMAL(ctx.rng);
    mvnorm_apply(ctx.mvnorm, nmet, ctx.mean, y, ctx.sample.err);
    for (int k = 0; k < extra; ++k) z[k] = ZNORM(ctx.rng);
    simulate_one(ctx, s, n, z);
  }
}

void run_samples(RunContext& ctx) {
  ctx.log.empty();
  plan_groups(ctx.cbandlim, ctx.cigband, ctx.plan);
  const std::size_t n = ctx.nsim > 0 ? static_cast<std::size_t>(ctx.nsim) : 0;
  ctx.store.assign(static_cast<std::size_t>(ctx.cigband.nslot) * n, 0);
  std::vector<int> extra;
  std::optional<DeviateStream> stream;
  start_stream(ctx, extra, stream);
  for (int s = 1; s <= ctx.nsamp; ++s) {
    evaluate_observed(ctx, s);
    if (stream) simulate_streamed(ctx, s, *stream);
    else simulate(ctx, s);
    compute_statistics(ctx);
    write_sample_log(ctx, s);
    if (s == 1) write_results_headings(ctx);
    write_results_row(ctx, s);
  }
  // The generator is the loop's again, in the state after the last draw.
  if (stream) stream->stop();
}

}  // namespace mondrake
