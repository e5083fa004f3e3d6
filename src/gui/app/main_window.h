// The main window: the form with its picture buttons and texts, the menus and keys, the status
// bar, and the two commands that run the core (Transcribe and Read Old Data), each on a worker
// thread of its own. Which controls and commands are usable comes from the core's control states.
// The transport row plays MIDI files through `sequencer`, which must outlive the window.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "run/file_list.h"
#include "view/control_states.h"

class QAction;
class QLabel;
class QThread;

namespace vellumix {
enum class RunResult;
}

namespace vellumix::playback {
class Launcher;
class Sequencer;
class Transport;
struct Update;
}  // namespace vellumix::playback

namespace vellumix::gui {

class FileChooser;
class GuiHost;
class GuiThreadSequencer;

// The file list step of Transcribe: RunFileListDialog, or a scripted one in tests.
using FileListStep = std::function<FileListOutcome(QWidget* parent, CVellumixDoc& doc, Host& host,
                                                   FileChooser& chooser, FileListState& kept,
                                                   std::vector<std::string>& entries)>;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(CVellumixDoc& doc, GuiHost& host, FileChooser& chooser, FileListStep fileList,
             playback::Sequencer& sequencer, playback::Launcher& launcher,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // Enables the form's controls as `state` says, gives the focus to the button it names and
  // brings the menu commands up to date.
  void ApplyState(view::ControlState state);
  // Brings the menu commands up to date with what they depend on besides the control state
  // (the option that deletes the intermediate files).
  void UpdateCommands();
  // Shows the library's selected template in the template text (at start, after Read Old Data,
  // and after the commands that change the template).
  void SetTemplateText();
  // A transcription or Read Old Data is working.
  bool RunActive() const { return worker_ != nullptr; }

  // The form's controls, menu commands and texts, for tests and screenshots.
  QWidget* FormControl(view::Control control) const;
  QAction* CommandAction(view::Command command) const;
  // The keypad keys of the playback tempo: +1, -1, +10, -10.
  const std::array<QAction*, 4>& TempoActions() const { return tempoActions_; }
  QLabel* TempoText() const { return tempoText_; }
  QLabel* TemplateText() const { return templateText_; }
  QLabel* StatusPane(int pane) const { return statusPanes_[pane == 1 ? 1 : 0]; }
  // The MIDI file the last run wrote (what playback plays); a run that wrote none leaves it.
  const QString& MidiPath() const { return midiPath_; }
  const playback::Transport& Transport() const { return *transport_; }
  // The start-time dialog: AskStartTime, or a scripted one in tests.
  using StartTimeStep = std::function<std::optional<std::pair<std::uint32_t, std::uint32_t>>(
      QWidget* parent, std::uint32_t minutes, std::uint32_t seconds)>;
  void SetStartTimeStep(StartTimeStep step) { startTimeStep_ = std::move(step); }

 Q_SIGNALS:
  // A run has ended and the form shows its outcome.
  void runFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Takes a right button press in this window as the cancel request while a run works.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct RunOutcome {
    RunResult result{};
    bool written = false;
  };

  void BuildForm();
  void BuildMenus();
  void ClearRunTexts();
  void ShowAboutBox();

  void OnTranscribe();
  void OnReadOldData();
  // The save chooser for the MIDI file; empty when the user cancelled (which then ends the
  // command as stopped). `confirmOverwrite`: the chooser asks before a file is replaced.
  QString ChooseMidiFile(bool confirmOverwrite);
  void StartRun(std::function<RunOutcome()> work, bool afterTranscribe);
  void FinishRun();
  void EndCommand(view::ControlState state, bool focusTranscribe);

  // The library dialogs' commands (main_window_library.cpp).
  void BuildLibraryCommands();

  // The transport row (main_window_playback.cpp).
  void BuildTransport();
  void OnLoadPlaybackFile();
  void OnPlay();
  void OnPause();
  void OnStop();
  void OnStartTime();
  void OnRepeat(bool forward);
  void OnPlaybackTimer();
  void ChangeTempo(int step);
  void StartAutoPlayback(bool focusTranscribeOnFailure);
  // Applies what a transport step asks and shows its texts.
  void ShowPlayback(const playback::Update& update);
  void ShowPlaybackTexts();

  CVellumixDoc& doc_;
  GuiHost& host_;
  FileChooser& chooser_;
  FileListStep fileList_;
  FileListState fileListState_;

  view::ControlFlags flags_;
  std::array<QWidget*, view::kControlCount> controls_{};
  std::map<view::Command, QAction*> actions_;
  std::array<QAction*, 4> tempoActions_{};
  QLabel* tempoText_ = nullptr;
  QLabel* templateText_ = nullptr;
  std::array<QLabel*, 2> statusPanes_{};

  QString midiPath_;
  QString runPath_;             // the file the run in progress writes
  std::string firstGroupPath_;  // the first SCORE file of the last run (for the notation switch)

  std::unique_ptr<GuiThreadSequencer> sequencer_;
  playback::Launcher& launcher_;
  std::unique_ptr<playback::Transport> transport_;
  QTimer playTimer_;
  StartTimeStep startTimeStep_;

  QThread* worker_ = nullptr;
  RunOutcome outcome_;  // written by the worker, read once it has finished
  bool afterTranscribe_ = false;
  bool closeWhenRunEnds_ = false;
};

}  // namespace vellumix::gui
