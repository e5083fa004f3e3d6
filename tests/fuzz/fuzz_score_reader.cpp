// Feeds arbitrary bytes to the SCORE reader and the dump.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.h"
#include "library/settings.h"
#include "score/pmx.h"
#include "score/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  vellumix::fuzz::AnsweringHost host;
  vellumix::Options options;
  // Every rule that depends on an option runs.
  options.duplicateDynamicsOnBracedStaves = 1;
  options.code4LinesAsTies = 1;
  vellumix::Defaults defaults;
  vellumix::ScoreInput input(host, options, defaults);
  input.ReadScoreBytes(bytes, "fuzz");
  input.FinishGroupRead();
  std::string out;
  vellumix::DumpScore(bytes, "fuzz", host, out);
  return 0;
}
