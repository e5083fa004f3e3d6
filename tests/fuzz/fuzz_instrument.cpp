// Instruments (.INS): a file that reads writes back the same bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "library/templates.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  vellumix::fuzz::CheckRoundTrip(bytes, vellumix::DecodeInstrument, vellumix::EncodeInstrument,
                                 "an instrument file does not read back");
  const auto record = vellumix::DecodeInstrument(bytes);
  if (!record || vellumix::ValidateInstrument(*record)) return 0;
  vellumix::InstrumentName(record->staveName, record->staveId);
  return 0;
}
