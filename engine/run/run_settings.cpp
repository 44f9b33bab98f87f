#include "engine/run/run_settings.h"

#include <ctime>
#include <string>

#include "engine/input/record.h"
#include "engine/simulation/random.h"

namespace mondrake {

using namespace layout;

namespace {

[[noreturn]] void header_problem(TextOut& log) {
  log.empty();
  log.empty();
  log.line(" Problem reading header lines of METRIC SPEC file :");
  fatal_stop();
}

// Reads the setting from the text after the line's first comma.
std::int32_t read_setting(RunContext& ctx, const char* key) {
  if (!ctx.metspec.read(ctx.record)) header_problem(ctx.log);
  const std::string& line = ctx.record;
  if (line.find(key) == std::string::npos) header_problem(ctx.log);
  int comma = first_pos(line, ',');
  int end = trimmed_length(line);
  std::string_view text = std::string_view(line).substr(
      static_cast<std::size_t>(comma),
      static_cast<std::size_t>(std::max(end - comma, 0)));
  std::int32_t value = 0;
  READVALS(text, {ReadTarget::integer(&value)}, ReadMode::strict);
  return value;
}

}  // namespace

void read_run_settings(RunContext& ctx) {
  TextOut& log = ctx.log;
  for (int k = 1; k <= 14; ++k)
    if (!ctx.metspec.read(ctx.record)) header_problem(log);

  ctx.nsim = read_setting(ctx, "Number of simulations required");
  log.put({nl, lit(" Number of simulations required ="), I(6)}, {ctx.nsim});
  ctx.seed = read_setting(ctx, "Integer random number seed");
  log.put({nl, lit(" Integer random number seed ="), I(8)}, {ctx.seed});

  if (ctx.nsim > kMaxSimulations) {
    log.empty();
    log.put({lit(" The requested number of simulations is"), I(7)}, {ctx.nsim});
    log.put({lit(" The maximum allowed (due to memory limitations) is"), I(7)},
            {kMaxSimulations});
    log.line(" Reset to a valid number of simulations.");
    log.line("   ");
    fatal_stop();
  }
  // These two seeds leave the generator on a fixed point: every uniform
  // deviate would be 1.0 and the normal generators would never return.
  if (ctx.seed == 2147483647 || ctx.seed == -2147483647) {
    log.empty();
    log.put({lit(" Integer random number seed cannot be"), I(12)}, {ctx.seed});
    log.line(" Choose another seed and re-run.");
    log.line("   ");
    fatal_stop();
  }

  std::int32_t seed = ctx.seed;
  if (seed == -1) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    seed = clock_seed(local.tm_hour, local.tm_min, local.tm_sec);
    log.put({lit(" (Clock-based random number seed ="), I(8), lit(" )")}, {seed});
    log.line("   ");
  }
  SEED(ctx.rng, seed);
  ctx.metspec.restart();
}

}  // namespace mondrake
