#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "engine/aggregation/aggregation.h"
#include "engine/run/stop.h"

namespace mondrake {
namespace {

using Limits = std::array<float, 4>;
constexpr Limits kFalling = {0.8f, 0.6f, 0.4f, 0.2f};
constexpr Limits kDefault = {-9.0f, -9.0f, -9.0f, -9.0f};

// A metric specification built slot by slot (metrics first, then index
// rows, as loaded), and the observed evaluation run on it.
struct Tables {
  CBANDLIM band{};
  CIGBAND ig{};
  GroupPlan plan{};
  float eqr[kMaxSlots + 1] = {};
  ClassCode cls[kMaxSlots + 1] = {};
  GroupClasses out{};
  TextOut log;

  Tables() {
    for (auto& row : ig.rowwt) row = 1.0f;
  }

  int add(std::int16_t use, int mgp1, float wt1, int mgp2, float wt2,
          Limits lim) {
    const int s = ++ig.nslot;
    (use == kUseMetric ? ig.nmet : ig.nmmi) += 1;
    band.use[s] = use;
    for (int k = 0; k < 4; ++k) band.lim[s][k] = lim[k];
    band.dir[s] = lim[3] > lim[0] ? 1 : -1;
    ig.mgp[s][0] = static_cast<std::int16_t>(mgp1);
    ig.mgp[s][1] = static_cast<std::int16_t>(mgp2);
    ig.wt[s][0] = wt1;
    ig.wt[s][1] = wt2;
    eqr[s] = kMissing;
    return s;
  }
  int metric(int mgp1, int mgp2, float eqr_value, float wt1 = 1.0f,
             float wt2 = 1.0f, Limits lim = kFalling) {
    const int s = add(kUseMetric, mgp1, wt1, mgp2, wt2, lim);
    eqr[s] = eqr_value;
    return s;
  }
  int index(int mgp1, int mgp2, float wt1 = 1.0f, float wt2 = 1.0f,
            Limits lim = kFalling) {
    return add(kUseIndex, mgp1, wt1, mgp2, wt2, lim);
  }
  void rule(int i, int j, std::int16_t r) { ig.rule[i][j] = r; }

  void plan_once() { plan_groups(band, ig, plan); }

  // The observed evaluation; index rows start at -9.
  void evaluate() {
    for (int s = 1; s <= ig.nslot; ++s) {
      band.sign[s] = 1;
      if (band.use[s] == kUseIndex) eqr[s] = kMissing;
    }
    CALCMMI(band, ig, plan, eqr, log);
    for (int s = 1; s <= ig.nslot; ++s) {
      cls[s] = (is_missing(eqr[s]) || band.status[s] <= 0)
                   ? kNone
                   : static_cast<ClassCode>(class_of(eqr[s], band.lim[s], band.dir[s]) *
                                            band.sign[s]);
      ig.cls[s] = cls[s];
    }
    MMGROUP(band, ig, plan, out);
  }

  std::string label(int i, int j) const { return class_label(out[i][j]); }
};

// Every cell of the group class table that the expectations do not name
// holds 0.
void expect_only(const GroupClasses& out,
                 std::initializer_list<std::array<int, 3>> cells) {
  for (int i = 0; i < kGroups; ++i)
    for (int j = 0; j < kGroups; ++j) {
      int expected = 0;
      for (const auto& c : cells)
        if (c[0] == i && c[1] == j) expected = c[2];
      EXPECT_EQ(out[i][j], expected) << "cell (" << i << "," << j << ")";
    }
}

float mean_as_single(std::initializer_list<std::pair<float, float>> xw) {
  double sw = 0, swx = 0;
  for (auto [x, w] : xw) {
    sw += w;
    swx += static_cast<double>(w) * x;
  }
  return static_cast<float>(swx / sw);
}

TEST(Evaluation, IndexOfThreeMetricsInBottomLevelGroup) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  const int a = sp.metric(1, 1, 0.9f, 1, 1);
  const int b = sp.metric(1, 1, 0.7f, 1, 1);
  const int c = sp.metric(1, 1, 0.5f, 1, 2);
  const int x = sp.index(1, 1);
  sp.rule(1, 1, 6);
  sp.plan_once();
  sp.evaluate();

  EXPECT_EQ(sp.eqr[x], mean_as_single({{0.9f, 1}, {0.7f, 1}, {0.5f, 2}}));
  EXPECT_FLOAT_EQ(sp.eqr[x], 0.65f);
  for (int s : {a, b, c}) EXPECT_EQ(sp.band.status[s], 3);
  EXPECT_EQ(sp.band.status[x], 5);
  EXPECT_EQ(sp.band.sign[x], 1);
  EXPECT_EQ(sp.cls[x], 2);
  // Members are classed on their own, but only the index is combined.
  EXPECT_EQ(sp.cls[a], 1);
  EXPECT_EQ(sp.cls[c], 3);
  expect_only(sp.out, {{1, 1, 2}, {1, 0, 2}, {0, 0, 2}});
  EXPECT_TRUE(sp.log.text().empty());
}

TEST(Evaluation, MemberEqrAboveOneIsCappedOnlyInsideAnIndex) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  const int a = sp.metric(1, 1, 1.25f);
  const int b = sp.metric(1, 1, 0.5f);
  const int loose = sp.metric(2, 0, 1.25f);
  const int x = sp.index(1, 1);
  sp.rule(1, 1, 6);
  sp.plan_once();
  sp.evaluate();
  EXPECT_EQ(sp.eqr[a], 1.0f);
  EXPECT_EQ(sp.eqr[b], 0.5f);
  EXPECT_EQ(sp.eqr[loose], 1.25f);
  EXPECT_EQ(sp.eqr[x], 0.75f);
  EXPECT_EQ(sp.cls[x], 2);
}

// One, then all, of an index's metrics missing: the flag reaches every level
// above the index.
TEST(Evaluation, MissingMembersFlagTheIndexAndEveryLevelAbove) {
  struct Case {
    float a, b, c;
    float index_eqr;
    ClassCode index_cls, group, row, overall;
    const char* index_label;
  };
  const Case cases[] = {
      {0.9f, 0.7f, 0.5f, 0.65f, 2, 2, 2, 2, "good "},
      {0.9f, kMissing, 0.5f, mean_as_single({{0.9f, 1}, {0.5f, 2}}), -2, -2, -2, -2,
       "good*"},
      {kMissing, 0.7f, 0.5f, mean_as_single({{0.7f, 1}, {0.5f, 2}}), -3, -3, -3, -3,
       "mod* "},
      {kMissing, kMissing, kMissing, kMissing, kNone, kNone, -2, -2, "none*"},
  };
  for (const Case& k : cases) {
    auto p = std::make_unique<Tables>();
    Tables& sp = *p;
    sp.metric(1, 1, k.a, 1, 1);
    sp.metric(1, 1, k.b, 1, 1);
    sp.metric(1, 1, k.c, 1, 2);
    sp.metric(1, 0, 0.7f);  // class 2, directly in row 1
    const int x = sp.index(1, 1);
    sp.rule(1, 1, 6);
    sp.plan_once();
    sp.evaluate();
    SCOPED_TRACE(k.index_label);
    EXPECT_FLOAT_EQ(sp.eqr[x], k.index_eqr);
    EXPECT_EQ(sp.band.status[x], 5);
    EXPECT_EQ(sp.band.sign[x], k.index_cls == 2 ? 1 : -1);
    EXPECT_EQ(sp.cls[x], k.index_cls);
    EXPECT_EQ(sp.label(1, 1), k.index_label);
    expect_only(sp.out, {{1, 1, k.group}, {1, 0, k.row}, {0, 0, k.overall}});
  }
}

TEST(Evaluation, SecondIndexRowInAGroupTakesNoPart) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  const int a = sp.metric(1, 1, 0.9f);
  const int b = sp.metric(1, 1, 0.7f);
  const Limits first_lim = {0.95f, 0.9f, 0.7f, 0.6f};
  const int x1 = sp.index(1, 1, 1, 1, first_lim);
  const int x2 = sp.index(1, 1, 1, 1, {0.1f, 0.05f, 0.02f, 0.01f});
  sp.rule(1, 1, 6);
  sp.plan_once();
  EXPECT_EQ(sp.plan.holder[1 * kGroups + 1], x1);
  sp.evaluate();
  EXPECT_FLOAT_EQ(sp.eqr[x1], 0.8f);
  EXPECT_EQ(sp.band.status[x1], 5);
  EXPECT_EQ(sp.eqr[x2], kMissing);
  EXPECT_EQ(sp.band.status[x2], 6);
  EXPECT_EQ(sp.cls[x2], kNone);  // classed from its -9, combined nowhere
  for (int s : {a, b})
    for (int k = 0; k < 4; ++k) EXPECT_EQ(sp.band.lim[s][k], first_lim[k]);
  EXPECT_EQ(sp.cls[x1], 3);
  expect_only(sp.out, {{1, 1, 3}, {1, 0, 3}, {0, 0, 3}});
}

TEST(Evaluation, IndexGroupsInTwoRowsAndAtTheOverallLevel) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  const int r1 = sp.metric(1, 2, 0.9f);
  const int o1 = sp.metric(0, 0, 0.3f);
  const int r3 = sp.metric(3, 4, 0.5f);
  const int o2 = sp.metric(0, 0, 0.1f);
  const int x1 = sp.index(1, 2);
  const int x3 = sp.index(3, 4);
  const int x0 = sp.index(0, 0);
  sp.rule(1, 2, 6);
  sp.rule(3, 4, 6);
  sp.rule(0, 0, 6);
  sp.plan_once();
  sp.evaluate();
  for (int s : {r1, o1, r3, o2}) EXPECT_EQ(sp.band.status[s], 3) << s;
  for (int s : {x1, x3, x0}) EXPECT_EQ(sp.band.status[s], 5) << s;
  EXPECT_FLOAT_EQ(sp.eqr[x1], 0.9f);
  EXPECT_FLOAT_EQ(sp.eqr[x3], 0.5f);
  EXPECT_FLOAT_EQ(sp.eqr[x0], 0.2f);
  // Overall: worst of row 1 (high), row 3 (moderate) and its own index (poor).
  expect_only(sp.out, {{1, 2, 1}, {1, 0, 1}, {3, 4, 3}, {3, 0, 3}, {0, 0, 4}});
}

TEST(Evaluation, IndexAtRowLevelUsesTopLevelWeightsAndCombinesAsWorst) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  const int a = sp.metric(2, 0, 0.9f, 1.0f, 50.0f);
  const int b = sp.metric(2, 0, 0.5f, 3.0f, 0.01f);
  const int g = sp.metric(2, 1, 0.3f);  // bottom-level group (2,1): poor
  const int x = sp.index(2, 0);
  sp.rule(2, 0, 6);
  sp.plan_once();
  sp.evaluate();
  EXPECT_EQ(sp.eqr[x], mean_as_single({{0.9f, 1.0f}, {0.5f, 3.0f}}));
  EXPECT_FLOAT_EQ(sp.eqr[x], 0.6f);
  EXPECT_EQ(sp.band.status[a], 3);
  EXPECT_EQ(sp.band.status[b], 3);
  EXPECT_EQ(sp.band.status[g], 1);
  EXPECT_EQ(sp.cls[x], 2);
  expect_only(sp.out, {{2, 1, 4}, {2, 0, 4}, {0, 0, 4}});

  // With the bottom-level group better than the index, the index decides.
  sp.eqr[g] = 0.95f;
  sp.evaluate();
  expect_only(sp.out, {{2, 1, 1}, {2, 0, 2}, {0, 0, 2}});
}

// A group's weight in its row is the largest Wt1 of its members taking part,
// but at least 1.  Group A (class 1) weighs 3, group B (class 3) weighs 1,
// so the row mean is exactly 1.5: better class under rule type 2, worse
// under 3.  Any other pair of weights gives the same class under both.
TEST(Evaluation, GroupWeightsInARow) {
  for (std::int16_t rule : {2, 3}) {
    auto p = std::make_unique<Tables>();
    Tables& sp = *p;
    sp.metric(2, 1, 0.9f, 3.0f);
    sp.metric(2, 1, 0.95f, 0.2f);
    sp.metric(2, 2, 0.5f, 0.5f);
    sp.metric(2, 1, kMissing, 7.0f);  // missing, but still takes part
    sp.rule(2, 0, rule);
    sp.plan_once();
    sp.evaluate();
    // The missing member makes group A flagged; its weight 7 then counts.
    EXPECT_EQ(sp.out[2][1], -1);
    EXPECT_EQ(sp.out[2][2], 3);
    // Row mean (7·1 + 1·3) / 8 = 1.25: class 1 under both rules.
    EXPECT_EQ(sp.out[2][0], -1) << "rule " << rule;
  }
  for (std::int16_t rule : {2, 3}) {
    auto p = std::make_unique<Tables>();
    Tables& sp = *p;
    sp.metric(2, 1, 0.9f, 3.0f);
    sp.metric(2, 1, 0.95f, 0.2f);
    sp.metric(2, 2, 0.5f, 0.5f);
    sp.rule(2, 0, rule);
    sp.plan_once();
    sp.evaluate();
    EXPECT_EQ(sp.out[2][1], 1);
    EXPECT_EQ(sp.out[2][2], 3);
    EXPECT_EQ(sp.out[2][0], rule == 2 ? 1 : 2) << "rule " << rule;
  }
}

TEST(Evaluation, RowWeightsAndDirectOverallMembers) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  sp.metric(1, 0, 0.9f);              // row 1: high
  sp.metric(0, 0, 0.1f, 3.0f);        // overall, bad, weight 3
  sp.rule(0, 0, 2);
  sp.plan_once();
  sp.evaluate();
  // (1·1 + 3·5) / 4 = 4.
  expect_only(sp.out, {{1, 0, 1}, {0, 0, 4}});

  sp.ig.rowwt[1] = 5.0f;  // (5·1 + 3·5) / 8 = 2.5: the better class
  sp.evaluate();
  expect_only(sp.out, {{1, 0, 1}, {0, 0, 2}});
}

TEST(Evaluation, RowsAndGroupsWithoutMembersTakingPartStayEmpty) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  sp.metric(1, 1, 0.5f);  // row 1: moderate
  sp.index(3, 1);         // an index row in a group that is no index group
  sp.index(4, 0);
  sp.rule(0, 0, 4);       // median: an entry 0 for row 3 would be chosen
  sp.plan_once();
  sp.evaluate();
  expect_only(sp.out, {{1, 1, 3}, {1, 0, 3}, {0, 0, 3}});
  EXPECT_EQ(sp.label(3, 0), "---- ");
  EXPECT_EQ(sp.label(3, 1), "---- ");
  EXPECT_EQ(sp.label(5, 5), "---- ");
}

TEST(Evaluation, NothingTakesPartGivesNoOverallClass) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  const int a = sp.metric(0, 3, 0.9f);  // bottom-level group without a row
  const int b = sp.metric(9, 0, 0.9f);  // no such row
  const int c = sp.metric(-1, 2, 0.9f);
  sp.index(2, 2);
  sp.plan_once();
  sp.evaluate();
  expect_only(sp.out, {{0, 0, kNone}});
  EXPECT_EQ(sp.label(0, 0), "none*");
  // They are still classed on their own.
  for (int s : {a, b, c}) EXPECT_EQ(sp.cls[s], 1);
}

TEST(Evaluation, RisingIndexLimitsPassToMembersButNotTheirDirection) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  const int a = sp.metric(1, 1, 25.0f, 1, 1, kDefault);
  const int b = sp.metric(1, 1, 15.0f, 1, 1, kDefault);
  const Limits rising = {10.0f, 20.0f, 30.0f, 40.0f};
  const int x = sp.index(1, 1, 1, 1, rising);
  sp.rule(1, 1, 6);
  sp.plan_once();
  sp.evaluate();
  EXPECT_EQ(sp.band.dir[x], 1);
  for (int s : {a, b}) {
    for (int k = 0; k < 4; ++k) EXPECT_EQ(sp.band.lim[s][k], rising[k]);
    EXPECT_EQ(sp.band.dir[s], -1);
  }
  EXPECT_FLOAT_EQ(sp.eqr[x], 1.0f);  // members capped at 1 before the mean
  EXPECT_EQ(sp.cls[x], 1);
  // Falling comparison on rising limits: 1.0 reaches no limit.
  EXPECT_EQ(sp.cls[a], 5);
}

// Statuses are set afresh by every evaluation; the plan serves them all.
TEST(Evaluation, RepeatedEvaluationsOnOnePlan) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  const int a = sp.metric(1, 1, 0.9f);
  const int b = sp.metric(1, 1, 0.7f);
  const int c = sp.metric(2, 0, 0.3f);
  const int x = sp.index(1, 1);
  sp.rule(1, 1, 6);
  sp.plan_once();
  const float values[][2] = {{0.95f, 0.85f}, {kMissing, 0.5f}, {0.1f, 0.1f},
                             {kMissing, kMissing}, {0.95f, 0.85f}};
  const ClassCode index_cls[] = {1, -3, 5, kNone, 1};
  const ClassCode overall[] = {4, -4, 5, -4, 4};
  for (int n = 0; n < 5; ++n) {
    sp.eqr[a] = values[n][0];
    sp.eqr[b] = values[n][1];
    sp.eqr[c] = 0.3f;
    sp.evaluate();
    EXPECT_EQ(sp.cls[x], index_cls[n]) << n;
    EXPECT_EQ(sp.out[0][0], overall[n]) << n;
    EXPECT_EQ(sp.band.status[x], 5);
    EXPECT_EQ(sp.band.status[c], 1);
  }
}

TEST(Evaluation, PlanKeepsSlotOrderWithinEachGroup) {
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  sp.metric(2, 1, 0.9f);    // 1
  sp.metric(1, 1, 0.9f);    // 2
  sp.metric(2, 1, 0.9f);    // 3
  sp.metric(0, 0, 0.9f);    // 4
  sp.metric(1, 1, 0.9f);    // 5
  sp.metric(0, 4, 0.9f);    // 6
  sp.metric(2, 10, 0.9f);   // 7: in no group
  sp.index(1, 1);           // 8
  sp.index(1, 1);           // 9
  sp.rule(1, 1, 6);
  sp.rule(3, 3, 6);
  sp.plan_once();
  auto members = [&](int i, int j) {
    std::vector<int> v;
    const int c = i * kGroups + j;
    for (int m = sp.plan.begin[c]; m < sp.plan.begin[c + 1]; ++m)
      v.push_back(sp.plan.member[m]);
    return v;
  };
  EXPECT_EQ(members(1, 1), (std::vector<int>{2, 5, 8, 9}));
  EXPECT_EQ(members(2, 1), (std::vector<int>{1, 3}));
  EXPECT_EQ(members(0, 0), (std::vector<int>{4}));
  EXPECT_EQ(members(0, 4), (std::vector<int>{6}));
  EXPECT_EQ(sp.plan.begin[kCells], 8);
  EXPECT_EQ(sp.plan.holder[1 * kGroups + 1], 8);
  EXPECT_EQ(sp.plan.holder[2 * kGroups + 1], 0);
  ASSERT_EQ(sp.plan.nindex_cells, 2);
  EXPECT_EQ(sp.plan.index_cell[0], 1 * kGroups + 1);
  EXPECT_EQ(sp.plan.index_cell[1], 3 * kGroups + 3);
  // The empty index group (3,3) is no error.
  sp.evaluate();
  EXPECT_TRUE(sp.log.text().empty());
}

// An index group whose metrics have no index row stops the run, whether or
// not any of them has a value.
TEST(Evaluation, IndexGroupWithoutIndexRowStops) {
  const std::string expected =
      "\r\n"
      " No Multi-metric index (MMI) has been identified to holding the class limits\r\n"
      " for the MMI defined in :\r\n"
      " top level metric group  2 and bottom level metric group  3\r\n"
      "   \r\n";
  for (float v : {0.7f, kMissing}) {
    auto p = std::make_unique<Tables>();
    Tables& sp = *p;
    sp.metric(2, 3, v);
    sp.metric(2, 3, kMissing);
    sp.metric(1, 0, 0.5f);
    sp.index(1, 1);
    sp.rule(2, 3, 6);
    sp.plan_once();
    EXPECT_THROW(sp.evaluate(), FatalStop) << v;
    EXPECT_EQ(sp.log.text(), expected) << v;
  }
  // The same at row level, reported with bottom-level group 0.
  auto p = std::make_unique<Tables>();
  Tables& sp = *p;
  sp.metric(7, 0, 0.7f);
  sp.rule(7, 0, 6);
  sp.plan_once();
  EXPECT_THROW(sp.evaluate(), FatalStop);
  EXPECT_EQ(sp.log.text(),
            "\r\n"
            " No Multi-metric index (MMI) has been identified to holding the class limits\r\n"
            " for the MMI defined in :\r\n"
            " top level metric group  7 and bottom level metric group  0\r\n"
            "   \r\n");
}

}  // namespace
}  // namespace mondrake
