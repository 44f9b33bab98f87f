// The shared records of the aggregation: what the metric specification
// loads and what every evaluation reads and writes.  Slots are numbered
// from 1 (metrics 1 … M, then indices M+1 … M+X); entry 0 is unused.
#pragma once

#include <cstdint>

#include "engine/run/limits.h"

namespace mondrake {

using ClassCode = std::int16_t;
inline constexpr ClassCode kNone = -9;      // no value
inline constexpr ClassCode kNoMembers = 0;  // group without members taking part

inline constexpr std::int16_t kUseMetric = 1;
inline constexpr std::int16_t kUseIndex = 6;

// Class limits, base use flags and the per-evaluation statuses and signs.
struct CBANDLIM {
  std::int16_t use[kMaxSlots + 1];     // base use flag: 1 metric, 6 index row
  std::int16_t status[kMaxSlots + 1];  // 1 own, 3 consumed, 5 index with value, 6 idle index
  std::int16_t sign[kMaxSlots + 1];    // class sign: -1 index formed with a member missing
  float lim[kMaxSlots + 1][4];         // class limits 1 … 4
  std::int16_t dir[kMaxSlots + 1];     // +1 when limit 4 > limit 1, else -1
};

// Rule table, weights, group assignment, class inputs and the counts.
struct CIGBAND {
  std::int16_t rule[kGroups][kGroups];  // rule type (row I, column J)
  float rowwt[kGroups];                 // weight of row I at the overall level
  std::int16_t mgp[kMaxSlots + 1][2];   // MGP1, MGP2
  float wt[kMaxSlots + 1][2];           // Wt1, Wt2
  ClassCode cls[kMaxSlots + 1];         // class inputs handed to MMGROUP
  int nmet;                             // number of metrics
  int nmmi;                             // number of indices
  std::int16_t nslot;                   // nmet + nmmi
};

// Group class table: (0,0) overall, (I,0) row I, (I,J) bottom-level group.
using GroupClasses = ClassCode[kGroups][kGroups];

}  // namespace mondrake
