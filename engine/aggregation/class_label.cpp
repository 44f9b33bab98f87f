#include "engine/aggregation/aggregation.h"

namespace mondrake {

ClassCode class_of(float v, const float lim[4], std::int16_t dir) {
  if (dir == 1) {
    for (int k = 0; k < 4; ++k)
      if (v <= lim[k]) return static_cast<ClassCode>(k + 1);
  } else {
    for (int k = 0; k < 4; ++k)
      if (v >= lim[k]) return static_cast<ClassCode>(k + 1);
  }
  return 5;
}

const char* class_label(ClassCode c) {
  static constexpr const char* kLabels[11] = {
      "bad* ", "poor*", "mod* ", "good*", "high*", "---- ",
      "high ", "good ", "mod  ", "poor ", "bad  "};
  if (c == kNone) return "none*";
  if (c < -5 || c > 5) return "?????";
  return kLabels[c + 5];
}

}  // namespace mondrake
