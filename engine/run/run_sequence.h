// The engine's run from start to end, one stage after another.
#pragma once

#include "engine/run/run_context.h"

namespace mondrake {

// Runs the whole analysis in the current directory; returns the exit
// status: 0 normal end, 1 fatal stop, 2 run-time failure.
int run_engine(RunContext& ctx);

// The stages of the run, in their order.
void write_marker(const char* digit);
void read_control(RunContext& ctx);
void open_log(RunContext& ctx);
void open_run_files(RunContext& ctx);
void end_run(RunContext& ctx);

// The stages from the control file to the correlations: everything a run
// reads before its first sample.
void read_everything(RunContext& ctx);

// Pads a control name to its 200 characters; a longer name stays whole.
std::string control_name(std::string_view line);

}  // namespace mondrake
