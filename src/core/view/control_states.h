// The main window's enabling: which form controls each control state enables, where the focus
// goes, which menu commands are available and what the Transcribe menu entry says. The window
// applies these answers as they are.
#pragma once

#include <bitset>
#include <cstddef>
#include <optional>
#include <string_view>

namespace vellumix::view {

// The form's controls in the order of a control state, each button followed by its caption
// (resource ids in the comments).
enum class Control {
  kTranscribeButton,   // 279
  kTranscribeCaption,  // 355
  kOptionsButton,      // 334
  kOptionsCaption,     // 344
  kDefaultsButton,     // 102
  kDefaultsCaption,    // 345
  kSymbolsButton,      // 336
  kSymbolsCaption,     // 346
  kSpecialsButton,     // 337
  kSpecialsCaption,    // 347
  kTemplatesButton,    // 338
  kTemplatesCaption,   // 348
  kMidiButton,         // 280, load playback file
  kLoadCaption,        // 349
  kRewButton,          // 281
  kRewCaption,         // 350
  kStopButton,         // 282
  kStopCaption,        // 351
  kPlayButton,         // 283
  kPlayCaption,        // 352
  kFfButton,           // 284
  kFfCaption,          // 353
  kPauseButton,        // 285
  kPauseCaption,       // 354
  kPlayStateText,      // 341
  kPlayingTimeText,    // 340
  kMidiFileNameText,   // 339
};

inline constexpr std::size_t kControlCount = 27;

// One enabled flag per control.
class ControlFlags {
 public:
  bool operator[](Control control) const { return bits_[Index(control)]; }
  // Changes one control, as the FF button does when it makes REW usable.
  void Set(Control control, bool enabled) { bits_[Index(control)] = enabled; }
  bool operator==(const ControlFlags&) const = default;

 private:
  static std::size_t Index(Control control) { return static_cast<std::size_t>(control); }
  std::bitset<kControlCount> bits_;
};

enum class ControlState {
  kRunning,        // a transcription or Read Old Data is busy: everything off
  kIdleCompleted,  // a run wrote its file: no transport, no clock
  kIdleStopped,    // the state at start and after a stopped run
  kLoaded,         // a playback file was loaded
  kPlaying,
  kPaused,
  kStopped,
  kAutoStarting,  // playback is being started after a run
  kLoadFailed,    // the chosen playback file could not be opened
};

// The flags of `state`.
ControlFlags Flags(ControlState state);
// The button `state` gives the focus to, if any; never a disabled one.
std::optional<Control> FocusTarget(ControlState state);

// The menu commands, by command number.
enum class Command {
  kTranscribe = 32768,
  kReadOldData = 32795,
  kExit = 57665,
  kOptions = 1601,
  kDefaults = 32778,
  kSymbols = 32779,
  kSpecials = 32780,
  kTemplates = 32783,
  kLibraryPath = 32807,
  kEditInstrumentList = 32801,
  kEditBankProgramList = 32802,
  kEditPercussionMaps = 32808,
  kLoadPlaybackFile = 32790,
  kPlay = 32791,
  kPause = 32792,
  kRewindFastForward = 32794,
  kStop = 32793,
  kHelpIndex = 124,
  kAbout = 32771,
};

// What the enabling of the menu commands depends on.
struct CommandContext {
  ControlFlags controls;         // the form's flags as they are now
  bool runActive = false;        // a transcription or Read Old Data is reading or writing
  bool deleteTempFiles = false;  // option "Delete .tmp files after transcription"
};

// Whether `command` can be chosen from the menu or by its key.
bool CommandEnabled(Command command, const CommandContext& context);
// The File menu's entry for Transcribe, which becomes the cancel request while a run is busy.
std::string_view TranscribeMenuText(const ControlFlags& controls);

}  // namespace vellumix::view
