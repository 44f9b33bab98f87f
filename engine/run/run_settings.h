// Run settings: the number of simulations and the random number seed.
#pragma once

#include "engine/run/run_context.h"

namespace mondrake {

// Reads lines 15 and 16 of the metric specification, echoes them, checks
// them, seeds the generator and rewinds the file.
void read_run_settings(RunContext& ctx);

// The clock-based seed for a local time of day.
inline std::int32_t clock_seed(int hour, int minute, int second) {
  return 100 * hour + 10 * minute + second;
}

}  // namespace mondrake
