// Shared pieces of the fuzz targets: a fresh run context per input, the
// fixed companion files a reader needs, and the split of one input into
// several files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/run_context.h"
#include "engine/run/stop.h"

namespace mondrake::fuzz {

// One context for the whole fuzzing process, rebuilt in place for every
// input: the context holds a few megabytes of tables, and a fresh heap
// block per input would make the sanitizer's allocator the bottleneck.
inline RunContext& fresh_context() {
  static RunContext* ctx = new RunContext();
  ctx->~RunContext();
  new (ctx) RunContext();
  ctx->console = TextOut();  // keep the console quiet: collect in memory
  return *ctx;
}

// Splits the input at every `sep` byte into at most `parts` pieces; the last
// piece takes the rest.  Missing pieces are empty.
inline std::vector<std::string_view> split(const std::uint8_t* data, std::size_t size,
                                           std::size_t parts, char sep = '\x01') {
  std::string_view all(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> out;
  while (out.size() + 1 < parts) {
    std::size_t p = all.find(sep);
    if (p == std::string_view::npos) break;
    out.push_back(all.substr(0, p));
    all.remove_prefix(p + 1);
  }
  out.push_back(all);
  out.resize(parts);
  return out;
}

// A small, valid run of two metrics and two samples; the targets replace
// one or more of its files with the fuzzed text.
inline constexpr std::string_view kMetspec =
    "Metric specification for a small test run,,,,,,,,,,,,,,,,\n"
    "line 2,,,,,,,,,,,,,,,,\n"
    "line 3,,,,,,,,,,,,,,,,\n"
    "line 4,,,,,,,,,,,,,,,,\n"
    "line 5,,,,,,,,,,,,,,,,\n"
    "line 6,,,,,,,,,,,,,,,,\n"
    "Setting,Value,,Group,Overall,Grp1,Grp2,Grp3,Grp4,Grp5,Grp6,Grp7,Grp8,,,,\n"
    ",,,All metrics,1,,,,,,,,,,,,\n"
    ",,,,,,,,,,,,,,,,\n"
    ",,,,,,,,,,,,,,,,\n"
    ",,,,,,,,,,,,,,,,\n"
    ",,,,,,,,,,,,,,,,\n"
    ",,,,,,,,,,,,,,,,\n"
    ",,,,,,,,,,,,,,,,\n"
    "Number of simulations required,10,,,,,,,,,,,,,,,\n"
    "Integer random number seed,4321,,,,,,,,,,,,,,,\n"
    "line 17,,,,,,,,,,,,,,,,\n"
    "line 18,,,,,,,,,,,,,,,,\n"
    "line 19,,,,,,,,,,,,,,,,\n"
    "Metric,Use,O/EQR,INT,L1,L2,L3,L4,SD,Trans,Bias,BiasSD,E1SD,MGP1,Wt1,MGP2,Wt2\n"
    "Taxa,1,0,0,0.8,0.6,0.4,0.2,2,0,0,0,0,0,1,0,1\n"
    "ASPT,1,0,0,0.9,0.7,0.5,0.3,0.3,0,0,0,0.1,0,1,0,1\n";
inline constexpr std::string_view kObs = "Metric,Site A,Site B\nTaxa,20,12\nASPT,5.5,4.1\n";
inline constexpr std::string_view kEzero = "2\nTaxa,0\nASPT,2\n";
inline constexpr std::string_view kEone = "1,Site A,Site B\nTaxa,25,24\nASPT,6.2,6.0\n";
inline constexpr std::string_view kCorr = "Metric 1,Metric 2,Correlation\nTaxa,ASPT,0.4\n";

// Runs one reader stage; a fatal stop and a run-time failure are the
// normal answers to bad input.
template <class F>
void guarded(F&& f) {
  try {
    f();
  } catch (const FatalStop&) {
  } catch (const RunFailure&) {
  }
}

}  // namespace mondrake::fuzz
