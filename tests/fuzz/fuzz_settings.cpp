// OPTIONS.DAT, or DEFAULTS.DAT when built with VELLUMIX_FUZZ_DEFAULTS: read over the built-in
// values as a run reads it; a file that reads writes back the same bytes, and every value in
// range shows in its dialog as a text that OK takes back unchanged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "fuzz_support.h"
#include "library/settings.h"

namespace {

using vellumix::fuzz::Check;

#ifdef VELLUMIX_FUZZ_DEFAULTS
using Values = vellumix::Defaults;
constexpr auto kDecode = [](std::span<const std::uint8_t> b, Values& v) {
  return vellumix::DecodeDefaults(b, v);
};
constexpr auto kEncode = [](const Values& v) { return vellumix::EncodeDefaults(v); };
constexpr auto kValidate = [](const Values& v) { return vellumix::ValidateDefaults(v); };
constexpr auto kFields = [] { return vellumix::DefaultsFieldNames(); };
#else
using Values = vellumix::Options;
constexpr auto kDecode = [](std::span<const std::uint8_t> b, Values& v) {
  return vellumix::DecodeOptions(b, v);
};
constexpr auto kEncode = [](const Values& v) { return vellumix::EncodeOptions(v); };
constexpr auto kValidate = [](const Values& v) { return vellumix::ValidateOptions(v); };
constexpr auto kFields = [] { return vellumix::OptionsFieldNames(); };
#endif

std::optional<Values> Decode(std::span<const std::uint8_t> bytes) {
  Values v;
  if (!kDecode(bytes, v)) return std::nullopt;
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  vellumix::fuzz::CheckRoundTrip(bytes, Decode, kEncode, "a settings file does not read back");
  const std::optional<Values> read = Decode(bytes);
  if (!read || kValidate(*read)) return 0;
  for (std::string_view field : kFields()) {
    Values taken = *read;
    const auto refused = vellumix::TakeFieldText(taken, field, vellumix::FieldText(*read, field));
    Check(!refused && taken == *read,
          "the dialog refuses or changes its own text for " + std::string(field));
  }
  return 0;
}
