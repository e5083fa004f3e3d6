#include "run/document.h"
#include "run/file_groups.h"

#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QThread>

#include "app/dialog_units.h"
#include "app/gui_host.h"
#include "app/picture_button.h"
#include "app/text.h"
#include "help/help.h"
#include "platform/file_chooser.h"
#include "playback/gui_thread_sequencer.h"
#include "playback/transport.h"
#include "res/button_pictures.h"
#include "res/strings.h"

namespace vellumix::gui {
namespace {

using view::Command;
using view::Control;
using view::ControlState;

constexpr std::string_view kTemplateText = "Template = \n%s";
constexpr char kAboutCaption[] = "About VELLUMIX";
constexpr char kAboutText[] = "VELLUMIX Version 3.13";
constexpr int kSecondPaneWidth = 150;  // pixels

std::size_t Index(Control control) {
  return static_cast<std::size_t>(control);
}

// A picture button of the form, with its caption under it; positions in dialog units.
struct ButtonPlace {
  Control button;
  Picture picture;
  const char* name;
  const char* caption;
  int x, y, width, height;
};

constexpr ButtonPlace kButtons[] = {
    {Control::kTranscribeButton, Picture::kTranscribe, "Transcribe", "Transcribe", 8, 3, 52, 71},
    {Control::kOptionsButton, Picture::kOptions, "Options", "Options", 73, 3, 47, 46},
    {Control::kDefaultsButton, Picture::kDefaults, "Defaults", "Defaults", 120, 3, 47, 46},
    {Control::kSymbolsButton, Picture::kSymbols, "Symbols", "Symbols", 167, 3, 47, 46},
    {Control::kSpecialsButton, Picture::kSpecials, "Specials", "Specials", 214, 3, 47, 46},
    {Control::kTemplatesButton, Picture::kTemplates, "Templates", "Templates", 261, 3, 47, 46},
    {Control::kMidiButton, Picture::kMidi, "MIDI", "Load", 82, 115, 24, 21},
    {Control::kRewButton, Picture::kRew, "REW", "Rew", 137, 115, 24, 21},
    {Control::kStopButton, Picture::kStop, "STOP", "Stop", 171, 115, 24, 21},
    {Control::kPlayButton, Picture::kPlay, "PLAY", "Play", 205, 115, 24, 21},
    {Control::kFfButton, Picture::kFf, "FF", "FF", 240, 115, 24, 21},
    {Control::kPauseButton, Picture::kPause, "PAUSE", "Pause", 274, 115, 24, 21},
};

constexpr int kFormWidth = 316;  // dialog units
constexpr int kFormHeight = 162;

struct MenuItem {
  Command command;
  const char* text;  // empty: the Transcribe entry, whose text follows the control state
  const char* key;
  const char* tip;  // shown in the status bar while the entry is highlighted
};

struct Menu {
  const char* title;
  std::vector<MenuItem> items;  // a null text and command 0 separate groups
};

const MenuItem kSeparator{Command{}, nullptr, "", ""};

std::vector<Menu> Menus() {
  return {
      {"&File",
       {{Command::kTranscribe, "", "F2",
         "Transcribe SCORE files into a MIDI file, or cancel the transcription in progress"},
        {Command::kReadOldData, "&Read Old Data\tCtrl+R", "Ctrl+R",
         "Write a MIDI file again from the intermediate files of the last transcription"},
        kSeparator,
        {Command::kExit, "E&xit\tF10", "F10", "Quit the program"}}},
      {"&Library",
       {{Command::kOptions, "&Options...\tF4", "F4", "Change the transcription options"},
        {Command::kDefaults, "&Defaults...\tCtrl+D", "Ctrl+D",
         "Change the values a transcription starts with"},
        {Command::kSymbols, "Sym&bols...\tF5", "F5", "Edit what the notation symbols play"},
        {Command::kSpecials, "&Special...\tCtrl+S", "Ctrl+S",
         "Edit the specials: trills, hairpins, tempo changes"},
        {Command::kTemplates, "Tem&plates...\tF6", "F6", "Choose and edit instrument templates"},
        kSeparator,
        {Command::kLibraryPath, "Library Path...", "", "Choose the library folder"},
        {Command::kEditInstrumentList, "Edit Instrument List...", "",
         "Edit the list of instrument libraries in a text editor"},
        {Command::kEditBankProgramList, "Edit Bank/Program List...", "",
         "Edit the bank and program names of an instrument library in a text editor"},
        {Command::kEditPercussionMaps, "Edit Percussion Maps...", "",
         "Edit the maps from written notes to percussion sounds"}}},
      {"&Playback",
       {{Command::kLoadPlaybackFile, "&Load Playback File...\tF7", "F7",
         "Choose a MIDI file to play"},
        {Command::kPlay, "&Play\tF8", "F8", "Play the MIDI file"},
        {Command::kPause, "Pa&use", "", "Pause playback"},
        {Command::kRewindFastForward, "&Rewind/Fast Forward", "", "Choose where playback starts"},
        {Command::kStop, "&Stop", "", "Stop playback"}}},
      {"&Help",
       {{Command::kHelpIndex, "&Index\tF1", "F1", "Open the help at its contents"},
        kSeparator,
        // The menu names Ctrl+A, but no key carries the command.
        {Command::kAbout, "&About...\tCtrl+A", "", "Show the program's version"}}},
  };
}

QLabel* MakeLabel(QWidget* parent, const QRect& where, Qt::Alignment alignment) {
  auto* label = new QLabel(parent);
  label->setGeometry(where);
  label->setAlignment(alignment);
  return label;
}

}  // namespace

MainWindow::MainWindow(CVellumixDoc& doc, GuiHost& host, FileChooser& chooser,
                       FileListStep fileList, playback::Sequencer& sequencer,
                       playback::Launcher& launcher, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      doc_(doc),
      host_(host),
      chooser_(chooser),
      fileList_(std::move(fileList)),
      sequencer_(std::make_unique<GuiThreadSequencer>(sequencer)),
      launcher_(launcher) {
  setWindowTitle(FromCoreText(res::Text(res::kTitle)));
  setWindowIcon(ProgramIcon());
  BuildForm();
  BuildMenus();
  BuildTransport();
  BuildLibraryCommands();

  statusPanes_[0] = new QLabel(this);
  statusPanes_[1] = new QLabel(this);
  statusPanes_[1]->setFixedWidth(kSecondPaneWidth);
  for (QLabel* pane : statusPanes_) pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  statusBar()->addWidget(statusPanes_[0], 1);
  statusBar()->addPermanentWidget(statusPanes_[1]);
  statusBar()->setSizeGripEnabled(false);
  connect(&host_, &GuiHost::statusChanged, this,
          [this](const QString& pane0, const QString& pane1) {
            statusPanes_[0]->setText(pane0);
            statusPanes_[1]->setText(pane1);
          });
  host_.SetWindow(this);

  // The window takes the size of the form and keeps it.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
  }

  SetTemplateText();
  ApplyState(ControlState::kIdleStopped);
  FormControl(Control::kTranscribeButton)->setFocus();
}

MainWindow::~MainWindow() {
  // No note may keep sounding, and no end of a play may arrive once the window is gone.
  if (transport_->DeviceOpen()) transport_->Stop();
  sequencer_->Close();
  if (!worker_) return;
  // The window goes while a run works: the run is cancelled and shows nothing more. A question
  // already on its way is answered here, so that the worker can end.
  host_.Detach();
  host_.RequestCancel();
  while (!worker_->wait(QDeadlineTimer(10)))
    QCoreApplication::sendPostedEvents(&host_, QEvent::MetaCall);
  delete worker_;
  qApp->removeEventFilter(this);
}

void MainWindow::BuildForm() {
  auto* form = new QWidget(this);
  const DialogUnits du(font());
  form->setFixedSize(du.X(kFormWidth), du.Y(kFormHeight));
  setCentralWidget(form);

  // The frame round the transport comes first, so that its buttons lie on top of it.
  auto* transport = new QGroupBox(form);
  transport->setGeometry(du.Rect(75, 104, 234, 48));

  for (const ButtonPlace& place : kButtons) {
    auto* button = new PictureButton(place.picture, QString::fromLatin1(place.name), form);
    button->setGeometry(du.Rect(place.x, place.y, place.width, place.height));
    auto* caption =
        MakeLabel(form, du.Rect(place.x - 4, place.y + place.height + 1, place.width + 8, 9),
                  Qt::AlignHCenter | Qt::AlignTop);
    caption->setText(QString::fromLatin1(place.caption));
    controls_[Index(place.button)] = button;
    controls_[Index(place.button) + 1] = caption;
  }
  connect(static_cast<PictureButton*>(FormControl(Control::kTranscribeButton)),
          &QAbstractButton::clicked, this, &MainWindow::OnTranscribe);

  auto* fileName = MakeLabel(form, du.Rect(75, 64, 231, 39), Qt::AlignLeft | Qt::AlignTop);
  fileName->setWordWrap(true);
  fileName->setText(QStringLiteral(" "));
  fileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
  controls_[Index(Control::kMidiFileNameText)] = fileName;
  controls_[Index(Control::kPlayingTimeText)] =
      MakeLabel(form, du.Rect(8, 141, 61, 8), Qt::AlignLeft | Qt::AlignVCenter);
  controls_[Index(Control::kPlayStateText)] =
      MakeLabel(form, du.Rect(8, 127, 61, 8), Qt::AlignLeft | Qt::AlignVCenter);
  tempoText_ = MakeLabel(form, du.Rect(8, 113, 61, 8), Qt::AlignLeft | Qt::AlignVCenter);
  templateText_ = MakeLabel(form, du.Rect(8, 85, 61, 19), Qt::AlignLeft | Qt::AlignTop);
}

void MainWindow::BuildMenus() {
  for (const Menu& menu : Menus()) {
    QMenu* entry = menuBar()->addMenu(QString::fromLatin1(menu.title));
    for (const MenuItem& item : menu.items) {
      if (!item.text) {
        entry->addSeparator();
        continue;
      }
      auto* action = entry->addAction(QString::fromLatin1(item.text));
      if (*item.key) action->setShortcut(QKeySequence(QString::fromLatin1(item.key)));
      action->setStatusTip(QString::fromLatin1(item.tip));
      actions_[item.command] = action;
    }
  }
  connect(actions_[Command::kTranscribe], &QAction::triggered, this, &MainWindow::OnTranscribe);
  connect(actions_[Command::kReadOldData], &QAction::triggered, this, &MainWindow::OnReadOldData);
  connect(actions_[Command::kExit], &QAction::triggered, this, &MainWindow::close);
  connect(actions_[Command::kHelpIndex], &QAction::triggered, this,
          [this] { ShowHelp(this, QString::fromLatin1(topic::kIndex)); });
  connect(actions_[Command::kAbout], &QAction::triggered, this, &MainWindow::ShowAboutBox);

  // Playback tempo +1, -1, +10, -10: keys only, no menu entry.
  const QKeyCombination keys[] = {Qt::KeypadModifier | Qt::Key_Plus,
                                  Qt::KeypadModifier | Qt::Key_Minus,
                                  Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus,
                                  Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Minus};
  for (std::size_t i = 0; i < tempoActions_.size(); ++i) {
    tempoActions_[i] = new QAction(this);
    tempoActions_[i]->setShortcut(QKeySequence(keys[i]));
    addAction(tempoActions_[i]);
  }
}

QWidget* MainWindow::FormControl(Control control) const {
  return controls_[Index(control)];
}

QAction* MainWindow::CommandAction(Command command) const {
  auto found = actions_.find(command);
  return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::ApplyState(ControlState state) {
  flags_ = view::Flags(state);
  for (std::size_t i = 0; i < controls_.size(); ++i)
    controls_[i]->setEnabled(flags_[static_cast<Control>(i)]);
  if (auto focus = view::FocusTarget(state)) FormControl(*focus)->setFocus();
  UpdateCommands();
}

void MainWindow::UpdateCommands() {
  const view::CommandContext context{flags_, RunActive(),
                                     doc_.library.options.deleteTemporaryFiles != 0};
  for (auto& [command, action] : actions_)
    action->setEnabled(view::CommandEnabled(command, context));
  actions_[Command::kTranscribe]->setText(FromCoreText(view::TranscribeMenuText(flags_)));
}

void MainWindow::SetTemplateText() {
  templateText_->setText(
      FromCoreText(res::FormatText(kTemplateText, {doc_.library.selectedTemplate})));
}

void MainWindow::ClearRunTexts() {
  for (Control text :
       {Control::kMidiFileNameText, Control::kPlayingTimeText, Control::kPlayStateText})
    static_cast<QLabel*>(FormControl(text))->clear();
  tempoText_->clear();
}

void MainWindow::ShowAboutBox() {
  QDialog box(this);
  box.setWindowTitle(QString::fromLatin1(kAboutCaption));
  const DialogUnits du(box.font());
  box.setFixedSize(du.X(218), du.Y(106));
  auto* icon = new QLabel(&box);
  icon->setPixmap(ProgramIcon().pixmap(48, 48));
  icon->setGeometry(du.Rect(12, 14, 32, 32));
  icon->setAlignment(Qt::AlignCenter);
  auto* text = MakeLabel(&box, du.Rect(52, 24, 150, 10), Qt::AlignLeft | Qt::AlignVCenter);
  text->setText(QString::fromLatin1(kAboutText));
  auto* ok = new QPushButton(QStringLiteral("OK"), &box);
  ok->setGeometry(du.Rect(154, 82, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
  box.exec();
}

void MainWindow::OnTranscribe() {
  // While a run works the command is its cancel request.
  if (!flags_[Control::kTranscribeButton]) {
    host_.RequestCancel();
    return;
  }
  ClearRunTexts();
  ApplyState(ControlState::kRunning);
  std::vector<std::string> entries;
  const FileListOutcome listed = fileList_(this, doc_, host_, chooser_, fileListState_, entries);
  if (listed != FileListOutcome::kTranscribe || entries.empty()) {
    // An empty list, or a list file loaded or saved, ends the command without a run but as
    // done; only Cancel stops it.
    EndCommand(listed == FileListOutcome::kCancelled ? ControlState::kIdleStopped
                                                     : ControlState::kIdleCompleted,
               true);
    return;
  }
  // The run itself asks before it writes over a file (question 61222).
  const QString path = ChooseMidiFile(false);
  if (path.isEmpty()) {
    EndCommand(ControlState::kIdleStopped, true);
    return;
  }
  runPath_ = path;
  firstGroupPath_ = ParseEntry(entries.front()).path;
  StartRun(
      [this, entries = std::move(entries), out = ToCorePath(path)] {
        ReadSummary summary;
        const RunResult result = Transcribe(doc_, entries, out, summary);
        return RunOutcome{result, summary.midiWritten};
      },
      true);
}

void MainWindow::OnReadOldData() {
  if (!flags_[Control::kTranscribeButton]) {
    host_.RequestCancel();
    return;
  }
  ClearRunTexts();
  templateText_->clear();
  ApplyState(ControlState::kRunning);
  const QString path = ChooseMidiFile(true);
  if (path.isEmpty()) {
    SetTemplateText();
    EndCommand(ControlState::kIdleStopped, false);
    return;
  }
  runPath_ = path;
  StartRun(
      [this, out = ToCorePath(path)] {
        const RunResult result = ReadOldData(doc_, out);
        return RunOutcome{result, result == RunResult::kDone};
      },
      false);
}

QString MainWindow::ChooseMidiFile(bool confirmOverwrite) {
  const QString path = chooser_.SaveFile(this, QStringLiteral("Save As"), QDir::currentPath(),
                                         FileDialogFilter(res::Text(res::kMidiFileFilter)),
                                         QStringLiteral("mid"), confirmOverwrite);
  if (path.isEmpty()) ReportStatusById(host_, res::kTranscribeCancelled, true);
  return path;
}

void MainWindow::StartRun(std::function<RunOutcome()> work, bool afterTranscribe) {
  afterTranscribe_ = afterTranscribe;
  host_.BeginRun();
  qApp->installEventFilter(this);
  worker_ = QThread::create([this, work = std::move(work)] { outcome_ = work(); });
  connect(worker_, &QThread::finished, this, &MainWindow::FinishRun);
  UpdateCommands();
  worker_->start();
}

void MainWindow::FinishRun() {
  qApp->removeEventFilter(this);
  worker_->wait();
  delete worker_;
  worker_ = nullptr;
  host_.ShowStatusNow();
  // Only a file that was written is one to play.
  if (outcome_.written) midiPath_ = runPath_;
  // Read Old Data emptied the template text; the template is still the same.
  if (!afterTranscribe_) SetTemplateText();
  // Only a run that wrote its file starts playback (option 11).
  if (outcome_.result == RunResult::kDone && outcome_.written &&
      doc_.library.options.autoPlayback != 0)
    StartAutoPlayback(afterTranscribe_);
  else
    EndCommand(outcome_.result == RunResult::kDone ? ControlState::kIdleCompleted
                                                   : ControlState::kIdleStopped,
               afterTranscribe_);
  Q_EMIT runFinished();
  if (closeWhenRunEnds_) close();
}

void MainWindow::EndCommand(ControlState state, bool focusTranscribe) {
  ApplyState(state);
  if (focusTranscribe) FormControl(Control::kTranscribeButton)->setFocus();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (worker_) {
    // The run is cancelled first; the window closes once the worker has let go of the files.
    closeWhenRunEnds_ = true;
    host_.RequestCancel();
    event->ignore();
    return;
  }
  if (transport_->DeviceOpen()) ShowPlayback(transport_->Stop());
  QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (worker_ && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    auto* widget = qobject_cast<QWidget*>(watched);
    // A dialog open during the run takes its own clicks.
    if (widget && widget->window() == this && !QApplication::activeModalWidget()) {
      host_.RequestCancel();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace vellumix::gui
