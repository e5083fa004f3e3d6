#include "playback/transport.h"

#include <utility>

namespace vellumix::playback {

using view::ControlState;

namespace {

// Marks a public step, so that an end notification arriving inside it joins its Update.
class StepScope {
 public:
  explicit StepScope(bool& flag) : flag_(flag), outer_(flag) { flag_ = true; }
  ~StepScope() { flag_ = outer_; }
  StepScope(const StepScope&) = delete;
  StepScope& operator=(const StepScope&) = delete;

 private:
  bool& flag_;
  bool outer_;
};

}  // namespace

Transport::Transport(Sequencer& sequencer, Host& host, Listener listener)
    : sequencer_(sequencer), host_(host), listener_(std::move(listener)) {
  clockText_ = res::Text(res::kClockZero);
}

Update Transport::Finish() {
  Update update;
  update.state = std::exchange(state_, std::nullopt);
  return update;
}

void Transport::ShowError() {
  host_.ShowMessage(0, sequencer_.ErrorText());
}

void Transport::SetClock(std::uint32_t ms) {
  seconds_ = ms / 1000 % 60;
  minutes_ = ms / 60000;
}

void Transport::ShowClock() {
  clockText_ = res::Format(res::kClock, {std::int64_t{minutes_}, std::int64_t{seconds_}});
}

void Transport::SetPlayState(int id) {
  playStateText_ = res::Text(id);
}

bool Transport::CanLoad() {
  if (sequencer_.HasOutputDevice()) return true;
  ShowMessageById(host_, res::kNoMidiDevice);
  return false;
}

bool Transport::Probe(const std::string& path) {
  std::optional<std::uint32_t> length = sequencer_.Open(path);
  if (!length) {
    ShowError();
    return false;
  }
  sequencer_.Close();
  minutes_ = seconds_ = 0;
  startPosition_ = 0;
  length_ = *length;
  return true;
}

Update Transport::Load(const std::string& path) {
  StepScope step(inStep_);
  midiPath_ = path;
  state_ = ControlState::kLoaded;
  if (Probe(path)) {
    clockText_ = res::Text(res::kClockZero);
    SetPlayState(res::kPlayStopped);
  } else {
    state_ = ControlState::kLoadFailed;
  }
  return Finish();
}

bool Transport::OpenAndPlay() {
  if (!sequencer_.Open(midiPath_)) {
    ShowError();
    return false;
  }
  deviceOpen_ = true;
  SetClock(startPosition_);
  ShowClock();
  tempoErrorShown_ = false;
  ChangeTempo(0);
  std::uint64_t play = ++play_;
  bool started =
      sequencer_.Play(startPosition_, [this, play](bool completed) { PlayEnded(play, completed); });
  if (!started) {
    ++play_;
    sequencer_.Close();
    deviceOpen_ = false;
    ShowError();
    return false;
  }
  return true;
}

Update Transport::Play() {
  StepScope step(inStep_);
  if (deviceOpen_) return Finish();
  if (OpenAndPlay()) {
    timerRunning_ = true;
    state_ = ControlState::kPlaying;
  } else {
    state_ = ControlState::kIdleCompleted;
  }
  return Finish();
}

Update Transport::Pause() {
  StepScope step(inStep_);
  if (!deviceOpen_) return Finish();
  // Resume where the listener is now, to the second the clock shows.
  SetClock(sequencer_.Position());
  ShowClock();
  state_ = ControlState::kPaused;
  startPosition_ = ClockMs();
  if (!sequencer_.Pause()) ShowError();
  SetPlayState(res::kPlayPaused);
  return Finish();
}

Update Transport::Stop() {
  StepScope step(inStep_);
  state_ = ControlState::kStopped;
  if (deviceOpen_ && !sequencer_.Stop()) ShowError();
  SetPlayState(res::kPlayStopped);
  startPosition_ = 0;
  return Finish();
}

void Transport::PlayEnded(std::uint64_t play, bool completed) {
  if (play != play_ || !deviceOpen_) return;
  if (completed) {
    startPosition_ = 0;
    SetPlayState(res::kPlayStopped);
  }
  sequencer_.Close();
  deviceOpen_ = false;
  timerRunning_ = false;
  state_ = ControlState::kStopped;
  if (!inStep_) {
    Update update = Finish();
    if (listener_) listener_(update);
  }
}

void Transport::OnTimer() {
  if (!deviceOpen_) return;
  std::uint32_t minutes = minutes_, seconds = seconds_;
  SetClock(sequencer_.Position());
  if (minutes != minutes_ || seconds != seconds_) {
    ShowClock();
    SetPlayState(res::kPlaying);
  }
  std::optional<std::uint32_t> tempo = sequencer_.Tempo();
  if (!tempo) {
    if (!std::exchange(tempoErrorShown_, true)) ShowError();
    return;
  }
  if (*tempo != lastTempo_) {
    tempoText_ = res::Format(res::kTempo, {std::int64_t{*tempo}});
    lastTempo_ = *tempo;
  }
}

Update Transport::RepeatStep(bool forward) {
  StepScope step(inStep_);
  Update update;
  if (forward) {
    if (ClockMs() < length_ && ++seconds_ == 60) {
      ++minutes_;
      seconds_ = 0;
    }
    update.enableRew = true;
    SetPlayState(res::kPlayForward);
  } else {
    if (minutes_ == 0 && seconds_ == 0) return update;
    if (seconds_ == 0) {
      --minutes_;
      seconds_ = 59;
    } else {
      --seconds_;
    }
    SetPlayState(res::kPlayRewind);
  }
  startPosition_ = ClockMs();
  ShowClock();
  return update;
}

void Transport::BeginStartTime() {
  startPosition_ = ClockMs();
}

bool Transport::SetStartTime(std::uint32_t minutes, std::uint32_t seconds) {
  if (!StartMinutesValid(minutes) || !StartSecondsValid(seconds)) return false;
  std::uint32_t ms = (seconds + minutes * 60) * 1000;
  if (ms >= length_) {
    ShowMessageById(host_, res::kValueOutOfRange);
    return false;
  }
  minutes_ = minutes;
  seconds_ = seconds;
  startPosition_ = ms;
  ShowClock();
  return true;
}

void Transport::ChangeTempo(int step) {
  if (!deviceOpen_) return;
  std::optional<std::uint32_t> tempo = sequencer_.Tempo();
  if (!tempo) {
    ShowError();
    return;
  }
  lastTempo_ = *tempo;
  // Below 0 wraps to a huge value, so one test bounds both ends.
  std::uint32_t wanted = *tempo + static_cast<std::uint32_t>(step);
  if (wanted > kMaxTempo) return;
  if (!sequencer_.SetTempo(wanted)) {
    ShowError();
    return;
  }
  tempoText_ = res::Format(res::kTempo, {std::int64_t{wanted}});
}

Update Transport::StartAutoPlayback(const AutoPlayback& request, Launcher& launcher) {
  StepScope step(inStep_);
  midiPath_ = request.midiPath;
  if (!sequencer_.HasOutputDevice()) {
    ShowMessageById(host_, res::kNoMidiDevice);
    state_ = ControlState::kIdleCompleted;
    Update update = Finish();
    update.focusTranscribe = request.focusTranscribeOnFailure;
    return update;
  }
  state_ = ControlState::kAutoStarting;
  if (!Probe(midiPath_)) {
    state_ = ControlState::kIdleStopped;
    return Finish();
  }
  if (OpenAndPlay()) {
    timerRunning_ = true;
    state_ = ControlState::kPlaying;
  } else {
    state_ = ControlState::kIdleCompleted;
  }
  if (request.switchToNotation)
    SwitchToNotation(host_, launcher, request.libraryFolder, request.scorePath);
  return Finish();
}

}  // namespace vellumix::playback
