#include <algorithm>

#include "engine/aggregation/aggregation.h"

namespace mondrake {

namespace {

inline bool takes_part(std::int16_t status) { return status == 1 || status == 5; }

}  // namespace

void MMGROUP(const CBANDLIM& band, const CIGBAND& ig, const GroupPlan& plan,
             GroupClasses& out) {
  // Every list holds at most one entry per slot: a group enters its row only
  // when one of its slots takes part, and a row the overall list likewise.
  ClassCode gcls[kMaxSlots], rcls[kMaxSlots], ocls[kMaxSlots];
  float gwt[kMaxSlots], rwt[kMaxSlots], owt[kMaxSlots];
  int no = 0;

  for (int j = 0; j < kGroups; ++j) out[0][j] = 0;

  for (int i = 1; i < kGroups; ++i) {
    int nr = 0;
    for (int j = 1; j < kGroups; ++j) {
      const int c = i * kGroups + j;
      int ng = 0;
      float gw = 1.0f;  // the group's weight in its row: at least 1
      for (int m = plan.begin[c]; m < plan.begin[c + 1]; ++m) {
        const int s = plan.member[m];
        if (!takes_part(band.status[s])) continue;
        gcls[ng] = ig.cls[s];
        gwt[ng] = ig.wt[s][1];
        ++ng;
        gw = std::max(gw, ig.wt[s][0]);
      }
      out[i][j] = 0;
      if (ng > 0) {
        MMRULE(ig.rule[i][j], out[i][j], static_cast<std::int16_t>(ng), gcls, gwt);
        rcls[nr] = out[i][j];
        rwt[nr] = gw;
        ++nr;
      }
    }
    const int c = i * kGroups;
    for (int m = plan.begin[c]; m < plan.begin[c + 1]; ++m) {
      const int s = plan.member[m];
      if (!takes_part(band.status[s])) continue;
      rcls[nr] = ig.cls[s];
      rwt[nr] = ig.wt[s][0];
      ++nr;
    }
    out[i][0] = 0;
    if (nr > 0) {
      MMRULE(ig.rule[i][0], out[i][0], static_cast<std::int16_t>(nr), rcls, rwt);
      ocls[no] = out[i][0];
      owt[no] = ig.rowwt[i];
      ++no;
    }
  }

  for (int m = plan.begin[0]; m < plan.begin[1]; ++m) {
    const int s = plan.member[m];
    if (!takes_part(band.status[s])) continue;
    ocls[no] = ig.cls[s];
    owt[no] = ig.wt[s][0];
    ++no;
  }
  // An empty overall list gives -9.
  MMRULE(ig.rule[0][0], out[0][0], static_cast<std::int16_t>(no), ocls, owt);
}

}  // namespace mondrake
