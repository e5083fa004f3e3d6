// Specials (.SSL): a file that reads writes back the same bytes; one the Edit Special dialog
// accepts gets a file name and list entry.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "library/specials.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  vellumix::fuzz::CheckRoundTrip(bytes, vellumix::DecodeSpecial, vellumix::EncodeSpecial,
                                 "a special file does not read back");
  const auto record = vellumix::DecodeSpecial(bytes);
  if (!record || vellumix::ValidateSpecial(*record)) return 0;
  vellumix::SpecialEntry(vellumix::SpecialFileName(record->fileName, ""));
  return 0;
}
