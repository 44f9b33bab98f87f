#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine/aggregation/aggregation.h"

namespace mondrake {
namespace {

TEST(ClassOf, FallingAndRisingLimits) {
  const float falling[4] = {0.8f, 0.6f, 0.4f, 0.2f};
  const float rising[4] = {10.0f, 20.0f, 30.0f, 40.0f};
  const float defaults[4] = {-9.0f, -9.0f, -9.0f, -9.0f};
  const float equal[4] = {0.5f, 0.5f, 0.5f, 0.5f};
  struct Case {
    const float* lim;
    std::int16_t dir;
    float v;
    ClassCode expected;
  };
  const Case cases[] = {
      {falling, -1, 0.9f, 1}, {falling, -1, 0.8f, 1}, {falling, -1, 0.79f, 2},
      {falling, -1, 0.6f, 2}, {falling, -1, 0.59f, 3}, {falling, -1, 0.4f, 3},
      {falling, -1, 0.2f, 4}, {falling, -1, 0.1f, 5}, {falling, -1, -2.0f, 5},
      {rising, 1, 5.0f, 1},   {rising, 1, 10.0f, 1},  {rising, 1, 10.5f, 2},
      {rising, 1, 30.0f, 3},  {rising, 1, 40.0f, 4},  {rising, 1, 41.0f, 5},
      {defaults, -1, 0.0f, 1}, {defaults, -1, 1.0f, 1},
      {defaults, -1, -8.5f, 1},
      {equal, -1, 0.5f, 1},   {equal, -1, 0.49f, 5},
  };
  for (const Case& c : cases)
    EXPECT_EQ(class_of(c.v, c.lim, c.dir), c.expected)
        << "value " << c.v << " dir " << c.dir;
  // A value that is not a number falls through every comparison.
  EXPECT_EQ(class_of(std::numeric_limits<float>::quiet_NaN(), falling, -1), 5);
}

TEST(ClassLabel, EveryCode) {
  const struct {
    ClassCode c;
    const char* label;
  } table[] = {
      {-9, "none*"}, {-5, "bad* "}, {-4, "poor*"}, {-3, "mod* "},
      {-2, "good*"}, {-1, "high*"}, {0, "---- "},  {1, "high "},
      {2, "good "},  {3, "mod  "},  {4, "poor "},  {5, "bad  "},
  };
  for (const auto& e : table) {
    EXPECT_EQ(std::string(class_label(e.c)), e.label) << e.c;
    EXPECT_EQ(std::string(class_label(e.c)).size(), 5u);
  }
  EXPECT_EQ(std::string(class_label(-7)), "?????");
  EXPECT_EQ(std::string(class_label(6)), "?????");
}

}  // namespace
}  // namespace mondrake
