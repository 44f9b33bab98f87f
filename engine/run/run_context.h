// The run context: every table and setting of one engine run.
//
// The small tables are fixed arrays; the large ones are sized once, when the
// run's dimensions are known.  Nothing is allocated per sample or per
// simulation, and nothing is released before the run ends.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/aggregation/aggregation.h"
#include "engine/aggregation/aggregation_tables.h"
#include "engine/simulation/mvnorm.h"
#include "engine/simulation/random.h"
#include "engine/run/input_file.h"
#include "engine/run/limits.h"
#include "engine/run/stop.h"
#include "engine/run/text_out.h"

namespace mondrake {

// A fixed-length, blank-padded name of 100 characters.
struct Name {
  char c[kNameLength];
  Name() { clear(); }
  void clear() { std::fill(c, c + kNameLength, ' '); }
  void assign(std::string_view s);  // cut or padded to 100 characters
  std::string_view view() const { return {c, kNameLength}; }
};

// Run file names, in the upper-case form both programs use.
inline constexpr const char* kMarkerFile = "VELTRASOM.ERR";
inline constexpr const char* kControlFile = "VELTRASOM.INP";
inline constexpr const char* kMetspecFile = "VELTRASOM_METSPEC.csv";
inline constexpr const char* kObsFile = "VELTRASOM_OBS.csv";
inline constexpr const char* kEzeroFile = "VELTRASOM_EZERO.csv";
inline constexpr const char* kEoneFile = "VELTRASOM_EONE.csv";
inline constexpr const char* kCorrFile = "VELTRASOM_CORR.csv";
inline constexpr const char* kResultsFile = "VELTRASOM_OUT.csv";

// Per-slot fields of the metric specification besides those of the
// aggregation records.
struct SlotTable {
  Name name[kMaxSlots + 1];
  std::int16_t oeqr[kMaxSlots + 1];   // 1: observed values are EQRs
  std::int16_t intf[kMaxSlots + 1];   // 1: simulated EQR-flag values are whole numbers
  float sd[kMaxSlots + 1];            // sampling SD
  std::int16_t trans[kMaxSlots + 1];  // transformation code 0 … 4
  float bias[kMaxSlots + 1];
  float biassd[kMaxSlots + 1];
  float e1sd[kMaxSlots + 1];
};

// A slot × sample table of values, slots 1 … 300 and samples 1 … 300.
struct SampleTable {
  float v[kMaxSlots + 1][kMaxSamples + 1];
};

// The working tables of one sample: its observed evaluation, one
// simulation at a time, the records of all its simulations and their
// statistics.  Overwritten sample by sample.
struct SampleTables {
  float obs_eqr[kMaxSlots + 1];
  ClassCode obs_class[kMaxSlots + 1];
  GroupClasses obs_group;
  float err[kMaxSlots + 1];  // correlated sampling error of each metric
  float sim_eqr[kMaxSlots + 1];
  ClassCode sim_class[kMaxSlots + 1];
  GroupClasses sim_group;
  float sum[kMaxSlots + 1], sumsq[kMaxSlots + 1];
  float tally[kMaxSlots + 1][kClasses];
  float group_tally[kGroups][kGroups][kClasses];
  // Statistics of the simulated values.
  float sd[kMaxSlots + 1], lower[kMaxSlots + 1], upper[kMaxSlots + 1];
  float pct[kMaxSlots + 1][kClasses];
  float group_pct[kGroups][kGroups][kClasses];
};

struct RunContext {
  // Control names 1 … 8, each at least 200 characters (blank-padded).
  std::array<std::string, 9> control;

  TextOut console{stdout};
  TextOut log;
  TextOut results;
  std::FILE* log_file = nullptr;
  std::FILE* results_file = nullptr;
  InputFile metspec, obs, ezero, eone, corr;
  ReadPosition where;
  std::string record;  // the record buffer

  // Run settings.
  std::int32_t nsim = 0;
  std::int32_t seed = 0;
  RandomState rng;

  // Metric specification.
  std::array<std::string, kGroups> col_label;  // 25 characters each
  std::array<std::string, kGroups> row_label;  // 25 characters each
  CBANDLIM cbandlim{};
  CIGBAND cigband{};
  SlotTable slots{};

  // Samples and value tables.
  int nsamp = 0;
  Name sampname[kMaxSamples + 1];
  SampleTable OBS{}, E0{}, E1{};
  int e0code = 0, e1code = 0;

  // Sampling correlations and covariances, packed lower triangles.
  float CORR[kPackedTriangle + 1]{};
  float COV[kPackedTriangle + 1]{};
  float mean[kMaxSlots + 1]{};

  // Sample loop.
  GroupPlan plan{};
  MvnormState mvnorm{};
  SampleTables sample{};
  // Simulated EQRs in thousandths, slot after slot: nslot × nsim, sized
  // once when the loop starts.
  std::vector<std::int32_t> store;
  std::int32_t* stored(int slot) {
    return store.data() + static_cast<std::size_t>(slot - 1) * static_cast<std::size_t>(nsim);
  }
};

// Positions in a packed lower triangle, rows and columns from 1.
inline int packed(int i, int j) { return i * (i - 1) / 2 + j; }

}  // namespace mondrake
