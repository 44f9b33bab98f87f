// Index values, the classing of values and the combination of classes
// through the two-level group hierarchy.
//
// One evaluation, on the caller's side:
//   1. set every slot's EQR (-9 when it has none; index rows start at -9)
//      and, for the observed values, every class sign to +1;
//   2. CALCMMI;
//   3. class every slot (class_of, times the class sign for observed values;
//      -9 for a missing EQR or a status of 0 or less);
//   4. copy the slot classes into CIGBAND::cls;
//   5. MMGROUP.
//
// The group plan is built once, after the metric specification is loaded;
// CALCMMI and MMGROUP then walk it in time proportional to the number of
// slots, with no allocation.
#pragma once

#include <cstdint>

#include "engine/aggregation/aggregation_tables.h"
#include "engine/run/limits.h"
#include "engine/run/text_out.h"

namespace mondrake {

inline constexpr int kCells = kGroups * kGroups;  // cell (I,J) is I*9 + J
inline constexpr std::int16_t kRuleIndex = 6;     // rule type of an index group

// Members of every group cell, in slot order, with each cell's index holder.
// A slot belongs to cell (MGP1, MGP2) when both are 0 … 8; a slot outside
// that range belongs to no cell.  Cells (0,1) … (0,8) are planned like any
// other, but only CALCMMI looks at them (they combine into nothing).
struct GroupPlan {
  // Members of cell c are member[begin[c]] … member[begin[c + 1] - 1].
  std::int16_t begin[kCells + 1];
  std::int16_t member[kMaxSlots];
  // First member of the cell whose base use flag is 6; 0 when none.
  std::int16_t holder[kCells];
  // Cells of rule type 6 in visiting order (row outer, column inner).
  std::int16_t index_cell[kCells];
  std::int16_t nindex_cells;
  std::int16_t nslot;
};

// Builds the plan from the loaded base use flags, group assignments and
// rule table.  Must be rebuilt if any of these change.
void plan_groups(const CBANDLIM& band, const CIGBAND& ig, GroupPlan& plan);

// Combines n class codes by a rule type: 1 worst, 2/3 weighted mean (ties to
// the better / worse class), 4/5 median; 0, 6 and anything else act as 1.
// Any negative input (-9 included) flags the result.  n is at most the
// number of slots.  Inputs are not changed.
void MMRULE(std::int16_t rule, ClassCode& result, std::int16_t n,
            const ClassCode* classes, const float* weights);

// Forms the index values.  eqr is indexed by slot, 1 … nslot, and is
// changed in place: member EQRs above 1 become 1, holders get the weighted
// mean of their members (or -9).  Sets every slot's status, the holders'
// class signs, and copies each holder's class limits to its members.  A
// rule-type-6 group with member metrics but no index row ends the run with
// a message on log.
void CALCMMI(CBANDLIM& band, const CIGBAND& ig, const GroupPlan& plan,
             float* eqr, TextOut& log);

// Class 1 … 5 of a value against four class limits.  dir +1: limits rise
// (first k with v <= lim[k]); otherwise they fall (first k with v >= lim[k]).
// A value on a limit takes the better class.
// Inline and free of branches on the value: it runs for every slot of every
// evaluation, on values that jump about from one simulation to the next.
inline ClassCode class_of(float v, const float lim[4], std::int16_t dir) {
  ClassCode c = 5;
  if (dir == 1) {
    for (int k = 3; k >= 0; --k) c = v <= lim[k] ? static_cast<ClassCode>(k + 1) : c;
  } else {
    for (int k = 3; k >= 0; --k) c = v >= lim[k] ? static_cast<ClassCode>(k + 1) : c;
  }
  return c;
}

// Fills the group class table from CIGBAND::cls, the statuses, the group
// assignments, weights and rule table.  Only slots of status 1 or 5 take
// part.  Cells without members taking part hold 0; the overall cell (0,0)
// is -9 when nothing takes part at all.
void MMGROUP(const CBANDLIM& band, const CIGBAND& ig, const GroupPlan& plan,
             GroupClasses& out);

// Five-character label of a class code: "high ", "good*", "none*", "---- " …
// Defined for -9 and -5 … 5; any other code gives "?????".
const char* class_label(ClassCode c);

}  // namespace mondrake
