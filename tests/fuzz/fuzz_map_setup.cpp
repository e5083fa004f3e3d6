// Percussion map setups (.MAP): a file that reads writes back the same bytes, and its maps
// entered one by one in the Edit Map setup dialog stay sorted by name with their values.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "library/percussion_maps.h"
#include "platform/files.h"

using vellumix::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  vellumix::fuzz::CheckRoundTrip(bytes, vellumix::DecodeMapSetup, vellumix::EncodeMapSetup,
                                 "a map setup file does not read back");
  const auto setup = vellumix::DecodeMapSetup(bytes);
  if (!setup || vellumix::ValidateMapSetup(*setup)) return 0;
  vellumix::MapSetup entered;
  for (std::size_t i = 0; i < setup->Count(); ++i) {
    const auto map = setup->At(i);
    const std::size_t at = entered.Insert(map);
    Check(at < entered.Count() && entered.At(at) == map, "a new map is not where Insert says");
  }
  // Names equal but for letter case count as equal: the later one goes after.
  for (std::size_t i = 1; i < entered.Count(); ++i) {
    const std::string& a = entered.Names()[i - 1];
    const std::string& b = entered.Names()[i];
    Check(!vellumix::files::LessNoCase(b, a) || vellumix::files::EqualNoCase(a, b),
          "the maps are not sorted by name");
  }
  return 0;
}
