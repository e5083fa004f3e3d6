// The Standard MIDI File reader: reading for timing alone accepts what the whole read accepts
// and gives the same playing time.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "midi/reader.h"

using vellumix::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const auto whole = vellumix::ReadMidiFile(bytes);
  const auto timing = vellumix::ReadMidiFile(bytes, true);
  Check(whole.has_value() == timing.has_value(), "the timing read judges the file otherwise");
  if (!whole) return 0;
  Check(whole->tracks.size() == timing->tracks.size(), "the timing read has other tracks");
  const double seconds = vellumix::PlayingSeconds(*whole);
  const double timed = vellumix::PlayingSeconds(*timing);
  Check(seconds == timed || (seconds != seconds && timed != timed),
        "the timing read gives another playing time");
  vellumix::DumpMidiFile(*whole);
  return 0;
}
