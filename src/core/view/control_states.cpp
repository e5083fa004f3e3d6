#include "view/control_states.h"

#include "res/strings.h"

namespace vellumix::view {
namespace {

// A state's flags come in groups: a button and its caption always go together, the five library
// buttons act as one, and the play state and clock texts share a flag.
struct Groups {
  // In form order: 1-2, 3-12, 13-14, REW, STOP, PLAY, FF, PAUSE, texts 25-26, text 27.
  bool transcribe, library, midi, rew, stop, play, ff, pause, clockTexts, fileName;
};

Groups GroupsOf(ControlState state) {
  using S = ControlState;
  switch (state) {
    case S::kRunning:
      return {false, false, false, false, false, false, false, false, false, false};
    case S::kIdleCompleted:
      return {true, true, true, false, false, false, false, false, false, true};
    // A load that failed shows no transport: nothing is loaded that could be played or stopped,
    // and a STOP left enabled would keep Exit disabled.
    case S::kIdleStopped:
    case S::kLoadFailed:
      return {true, true, true, false, false, false, false, false, true, true};
    case S::kLoaded:
      return {true, true, true, false, false, true, true, false, true, true};
    case S::kPlaying:
      return {false, true, false, false, true, false, false, true, true, true};
    case S::kPaused:
      return {false, true, false, false, true, true, false, false, true, true};
    case S::kStopped:
      return {true, true, true, true, false, true, true, false, true, true};
    case S::kAutoStarting:
      return {false, true, false, false, false, false, false, false, true, true};
  }
  return {};
}

void SetPair(ControlFlags& flags, Control button, bool on) {
  flags.Set(button, on);
  flags.Set(static_cast<Control>(static_cast<int>(button) + 1), on);
}

}  // namespace

ControlFlags Flags(ControlState state) {
  Groups g = GroupsOf(state);
  ControlFlags flags;
  SetPair(flags, Control::kTranscribeButton, g.transcribe);
  for (Control c : {Control::kOptionsButton, Control::kDefaultsButton, Control::kSymbolsButton,
                    Control::kSpecialsButton, Control::kTemplatesButton})
    SetPair(flags, c, g.library);
  SetPair(flags, Control::kMidiButton, g.midi);
  SetPair(flags, Control::kRewButton, g.rew);
  SetPair(flags, Control::kStopButton, g.stop);
  SetPair(flags, Control::kPlayButton, g.play);
  SetPair(flags, Control::kFfButton, g.ff);
  SetPair(flags, Control::kPauseButton, g.pause);
  flags.Set(Control::kPlayStateText, g.clockTexts);
  flags.Set(Control::kPlayingTimeText, g.clockTexts);
  flags.Set(Control::kMidiFileNameText, g.fileName);
  return flags;
}

std::optional<Control> FocusTarget(ControlState state) {
  std::optional<Control> named;
  switch (state) {
    case ControlState::kLoaded:
    case ControlState::kPaused:
    case ControlState::kStopped:
    case ControlState::kAutoStarting:
      named = Control::kPlayButton;
      break;
    case ControlState::kPlaying:
      named = Control::kStopButton;
      break;
    default:
      break;
  }
  // A disabled button can't hold the focus; AutoStarting names PLAY but has it off.
  if (named && !Flags(state)[*named]) return std::nullopt;
  return named;
}

bool CommandEnabled(Command command, const CommandContext& context) {
  const ControlFlags& on = context.controls;
  switch (command) {
    // While playback holds STOP, Transcribe follows its button; otherwise it either starts a run
    // or, during one, cancels it.
    case Command::kTranscribe:
      return !on[Control::kStopButton] || on[Control::kTranscribeButton];
    case Command::kReadOldData:
      // It needs the intermediate files that this option deletes.
      return !context.deleteTempFiles && on[Control::kTranscribeButton];
    case Command::kExit:
      return !on[Control::kStopButton] && on[Control::kTranscribeButton];
    // These read or replace the library under a busy run; the editor commands only start another
    // program, and the library is read again at the next run anyway.
    case Command::kOptions:
    case Command::kLibraryPath:
    case Command::kEditPercussionMaps:
      return !context.runActive;
    case Command::kEditInstrumentList:
    case Command::kEditBankProgramList:
    case Command::kHelpIndex:
    case Command::kAbout:
      return true;
    case Command::kDefaults:
      return on[Control::kDefaultsButton];
    case Command::kSymbols:
      return on[Control::kSymbolsButton];
    case Command::kSpecials:
      return on[Control::kSpecialsButton];
    case Command::kTemplates:
      return on[Control::kTemplatesButton];
    case Command::kLoadPlaybackFile:
      return on[Control::kMidiButton];
    case Command::kPlay:
      return on[Control::kPlayButton];
    case Command::kPause:
      return on[Control::kPauseButton];
    case Command::kRewindFastForward:
      return on[Control::kRewButton];
    case Command::kStop:
      return on[Control::kStopButton];
  }
  return false;
}

std::string_view TranscribeMenuText(const ControlFlags& controls) {
  bool busy = !controls[Control::kTranscribeButton] && !controls[Control::kStopButton];
  return res::Text(busy ? res::kCancelTranscribeMenu : res::kTranscribeMenu);
}

}  // namespace vellumix::view
