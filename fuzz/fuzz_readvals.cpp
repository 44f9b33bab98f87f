// The free-form value read in all three modes, into a fuzzed list of
// targets.  Each target's cells sit in their own heap block of exactly the
// size asked for, so a read past the last cell is an address error.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/input/record.h"
#include "fuzz/fuzz_support.h"

using namespace mondrake;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const ReadMode modes[] = {ReadMode::strict, ReadMode::lenient, ReadMode::with_status};
  const ReadMode mode = modes[data[0] % 3];
  const int ntargets = 1 + data[1] % 6;
  if (size < 2 + 2 * static_cast<std::size_t>(ntargets)) return 0;
  const std::uint8_t* spec = data + 2;

  std::vector<std::unique_ptr<float[]>> reals;
  std::vector<std::unique_ptr<std::int32_t[]>> ints;
  std::vector<std::unique_ptr<std::int16_t[]>> shorts;
  std::vector<std::unique_ptr<std::string[]>> texts;
  std::vector<ReadTarget> targets;
  for (int t = 0; t < ntargets; ++t) {
    const int kind = spec[2 * t] % 4;
    const int n = 1 + (spec[2 * t] >> 2) % 12;
    const int len = spec[2 * t + 1] % 120;
    switch (kind) {
      case 0:
        reals.emplace_back(new float[static_cast<std::size_t>(n)]());
        targets.push_back(ReadTarget::real(reals.back().get(), n));
        break;
      case 1:
        ints.emplace_back(new std::int32_t[static_cast<std::size_t>(n)]());
        targets.push_back(ReadTarget::integer(ints.back().get(), n));
        break;
      case 2:
        shorts.emplace_back(new std::int16_t[static_cast<std::size_t>(n)]());
        targets.push_back(ReadTarget::int16(shorts.back().get(), n));
        break;
      default:
        texts.emplace_back(new std::string[static_cast<std::size_t>(n)]);
        targets.push_back(ReadTarget::text(texts.back().get(), len, n));
        break;
    }
  }
  // The text in its own exact-size block too.
  const std::size_t off = 2 + 2 * static_cast<std::size_t>(ntargets);
  std::unique_ptr<char[]> text(new char[size - off + 1]);
  std::copy(data + off, data + size, text.get());
  std::string_view view(text.get(), size - off);

  ReadStatus status = ReadStatus::ok;
  try {
    status = READVALS(view, std::span<const ReadTarget>(targets), mode);
  } catch (const RunFailure& f) {
    if (mode != ReadMode::strict) __builtin_trap();  // only strict reads fail the run
    return 0;
  }
  if (mode == ReadMode::strict && status != ReadStatus::ok) __builtin_trap();
  for (std::size_t t = 0; t < targets.size(); ++t) {
    if (targets[t].kind != ReadTarget::kText) continue;
    auto* s = static_cast<std::string*>(targets[t].p);
    for (int k = 0; k < targets[t].n; ++k) {
      // A text cell is either untouched (empty) or exactly its length.
      if (!s[k].empty() && s[k].size() != static_cast<std::size_t>(targets[t].len))
        __builtin_trap();
    }
  }
  return 0;
}
