#include "view/control_states.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vellumix::view {
namespace {

using S = ControlState;
using C = Command;

// Flags written in form order, grouped as 1-2, 3-12, 13-14, REW, STOP, PLAY, FF, PAUSE, 25-26, 27.
struct StateRow {
  S state;
  const char* flags;
  std::optional<Control> focus;
};

const StateRow kStates[] = {
    {S::kRunning, "00 0000000000 00 00 00 00 00 00 00 0", std::nullopt},
    {S::kIdleCompleted, "11 1111111111 11 00 00 00 00 00 00 1", std::nullopt},
    {S::kIdleStopped, "11 1111111111 11 00 00 00 00 00 11 1", std::nullopt},
    {S::kLoaded, "11 1111111111 11 00 00 11 11 00 11 1", Control::kPlayButton},
    {S::kPlaying, "00 1111111111 00 00 11 00 00 11 11 1", Control::kStopButton},
    {S::kPaused, "00 1111111111 00 00 11 11 00 00 11 1", Control::kPlayButton},
    {S::kStopped, "11 1111111111 11 11 00 11 11 00 11 1", Control::kPlayButton},
    // PLAY is named but off, so the focus stays where it is.
    {S::kAutoStarting, "00 1111111111 00 00 00 00 00 00 11 1", std::nullopt},
    // Nothing playable was loaded: transport off, as at start.
    {S::kLoadFailed, "11 1111111111 11 00 00 00 00 00 11 1", std::nullopt},
};

std::string Digits(const char* spaced) {
  std::string out;
  for (const char* p = spaced; *p; ++p)
    if (*p != ' ') out += *p;
  return out;
}

TEST(ControlStates, EveryFlagAndFocusOfEveryState) {
  for (const StateRow& row : kStates) {
    std::string expected = Digits(row.flags);
    ASSERT_EQ(expected.size(), kControlCount);
    ControlFlags flags = Flags(row.state);
    for (std::size_t i = 0; i < kControlCount; ++i) {
      EXPECT_EQ(flags[static_cast<Control>(i)], expected[i] == '1')
          << "state " << static_cast<int>(row.state) << ", flag " << i + 1;
    }
    EXPECT_EQ(FocusTarget(row.state), row.focus) << "state " << static_cast<int>(row.state);
  }
}

// The menu's commands; the expected strings below group them as File (Transcribe, Read Old Data,
// Exit), the five library buttons, Library Path and the three editors, the five playback
// commands (Load, Play, Pause, Rewind/Fast Forward, Stop), and Help (Index, About).
const std::vector<Command> kCommands({C::kTranscribe, C::kReadOldData, C::kExit, C::kOptions,
                                      C::kDefaults, C::kSymbols, C::kSpecials, C::kTemplates,
                                      C::kLibraryPath, C::kEditInstrumentList,
                                      C::kEditBankProgramList, C::kEditPercussionMaps,
                                      C::kLoadPlaybackFile, C::kPlay, C::kPause,
                                      C::kRewindFastForward, C::kStop, C::kHelpIndex, C::kAbout});

struct MenuRow {
  S state;
  bool runActive;
  bool deleteTempFiles;  // the option that takes the intermediate files away after a run
  const char* enabled;
  bool cancelText;
};

const MenuRow kMenus[] = {
    {S::kRunning, true, false, "100 00000 0110 00000 11", true},
    // The file list dialog is up but nothing is read yet: Options follows the run, not its button.
    {S::kRunning, false, false, "100 10000 1111 00000 11", true},
    {S::kIdleCompleted, false, false, "111 11111 1111 10000 11", false},
    {S::kIdleStopped, false, true, "101 11111 1111 10000 11", false},
    {S::kLoaded, false, false, "111 11111 1111 11000 11", false},
    {S::kPlaying, false, false, "000 11111 1111 00101 11", false},
    {S::kPaused, false, false, "000 11111 1111 01001 11", false},
    {S::kStopped, false, false, "111 11111 1111 11010 11", false},
    // Both buttons are off for a moment, so the entry reads as the cancel; no run is there to stop.
    {S::kAutoStarting, false, false, "100 11111 1111 00000 11", true},
    {S::kLoadFailed, false, false, "111 11111 1111 10000 11", false},
};

TEST(ControlStates, MenuCommandsAndTranscribeText) {
  for (const MenuRow& row : kMenus) {
    std::string expected = Digits(row.enabled);
    ASSERT_EQ(expected.size(), kCommands.size());
    CommandContext context{Flags(row.state), row.runActive, row.deleteTempFiles};
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(CommandEnabled(kCommands[i], context), expected[i] == '1')
          << "state " << static_cast<int>(row.state) << ", run " << row.runActive << ", command "
          << static_cast<int>(kCommands[i]);
    }
    EXPECT_EQ(TranscribeMenuText(context.controls),
              row.cancelText ? "&Cancel Transcribe...\tF2" : "&Transcribe...\tF2")
        << "state " << static_cast<int>(row.state);
  }
}

TEST(ControlStates, FastForwardMakesRewindAvailable) {
  CommandContext context{Flags(S::kLoaded)};
  EXPECT_FALSE(CommandEnabled(Command::kRewindFastForward, context));
  context.controls.Set(Control::kRewButton, true);
  EXPECT_TRUE(CommandEnabled(Command::kRewindFastForward, context));
  EXPECT_FALSE(context.controls[Control::kRewCaption]);
}

}  // namespace
}  // namespace vellumix::view
