// The option switches (OPTIONS.DAT) and numeric defaults (DEFAULTS.DAT), as the document holds
// them. Member initialisers are the built-in values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vellumix {

inline constexpr std::int32_t kLibraryFileVersion = 310;

struct Options {
  std::int32_t version = kLibraryFileVersion;
  std::int32_t firstInstrument = 1;  // "Only instruments", 1 to 350
  std::int32_t lastInstrument = 1;   // "to", 1 to 350
  std::int32_t deleteTemporaryFiles = 1;
  std::int32_t interpretCode9Symbols = 1;
  std::int32_t interpretSpecialSymbols = 1;
  std::int32_t transcribeAllInstruments = 1;
  std::string midiFileType = "Type 1";  // "Type 0" or "Type 1", at most 7 characters
  std::int32_t interpretMultipleSystems = 0;
  std::int32_t ignoreCueNotes = 0;
  std::int32_t autoPlayback = 0;
  std::int32_t interpretRepeatBarlines = 1;
  std::int32_t duplicateDynamicsOnBracedStaves = 0;
  std::int32_t switchToNotationOnPlayback = 0;
  std::int32_t sortFileList = 1;
  std::int32_t code4LinesAsTies = 0;  // also: accidentals on all notes, no naturals
  std::int32_t explorerFileList = 0;
  std::int32_t promptMissingSymbol = 0;
  std::int32_t interpretTremolos = 1;
  std::int32_t interpretOctava = 1;
  std::int32_t interpretGraphicPedalling = 1;
  std::int32_t interpretTextSymbols = 1;
  std::int32_t interpretMetronomeMarks = 1;
  std::int32_t interpretLyrics = 0;
  std::int32_t removeLyricPunctuation = 0;  // from version 301
  std::int32_t useStaveTransposition = 0;   // from version 302

  bool operator==(const Options&) const = default;
};

struct Defaults {
  std::int32_t version = kLibraryFileVersion;
  std::int32_t dynamic = 80;                 // note-on velocity, 0 to 127
  std::int32_t noteLength = 95;              // percent of the written duration, 1 to 100
  std::int32_t transposition = 0;            // half-tones, -48 to 48
  std::int32_t tempo = 120;                  // quarter notes per minute, 0 to 500
  std::int32_t graceNotesOnBeat = 0;         // 0 or 1
  std::int32_t graceNoteLength = 6;          // ticks, 1 to 120
  std::int32_t tieVerticalWidth = 3;         // half-tones, 0 to 12
  float tieHorizontalWidth = 0.1f;           // SCORE units, 0.0 to 6.0
  std::int32_t relativeEventUnit = 8;        // ticks, 1 to 120
  std::int32_t lyricsVerticalPosition = -5;  // SCORE units, -100 to 100
  std::int32_t lyricsVerticalWidth = 2;      // SCORE units, 0 to 10; from version 301

  bool operator==(const Defaults&) const = default;
};

// The file forms: version 310 and every field (OPTIONS.DAT is 107 bytes with a six-character file
// type, DEFAULTS.DAT 48 bytes).
std::vector<std::uint8_t> EncodeOptions(const Options& options);
std::vector<std::uint8_t> EncodeDefaults(const Defaults& defaults);

// Reads a file's bytes over `inOut`: fields the file's version lacks keep their values. False,
// with `inOut` untouched, when the data ends before the last field its version promises.
bool DecodeOptions(std::span<const std::uint8_t> bytes, Options& inOut);
bool DecodeDefaults(std::span<const std::uint8_t> bytes, Defaults& inOut);

// A field of a file read that holds what no dialog would write, and the value used instead.
struct OutOfRange {
  std::string field;  // the member's name
  std::string value;  // as read
  std::string range;  // "1 to 350"
  std::string used;   // the built-in value (the factory library's), which the field now holds
};
// Sets every field outside its range (a flag other than 0 or 1, a file type other than "Type 0"
// or "Type 1") to its built-in value, and says which.
std::vector<OutOfRange> RepairOptions(Options& options);
std::vector<OutOfRange> RepairDefaults(Defaults& defaults);

// The first field a dialog would refuse on OK, with the text it shows ("Enter an integer between
// 1 and 350."); field is the member's name.
struct FieldError {
  std::string field;
  std::string text;
};
std::optional<FieldError> ValidateOptions(const Options& options);
std::optional<FieldError> ValidateDefaults(const Defaults& defaults);
// The text a dialog shows for a value outside min to max; shared by every library record's checks.
std::string RangeText(double min, double max, bool integer);

// A whole text as a decimal integer (what a "key = value" source or a dialog's box holds); nothing
// for empty text, other characters or a number out of range.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// Sets the field named `key` (the member's name, e.g. "firstInstrument") from its text form.
// False when there is no such field or `value` is not a whole value of its type.
bool SetField(Options& options, std::string_view key, std::string_view value);
bool SetField(Defaults& defaults, std::string_view key, std::string_view value);
// A field's value as a dialog box shows it: numbers in the C locale, a float in the shortest form
// that reads back as the same value ("0.1"); empty for no such field.
std::string FieldText(const Options& options, std::string_view key);
std::string FieldText(const Defaults& defaults, std::string_view key);
// OK in a dialog: takes a box's text (blanks around a number ignored) into field `key` when it is
// a whole value of its type within the field's limits. Otherwise the value is unchanged and the
// refusal the dialog shows is returned: "Enter an integer.", "Enter a number.", or the range or
// length text of ValidateOptions/ValidateDefaults; an empty text for no such field.
std::optional<std::string> TakeFieldText(Options& options, std::string_view key,
                                         std::string_view text);
std::optional<std::string> TakeFieldText(Defaults& defaults, std::string_view key,
                                         std::string_view text);
// The member names of every field but the version, in file order.
std::vector<std::string_view> OptionsFieldNames();
std::vector<std::string_view> DefaultsFieldNames();

// What the Options dialog's "Defaults" button puts in the dialog.
Options OptionsDialogDefaults();
// What the Defaults dialog's "Defaults" button puts in the dialog.
Defaults DefaultsDialogDefaults();

}  // namespace vellumix
