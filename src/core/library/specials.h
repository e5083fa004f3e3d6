// The specials library: one small file per special (*.SSL), a pattern of notes played for one
// written note or a gradual change of velocity, tempo, bender or a controller; the lookup that
// loads one into a span slot, and saving one.
#pragma once

#include <array>
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
class SymbolLibrary;

inline constexpr std::int32_t kMultipleNoteEvent = 0;
inline constexpr std::int32_t kRelativeChangeEvent = 1;
inline constexpr std::size_t kPatternSteps = 7;
inline constexpr std::size_t kMaxUntilSymbol = 150;
inline constexpr int kSpecialSlotCount = 5;

// Both kinds keep every field, so switching the kind in the editor loses nothing.
struct SpecialRecord {
  using Steps = std::array<std::int32_t, kPatternSteps>;

  std::int32_t version = kLibraryFileVersion;
  std::string fileName;                    // the special's name
  std::int32_t kind = kMultipleNoteEvent;  // kMultipleNoteEvent or kRelativeChangeEvent
  Steps durations{};                       // relative, 0 to 99; the leading non-zero ones count
  Steps velocities{};                      // percent of the note's velocity, 0 to 999 (0 = same)
  Steps pitchMovements{};                  // half-tones, -64 to 63
  std::int32_t repeated = 0;               // "Repeated pattern"
  std::int32_t minimumDuration = 0;        // ticks, 0 to 120: the repeat unit
  std::int32_t changeVelocity = 0;
  std::int32_t changeTempo = 0;
  std::int32_t changeBender = 0;
  std::int32_t changeController = 0;
  std::int32_t controllerNumber = 0;   // 0 to 127
  std::string untilSymbol;             // a Code 9 symbol number as text, at most 150 characters
  std::int32_t offset = 0;             // percent of the current value, 0 to 300
  std::int32_t revert = 0;             // "Revert to original settings"
  std::int32_t instrumentLibrary = 0;  // 0 = "ALL", n = line n of INSTRUMENTS.DAT (from 1)

  bool operator==(const SpecialRecord&) const = default;
};

// The file form: version 310 and the 34 fields after it, in order.
std::vector<std::uint8_t> EncodeSpecial(const SpecialRecord& record);
// Nothing when the data ends before the last field or a string claims more bytes than are left.
std::optional<SpecialRecord> DecodeSpecial(std::span<const std::uint8_t> bytes);
// The first field outside the ranges the Edit Special dialog accepts, with the text it shows.
std::optional<FieldError> ValidateSpecial(const SpecialRecord& record);
// Sets the field named `key` from its text form: the member's name, with the step number for the
// three rows ("duration1", "velocity7", "pitchMovement2"). False for no such field or a bad value.
bool SetField(SpecialRecord& record, std::string_view key, std::string_view value);

// "CRESC.SSL", "CRESC [Strings].SSL": the name in upper case; an empty library text is "ALL".
std::string SpecialFileName(std::string_view name, std::string_view libraryText);
// The Specials dialog's list: every special file of `folder`, each shown by its name without
// extension, in file name order.
std::vector<LibraryEntry> ListSpecials(const std::string& folder);
// The entry of a special written as `fileName`.
LibraryEntry SpecialEntry(std::string_view fileName);
// The special file `fileName` of `folder` for the Edit Special dialog; nothing after message 9
// when it can't be opened or is damaged. Values out of range are kept, for the dialog to refuse.
std::optional<SpecialRecord> ReadSpecialFile(Host& host, const std::string& folder,
                                             std::string_view fileName);

// A symbol's special as a file name to load: "CRESC [Strings].SSL" becomes "CRESC.SSL" (the
// bracketed library is the lookup's business); a name without a bracket stays as it is.
std::string SpecialNameFromRule(std::string_view special);

// The special files of the library folder and the five slots a run loads them into.
class SpecialLibrary {
 public:
  // The current instrument library is the symbol library's, so both lookups agree.
  SpecialLibrary(Host& host, const SettingsLibrary& settings, const SymbolLibrary& symbols);

  // Fills `slot` (0 to 4) from the special `name` ("TRILL.SSL" or "TRILL"): a bracketed file of
  // that name for the current instrument library first, else the general file. With `direct`,
  // `name` is the file's name in the library folder and nothing is searched. False, with the slot
  // empty, when no file could be read (or the user cancelled: Cancelled()).
  bool LoadSpecial(std::string_view name, int slot, bool direct);
  // Whether `slot` holds what LoadSpecial(name, …) would load for the current instrument library.
  bool Holds(int slot, std::string_view name) const;
  // The record in `slot`, or null when it is empty.
  const SpecialRecord* Loaded(int slot) const;
  // Puts a pattern made by the engine (not read from a file) into `slot`.
  void Install(int slot, const SpecialRecord& record);

  bool Cancelled() const { return cancelled_; }
  // End of a run: empties the slots and forgets what the run had read.
  void Release();

  // The Edit Special dialog's OK: checks the ranges and the name, upper-cases the name and writes
  // the file its name and instrument library give, replacing one of that name. False with `error`
  // set when a value is refused (nothing written); false after message 9 (INSTRUMENTS.DAT) or 10.
  bool SaveSpecial(const SpecialRecord& record, std::string* error = nullptr,
                   std::string* fileName = nullptr);
  // The same, naming the refused field ("fileName", "instrumentLibrary", …) so that the dialog
  // can put the focus on it.
  bool SaveSpecial(const SpecialRecord& record, FieldError& refused,
                   std::string* fileName = nullptr);

 private:
  struct Slot {
    bool filled = false;
    std::string key;  // the name the slot was loaded under, upper case; empty for a built-in
    std::int32_t library = 0;
    SpecialRecord record;
  };
  enum class Read { kOk, kMissing, kDamaged };
  Read ReadRecord(const std::string& path, SpecialRecord& out);
  bool Fill(Slot& slot, const std::string& path, SpecialRecord record, const std::string& key);

  Host& host_;
  const SettingsLibrary& settings_;
  const SymbolLibrary& symbols_;
  std::array<Slot, kSpecialSlotCount> slots_;
  bool cancelled_ = false;
  std::set<std::string> damagedReported_;  // paths already reported as damaged this run
};

}  // namespace vellumix
