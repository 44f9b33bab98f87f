#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/aggregation/aggregation.h"

namespace mondrake {
namespace {

struct RuleCase {
  std::int16_t rule;
  std::vector<ClassCode> classes;
  std::vector<float> weights;  // empty: all 1
  ClassCode expected;
};

std::string describe(const RuleCase& c) {
  std::string s = "rule " + std::to_string(c.rule) + " classes";
  for (ClassCode x : c.classes) s += " " + std::to_string(x);
  if (!c.weights.empty()) {
    s += " weights";
    for (float w : c.weights) s += " " + std::to_string(w);
  }
  return s;
}

TEST(Mmrule, TableOfCombinations) {
  const std::vector<RuleCase> cases = {
      // Worst case, and the rule types that act as worst case.
      {1, {3, 1}, {}, 3},
      {0, {3, 1}, {}, 3},
      {7, {3, 1}, {}, 3},
      {6, {3, 1}, {}, 3},
      {-2, {3, 1}, {}, 3},
      {1, {2, -3}, {}, -3},
      {1, {-2, 3}, {}, -3},
      // A missing member flags the result.
      {1, {2, -9, 4}, {}, -4},
      // Weighted mean: a tie goes to the better class under 2, the worse
      // under 3.
      {2, {2, 3}, {}, 2},
      {3, {2, 3}, {}, 3},
      {2, {1, 5}, {1, 3}, 4},
      {3, {1, 5}, {1, 3}, 4},
      {2, {2, -9, 5}, {1, 1, 3}, -4},
      {3, {2, -9, 5}, {1, 1, 3}, -4},
      // The mean is held as a single before the shift: 2.51 is 2.50999999,
      // which stays below the step of rule type 2.
      {2, {2, 3}, {49, 51}, 2},
      {3, {2, 3}, {49, 51}, 3},
      {2, {2, 3}, {48, 52}, 3},  // 2.52
      {3, {2, 3}, {52, 48}, 2},  // 2.48
      {3, {2, 3}, {51, 49}, 3},  // 2.49
      // Weights that sum to zero or less leave no mean.
      {2, {2, 3}, {0, 0}, -9},
      {3, {2, 4}, {1, -1}, -9},
      {2, {2, 4, -9}, {0, 0, 1}, -9},
      {3, {2, 4}, {0, 1}, 4},  // a zero weight alone is simply left out
      // A single valid entry forms no mean, so its weight does not matter.
      {2, {4}, {0}, 4},
      {3, {-9, 2}, {1, 0}, -2},
      // Median: the better of the two middle classes for an even count.
      {4, {1, 2, 2, 5}, {}, 2},
      {5, {1, 2, 2, 5}, {}, 2},
      {4, {1, 5}, {}, 1},
      {5, {1, 5}, {}, 1},
      {4, {4, 2, 3}, {}, 3},
      {5, {4, 2, 3}, {}, 3},
      {4, {5, -9, 4, 1, 3}, {}, -3},
      {4, {5, 5, 1}, {9, 9, 9}, 5},  // weights play no part
      // Missing entries only, or none at all.
      {1, {-9, 3}, {}, -3},
      {2, {-9, 3}, {}, -3},
      {3, {-9, 3}, {}, -3},
      {4, {-9, 3}, {}, -3},
      {5, {-9, 3}, {}, -3},
      {6, {-9, 3}, {}, -3},
      {1, {-9, -9}, {}, -9},
      {2, {-9, -9}, {}, -9},
      {4, {-9, -9}, {}, -9},
      {1, {}, {}, -9},
      {3, {}, {}, -9},
      // One valid entry, whatever the rule type.
      {3, {4}, {}, 4},
      {1, {-2}, {}, -2},
      {2, {-2}, {}, -2},
      {4, {5}, {}, 5},
  };
  for (const RuleCase& c : cases) {
    std::vector<float> w = c.weights;
    if (w.empty()) w.assign(c.classes.size(), 1.0f);
    const std::vector<ClassCode> before = c.classes;
    const std::vector<float> wbefore = w;
    ClassCode result = 99;
    MMRULE(c.rule, result, static_cast<std::int16_t>(c.classes.size()),
           c.classes.data(), w.data());
    EXPECT_EQ(result, c.expected) << describe(c);
    EXPECT_EQ(c.classes, before) << describe(c);
    EXPECT_EQ(w, wbefore) << describe(c);
  }
}

// A long list: every slot in one group.
TEST(Mmrule, FullLengthLists) {
  std::vector<ClassCode> cls(kMaxSlots);
  std::vector<float> w(kMaxSlots, 1.0f);
  for (int i = 0; i < kMaxSlots; ++i) cls[i] = static_cast<ClassCode>(1 + i % 5);
  ClassCode r = 0;
  MMRULE(4, r, kMaxSlots, cls.data(), w.data());
  EXPECT_EQ(r, 3);
  MMRULE(1, r, kMaxSlots, cls.data(), w.data());
  EXPECT_EQ(r, 5);
  MMRULE(2, r, kMaxSlots, cls.data(), w.data());
  EXPECT_EQ(r, 3);
  cls[kMaxSlots - 1] = kNone;
  MMRULE(4, r, kMaxSlots, cls.data(), w.data());
  EXPECT_EQ(r, -3);
}

}  // namespace
}  // namespace mondrake
