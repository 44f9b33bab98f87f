#include "engine/aggregation/aggregation.h"
#include "engine/run/stop.h"

namespace mondrake {

namespace {

inline bool cell_in_range(std::int16_t g) { return g >= 0 && g < kGroups; }

// A group of rule type 6 whose metrics have no index row to hold the index
// value and its class limits.
[[noreturn]] void no_index_row(TextOut& log, int row, int col) {
  using namespace layout;
  log.put({nl, lit(" No Multi-metric index (MMI) has been identified to"),
           lit(" holding the class limits"), nl,
           lit(" for the MMI defined in :"), nl,
           lit(" top level metric group"), I(3),
           lit(" and bottom level metric group"), I(3), nl, lit("   ")},
          {static_cast<long long>(row), static_cast<long long>(col)});
  fatal_stop();
}

}  // namespace

void plan_groups(const CBANDLIM& band, const CIGBAND& ig, GroupPlan& plan) {
  const int nslot = ig.nslot;
  plan.nslot = ig.nslot;

  // Counting sort of the slots by cell; slots stay in slot order within it.
  int count[kCells] = {};
  for (int s = 1; s <= nslot; ++s) {
    const std::int16_t g1 = ig.mgp[s][0], g2 = ig.mgp[s][1];
    if (cell_in_range(g1) && cell_in_range(g2)) ++count[g1 * kGroups + g2];
  }
  plan.begin[0] = 0;
  for (int c = 0; c < kCells; ++c)
    plan.begin[c + 1] = static_cast<std::int16_t>(plan.begin[c] + count[c]);
  int next[kCells];
  for (int c = 0; c < kCells; ++c) {
    next[c] = plan.begin[c];
    plan.holder[c] = 0;
  }
  for (int s = 1; s <= nslot; ++s) {
    const std::int16_t g1 = ig.mgp[s][0], g2 = ig.mgp[s][1];
    if (!cell_in_range(g1) || !cell_in_range(g2)) continue;
    const int c = g1 * kGroups + g2;
    plan.member[next[c]++] = static_cast<std::int16_t>(s);
    if (plan.holder[c] == 0 && band.use[s] == kUseIndex)
      plan.holder[c] = static_cast<std::int16_t>(s);
  }

  plan.nindex_cells = 0;
  for (int c = 0; c < kCells; ++c)
    if (ig.rule[c / kGroups][c % kGroups] == kRuleIndex)
      plan.index_cell[plan.nindex_cells++] = static_cast<std::int16_t>(c);
}

void CALCMMI(CBANDLIM& band, const CIGBAND& ig, const GroupPlan& plan,
             float* eqr, TextOut& log) {
  const int nslot = plan.nslot;
  for (int s = 1; s <= nslot; ++s) band.status[s] = band.use[s];

  for (int n = 0; n < plan.nindex_cells; ++n) {
    const int c = plan.index_cell[n];
    const int row = c / kGroups, col = c % kGroups;
    const int wcol = col >= 1 ? 1 : 0;  // Wt2 in a bottom-level group, else Wt1
    const int h = plan.holder[c];
    const int first = plan.begin[c], last = plan.begin[c + 1];

    double sw = 0.0;
    double swx = 0.0;
    std::int16_t flag = 1;
    for (int m = first; m < last; ++m) {
      const int s = plan.member[m];
      if (eqr[s] > 1.0f) eqr[s] = 1.0f;
      if (band.use[s] != kUseMetric) continue;
      if (eqr[s] > -8.9f) {
        const double w = ig.wt[s][wcol];
        sw += w;
        swx += w * static_cast<double>(eqr[s]);
      } else {
        flag = -1;
      }
      band.status[s] = 3;
      if (h != 0)
        for (int k = 0; k < 4; ++k) band.lim[s][k] = band.lim[h][k];
    }

    if (h == 0) {
      // Metrics gathered into an index with nowhere to put it: stop, even
      // when none of them has a value in this evaluation.
      if (last > first) no_index_row(log, row, col);
      continue;
    }
    eqr[h] = sw > 0.0 ? static_cast<float>(swx / sw) : kMissing;
    band.status[h] = 5;
    band.sign[h] = flag;
  }
}

}  // namespace mondrake
