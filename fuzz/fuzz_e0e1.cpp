// The E0 and E1 files (split at a byte 0x01) after a fixed metric
// specification and observed values file.
#include "engine/input/readers.h"
#include "engine/run/run_settings.h"
#include "fuzz/fuzz_support.h"

using namespace mondrake;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunContext& ctx = fuzz::fresh_context();
  auto parts = fuzz::split(data, size, 2);
  ctx.metspec.open_text(kMetspecFile, fuzz::kMetspec, &ctx.where);
  ctx.obs.open_text(kObsFile, fuzz::kObs, &ctx.where);
  ctx.ezero.open_text(kEzeroFile, parts[0], &ctx.where);
  ctx.eone.open_text(kEoneFile, parts[1], &ctx.where);
  read_run_settings(ctx);
  load_metric_spec(ctx);
  fuzz::guarded([&] { read_sample_values(ctx); });
  return 0;
}
