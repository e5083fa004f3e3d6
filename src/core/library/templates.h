// Templates: which staves become which MIDI tracks. The selected template's name (TEMPLATE.DAT),
// templates (*.TPL: a name, a default tempo and a list of instrument names), instruments (*.INS:
// the set-up of one track), the bank/program lists they point into (INSTRUMENTS.DAT, *.PCH), and
// the document's instrument table filled from them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/settings.h"

namespace vellumix {

class Host;

// The selected template's name when no template is selected.
inline constexpr const char* kNoTemplate = "[None]";

inline constexpr std::size_t kInstrumentSlotCount = 350;
inline constexpr std::int32_t kMaxStaveId = 349;
inline constexpr std::int32_t kMaxTemplateTempo = 250;
// The Port and Channel lists offer "1" to "16"; files hold the list position, which is also the
// port byte and the channel nibble on the wire.
inline constexpr std::int32_t kPortChoices = 16;
inline constexpr std::int32_t kChannelChoices = 16;
// Program numbers are bank * 128 + program.
inline constexpr std::int32_t kMaxProgramNumber = 16383;

inline constexpr std::string_view kTemplateNameBlank =
    "Template name is blank. Please give it a name.";

// One instrument file, in file order. The last three fields exist from version 310 on.
struct InstrumentRecord {
  std::int32_t version = kLibraryFileVersion;
  std::int32_t staveId = 0;  // matched against a staff's instrument number, 0 to 349
  std::string staveName;
  std::int32_t instrumentLibrary = 0;  // line of INSTRUMENTS.DAT, from 0
  std::int32_t port = 0;               // list position, 0 to 15
  std::int32_t channel = 0;            // list position, 0 to 15
  std::int32_t bankProgram = 0;        // line of the library's .PCH list, from 0
  std::int32_t pan = 0;                // -63 to 64
  std::int32_t volume = 100;           // 0 to 127
  std::int32_t transposition = 0;      // half-tones, -26 to 26
  std::int32_t convertLyrics = 0;
  std::int32_t usePercussionMap = 0;
  std::int32_t percussionMap = 0;  // position in the sorted list of *.MAP files
  std::string percussionMapName;

  bool operator==(const InstrumentRecord&) const = default;
};

// "Flute [1]": the instrument's name in lists and, with ".INS", its file name.
std::string InstrumentName(std::string_view staveName, std::int32_t staveId);

// Version 310 and every field.
std::vector<std::uint8_t> EncodeInstrument(const InstrumentRecord& record);
// Nothing when the data ends before the last field its version promises. Values as stored.
std::optional<InstrumentRecord> DecodeInstrument(std::span<const std::uint8_t> bytes);
// The first field the Edit Instrument dialog refuses, with its text; names that could not be
// file names (a "/") are refused too.
std::optional<FieldError> ValidateInstrument(const InstrumentRecord& record);
// Sets the field named `key` (the member's name) from its text; false for no such field or a
// value that is not a whole value of its type.
bool SetField(InstrumentRecord& record, std::string_view key, std::string_view value);
// Edit Instrument's OK for one box: takes `text` (blanks around a number ignored) into field
// `key` when it is a whole value within the field's limits; otherwise the record is unchanged and
// the refusal is returned ("Enter an integer." or the range text). Empty for no such field.
std::optional<std::string> TakeFieldText(InstrumentRecord& record, std::string_view key,
                                         std::string_view text);

// The limits of a number field of an instrument ("pan": -63 to 64) or a template
// ("defaultTempo"), which the step buttons keep to; nothing for other keys.
struct FieldLimits {
  std::int32_t min = 0;
  std::int32_t max = 0;
};
std::optional<FieldLimits> InstrumentFieldLimits(std::string_view key);

struct TemplateRecord {
  std::int32_t version = kLibraryFileVersion;
  std::string name;
  std::int32_t defaultTempo = 0;         // beats per minute, 0 to 250
  std::vector<std::string> instruments;  // instrument names ("Flute [1]"), in template order

  bool operator==(const TemplateRecord&) const = default;
};

std::vector<std::uint8_t> EncodeTemplate(const TemplateRecord& record);
// Nothing when the data ends early or the count is negative or more than the data can hold.
std::optional<TemplateRecord> DecodeTemplate(std::span<const std::uint8_t> bytes);
// A blank name gives kTemplateNameBlank (field "name"); the tempo is checked against 0 to 250.
std::optional<FieldError> ValidateTemplate(const TemplateRecord& record);
// Edit Template's OK for one box ("name", "defaultTempo"), as TakeFieldText above.
std::optional<std::string> TakeFieldText(TemplateRecord& record, std::string_view key,
                                         std::string_view text);
inline constexpr FieldLimits kTemplateTempoLimits{0, kMaxTemplateTempo};

// TEMPLATE.DAT: version 310 and the selected template's name.
std::vector<std::uint8_t> EncodeTemplateSelection(std::string_view name);
std::optional<std::string> DecodeTemplateSelection(std::span<const std::uint8_t> bytes);

// The editors' OK: check, then write "%s%s.INS" ("%s [%d]" of stave name and ID), "%s%s.TPL" or
// "%sTEMPLATE.DAT", replacing a file of that name in any letter case. False with `error` set when
// a value is refused (nothing written), or after message 10.
bool WriteInstrument(Host& host, const std::string& folder, const InstrumentRecord& record,
                     std::string* error = nullptr);
bool WriteTemplate(Host& host, const std::string& folder, const TemplateRecord& record,
                   std::string* error = nullptr);
bool WriteTemplateSelection(Host& host, const std::string& folder, const std::string& name);

// Read one file of the library folder by name (without extension); message 9 when it can't be
// opened, 20002 when damaged, 20009 when a value is out of range.
std::optional<InstrumentRecord> ReadInstrument(Host& host, const std::string& folder,
                                               const std::string& name);
std::optional<TemplateRecord> ReadTemplate(Host& host, const std::string& folder,
                                           const std::string& name);

// What the lists of the dialogs show: "[None]" and every template, every instrument, by file name
// without extension, sorted without regard to letter case.
std::vector<std::string> TemplateChoices(const std::string& folder);
std::vector<std::string> InstrumentChoices(const std::string& folder);

// Edit Template's opening: the names among `names` whose instrument files can be read, in order;
// each other one is reported (message 9, 20002 or 20009) and left out.
std::vector<std::string> ReadableInstruments(Host& host, const std::string& folder,
                                             const std::vector<std::string>& names);
// The position in `choices` (the Map list) to show for the record: its map's name where listed,
// else its stored position where in range, else the first; -1 for an empty list.
int MapChoice(const std::vector<std::string>& choices, const InstrumentRecord& record);

// The Delete commands: remove "%s%s.TPL" or "%s%s.INS" (found without regard to letter case).
// True when the file is gone; false after "Unable to delete file %s", and without a message for
// "[None]" or a name that can't be a file of the folder.
bool DeleteTemplate(Host& host, const std::string& folder, const std::string& name);
bool DeleteInstrument(Host& host, const std::string& folder, const std::string& name);

// The bank/program list an INSTRUMENTS.DAT line names: its text before the first ",".
std::string BankProgramListName(std::string_view libraryLine);
// The list of line `library` (from 0) of INSTRUMENTS.DAT's `lines`; "General" when there is no
// such line.
std::string BankProgramListName(std::span<const std::string> lines, std::int32_t library);
// The entries of the list `listName` ("%s%s.PCH"), in file order; nothing after message 9.
std::optional<std::vector<std::string>> ReadBankProgramList(Host& host, const std::string& folder,
                                                            const std::string& listName);
// Edit Bank / Program's Delete: removes "%s%s.PCH"; INSTRUMENTS.DAT is left as it is.
bool DeleteBankProgramList(Host& host, const std::string& folder, const std::string& listName);
// The path of the library text file `fileName` (INSTRUMENTS.DAT, "GS.PCH") for the text editor,
// found without regard to letter case and created empty when missing, since an editor can't be
// opened on a file that does not exist. Nothing after "A name can't contain "/"." or message 10.
std::optional<std::string> PrepareTextFile(Host& host, const std::string& folder,
                                           const std::string& fileName);

// The program number that line `bankProgram` of the .PCH list named by line `library` of
// INSTRUMENTS.DAT gives (both from 0). Nothing after message 9 (a file that can't be opened),
// 20010 (a line the file lacks), 496 (no number before "=") or 20008 (out of 0 to 16383).
std::optional<std::int32_t> ResolveProgram(Host& host, const std::string& folder,
                                           std::int32_t library, std::int32_t bankProgram);

// One slot of the instrument table: an instrument as loaded, with its pan moved up by 63 (0 to
// 127) and its bank/program position replaced by the program number.
struct InstrumentSlot {
  std::int32_t staveId = 0;
  std::string staveName;
  std::int32_t instrumentLibrary = 0;
  std::int32_t port = 0;
  std::int32_t channel = 0;  // 0 to 15
  std::int32_t program = 0;  // bank * 128 + program
  std::int32_t pan = 0;      // 0 to 127
  std::int32_t volume = 100;
  std::int32_t transposition = 0;
  std::int32_t convertLyrics = 0;
  std::int32_t usePercussionMap = 0;
  std::int32_t percussionMap = 0;
  std::string percussionMapName;

  bool operator==(const InstrumentSlot&) const = default;
};

enum class TemplateLoad {
  kLoaded,    // the selected template (or "[None]") is in the table
  kFellBack,  // it could not be loaded: after its message the selection is "[None]"
  kFailed,    // TEMPLATE.DAT could not be read: nothing changed
};

// The document's instrument table: slot i holds the i-th instrument of the selected template.
class InstrumentTable {
 public:
  InstrumentTable();

  // Every slot to stave ID 0, no name, volume 100, 0 elsewhere; no instruments; the tempo given.
  void Reset(std::int32_t defaultTempo);

  // Reads TEMPLATE.DAT into `selectedTemplate`, resets the table with `playbackTempo` and, unless
  // the selection is "[None]", loads the template and its instruments. A template that can't be
  // loaded whole leaves the table as "[None]" would (reset) and the selection "[None]". Beyond
  // 350 instruments the first 350 load, after message 20007.
  TemplateLoad LoadTemplate(Host& host, const std::string& folder, std::int32_t playbackTempo,
                            std::string& selectedTemplate);

  // The first loaded instrument whose stave ID is `staveId`, or null.
  const InstrumentSlot* FindSlot(std::int32_t staveId) const;

  // The tempo a run starts with: the template's, or `playbackTempo` when it sets none (0).
  std::int32_t StartingTempo(std::int32_t playbackTempo) const {
    return defaultTempo > 0 ? defaultTempo : playbackTempo;
  }

  std::int32_t defaultTempo = Defaults{}.tempo;
  std::int32_t count = 0;             // instruments loaded
  std::vector<InstrumentSlot> slots;  // always kInstrumentSlotCount

 private:
  bool LoadTemplateFile(Host& host, const std::string& folder, const std::string& name);
};

}  // namespace vellumix
