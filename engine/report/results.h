// The sample's reports: its line in the log and on the console, and its
// rows in the results file.
#pragma once

#include <string>

#include "engine/run/run_context.h"

namespace mondrake {

// An empty line and the sample line, to the log and then the console.
void write_sample_log(RunContext& ctx, int sample);

// The three heading rows of the results file (at the first sample).
void write_results_headings(RunContext& ctx);

// The results row of one sample.
void write_results_row(RunContext& ctx, int sample);

// Builders of the rows, exposed for tests.
std::string heading_row(const RunContext& ctx, int row);
std::string data_row(const RunContext& ctx, int sample);

// Reported slots (status 1, 3 or 5) and groups (row cell not 0).
bool is_reported_slot(const RunContext& ctx, int slot);
bool is_reported_group(const RunContext& ctx, int row);

}  // namespace mondrake
