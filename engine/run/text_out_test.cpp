#include "engine/run/text_out.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace mondrake {
namespace {

using namespace layout;

struct FixedCase {
  double value;
  int width, decimals;
  const char* text;
};

TEST(FieldRules, FixedPoint) {
  const double inf = std::numeric_limits<double>::infinity();
  const FixedCase cases[] = {
      {0.5, 8, 3, "   0.500"},
      {-1.25, 8, 3, "  -1.250"},
      {12345.6, 8, 3, "********"},
      {1.0, 7, 3, "  1.000"},
      {0.0005, 7, 3, "  0.001"},   // half away from zero (0.0005 is just above)
      {0.125, 5, 2, " 0.13"},      // exact half: away from zero
      {-0.125, 6, 2, " -0.13"},
      {0.375, 4, 2, "0.38"},
      {2.675, 5, 2, " 2.67"},      // 2.675 is stored just below the half
      {-0.0004, 7, 3, "  0.000"},  // rounds to zero: no minus sign
      {-0.0, 6, 2, "  0.00"},
      {0.5, 4, 3, ".500"},          // no room for the leading zero
      {-0.5, 5, 3, "-.500"},
      {-0.5, 4, 3, "****"},
      {99.95, 5, 1, "100.0"},
      {99.95, 4, 1, "****"},
      {33.35, 5, 1, " 33.4"},     // 33.35 is stored just above the half
      {-9.0, 6, 3, "-9.000"},
      {std::nan(""), 7, 3, "    NaN"},
      {inf, 7, 3, "    Inf"},
      {-inf, 7, 3, "   -Inf"},
      {inf, 2, 3, "**"},
      {1e20, 8, 3, "********"},
  };
  for (const FixedCase& c : cases) {
    std::string out;
    append_fixed(out, c.value, c.width, c.decimals);
    EXPECT_EQ(out, c.text) << c.value << " F" << c.width << "." << c.decimals;
  }
}

TEST(FieldRules, IntegerAndText) {
  struct {
    long long value;
    int width;
    const char* text;
  } ints[] = {{1000, 6, "  1000"}, {1000000, 6, "******"}, {-12, 3, "-12"},
              {-123, 3, "***"},    {0, 1, "0"},             {100000, 7, " 100000"}};
  for (const auto& c : ints) {
    std::string out;
    append_integer(out, c.value, c.width);
    EXPECT_EQ(out, c.text) << c.value;
  }
  std::string name36(36, 'n'), out;
  append_text(out, name36, 70);
  EXPECT_EQ(out, std::string(34, ' ') + name36);
  std::string name200(200, 'x');
  name200[69] = 'y';
  out.clear();
  append_text(out, name200, 70);
  EXPECT_EQ(out, name200.substr(0, 70));
  out.clear();
  append_text(out, "abc", -1);
  EXPECT_EQ(out, "abc");
}

std::string put(std::initializer_list<Item> items, std::initializer_list<Value> values) {
  TextOut t;
  t.put(items, values);
  return t.text();
}

TEST(LineLayout, SampleCountLines) {
  EXPECT_EQ(put({nl, lit(" Number of samples ="), I(5), nl, lit("   ")}, {12}),
            "\r\n Number of samples =   12\r\n   \r\n");
}

TEST(LineLayout, RunningOutOfValues) {
  // Writing stops at the first field without a value; the literals and
  // breaks before it are still written, and the line ends there.
  EXPECT_EQ(put({nl, nl, lit(" Problem"), lit(" file :"), nl, X(1), A(100), nl,
                 lit(" Check")},
                {}),
            "\r\n\r\n Problem file :\r\n\r\n");
  // A blank skip just before the field adds nothing.
  EXPECT_EQ(put({lit("ab"), X(3), I(4)}, {}), "ab\r\n");
  EXPECT_EQ(put({lit("ab"), X(3), I(4)}, {7}), "ab      7\r\n");
}

TEST(LineLayout, DescriptionEndingWithBreakEndsWithEmptyLine) {
  EXPECT_EQ(put({lit("  "), nl}, {}), "  \r\n\r\n");
}

TEST(LineLayout, RepeatGroupsAndLeftOverValues) {
  // Values run out inside a repeat group: the line ends after the last one.
  EXPECT_EQ(put({I(4), X(2), rep(300, {F(6, 2)})}, {3, 0.5, -0.25}),
            "   3    0.50 -0.25\r\n");
  // A line of its number only.
  EXPECT_EQ(put({I(4), X(2), rep(300, {F(6, 2)})}, {1}), "   1\r\n");
  // Left-over values continue from the last top-level repeat group.
  EXPECT_EQ(put({lit("n"), I(2), rep(2, {I(3)})}, {1, 2, 3, 4, 5, 6}),
            "n 1  2  3\r\n  4  5\r\n  6\r\n");
  // Without a repeat group the description starts again from its beginning.
  EXPECT_EQ(put({lit("v="), I(2)}, {1, 2}), "v= 1\r\nv= 2\r\n");
}

TEST(LineLayout, FreeTextAndEmptyLines) {
  TextOut t;
  t.free_text({"abc", "de "});
  t.empty();
  t.free_text({"  "});
  EXPECT_EQ(t.text(), " abcde \r\n\r\n   \r\n");
}

}  // namespace
}  // namespace mondrake
