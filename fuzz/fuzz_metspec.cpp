// The metric specification: run settings, rule table, class limits and
// metric rows, read from fuzzed text.
#include "engine/input/readers.h"
#include "engine/run/run_settings.h"
#include "fuzz/fuzz_support.h"

using namespace mondrake;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunContext& ctx = fuzz::fresh_context();
  ctx.metspec.open_text(kMetspecFile, std::string_view(reinterpret_cast<const char*>(data), size),
                        &ctx.where);
  fuzz::guarded([&] {
    read_run_settings(ctx);
    load_metric_spec(ctx);
  });
  return 0;
}
