// Symbol files (.SBL, .TBL): a file that reads writes back the same bytes; one the Edit Symbol
// dialog accepts gets a file name and list entry.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "library/specials.h"
#include "library/symbols.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  vellumix::fuzz::CheckRoundTrip(bytes, vellumix::DecodeSymbol, vellumix::EncodeSymbol,
                                 "a symbol file does not read back");
  const auto record = vellumix::DecodeSymbol(bytes);
  if (!record || vellumix::ValidateSymbol(*record)) return 0;
  const std::string name = record->kind == vellumix::kCode9Symbol
                               ? vellumix::SymbolFileName(record->number, "")
                               : vellumix::SymbolFileName(record->text, "");
  vellumix::SymbolEntry(name, *record);
  vellumix::SpecialChoice(record->special);
  vellumix::SpecialNameFromRule(record->special);
  return 0;
}
