// Random numbers of a run: one uniform generator and two normal generators
// built on it.
//
// Every random quantity of a run comes from one RandomState, seeded once
// before the first sample and never again; its state and ZNORM's reserve run
// on across all samples and simulations.  A run is reproducible for a given
// seed only if the draws are made in the same order every time.
//
// Deviates are single precision.  The values marked "single" below are
// rounded to single precision where they are formed; everything else is
// computed in double precision.  Those rounding points are what make a run's
// results the same on every build, so keep them exactly where they are.
//
// The generators sit on the innermost loops of the simulation (up to about
// 800 deviates per simulation), so they are defined here to be inlined.
#pragma once

#include <cmath>
#include <cstdint>

namespace mondrake {

struct RandomState {
  std::int32_t state = 1;     // the generator's state; 1 before any seeding
  bool have_reserve = false;  // ZNORM holds the second deviate of its pair
  float reserve = 0;
};

// Sets the state to the seed and nothing else (ZNORM's reserve stays).
// The seeds 2147483647 and -2147483647 are multiples of the modulus and
// would leave the generator on one state for ever; the run refuses them
// before it seeds.  Every other 32-bit value is a valid seed.
inline void SEED(RandomState& r, std::int32_t seed) { r.state = seed; }

// Uniform deviate in (0, 1]: the minimal standard multiplicative
// congruential generator, multiplier 48271, modulus 2^31 - 1, computed in
// 32 bits by Schrage's decomposition (44488 = m div a, 3399 = m mod a).
// The new state is (48271 * state) mod (2^31 - 1); a negative state acts as
// state + 2^31 - 1 and a zero state as -1.  States from 2^31 - 64 upward
// round to a deviate of exactly 1.
inline float RANDOM(RandomState& r) {
  std::int32_t s = r.state;
  if (s == 0) s = -1;
  const std::int32_t hi = s / 44488;  // truncates toward zero
  const std::int32_t lo = s - 44488 * hi;
  std::int32_t t = 48271 * lo - 3399 * hi;  // |t| < 2^31: cannot overflow
  if (t <= 0) t += 2147483647;
  r.state = t;
  // Scaling by a power of two is exact, so rounding t to single first is
  // the same as rounding t * 2^-31.
  return static_cast<float>(t) * 0x1p-31f;
}

// Whether the polar method can use a pair whose squared radius is s: s = 0
// would make the scale factor infinite, s >= 1 lies outside the unit disc.
inline bool polar_pair_usable(float s) { return s > 0.0f && s < 1.0f; }

// Standard normal deviate by the polar method.  Each fresh pair yields two
// deviates: this call returns the one from the second uniform and keeps the
// one from the first in reserve for the next call.  The reserve survives
// everything except the call that uses it.
inline float ZNORM(RandomState& r) {
  if (r.have_reserve) {
    r.have_reserve = false;
    return r.reserve;
  }
  float w1, w2, s;
  do {
    const float u1 = RANDOM(r);
    const float u2 = RANDOM(r);
    w1 = static_cast<float>(2.0 * u1 - 1.0);                        // single
    w2 = static_cast<float>(2.0 * u2 - 1.0);                        // single
    s = static_cast<float>(double{w1} * w1 + double{w2} * w2);      // single
  } while (!polar_pair_usable(s));
  const double f = std::sqrt(-2.0 * std::log(double{s}) / s);
  r.reserve = static_cast<float>(f * w1);
  r.have_reserve = true;
  return static_cast<float>(f * w2);
}

// Standard normal deviate by Leva's ratio-of-uniforms method.  Each attempt
// takes two uniforms (u first, then v); nothing is kept between calls.
inline float RANDOM_NORMAL(RandomState& r) {
  // The method's constants are single-precision values.
  constexpr double kS = 0.449871f, kT = -0.386595f;
  constexpr double kA = 0.19600f, kB = 0.25472f;
  constexpr double kR1 = 0.27597f, kR2 = 0.27846f;
  constexpr double kScale = 1.7156f;
  for (;;) {
    const float u = RANDOM(r);
    const float v = static_cast<float>(kScale * (RANDOM(r) - 0.5));  // single
    const double x = u - kS;
    const double y = std::fabs(v) - kT;
    const double q = x * x + y * (kA * y - kB * x);
    if (q < kR1) return static_cast<float>(double{v} / u);
    if (q > kR2) continue;
    // u may be exactly 1, where log(u) = 0 and the attempt is rejected.
    if (double{v} * v < -4.0 * std::log(double{u}) * u * u) {
      return static_cast<float>(double{v} / u);
    }
  }
}

}  // namespace mondrake
