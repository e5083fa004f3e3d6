// The string table: every user-visible message by its number, and a printf-like formatter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vellumix::res {

// Numbers of the table's messages, named where code refers to them.
enum MessageId : int {
  kTitle = 1,
  kMidiFileFilter = 6,
  kClockZero = 7,
  kPlayStopped = 8,
  kCannotRead = 9,
  kCannotWrite = 10,
  kDone = 12,
  kTranscribeCancelled = 13,
  kPlayPaused = 14,
  kClock = 15,
  kPlayRewind = 16,
  kPlayForward = 17,
  kPlaying = 18,
  kValueOutOfRange = 19,
  kWritingToFile = 21,
  kReadingFile = 27,
  kTooManyParameters = 35,
  kPercentRead = 36,
  kNoTimeSignature = 38,
  kNewInstrument = 40,
  kMultipleTimeSignatures = 44,
  kNotScoreFile = 45,
  kScoreVersion1 = 46,
  kNoMidiDevice = 49,
  kTempo = 50,
  kMaybeMultipleSystems = 53,
  kOnlyOneSystem = 54,
  kUnsupportedTimeSignature = 55,
  kInvalidLowerNumber = 56,
  kNoMoreItems = 57,
  kIntermediateVersion = 58,
  kReadingItem = 59,
  kNoBarlines = 60,
  kNoMusic = 62,
  kConfirmDeletePch = 67,
  kNoProgramNumber = 496,
  kOverwriteQuestion = 61222,
  kNotMidExtension = 61223,
  kTranscribeMenu = 32803,
  kCancelTranscribeMenu = 32804,

  // Messages of our own, numbered from 20001, for faults no numbered text above covers.
  kDamagedScoreFile = 20001,
  kTruncatedLibraryFile = 20002,
  kFolderOutsideDataFolder = 20003,
  kCannotCreateFolder = 20004,
  kStaffOutOfRange = 20005,
  kLibraryFileExists = 20006,
  kTooManyInstruments = 20007,
  kProgramNumberOutOfRange = 20008,
  kValueOutOfRangeInFile = 20009,
  kNoSuchLine = 20010,
  kCannotStartProgram = 20011,
  kNoProgramOpens = 20012,
  kMidiDoesNotReadBack = 20013,
  kOutputNotAFile = 20014,
  kPmxTooFewNumbers = 20015,
  kPmxNotANumber = 20016,
  kPmxNoSuchCode = 20017,
  kPmxNoText = 20018,
  kPmxTooManyNumbers = 20019,
  kPmxTextTooLong = 20020,
  kPmxPageTooLong = 20021,
  kSameOutput = 20022,
  kCannotReadFolder = 20023,
  kCannotWriteBecause = 20030,
  kCannotWriteLibraryFolder = 20031,
  kOutOfRangeSetting = 20032,
};

// The text of message `id`, or an empty view when the table has no such entry.
std::string_view Text(int id);

using FormatArg = std::variant<std::string_view, std::int64_t, double>;

// Fills each %s, %d, %u and %02u of `pattern` with the next argument, printf style, in the C
// locale; %% gives a percent sign. Missing arguments leave the placeholder empty.
std::string FormatText(std::string_view pattern, const std::vector<FormatArg>& args);

// Text(id) formatted with `args`.
std::string Format(int id, const std::vector<FormatArg>& args = {});

// Texts without a number, kept here so that every part of the program shows the same words.
inline constexpr std::string_view kDeletingFile = "Deleting file %s";
// The library dialogs' Delete buttons.
inline constexpr std::string_view kConfirmDeleteFiles =
    "Are you sure you want to delete the selected file(s)?";
inline constexpr std::string_view kCannotDeleteFile = "Unable to delete file %s";
// The note beside the Specials dialog's list.
inline constexpr std::string_view kHardCodedSpecials =
    "Hard-coded specials\n[a tempo] = Back to previous tempo\n[Tempo I] - Back to initial tempo";
inline constexpr std::string_view kWritingTrackToFile = "Writing track to file %s";
inline constexpr std::string_view kPreparingMidiData = "Preparing MIDI data";
inline constexpr std::string_view kWritingMidiData = "Writing MIDI data";
inline constexpr std::string_view kErrorCreatingDirectory = "Error creating directory.";
// The Library Path dialog's New Path.
inline constexpr std::string_view kEnterLibraryPathName = "Enter name of library path";
inline constexpr std::string_view kNewLibraryPathNote =
    "New library paths appear as subfolders off the base library path which is set by the "
    "program.";

}  // namespace vellumix::res
