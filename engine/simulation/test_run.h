// A run context built by hand for the tests of the sample loop and the
// statistics: metrics and index rows added slot by slot, their values per
// sample, uncorrelated sampling errors unless a test sets COV itself.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/aggregation/aggregation.h"
#include "engine/run/run_context.h"

namespace mondrake::testing {

using Limits = std::array<float, 4>;
inline constexpr Limits kFalling = {0.8f, 0.6f, 0.4f, 0.2f};

struct MetricSpec {
  float sd = 0.0f;
  std::int16_t oeqr = 0;
  std::int16_t intf = 0;
  std::int16_t trans = 0;
  float bias = 0.0f;
  float biassd = 0.0f;
  float e1sd = 0.0f;
  Limits lim = kFalling;
  int mgp1 = 0, mgp2 = 0;
  float wt1 = 1.0f, wt2 = 1.0f;
};

struct TestRun {
  std::unique_ptr<RunContext> ctx = std::make_unique<RunContext>();

  explicit TestRun(int nsim, int nsamp = 1, std::int32_t seed = 20240611) {
    RunContext& c = *ctx;
    c.console = TextOut();  // collect instead of printing
    c.nsim = nsim;
    c.nsamp = nsamp;
    SEED(c.rng, seed);
    for (float& w : c.cigband.rowwt) w = 1.0f;
    for (int s = 1; s <= nsamp; ++s) c.sampname[s].assign("Site " + std::to_string(s));
  }

  // Values per sample, samples from 1; -9 is missing.
  int metric(const std::string& name, const MetricSpec& m, const std::vector<float>& obs,
             const std::vector<float>& e0 = {}, const std::vector<float>& e1 = {}) {
    const int s = add(name, kUseMetric, m);
    ++ctx->cigband.nmet;
    for (int k = 1; k <= ctx->nsamp; ++k) {
      ctx->OBS.v[s][k] = obs[static_cast<std::size_t>(k - 1)];
      ctx->E0.v[s][k] = e0.empty() ? kMissing : e0[static_cast<std::size_t>(k - 1)];
      ctx->E1.v[s][k] = e1.empty() ? kMissing : e1[static_cast<std::size_t>(k - 1)];
    }
    ctx->COV[packed(s, s)] = m.sd * m.sd;
    return s;
  }

  int index(const std::string& name, int mgp1, int mgp2, Limits lim = kFalling) {
    MetricSpec m;
    m.lim = lim;
    m.mgp1 = mgp1;
    m.mgp2 = mgp2;
    const int s = add(name, kUseIndex, m);
    ++ctx->cigband.nmmi;
    for (int k = 1; k <= ctx->nsamp; ++k) {
      ctx->OBS.v[s][k] = ctx->E0.v[s][k] = ctx->E1.v[s][k] = kMissing;
    }
    return s;
  }

  void rule(int i, int j, std::int16_t r) { ctx->cigband.rule[i][j] = r; }

  // What the sample loop does before its first sample.
  void prepare() {
    plan_groups(ctx->cbandlim, ctx->cigband, ctx->plan);
    const std::size_t n = ctx->nsim > 0 ? static_cast<std::size_t>(ctx->nsim) : 0;
    ctx->store.assign(static_cast<std::size_t>(ctx->cigband.nslot) * n, 0);
  }

  std::vector<std::int32_t> stored(int slot) {
    const std::int32_t* p = ctx->stored(slot);
    return {p, p + ctx->nsim};
  }

 private:
  int add(const std::string& name, std::int16_t use, const MetricSpec& m) {
    RunContext& c = *ctx;
    const int s = ++c.cigband.nslot;
    c.slots.name[s].assign(name);
    c.cbandlim.use[s] = use;
    for (int k = 0; k < 4; ++k) c.cbandlim.lim[s][k] = m.lim[static_cast<std::size_t>(k)];
    c.cbandlim.dir[s] = m.lim[3] > m.lim[0] ? 1 : -1;
    c.cigband.mgp[s][0] = static_cast<std::int16_t>(m.mgp1);
    c.cigband.mgp[s][1] = static_cast<std::int16_t>(m.mgp2);
    c.cigband.wt[s][0] = m.wt1;
    c.cigband.wt[s][1] = m.wt2;
    c.slots.oeqr[s] = m.oeqr;
    c.slots.intf[s] = m.intf;
    c.slots.sd[s] = m.sd;
    c.slots.trans[s] = m.trans;
    c.slots.bias[s] = m.bias;
    c.slots.biassd[s] = m.biassd;
    c.slots.e1sd[s] = m.e1sd;
    return s;
  }
};

}  // namespace mondrake::testing
