// INSTRUMENTS.DAT and the bank/program lists (.PCH) it names, as the library dialogs and the
// template loading read them. Input: INSTRUMENTS.DAT, then "@@NAME" lines each starting another
// file of the library folder ("@@General.PCH").
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.h"
#include "library/instrument_list.h"
#include "library/templates.h"

using vellumix::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& folder = vellumix::fuzz::ScratchFolder();
  vellumix::fuzz::Restore(folder, {}, {});
  for (const auto& [name, text] :
       vellumix::fuzz::Sections(vellumix::fuzz::Text({data, size}), "INSTRUMENTS.DAT")) {
    if (!vellumix::fuzz::PlainFileName(name)) continue;
    vellumix::fuzz::WriteFile(folder + name,
                              {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  }

  vellumix::fuzz::AnsweringHost host;
  const auto lines = vellumix::ReadInstrumentList(host, folder);
  if (!lines) return 0;
  const auto filters = vellumix::LibraryFilterChoices(*lines);
  vellumix::InstrumentLibraryChoices(*lines);
  const std::size_t shown = std::min<std::size_t>(lines->size(), 8);
  for (std::size_t f = 0; f < std::min<std::size_t>(filters.size(), 8); ++f)
    for (std::size_t l = 0; l < shown; ++l)
      vellumix::FilterShows(filters[f], "Symbol001 [" + (*lines)[l] + "].SBL");
  for (std::int32_t library = -1; library <= static_cast<std::int32_t>(shown); ++library) {
    const std::string list = vellumix::BankProgramListName(*lines, library);
    const auto entries = vellumix::ReadBankProgramList(host, folder, list);
    const std::int32_t tried =
        entries ? static_cast<std::int32_t>(std::min<std::size_t>(entries->size(), 8)) : 1;
    for (std::int32_t line = -1; line <= tried; ++line) {
      const auto program = vellumix::ResolveProgram(host, folder, library, line);
      Check(!program || (*program >= 0 && *program <= vellumix::kMaxProgramNumber),
            "a program number out of range was taken");
    }
  }
  return 0;
}
