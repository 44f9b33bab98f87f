#include "engine/run/run_sequence.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/input/readers.h"
#include "engine/run/run_settings.h"
#include "engine/simulation/sample_loop.h"

namespace mondrake {

using namespace layout;

std::string control_name(std::string_view line) {
  std::string name(line);
  if (name.size() < kControlNameLength) name.resize(kControlNameLength, ' ');
  return name;
}

namespace {

std::FILE* open_output(const char* name) {
  std::FILE* f = std::fopen(name, "wb");
  if (!f) {
    run_failure(std::string("cannot open output file ") + name + ": " +
                    std::strerror(errno),
                false);
  }
  return f;
}

std::string_view trimmed(std::string_view s) {
  std::size_t n = s.find_last_not_of(' ');
  return n == std::string_view::npos ? std::string_view{} : s.substr(0, n + 1);
}

}  // namespace

void write_marker(const char* digit) {
  std::FILE* f = open_output(kMarkerFile);
  TextOut marker(f);
  marker.line(digit);
  std::fclose(f);
}

void read_control(RunContext& ctx) {
  InputFile control;
  control.open(kControlFile, &ctx.where);
  std::string line;
  for (int k = 1; k <= 8; ++k) {
    if (!control.read(line)) {
      run_failure(std::string("control file ") + kControlFile + " has " +
                      std::to_string(k - 1) + " lines; it needs 8",
                  false);
    }
    ctx.control[static_cast<std::size_t>(k)] = control_name(line);
  }
}

void open_log(RunContext& ctx) {
  std::string name(trimmed(ctx.control[8]));
  if (name.empty()) {
    run_failure(std::string("line 8 of the control file ") + kControlFile +
                    " names no log file",
                false);
  }
  ctx.log_file = open_output(name.c_str());
  ctx.log = TextOut(ctx.log_file);
  TextOut& log = ctx.log;
  log.empty();
  log.empty();
  log.line(" Program VELTRASOM :");
  log.empty();
  log.empty();
  log.put({X(20), lit("Release 1.2 : November 2011")});
}

namespace {

// The input files in their opening order, each with its heading in the log,
// the control name echoed under it and the echo's width.
struct InputRole {
  InputFile RunContext::*file;
  const char* name;
  const char* heading;
  int control;
  int width;
};

const InputRole kInputRoles[] = {
    {&RunContext::metspec, kMetspecFile,
     "Name of Metric,Uncertainty and Class Specification file :", 2, 70},
    {&RunContext::obs, kObsFile, "Name of file with Observed Metric values ", 3, 50},
    {&RunContext::ezero, kEzeroFile,
     "Name of file with E0 (EZERO) values for each metric and sample", 4, 70},
    {&RunContext::eone, kEoneFile,
     "Name of file with E1 (EONE) values for each metric and sample", 5, 70},
    {&RunContext::corr, kCorrFile,
     "Name of file with sampling Correlation values for each metric and sample", 6, 70},
};

void echo_name(RunContext& ctx, const char* heading, int control, int width) {
  ctx.log.empty();
  ctx.log.line(heading);
  ctx.log.put({X(5), A(width)}, {std::string_view(ctx.control[static_cast<std::size_t>(control)])});
}

// How observed values become EQRs, told once after the observed values file.
void explain_standardisation(TextOut& log) {
  log.empty();
  log.line("Observed (O) metric values are standardised to ");
  log.line("EQR (Ecological Quality Ratio) values by the equation :  EQR = (O - E0) / (E1 - E0)");
  log.empty();
  log.line(" where  E0  = value of a metric for which EQR =0");
  log.line("  and   E1  = value of a metric for which EQR =1");
  log.line("   ");
}

}  // namespace

void open_run_files(RunContext& ctx) {
  for (const InputRole& role : kInputRoles) {
    echo_name(ctx, role.heading, role.control, role.width);
    (ctx.*role.file).open(role.name, &ctx.where);
    if (role.file == &RunContext::obs) explain_standardisation(ctx.log);
  }
  echo_name(ctx, "Name of Output file :", 7, 70);
  ctx.results_file = open_output(kResultsFile);
  ctx.results = TextOut(ctx.results_file);

  // The file-name block: label, the whole control name, blanks to 5000.
  static const char* const labels[7] = {
      "Metric Specification file : ,", "Observed Metric values file : ,",
      "EZERO (E0) values file : ,",    "EONE (E1) values file : ,",
      "Metric sampling Correlations file : ,", "Results Output file : ,",
      "Log Output file : ,"};
  std::string& record = ctx.record;
  for (int k = 0; k < 7; ++k) {
    record = labels[k];
    record += ctx.control[static_cast<std::size_t>(k + 2)];
    if (record.size() < kRecordLength) record.resize(kRecordLength, ' ');
    ctx.results.line(record);
  }
  record = ",,";
  record.resize(kRecordLength, ' ');
  ctx.results.line(record);

  ctx.log.empty();
  ctx.log.put({X(1), A(70)}, {std::string_view("T1 : file names to VELTRASOM-OUT.CSV")});
}

void end_run(RunContext& ctx) {
  write_marker("0");
  TextOut& log = ctx.log;
  log.empty();
  log.empty();
  log.line(" End of program VELTRASOM");
  log.empty();
  log.line(" All of the output is in EXCEL file :");
  log.empty();
  log.line(" " + ctx.control[7]);
  log.empty();
  log.line(" Information on progress and any detected problems");
  log.line(" with the program run has been output to file :");
  log.empty();
  log.line(" " + ctx.control[8]);
  log.empty();
  log.line(" which should always be checked");
  log.empty();
  log.line("   ");
  for (const char* name : {kMetspecFile, kObsFile, kEzeroFile, kEoneFile, kCorrFile})
    std::remove(name);
}

namespace {

void close_outputs(RunContext& ctx) {
  if (ctx.results_file) std::fclose(ctx.results_file);
  if (ctx.log_file) std::fclose(ctx.log_file);
  ctx.results_file = ctx.log_file = nullptr;
  ctx.results = TextOut();
  ctx.log = TextOut();
  std::fflush(stdout);
}

void report_failure(RunContext& ctx, const RunFailure& failure) {
  std::string report = "mondrake: ";
  if (failure.at_read_position && ctx.where.file) {
    report += std::string(ctx.where.file) + " line " +
              std::to_string(ctx.where.line) + ": ";
  }
  report += failure.report;
  std::fflush(stdout);
  TextOut(stderr).line(report);
  if (ctx.log_file) {
    ctx.log.empty();
    ctx.log.line(report);
  }
}

}  // namespace

void read_everything(RunContext& ctx) {
  read_control(ctx);
  open_log(ctx);
  open_run_files(ctx);
  read_run_settings(ctx);
  load_metric_spec(ctx);
  read_input_data(ctx);
}

int run_engine(RunContext& ctx) {
  int status = kStatusNormal;
  try {
    write_marker("1");
    read_everything(ctx);
    run_samples(ctx);
    end_run(ctx);
  } catch (const FatalStop&) {
    status = kStatusFatalStop;
  } catch (const RunFailure& failure) {
    report_failure(ctx, failure);
    status = kStatusRunFailure;
  }
  close_outputs(ctx);
  return status;
}

}  // namespace mondrake
