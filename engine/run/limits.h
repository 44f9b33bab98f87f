// Capacities of one engine run. They bound the fixed tables of the run context.
#pragma once

namespace mondrake {

inline constexpr int kMaxMetrics = 200;
inline constexpr int kMaxIndices = 100;
inline constexpr int kMaxSlots = kMaxMetrics + kMaxIndices;
inline constexpr int kMaxSamples = 300;
inline constexpr int kMaxSimulations = 100000;
inline constexpr int kGroups = 9;            // rule table rows and columns 0 … 8
inline constexpr int kClasses = 5;           // high, good, moderate, poor, bad
inline constexpr int kRecordLength = 5000;   // record buffer
inline constexpr int kNameLength = 100;      // slot and sample names
inline constexpr int kControlNameLength = 200;
inline constexpr int kPackedTriangle = kMaxMetrics * (kMaxMetrics + 1) / 2;

inline constexpr float kMissing = -9.0f;
// Any value of -8.9 or less counts as missing where a value is tested.
inline bool is_missing(float v) { return v <= -8.9f; }

}  // namespace mondrake
