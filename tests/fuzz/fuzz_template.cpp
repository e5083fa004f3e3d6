// Templates (.TPL) and the selection (TEMPLATE.DAT): a file that reads writes back the same
// bytes. The first byte chooses the file kind; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "library/templates.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  if (data[0] % 2 == 0) {
    vellumix::fuzz::CheckRoundTrip(bytes, vellumix::DecodeTemplate, vellumix::EncodeTemplate,
                                   "a template file does not read back");
    if (const auto record = vellumix::DecodeTemplate(bytes)) vellumix::ValidateTemplate(*record);
  } else {
    vellumix::fuzz::CheckRoundTrip(
        bytes, vellumix::DecodeTemplateSelection,
        [](const std::string& name) { return vellumix::EncodeTemplateSelection(name); },
        "TEMPLATE.DAT does not read back");
  }
  return 0;
}
