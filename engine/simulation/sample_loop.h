// The sample loop: observed evaluation, simulations, statistics, reports.
#pragma once

#include "engine/run/run_context.h"

namespace mondrake {

inline void run_samples(RunContext&) {}

}  // namespace mondrake
