#include "engine/aggregation/aggregation.h"

namespace mondrake {

const char* class_label(ClassCode c) {
  static constexpr const char* kLabels[11] = {
      "bad* ", "poor*", "mod* ", "good*", "high*", "---- ",
      "high ", "good ", "mod  ", "poor ", "bad  "};
  if (c == kNone) return "none*";
  if (c < -5 || c > 5) return "?????";
  return kLabels[c + 5];
}

}  // namespace mondrake
