#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/aggregation/aggregation.h"

namespace mondrake {

namespace {

// Nearest whole number, halves away from zero.
inline long round_half_away(double x) {
  return static_cast<long>(x >= 0.0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5));
}

}  // namespace

void MMRULE(std::int16_t rule, ClassCode& result, std::int16_t n,
            const ClassCode* classes, const float* weights) {
  if (rule == 0) rule = 1;

  // Flag, count of valid entries and worst class.  A -9 is negative, so a
  // missing member flags the result.
  int flag = 1;
  int k = 0;
  ClassCode worst = 0;
  for (int i = 0; i < n; ++i) {
    const ClassCode c = classes[i];
    if (c < 0) flag = -1;
    if (c == kNone) continue;
    const ClassCode a = static_cast<ClassCode>(c < 0 ? -c : c);
    worst = k == 0 || a > worst ? a : worst;
    ++k;
  }

  if (k == 0) {
    result = kNone;
    return;
  }
  if (k == 1) {
    result = static_cast<ClassCode>(worst * flag);
    return;
  }

  long c;
  switch (rule) {
    case 2:
    case 3: {
      double sw = 0.0;
      double swc = 0.0;
      for (int i = 0; i < n; ++i) {
        const ClassCode x = classes[i];
        if (x == kNone) continue;
        const double w = weights[i];
        sw += w;
        swc += w * static_cast<double>(x < 0 ? -x : x);
      }
      // Zero or negative total weight leaves the mean undefined: no class.
      if (!(sw > 0.0)) {
        result = kNone;
        return;
      }
      // The mean is held as a single; the shift of 0.01 and the rounding
      // are then done in double from those singles, so that a mean just
      // below c + 0.51 stays in class c under rule type 2.
      const float m = static_cast<float>(swc / sw);
      const double shift = static_cast<double>(0.01f);
      const double x = rule == 2 ? static_cast<double>(m) - shift
                                 : static_cast<double>(m) + shift;
      c = round_half_away(x);
      break;
    }
    case 4:
    case 5: {
      // Median: the valid class at position floor((k + 1) / 2) in ascending
      // order, the better of the two middle classes when k is even.
      ClassCode v[kMaxSlots];
      int m = 0;
      for (int i = 0; i < n && m < kMaxSlots; ++i) {
        const ClassCode x = classes[i];
        if (x == kNone) continue;
        v[m++] = static_cast<ClassCode>(x < 0 ? -x : x);
      }
      const int pos = (m - 1) / 2;
      std::nth_element(v, v + pos, v + m);
      c = v[pos];
      break;
    }
    default:
      c = worst;
      break;
  }
  result = static_cast<ClassCode>(c * flag);
}

}  // namespace mondrake
