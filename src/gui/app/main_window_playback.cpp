// The transport row of the main window: Load, Play, Pause, Stop, the repeating REW and FF
// buttons, the start-time dialog, the tempo keys, the clock and playback after a run. The rules
// are the core transport's; this file wires them to the controls.
#include "run/document.h"

#include <QAction>
#include <QDir>
#include <QLabel>

#include "app/gui_host.h"
#include "app/main_window.h"
#include "app/picture_button.h"
#include "app/text.h"
#include "platform/file_chooser.h"
#include "playback/gui_thread_sequencer.h"
#include "playback/start_time_dialog.h"
#include "playback/transport.h"
#include "res/strings.h"

namespace vellumix::gui {

using view::Command;
using view::Control;

namespace {
constexpr int kClockMs = 100;
constexpr int kTempoSteps[] = {1, -1, 10, -10};
}  // namespace

void MainWindow::BuildTransport() {
  transport_ = std::make_unique<playback::Transport>(
      *sequencer_, host_, [this](const playback::Update& update) { ShowPlayback(update); });
  startTimeStep_ = AskStartTime;
  playTimer_.setInterval(kClockMs);
  connect(&playTimer_, &QTimer::timeout, this, &MainWindow::OnPlaybackTimer);

  auto button = [this](Control control) {
    return static_cast<PictureButton*>(FormControl(control));
  };
  connect(button(Control::kMidiButton), &QAbstractButton::clicked, this,
          &MainWindow::OnLoadPlaybackFile);
  connect(button(Control::kPlayButton), &QAbstractButton::clicked, this, &MainWindow::OnPlay);
  connect(button(Control::kPauseButton), &QAbstractButton::clicked, this, &MainWindow::OnPause);
  connect(button(Control::kStopButton), &QAbstractButton::clicked, this, &MainWindow::OnStop);
  for (Control control : {Control::kRewButton, Control::kFfButton}) {
    const bool forward = control == Control::kFfButton;
    button(control)->SetRepeating(true);
    connect(button(control), &PictureButton::held, this, [this, forward] { OnRepeat(forward); });
    connect(button(control), &PictureButton::doubleClicked, this, &MainWindow::OnStartTime);
  }
  connect(actions_[Command::kLoadPlaybackFile], &QAction::triggered, this,
          &MainWindow::OnLoadPlaybackFile);
  connect(actions_[Command::kPlay], &QAction::triggered, this, &MainWindow::OnPlay);
  connect(actions_[Command::kPause], &QAction::triggered, this, &MainWindow::OnPause);
  connect(actions_[Command::kStop], &QAction::triggered, this, &MainWindow::OnStop);
  connect(actions_[Command::kRewindFastForward], &QAction::triggered, this,
          &MainWindow::OnStartTime);
  for (std::size_t i = 0; i < tempoActions_.size(); ++i)
    connect(tempoActions_[i], &QAction::triggered, this,
            [this, step = kTempoSteps[i]] { ChangeTempo(step); });
}

void MainWindow::ShowPlaybackTexts() {
  static_cast<QLabel*>(FormControl(Control::kMidiFileNameText))
      ->setText(FromCoreText(transport_->MidiPath()));
  static_cast<QLabel*>(FormControl(Control::kPlayingTimeText))
      ->setText(FromCoreText(transport_->ClockText()));
  static_cast<QLabel*>(FormControl(Control::kPlayStateText))
      ->setText(FromCoreText(transport_->PlayStateText()));
  tempoText_->setText(FromCoreText(transport_->TempoText()));
}

void MainWindow::ShowPlayback(const playback::Update& update) {
  if (update.state) ApplyState(*update.state);
  if (update.enableRew && !flags_[Control::kRewButton]) {
    for (Control control : {Control::kRewButton, Control::kRewCaption}) {
      flags_.Set(control, true);
      FormControl(control)->setEnabled(true);
    }
    UpdateCommands();
  }
  if (update.focusTranscribe) FormControl(Control::kTranscribeButton)->setFocus();
  if (transport_->TimerRunning()) {
    if (!playTimer_.isActive()) playTimer_.start();
  } else {
    playTimer_.stop();
  }
  ShowPlaybackTexts();
}

void MainWindow::OnLoadPlaybackFile() {
  if (RunActive() || !transport_->CanLoad()) return;
  const QString path = chooser_.OpenFile(this, QStringLiteral("Open"), QDir::currentPath(),
                                         FileDialogFilter(res::Text(res::kMidiFileFilter)));
  if (path.isEmpty()) return;
  // A file that is playing stops before another is loaded.
  if (transport_->DeviceOpen()) ShowPlayback(transport_->Stop());
  ShowPlayback(transport_->Load(ToCorePath(path)));
}

void MainWindow::OnPlay() {
  if (RunActive()) return;
  ShowPlayback(transport_->Play());
}

void MainWindow::OnPause() {
  ShowPlayback(transport_->Pause());
}

void MainWindow::OnStop() {
  ShowPlayback(transport_->Stop());
}

void MainWindow::OnStartTime() {
  if (RunActive() || transport_->DeviceOpen()) return;
  transport_->BeginStartTime();
  const auto time = startTimeStep_(this, transport_->Minutes(), transport_->Seconds());
  if (time) transport_->SetStartTime(time->first, time->second);
  ShowPlaybackTexts();
}

void MainWindow::OnRepeat(bool forward) {
  ShowPlayback(transport_->RepeatStep(forward));
}

void MainWindow::OnPlaybackTimer() {
  transport_->OnTimer();
  ShowPlaybackTexts();
}

void MainWindow::ChangeTempo(int step) {
  transport_->ChangeTempo(step);
  ShowPlaybackTexts();
}

void MainWindow::StartAutoPlayback(bool focusTranscribeOnFailure) {
  playback::AutoPlayback request;
  request.midiPath = ToCorePath(midiPath_);
  request.focusTranscribeOnFailure = focusTranscribeOnFailure;
  request.switchToNotation = doc_.library.options.switchToNotationOnPlayback != 0;
  request.scorePath = firstGroupPath_;
  request.libraryFolder = doc_.library.LibraryFolder;
  ShowPlayback(transport_->StartAutoPlayback(request, launcher_));
}

}  // namespace vellumix::gui
