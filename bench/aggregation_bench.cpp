// Evaluations per second of the aggregation: index values, slot classes and
// group classes for 200 metrics and 100 indices, on EQR vectors that vary
// from one evaluation to the next (some values missing).
//
//   aggregation_bench [evaluations]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "engine/aggregation/aggregation.h"

using namespace mondrake;

namespace {

constexpr int kMetrics = 200;
constexpr int kIndices = 100;
constexpr int kVectors = 1024;

struct Bench {
  CBANDLIM band{};
  CIGBAND ig{};
  GroupPlan plan{};
  GroupClasses out{};
  float input[kVectors][kMaxSlots + 1];
  float eqr[kMaxSlots + 1];
};

void set_slot(Bench& b, int s, std::int16_t use, int g1, int g2, float w1, float w2) {
  static const float lim[4] = {0.8f, 0.6f, 0.4f, 0.2f};
  b.band.use[s] = use;
  for (int k = 0; k < 4; ++k) b.band.lim[s][k] = lim[k];
  b.band.dir[s] = -1;
  b.ig.mgp[s][0] = static_cast<std::int16_t>(g1);
  b.ig.mgp[s][1] = static_cast<std::int16_t>(g2);
  b.ig.wt[s][0] = w1;
  b.ig.wt[s][1] = w2;
}

// 64 bottom-level groups: 48 of them index groups (rule type 6), the rest
// combined by rule types 1 to 5.  180 metrics spread over the bottom-level
// groups, 20 directly in the rows or at the overall level.  The 100 index
// rows: 48 holders, 4 holders of row-level index groups, the rest idle.
void build(Bench& b) {
  for (auto& w : b.ig.rowwt) w = 1.0f;
  for (int i = 1; i < kGroups; ++i) {
    b.ig.rule[i][0] = static_cast<std::int16_t>(i <= 4 ? 6 : 1 + i % 5);
    for (int j = 1; j < kGroups; ++j)
      b.ig.rule[i][j] = static_cast<std::int16_t>(j <= 6 ? 6 : 1 + (i + j) % 5);
  }
  b.ig.rule[0][0] = 2;

  int s = 0;
  for (int m = 0; m < 180; ++m) {
    const int cell = m % 64;
    set_slot(b, ++s, kUseMetric, 1 + cell / 8, 1 + cell % 8, 1.0f + m % 3, 1.0f + m % 2);
  }
  for (int m = 0; m < 20; ++m)
    set_slot(b, ++s, kUseMetric, m < 16 ? 1 + m % 8 : 0, 0, 1.0f, 1.0f);
  int x = 0;
  for (int i = 1; i < kGroups; ++i)
    for (int j = 1; j <= 6; ++j, ++x) set_slot(b, ++s, kUseIndex, i, j, 1.0f, 1.0f);
  for (int i = 1; i <= 4; ++i, ++x) set_slot(b, ++s, kUseIndex, i, 0, 2.0f, 1.0f);
  for (; x < kIndices; ++x) set_slot(b, ++s, kUseIndex, 1 + x % 8, 1 + x % 8, 1.0f, 1.0f);
  b.ig.nmet = kMetrics;
  b.ig.nmmi = kIndices;
  b.ig.nslot = static_cast<std::int16_t>(s);

  std::mt19937 gen(12345);
  std::uniform_real_distribution<float> u(-0.1f, 1.2f);
  std::uniform_real_distribution<float> p(0.0f, 1.0f);
  for (int v = 0; v < kVectors; ++v)
    for (int t = 1; t <= s; ++t)
      b.input[v][t] = (b.band.use[t] == kUseIndex || p(gen) < 0.03f) ? kMissing : u(gen);
}

// One observed evaluation.
inline void evaluate(Bench& b, const float* in, TextOut& log) {
  const int n = b.ig.nslot;
  for (int t = 1; t <= n; ++t) {
    b.eqr[t] = in[t];
    b.band.sign[t] = 1;
  }
  CALCMMI(b.band, b.ig, b.plan, b.eqr, log);
  for (int t = 1; t <= n; ++t) {
    ClassCode c = kNone;
    if (!is_missing(b.eqr[t]) && b.band.status[t] > 0)
      c = static_cast<ClassCode>(class_of(b.eqr[t], b.band.lim[t], b.band.dir[t]) *
                                 b.band.sign[t]);
    b.ig.cls[t] = c;
  }
  MMGROUP(b.band, b.ig, b.plan, b.out);
}

}  // namespace

int main(int argc, char** argv) {
  const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
  auto b = std::make_unique<Bench>();
  build(*b);
  plan_groups(b->band, b->ig, b->plan);
  TextOut log;

  long checksum = 0;
  for (int v = 0; v < kVectors; ++v) evaluate(*b, b->input[v], log);  // warm up

  const auto t0 = std::chrono::steady_clock::now();
  for (long i = 0; i < n; ++i) {
    evaluate(*b, b->input[i % kVectors], log);
    checksum += b->out[0][0] + b->out[3][0];
  }
  const auto t1 = std::chrono::steady_clock::now();
  const double sec = std::chrono::duration<double>(t1 - t0).count();

  // The group combination alone, on the last class inputs.
  const auto t2 = std::chrono::steady_clock::now();
  for (long i = 0; i < n; ++i) {
    MMGROUP(b->band, b->ig, b->plan, b->out);
    checksum += b->out[0][0];
  }
  const auto t3 = std::chrono::steady_clock::now();
  const double sec_group = std::chrono::duration<double>(t3 - t2).count();

  std::printf("slots %d (metrics %d, indices %d), evaluations %ld\n", b->ig.nslot,
              kMetrics, kIndices, n);
  std::printf("full evaluation: %.0f per second (%.3f us each)\n", n / sec,
              1e6 * sec / n);
  std::printf("MMGROUP alone:   %.0f per second (%.3f us each)\n", n / sec_group,
              1e6 * sec_group / n);
  std::printf("checksum %ld\n", checksum);
  return 0;
}
