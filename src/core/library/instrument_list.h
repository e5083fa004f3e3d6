// INSTRUMENTS.DAT, the list of instrument libraries (one a line; symbols, specials and instruments
// hold a line's position), and what the library dialogs build on it: the instrument library
// lists, the Filter of the Symbols and Specials dialogs, the entries those lists show, and
// deleting an entry's file.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vellumix {

class Host;

inline constexpr const char* kInstrumentListFile = "INSTRUMENTS.DAT";
// The first choice of every instrument library list and Filter: no particular library.
inline constexpr const char* kAllLibraries = "ALL";
// The Filter choice that shows the entries bound to no library.
inline constexpr const char* kGeneralFilter = "General";

// The lines of INSTRUMENTS.DAT in `folder` (found without regard to letter case), in order;
// nothing when it can't be opened.
std::optional<std::vector<std::string>> ReadInstrumentList(const std::string& folder);
// The same, after message 9 with its path when it can't be opened.
std::optional<std::vector<std::string>> ReadInstrumentList(Host& host, const std::string& folder);

// The lines that name a library without a bank/program list after a comma.
std::vector<std::string> LinesWithoutComma(std::span<const std::string> lines);

// "ALL" then every line: the instrument library lists, whose position (from 0) is what records
// store.
std::vector<std::string> InstrumentLibraryChoices(std::span<const std::string> lines);
// "ALL" then every line without a comma: the Filter of the Symbols and Specials dialogs.
std::vector<std::string> LibraryFilterChoices(std::span<const std::string> lines);

// One entry of a library dialog's list: the file it stands for and the text shown.
struct LibraryEntry {
  std::string fileName;  // "Symbol123 [Strings].SBL"
  std::string text;      // "Symbol123 [Strings] - trill"

  bool operator==(const LibraryEntry&) const = default;
};

// The file's name without its extension.
std::string FileStem(std::string_view fileName);

// Whether the Filter choice `filter` shows the entry of `fileName`: "ALL" every entry, "General"
// those bound to no library (no bracket), any other choice L those whose name holds "[" and L
// (letter case aside).
bool FilterShows(std::string_view filter, std::string_view fileName);

// Deletes the library folder's file `fileName` (found without regard to letter case). True when
// it is gone, also when it was gone already; false after "Unable to delete file %s".
bool DeleteLibraryFile(Host& host, const std::string& folder, std::string_view fileName);

}  // namespace vellumix
