// The playback controls of the main window: the clock, the start position, Play, Pause, Stop, the
// REW and FF buttons, the start-time dialog's values, the tempo keys and auto playback after a
// run. The window shows the texts and applies the control state each step answers; it runs a
// 100 ms timer calling OnTimer while TimerRunning() says so. The end of a play that the
// sequencer reports outside the transport's own steps reaches the window through the listener.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/host.h"
#include "playback/notation_switch.h"
#include "playback/sequencer.h"
#include "view/control_states.h"

namespace vellumix::playback {

// What a step asks of the window beyond the texts.
struct Update {
  std::optional<view::ControlState> state;  // the control state to apply now
  bool enableRew = false;                   // FF moved away from 0:00
  bool focusTranscribe = false;             // auto playback could not start
  bool operator==(const Update&) const = default;
};

// What auto playback after a run needs to know.
struct AutoPlayback {
  std::string midiPath;
  bool focusTranscribeOnFailure = false;
  bool switchToNotation = false;  // option "Open / switch to notation on playback"
  std::string scorePath;          // the run's first SCORE file; empty when there is none
  std::filesystem::path libraryFolder;
};

class Transport {
 public:
  // The start-time dialog's fields accept 0 to these.
  static constexpr std::uint32_t kMaxStartMinutes = 60;
  static constexpr std::uint32_t kMaxStartSeconds = 59;
  static constexpr std::uint32_t kMaxTempo = 500;

  using Listener = std::function<void(const Update&)>;

  Transport(Sequencer& sequencer, Host& host, Listener listener = {});
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Load Playback File, before the file chooser: false (after message 49) when nothing can play.
  bool CanLoad();
  // Load Playback File with the chosen file.
  Update Load(const std::string& path);
  Update Play();
  Update Pause();
  Update Stop();
  // Every 100 ms while playing: the clock and the tempo follow the player.
  void OnTimer();
  // Every 100 ms while REW (forward false) or FF (forward true) is held down.
  Update RepeatStep(bool forward);
  // Opening the start-time dialog: the position becomes the clock time.
  void BeginStartTime();
  // The start-time dialog's fields.
  static bool StartMinutesValid(std::uint32_t minutes) { return minutes <= kMaxStartMinutes; }
  static bool StartSecondsValid(std::uint32_t seconds) { return seconds <= kMaxStartSeconds; }
  // The start-time dialog accepted: false when the time is refused (message 19 when it lies at or
  // beyond the end of the music); a refused time changes nothing.
  bool SetStartTime(std::uint32_t minutes, std::uint32_t seconds);
  // The tempo keys: +1, -1, +10, -10; 0 only shows the tempo.
  void ChangeTempo(int step);
  // After a run that wrote `midiPath`, when the options ask for playback.
  Update StartAutoPlayback(const AutoPlayback& request, Launcher& launcher);

  const std::string& MidiPath() const { return midiPath_; }
  const std::string& ClockText() const { return clockText_; }
  const std::string& PlayStateText() const { return playStateText_; }
  const std::string& TempoText() const { return tempoText_; }
  bool TimerRunning() const { return timerRunning_; }
  bool DeviceOpen() const { return deviceOpen_; }
  std::uint32_t StartPosition() const { return startPosition_; }
  std::uint32_t Length() const { return length_; }
  std::uint32_t Minutes() const { return minutes_; }
  std::uint32_t Seconds() const { return seconds_; }

 private:
  void PlayEnded(std::uint64_t play, bool completed);
  Update Finish();
  bool Probe(const std::string& path);
  bool OpenAndPlay();
  void ShowError();
  std::uint32_t ClockMs() const { return (seconds_ + minutes_ * 60) * 1000; }
  void SetClock(std::uint32_t ms);
  void ShowClock();
  void SetPlayState(int id);

  Sequencer& sequencer_;
  Host& host_;
  Listener listener_;
  std::string midiPath_;
  std::string clockText_;
  std::string playStateText_;
  std::string tempoText_;
  bool deviceOpen_ = false;
  bool timerRunning_ = false;
  bool tempoErrorShown_ = false;  // a failing tempo read is reported once a play
  std::uint64_t play_ = 0;        // counts plays, so a late notification of an old one is ignored
  std::uint32_t minutes_ = 0;
  std::uint32_t seconds_ = 0;
  std::uint32_t lastTempo_ = 0;
  std::uint32_t startPosition_ = 0;
  std::uint32_t length_ = 0;
  std::optional<view::ControlState> state_;  // set by the step being run
  bool inStep_ = false;
};

}  // namespace vellumix::playback
