// The sample loop: for every sample its observed evaluation, its
// simulations, their statistics and its reports.
#pragma once

#include "engine/run/run_context.h"

namespace mondrake {

void run_samples(RunContext& ctx);

// The steps of one sample, in their order.
void evaluate_observed(RunContext& ctx, int sample);
void simulate(RunContext& ctx, int sample);

// Back-transformed value of an observed value X with the sampling error e
// added on the scale of transformation `code`.
float back_transform(int code, float x, float e);

// Rounds to the nearest whole number, halves away from zero.
inline double round_half_away(double v) { return std::round(v); }

// A simulated EQR in thousandths; values beyond the store's range are held
// at its ends.
std::int32_t thousandths(float v);

// Class of a value in thousandths against 1000 times each limit.
inline ClassCode class_in_thousandths(std::int32_t r, const float lim[4], std::int16_t dir) {
  const double x = r;
  ClassCode c = 5;
  if (dir == 1) {
    for (int k = 3; k >= 0; --k) c = x <= 1000.0 * lim[k] ? static_cast<ClassCode>(k + 1) : c;
  } else {
    for (int k = 3; k >= 0; --k) c = x >= 1000.0 * lim[k] ? static_cast<ClassCode>(k + 1) : c;
  }
  return c;
}

}  // namespace mondrake
