// The correlation file after a fixed, valid set of the other four files.
#include "engine/input/readers.h"
#include "engine/run/run_settings.h"
#include "fuzz/fuzz_support.h"

using namespace mondrake;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunContext& ctx = fuzz::fresh_context();
  ctx.metspec.open_text(kMetspecFile, fuzz::kMetspec, &ctx.where);
  ctx.obs.open_text(kObsFile, fuzz::kObs, &ctx.where);
  ctx.ezero.open_text(kEzeroFile, fuzz::kEzero, &ctx.where);
  ctx.eone.open_text(kEoneFile, fuzz::kEone, &ctx.where);
  ctx.corr.open_text(kCorrFile, std::string_view(reinterpret_cast<const char*>(data), size),
                     &ctx.where);
  read_run_settings(ctx);
  load_metric_spec(ctx);
  read_sample_values(ctx);
  fuzz::guarded([&] { read_correlations(ctx); });
  return 0;
}
