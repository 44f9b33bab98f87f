// The observed values file after a fixed metric specification; E0 and E1
// are given by code 3 so every value comes from the fuzzed file.
#include "engine/input/readers.h"
#include "engine/run/run_settings.h"
#include "fuzz/fuzz_support.h"

using namespace mondrake;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunContext& ctx = fuzz::fresh_context();
  ctx.metspec.open_text(kMetspecFile, fuzz::kMetspec, &ctx.where);
  ctx.obs.open_text(kObsFile, std::string_view(reinterpret_cast<const char*>(data), size),
                    &ctx.where);
  ctx.ezero.open_text(kEzeroFile, "3\n", &ctx.where);
  ctx.eone.open_text(kEoneFile, "3\n", &ctx.where);
  read_run_settings(ctx);
  load_metric_spec(ctx);
  fuzz::guarded([&] { read_sample_values(ctx); });
  return 0;
}
