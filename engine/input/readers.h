// The readers of the metric specification, observed values, E0, E1 and
// correlation files.  Each fills its tables of the run context, echoes what
// it read to the log, and ends the run on bad input.
#pragma once

#include "engine/run/run_context.h"

namespace mondrake {

// Rule table, row labels and weights, column labels and the slot table.
void load_metric_spec(RunContext& ctx);

// Observed values, E0 and E1 (in their interleaved order), then the
// sampling correlations.
void read_input_data(RunContext& ctx);

void read_sample_values(RunContext& ctx);
void read_correlations(RunContext& ctx);

}  // namespace mondrake
