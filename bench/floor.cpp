// floor: the random-number floor of a run.
//
// Reads a run directory with the engine's own reading stages (so it knows
// which metric of which sample has an observed value, which metrics carry a
// bias SD and which are given as EQRs), then draws exactly the deviates the
// engine's sample loop draws, in the same order, with the engine's own
// generators, and does nothing else with them.  Per simulation that is:
//   - one ZNORM per metric (the draws that only advance the generator),
//   - one RANDOM_NORMAL per metric (the correlated sampling error),
//   - for every metric with an observed value, a ZNORM for its bias error
//     when its bias SD is positive, and a ZNORM for its E1 when it is not
//     given as an EQR.
// It prints a checksum of everything drawn so that no draw can be optimised
// away, and the generator's final state, which must equal the engine's.
//
// Usage: floor [--check], in a copy of the run directory (the reading stages
// open the log and results files there, like the engine).  Times go to
// stderr.  --check then runs the engine's sample loop on a second reading of
// the same run and compares the generator's final state with the floor's.

#include <chrono>
#include <cstdio>
#include <memory>

#include "engine/input/readers.h"
#include "engine/run/run_sequence.h"
#include "engine/run/run_settings.h"
#include "engine/simulation/random.h"
#include "engine/simulation/sample_loop.h"
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

bool read_run(mondrake::RunContext& ctx) {
  using namespace mondrake;
  try {
    read_everything(ctx);
  } catch (...) {
    std::fprintf(stderr, "floor: the run directory could not be read\n");
    return false;
  }
  return true;
}

void close_run(mondrake::RunContext& ctx) {
  if (ctx.results_file) std::fclose(ctx.results_file);
  if (ctx.log_file) std::fclose(ctx.log_file);
  ctx.results_file = ctx.log_file = nullptr;
}

double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace mondrake;
  const bool check = argc > 1 && std::strcmp(argv[1], "--check") == 0;
  auto ctx = std::make_unique<RunContext>();
  const auto t0 = Clock::now();
  if (!read_run(*ctx)) return 2;
  const auto t1 = Clock::now();

  RandomState& rng = ctx->rng;
  const int nmet = ctx->cigband.nmet;
  // The draws after the correlated error, per metric of the sample: 0, 1
  // or 2 ZNORMs.  Only their number matters, and it is fixed per sample.
  int after[kMaxSlots + 1];
  double sum = 0.0;
  long long draws = 0;
  for (int s = 1; s <= ctx->nsamp; ++s) {
    int extra = 0;
    for (int m = 1; m <= nmet; ++m) {
      int k = 0;
      if (!is_missing(ctx->OBS.v[m][s])) {
        if (ctx->slots.biassd[m] > 0) ++k;
        if (ctx->slots.oeqr[m] != 1) ++k;
      }
      after[m] = k;
      extra += k;
    }
    for (int n = 1; n <= ctx->nsim; ++n) {
      for (int m = 1; m <= nmet; ++m) sum += ZNORM(rng);
      for (int m = 1; m <= nmet; ++m) sum += RANDOM_NORMAL(rng);
      for (int m = 1; m <= nmet; ++m)
        for (int k = 0; k < after[m]; ++k) sum += ZNORM(rng);
    }
    draws += static_cast<long long>(ctx->nsim) * (2LL * nmet + extra);
  }
  const auto t2 = Clock::now();

  std::printf("floor: %lld deviates, checksum %.9e, final state %d\n", draws, sum,
              static_cast<int>(rng.state));
  std::fprintf(stderr, "floor: reading %.3f s, draws %.3f s, slots %d\n",
               seconds(t0, t1), seconds(t1, t2), static_cast<int>(ctx->cigband.nslot));
  close_run(*ctx);
  if (!check) return 0;

  auto engine = std::make_unique<RunContext>();
  if (!read_run(*engine)) return 2;
  try {
    run_samples(*engine);
  } catch (...) {
    std::fprintf(stderr, "floor: the engine's sample loop stopped\n");
    return 2;
  }
  close_run(*engine);
  const bool same = engine->rng.state == rng.state &&
                    engine->rng.have_reserve == rng.have_reserve;
  std::printf("engine: final state %d: %s\n", static_cast<int>(engine->rng.state),
              same ? "the same" : "DIFFERENT");
  return same ? 0 : 1;
}
