// The symbol library: one small file per Code 9 symbol (*.SBL) or Code 16 text (*.TBL) saying
// what it does to duration, pitch, velocity, tempo, controllers or bank/program, or which special
// it calls; the two lookups the interpretation makes; and the run's cache of Code 9 records.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/instrument_list.h"
#include "library/settings.h"

namespace vellumix {

class Host;
class SettingsLibrary;

inline constexpr const char* kSpecialNone = "[none]";
inline constexpr const char* kSpecialATempo = "[a tempo]";
inline constexpr const char* kSpecialTempoI = "[Tempo I]";

inline constexpr std::int32_t kCode9Symbol = 0;
inline constexpr std::int32_t kTextSymbol = 1;

struct SymbolRecord {
  std::int32_t version = kLibraryFileVersion;
  std::int32_t kind = kCode9Symbol;    // kCode9Symbol or kTextSymbol
  std::int32_t number = 0;             // Code 9 symbol number, 0 to 999
  std::int32_t code9Library = 0;       // 0 = "ALL", n = line n of INSTRUMENTS.DAT (from 1)
  std::string text;                    // identifies a Code 16 item
  std::int32_t textLibrary = 0;        // as code9Library, for a Code 16 item
  std::int32_t duration = 0;           // note length in percent, 0 to 100 (0 = none)
  std::int32_t pitchOffset = 0;        // half-tones, -64 to 64
  std::int32_t velocityLevel = 0;      // 0 to 127 (0 = none)
  std::int32_t velocityOffset = 0;     // -64 to 64
  std::int32_t tempoLevel = 0;         // quarter notes per minute, 0 to 500 (0 = none)
  std::int32_t tempoOffset = 0;        // -100 to 100
  std::string special = kSpecialNone;  // "[none]", "[a tempo]", "[Tempo I]" or "NAME.SSL"
  std::int32_t bankProgram = 0;        // bank * 128 + program, 0 to 16383 (0 = none)
  std::int32_t bender = 0;             // -8192 to 8191
  std::int32_t controllerType = 0;     // 0 to 127 (0 = none)
  std::int32_t controllerValue = 0;    // 0 to 127
  std::int32_t permanent = 0;          // "Make settings permanent"
  std::string name;                    // descriptive name; stored only for a Code 9 symbol

  bool operator==(const SymbolRecord&) const = default;
};

// The file form: version 310, then every field in order, the name only for a Code 9 symbol.
std::vector<std::uint8_t> EncodeSymbol(const SymbolRecord& record);
// Nothing when the data ends before the last field or a string claims more bytes than are left.
// Values are taken as stored; ValidateSymbol tells whether they are usable.
std::optional<SymbolRecord> DecodeSymbol(std::span<const std::uint8_t> bytes);

// The first field outside the ranges the Edit Symbol dialog accepts, with the text it shows.
std::optional<FieldError> ValidateSymbol(const SymbolRecord& record);
// Sets the field named `key` (the member's name) from its text form; false when there is no such
// field or the value is not a whole value of its type.
bool SetField(SymbolRecord& record, std::string_view key, std::string_view value);

// "007", "042", "123": the number as file names carry it.
std::string SymbolNumberText(std::int32_t number);
// "Symbol007.SBL", "Symbol123 [Strings].SBL"; an empty library text is "ALL".
std::string SymbolFileName(std::int32_t number, std::string_view libraryText);
// "f.TBL", "f [Brass].TBL".
std::string SymbolFileName(std::string_view text, std::string_view libraryText);

// The Symbols dialog's two lists, each in file name order.
struct SymbolEntries {
  std::vector<LibraryEntry> code9;  // *.SBL: "Symbol007 - staccato"
  std::vector<LibraryEntry> text;   // *.TBL: "f [Brass]"
};
// Reads the name of every Code 9 symbol of `folder`. A file that can't be read is reported with
// message 9 and listed by its file name alone, so that it can still be deleted.
SymbolEntries ListSymbols(Host& host, const std::string& folder);
// The entry of a symbol written as `fileName`: the name without extension, for a Code 9 symbol
// followed by " - " and its name.
LibraryEntry SymbolEntry(std::string_view fileName, const SymbolRecord& record);
// The symbol file `fileName` of `folder` for the Edit Symbol dialog; nothing after message 9 when
// it can't be opened or is damaged. Values out of range are kept, for the dialog to refuse.
std::optional<SymbolRecord> ReadSymbolFile(Host& host, const std::string& folder,
                                           std::string_view fileName);
// The Edit Symbol dialog's Special list: every special file of `folder` without its extension,
// then "[a tempo]", "[Tempo I]" and "[none]".
std::vector<std::string> SpecialChoices(const std::string& folder);
// The Special list's item for a record's special: "TRILL.SSL" is shown as "TRILL", an empty one
// as "[none]".
std::string SpecialChoice(std::string_view special);

// The symbol library of the current library folder, with the state a run keeps: the current
// symbol, the Code 9 cache and the current instrument library.
class SymbolLibrary {
 public:
  static constexpr std::size_t kCacheSize = 23;

  SymbolLibrary(Host& host, const SettingsLibrary& settings);

  // Start of a run: reads SYMBOL021.SBL to SYMBOL025.SBL, SYMBOL027.SBL to SYMBOL031.SBL and
  // SYMBOL050.SBL to SYMBOL062.SBL into the cache with use count 0; a missing file is reported
  // with message 9 (a damaged one with 20002) and left out. False only when cancelled.
  bool FillCache();
  // End of a run: empties the cache and forgets what the run had read.
  void ReleaseCache();

  // 1 with Current() filled when a definition of symbol `n` applies to the current instrument
  // library, else 0 (Cancelled() tells a cancel from "not found").
  int LookUpCode9Symbol(std::int32_t n);
  // True with Current() filled when a text symbol applies to `text` (bracketed files first, then
  // the first general file in name order whose name occurs in the text). The caller then updates
  // the running state: a controller value above 0 becomes the current value of the record's
  // controller (and that controller the current one); a tempo level above 0 sets the working
  // tempo back to the reference tempo.
  bool LookUpTextSymbol(std::string_view text);

  // Whether the last FillCache or lookup stopped because the user cancelled.
  bool Cancelled() const { return cancelled_; }

  // The INSTRUMENTS.DAT line number (from 1) of the instrument being interpreted, 0 for none.
  void SetCurrentInstrumentLibrary(std::int32_t library);
  std::int32_t CurrentInstrumentLibrary() const { return currentLibrary_; }

  // The last record looked up.
  const SymbolRecord& Current() const { return current_; }

  struct CacheEntry {
    SymbolRecord record;
    std::int32_t useCount = 0;
  };
  const std::vector<CacheEntry>& Cache() const { return cache_; }

  // The Edit Symbol dialog's OK: checks the ranges (and a Code 9 number above 0), appends ".SSL"
  // to a special that names a file, and writes the file its number or text and instrument library
  // give, replacing one of that name. False with `error` set when a value is refused (nothing
  // written); false after message 9 (INSTRUMENTS.DAT) or 10 when a file can't be read or written.
  // `fileName` receives the name written.
  bool SaveSymbol(const SymbolRecord& record, std::string* error = nullptr,
                  std::string* fileName = nullptr);
  // The same, naming the refused field (a member's name: "number", "text", "code9Library", …)
  // so that the dialog can put the focus on it.
  bool SaveSymbol(const SymbolRecord& record, FieldError& refused, std::string* fileName = nullptr);

 private:
  enum class Read { kOk, kMissing, kDamaged };
  Read ReadRecord(const std::string& path, SymbolRecord& out);
  // Reports the status for the chosen file; false (and Cancelled) on cancel.
  bool ReportReading(const std::string& path);
  const std::vector<std::string>& InstrumentLines();
  // Whether `name` occurs in the current instrument library's line of INSTRUMENTS.DAT.
  bool CurrentLineHolds(std::string_view name);
  bool PromptMissing() const;

  Host& host_;
  const SettingsLibrary& settings_;
  std::vector<CacheEntry> cache_;
  SymbolRecord current_;
  std::int32_t currentLibrary_ = 0;
  bool cancelled_ = false;
  std::optional<std::vector<std::string>> instrumentLines_;
  std::set<std::string> damagedReported_;  // paths already reported as damaged this run
};

}  // namespace vellumix
