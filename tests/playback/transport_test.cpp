#include "playback/transport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "playback/notation_switch.h"
#include "playback/sequencer.h"
#include "scripted_host.h"
#include "temp_folder.h"

namespace vellumix::playback {
namespace {

using view::ControlState;

// A sequencer and a launcher that record what they are asked and answer what the test sets.
class FakeSequencer : public Sequencer {
 public:
  bool HasOutputDevice() const override { return device; }
  std::optional<std::uint32_t> Open(const std::string& path) override {
    opened.push_back(path);
    if (!openOk) return std::nullopt;
    open = true;
    return length;
  }
  bool Play(std::uint32_t fromMs, EndHandler onEnd) override {
    plays.push_back(fromMs);
    position = fromMs;
    onEnd_ = std::move(onEnd);
    return true;
  }
  // Like a device that aborts its play command, the end is reported at once.
  bool Pause() override {
    End(false);
    return true;
  }
  bool Stop() override {
    End(false);
    return true;
  }
  void Close() override { open = false; }
  std::uint32_t Position() override { return position; }
  std::optional<std::uint32_t> Tempo() override {
    if (!tempoOk) return std::nullopt;
    return tempo;
  }
  bool SetTempo(std::uint32_t bpm) override {
    setTempos.push_back(bpm);
    tempo = bpm;
    return true;
  }
  std::string ErrorText() const override { return "device failed"; }

  // The play ends, as the player reports it.
  void End(bool completed) {
    if (onEnd_) std::exchange(onEnd_, {})(completed);
  }

  bool device = true;
  bool openOk = true;
  bool tempoOk = true;
  bool open = false;
  std::uint32_t length = 300000;
  std::uint32_t position = 0;
  std::uint32_t tempo = 120;
  std::vector<std::string> opened;
  std::vector<std::uint32_t> plays;
  std::vector<std::uint32_t> setTempos;

 private:
  EndHandler onEnd_;
};

class FakeLauncher : public Launcher {
 public:
  bool OpenWithAssociation(const std::string& path) override {
    opened.push_back(path);
    return works;
  }
  bool StartProgram(const std::string& program, const std::string& path) override {
    started.emplace_back(program, path);
    return works;
  }
  bool works = true;
  std::vector<std::string> opened;
  std::vector<std::pair<std::string, std::string>> started;
};

struct Rig {
  explicit Rig(std::uint32_t length = 300000) {
    sequencer.length = length;
    EXPECT_EQ(transport.Load("/music/run.mid").state, ControlState::kLoaded);
  }
  FakeSequencer sequencer;
  test::ScriptedHost host;
  std::vector<Update> heard;
  Transport transport{sequencer, host, [this](const Update& u) { heard.push_back(u); }};
};

TEST(Transport, LoadShowsAZeroClockOrLeavesTheTransportOff) {
  Rig rig;
  EXPECT_EQ(rig.transport.ClockText(), "mins 00 : 00 secs");
  EXPECT_EQ(rig.transport.PlayStateText(), "Play - Stopped");
  EXPECT_EQ(rig.transport.Length(), 300000u);
  EXPECT_FALSE(rig.sequencer.open);

  rig.sequencer.openOk = false;
  EXPECT_EQ(rig.transport.Load("/music/bad.mid").state, ControlState::kLoadFailed);
  EXPECT_EQ(rig.host.messages.back().text, "device failed");
}

TEST(Transport, LoadRefusedWithoutAnOutputDevice) {
  Rig rig;
  EXPECT_TRUE(rig.transport.CanLoad());
  rig.sequencer.device = false;
  EXPECT_FALSE(rig.transport.CanLoad());
  EXPECT_EQ(rig.host.MessageIds(), std::vector<int>{49});
}

TEST(Transport, PauseAtOneTwentyThreeResumesThere) {
  Rig rig;
  Update play = rig.transport.Play();
  EXPECT_EQ(play.state, ControlState::kPlaying);
  EXPECT_TRUE(rig.transport.TimerRunning());
  rig.sequencer.position = 83456;
  rig.transport.OnTimer();
  EXPECT_EQ(rig.transport.ClockText(), "mins 01 : 23 secs");
  EXPECT_EQ(rig.transport.PlayStateText(), "Playing...");

  // The aborted play ends at once: the window ends in Stopped with the pause still shown.
  EXPECT_EQ(rig.transport.Pause().state, ControlState::kStopped);
  EXPECT_EQ(rig.transport.PlayStateText(), "Play - Paused");
  EXPECT_FALSE(rig.sequencer.open);
  EXPECT_FALSE(rig.transport.TimerRunning());

  rig.transport.Play();
  EXPECT_EQ(rig.sequencer.plays, (std::vector<std::uint32_t>{0, 83000}));
  EXPECT_EQ(rig.transport.ClockText(), "mins 01 : 23 secs");
  EXPECT_TRUE(rig.heard.empty());
}

TEST(Transport, StopThenPlayStartsAtZero) {
  Rig rig;
  rig.transport.Play();
  rig.sequencer.position = 45000;
  rig.transport.OnTimer();
  EXPECT_EQ(rig.transport.Stop().state, ControlState::kStopped);
  EXPECT_EQ(rig.transport.PlayStateText(), "Play - Stopped");
  rig.transport.Play();
  EXPECT_EQ(rig.sequencer.plays, (std::vector<std::uint32_t>{0, 0}));
  EXPECT_EQ(rig.transport.ClockText(), "mins 00 : 00 secs");
}

TEST(Transport, EndOfTheMusicStopsAndRewinds) {
  Rig rig;
  rig.sequencer.length = 90000;
  rig.transport.Load("/music/run.mid");
  rig.transport.SetStartTime(1, 0);
  rig.transport.Play();
  rig.sequencer.position = 89900;
  rig.transport.OnTimer();
  rig.sequencer.End(true);
  ASSERT_EQ(rig.heard.size(), 1u);
  EXPECT_EQ(rig.heard[0].state, ControlState::kStopped);
  EXPECT_EQ(rig.transport.PlayStateText(), "Play - Stopped");
  EXPECT_EQ(rig.transport.ClockText(), "mins 01 : 29 secs");
  EXPECT_EQ(rig.transport.StartPosition(), 0u);
  EXPECT_FALSE(rig.transport.TimerRunning());
  EXPECT_FALSE(rig.sequencer.open);
}

TEST(Transport, RepeatButtonsStepTheClock) {
  struct Case {
    std::uint32_t minutes, seconds;
    bool forward;
    const char* clock;
    const char* state;  // the play-state text after the step
  };
  const Case cases[] = {
      {0, 0, false, "mins 00 : 00 secs", "Play - Stopped"},  // nothing changes at 0:00
      {1, 0, false, "mins 00 : 59 secs", "Play - Rewind"},
      {0, 10, false, "mins 00 : 09 secs", "Play - Rewind"},
      {0, 59, true, "mins 01 : 00 secs", "Play - Forward"},
      {2, 0, true, "mins 02 : 00 secs", "Play - Forward"},  // at the length: no further
  };
  for (const Case& c : cases) {
    Rig rig(120000);
    if ((c.minutes * 60 + c.seconds) * 1000 < rig.sequencer.length) {
      rig.transport.SetStartTime(c.minutes, c.seconds);
    } else {
      // The dialog refuses the length itself; FF reaches it.
      rig.transport.SetStartTime(1, 59);
      rig.transport.RepeatStep(true);
    }
    Update update = rig.transport.RepeatStep(c.forward);
    EXPECT_EQ(rig.transport.ClockText(), c.clock) << c.minutes << ":" << c.seconds;
    EXPECT_EQ(rig.transport.PlayStateText(), c.state) << c.minutes << ":" << c.seconds;
    EXPECT_EQ(rig.transport.StartPosition(),
              (rig.transport.Minutes() * 60 + rig.transport.Seconds()) * 1000);
    EXPECT_EQ(update.enableRew, c.forward);
    EXPECT_FALSE(update.state);
  }
}

TEST(Transport, StartTimeChecks) {
  struct Case {
    std::uint32_t length, minutes, seconds;
    bool accepted;
    std::vector<int> messages;
  };
  const Case cases[] = {
      {3700000, 60, 0, true, {}},  {3700000, 0, 60, false, {}},  // the field refuses it
      {3700000, 61, 0, false, {}}, {300000, 4, 59, true, {}},
      {300000, 5, 0, false, {19}}, {300000, 7, 30, false, {19}},
  };
  for (const Case& c : cases) {
    Rig rig(c.length);
    rig.transport.SetStartTime(0, 30);
    EXPECT_EQ(rig.transport.SetStartTime(c.minutes, c.seconds), c.accepted)
        << c.minutes << ":" << c.seconds;
    EXPECT_EQ(rig.host.MessageIds(), c.messages) << c.minutes << ":" << c.seconds;
    std::uint32_t expected = c.accepted ? (c.minutes * 60 + c.seconds) * 1000 : 30000;
    EXPECT_EQ(rig.transport.StartPosition(), expected) << c.minutes << ":" << c.seconds;
    if (!c.messages.empty()) {
      EXPECT_EQ(rig.host.messages[0].text, "This value is out of range!");
    }
  }
}

TEST(Transport, TempoKeysStayWithinBounds) {
  struct Case {
    std::uint32_t tempo;
    int step;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {500, 1, 500},  {0, -1, 0},  {120, 1, 121},  {120, -10, 110},
      {495, 10, 495}, {5, -10, 5}, {490, 10, 500}, {1, -1, 0},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.sequencer.tempo = c.tempo;
    rig.transport.Play();
    EXPECT_EQ(rig.transport.TempoText(), "Tempo = " + std::to_string(c.tempo));
    rig.transport.ChangeTempo(c.step);
    EXPECT_EQ(rig.sequencer.tempo, c.expected) << c.tempo << " " << c.step;
    EXPECT_EQ(rig.transport.TempoText(), "Tempo = " + std::to_string(c.expected));
  }
}

TEST(Transport, TempoKeysDoNothingWhileNothingPlays) {
  Rig rig;
  rig.transport.ChangeTempo(10);
  EXPECT_TRUE(rig.sequencer.setTempos.empty());
  EXPECT_EQ(rig.transport.TempoText(), "");
}

TEST(Transport, TimerFollowsTheTempoAndReportsAFailingReadOnce) {
  Rig rig;
  rig.transport.Play();
  rig.sequencer.tempo = 96;
  rig.transport.OnTimer();
  EXPECT_EQ(rig.transport.TempoText(), "Tempo = 96");
  rig.sequencer.tempoOk = false;
  rig.transport.OnTimer();
  rig.transport.OnTimer();
  EXPECT_EQ(rig.host.messages.size(), 1u);
}

TEST(Transport, AutoPlayback) {
  struct Case {
    bool device, openOk;
    ControlState state;
    bool focusTranscribe;
    std::vector<int> messages;
    std::size_t plays;
  };
  const Case cases[] = {
      {true, true, ControlState::kPlaying, false, {}, 1},
      {false, true, ControlState::kIdleCompleted, true, {49}, 0},
      {true, false, ControlState::kIdleStopped, false, {0}, 0},
  };
  for (const Case& c : cases) {
    FakeSequencer sequencer;
    sequencer.device = c.device;
    sequencer.openOk = c.openOk;
    test::ScriptedHost host;
    FakeLauncher launcher;
    Transport transport(sequencer, host);
    AutoPlayback request{"/music/run.mid", true, false, "/music/run.mus", {}};
    Update update = transport.StartAutoPlayback(request, launcher);
    EXPECT_EQ(update.state, c.state);
    EXPECT_EQ(update.focusTranscribe, c.focusTranscribe);
    EXPECT_EQ(host.MessageIds(), c.messages);
    EXPECT_EQ(sequencer.plays.size(), c.plays);
    EXPECT_EQ(transport.MidiPath(), "/music/run.mid");
  }
}

struct Switch {
  const char* name;
  std::optional<std::string> scorePathDat;  // nothing: no SCOREPATH.DAT
  std::string scoreFile;
  std::vector<std::string> opened;
  std::vector<std::pair<std::string, std::string>> started;
  int message = 0;
  bool launcherFails = false;
};

TEST(NotationSwitch, FollowsScorePathDat) {
  const Switch cases[] = {
      {"association", "wscore.exe\r\n", "/m/a.mus", {"/m/a.mus"}, {}, false},
      {"association in a path", "C:\\SCORE\\WScore.exe /x\n", "/m/a.mus", {"/m/a.mus"}, {}, false},
      {"another program",
       "/opt/notes/bin/notes --edit  \nsecond\n",
       "/m/a.mus",
       {},
       {{"/opt/notes/bin/notes --edit", "/m/a.mus"}}},
      {"missing", std::nullopt, "/m/a.mus", {}, {}, 9},
      {"no SCORE file", "wscore.exe\n", "", {}, {}},
      {"no such program", "notes\n", "/m/a.mus", {}, {{"notes", "/m/a.mus"}}, 20011, true},
      {"no association", "wscore.exe\n", "/m/a.mus", {"/m/a.mus"}, {}, 20012, true},
  };
  for (const Switch& c : cases) {
    test::TempFolder folder;
    if (c.scorePathDat) files::WriteAtomic(folder.path() / "SCOREPATH.DAT", *c.scorePathDat);
    test::ScriptedHost host;
    FakeLauncher launcher;
    launcher.works = !c.launcherFails;
    SwitchToNotation(host, launcher, folder.path(), c.scoreFile);
    EXPECT_EQ(launcher.opened, c.opened) << c.name;
    EXPECT_EQ(launcher.started, c.started) << c.name;
    EXPECT_EQ(host.MessageIds(), c.message ? std::vector<int>{c.message} : std::vector<int>{})
        << c.name;
    if (c.message == 9) {
      EXPECT_EQ(
          host.messages[0].text,
          "Unable to open file " + (folder.path() / "SCOREPATH.DAT").string() + " for reading");
    }
  }
}

TEST(NotationSwitch, AutoPlaybackStartsTheNamedProgramWhenAsked) {
  for (bool asked : {false, true}) {
    test::TempFolder folder;
    files::WriteAtomic(folder.path() / "scorepath.dat", "notes\n");
    FakeSequencer sequencer;
    test::ScriptedHost host;
    FakeLauncher launcher;
    Transport transport(sequencer, host);
    transport.StartAutoPlayback({"/m/run.mid", false, asked, "/m/a.mus", folder.path()}, launcher);
    EXPECT_EQ(launcher.started.size(), asked ? 1u : 0u);
    EXPECT_EQ(sequencer.plays.size(), 1u);
  }
}

}  // namespace
}  // namespace vellumix::playback
