// Statistics of a sample's simulated values: SD, 2.5 % and 97.5 % limits and
// class percentages for every slot, class percentages for every group cell.
#pragma once

#include <cstdint>

#include "engine/run/run_context.h"

namespace mondrake {

void compute_statistics(RunContext& ctx);

// Ranks (from 1) of the lower and upper 2.5 % limits among n sorted values.
int lower_rank(int n);
int upper_rank(int n);

// Per cent with one decimal of `count` out of n.
float percentage(float count, int n);

// SD from the single-precision running sums of n values.
float sd_from_sums(float sum, float sumsq, int n);

}  // namespace mondrake
