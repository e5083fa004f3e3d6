#include "library/factory.h"
#include "platform/files.h"
#include "run/document.h"
#include "run/file_groups.h"
#include "run_program.h"
#include "score_builder.h"
#include "temp_folder.h"

#include <QtTest>

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <atomic>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>

#include "app/gui_host.h"
#include "app/main_window.h"
#include "app/picture_button.h"
#include "app/presenter.h"
#include "help/help.h"
#include "platform/file_chooser.h"
#include "playback/fluid_sequencer.h"
#include "playback/notation_switch.h"
#include "playback/start_time_dialog.h"
#include "playback/transport.h"
#include "questions/questions.h"
#include "res/button_pictures.h"
#include "res/strings.h"
#include "run/file_list.h"

namespace vellumix::gui {
namespace {

namespace fs = std::filesystem;
using view::Command;
using view::Control;
using view::ControlState;

class ScriptedPresenter : public Presenter {
 public:
  void ShowMessage(QWidget*, const QString& text) override { messages << text; }
  bool AskYesNo(QWidget*, const QString& text) override {
    messages << text;
    return false;
  }
  bool AskTimeSignature(QWidget*, TimeSignatureQuestion, const QString& text, int&, int&) override {
    messages << text;
    return true;
  }
  bool AskAnacrusis(QWidget*, const QString& text, float&) override {
    messages << text;
    return true;
  }
  bool AskMultipleSystems(QWidget*, const QString& text, bool&) override {
    messages << text;
    return false;
  }
  QStringList messages;
};

class ScriptedChooser : public FileChooser {
 public:
  QString OpenFile(QWidget*, const QString&, const QString&, const QString&) override {
    if (opens.empty()) return {};
    QString path = opens.front();
    opens.pop_front();
    return path;
  }
  std::deque<QString> opens;  // the answers of the open chooser; none left: Cancel
  QString SaveFile(QWidget*, const QString&, const QString&, const QString& filter,
                   const QString& suffix, bool) override {
    filters << filter + u'|' + suffix;
    if (saves.empty()) return {};
    QString path = saves.front();
    saves.pop_front();
    return path;
  }
  std::deque<QString> saves;  // the answers; none left: Cancel
  QStringList filters;        // "filter|suffix" of every save chooser shown
};

// The status texts of a run in order, as the core reports them; a run can be held at one of
// them until the user cancels.
class StatusLog {
 public:
  void Attach(GuiHost& host) {
    host.SetStatusObserver([this, &host](std::string_view text, int, bool) {
      bool hold = false;
      {
        std::lock_guard lock(mutex_);
        texts_.emplace_back(text);
        hold = !holdAt_.empty() && text == holdAt_;
        if (hold) holdAt_.clear();
      }
      if (!hold) return;
      held_ = true;
      QDeadlineTimer deadline(20000);
      while (!host.CancelRequested() && !deadline.hasExpired()) QThread::msleep(1);
    });
  }
  void HoldAt(const std::string& text) {
    std::lock_guard lock(mutex_);
    holdAt_ = text;
  }
  bool Held() const { return held_; }
  std::vector<std::string> Texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
  std::string holdAt_;
  std::atomic<bool> held_{false};
};

class RecordingLauncher : public playback::Launcher {
 public:
  bool OpenWithAssociation(const std::string& path) override {
    opened.push_back(path);
    return true;
  }
  bool StartProgram(const std::string& program, const std::string& path) override {
    started.emplace_back(program, path);
    return true;
  }
  std::vector<std::string> opened;
  std::vector<std::pair<std::string, std::string>> started;
};

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// A window over a scratch library holding the factory files and examples/minuet.pmx as a
// SCORE file; the file list step hands over `entries`.
struct Rig {
  test::TempFolder data;
  ScriptedPresenter presenter;
  GuiHost host{presenter};
  CVellumixDoc doc{host};
  ScriptedChooser chooser;
  StatusLog log;
  std::vector<std::string> entries;
  FileListOutcome listOutcome = FileListOutcome::kTranscribe;
  int listsShown = 0;
  // Rendered by the test, so that playback needs no sound device and keeps the test's time.
  playback::FluidSynthSequencer sequencer;
  RecordingLauncher launcher;
  std::unique_ptr<MainWindow> window;

  explicit Rig(const std::string& soundfont = kSoundFont)
      : sequencer(soundfont, {}, playback::FluidSynthSequencer::Output::kCallerRenders) {
    InstallFactoryLibrary(data.slashed(), host);
    doc.Create(data.slashed(), false);
    auto text = files::ReadAll(std::string(VELLUMIX_SOURCE_DIR) + "/examples/minuet.pmx");
    auto bytes = test::BuildScoreFile(std::string(text->begin(), text->end()), nullptr);
    files::WriteAtomic(Score(), *bytes);
    entries = {Score() + " 1"};
    log.Attach(host);
    window = std::make_unique<MainWindow>(
        doc, host, chooser,
        [this](QWidget*, CVellumixDoc&, Host&, FileChooser&, FileListState&,
               std::vector<std::string>& chosen) {
          ++listsShown;
          chosen = entries;
          return listOutcome;
        },
        sequencer, launcher);
  }
  std::string Score() const { return data.slashed() + "minuet.mus"; }
  QString Out(const char* name = "out.mid") const {
    return QString::fromStdString(data.slashed() + name);
  }
  bool Show() {
    window->show();
    return QTest::qWaitForWindowActive(window.get());
  }
  QAction* Action(Command command) const { return window->CommandAction(command); }
  bool Enabled(Control control) const { return window->FormControl(control)->isEnabled(); }
  QString Text(Control control) const {
    return static_cast<QLabel*>(window->FormControl(control))->text();
  }
  // The score transcribed by the core, for the transport to play.
  QString WriteMidi() {
    ReadSummary summary;
    const std::string out = Out("play.mid").toStdString();
    return Transcribe(doc, entries, out, summary) == RunResult::kDone ? Out("play.mid") : QString();
  }
  // Plays `ms` of music the way a sound card would take it.
  void Render(int ms) {
    for (int done = 0; done < ms; done += 10) sequencer.Render(441);
  }
  bool TranscribeFocused() const {
    return window->focusWidget() == window->FormControl(Control::kTranscribeButton);
  }
  // Files in the library folder whose names start with `prefix`.
  int FilesStartingWith(const std::string& prefix) const {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(data.path()))
      if (entry.path().filename().string().rfind(prefix, 0) == 0) ++n;
    return n;
  }
};

QString FlagMismatches(const MainWindow& window, ControlState state) {
  const view::ControlFlags flags = view::Flags(state);
  QStringList wrong;
  for (std::size_t i = 0; i < view::kControlCount; ++i) {
    const auto control = static_cast<Control>(i);
    if (window.FormControl(control)->isEnabled() != flags[control]) wrong << QString::number(i + 1);
  }
  return wrong.join(u',');
}

// Waits for the next modal dialog, hands it to `use` and closes it.
void WithNextDialog(std::function<void(QWidget*)> use) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, use = std::move(use)] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    QTest::qWait(50);
    use(dialog);
    if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
  });
  poll->start(10);
}

bool SaveGrab(QWidget* widget, const QString& folder, const QString& name) {
  return widget->grab().save(folder + u'/' + name + ".png");
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void eachControlStateSetsTheFormAndTheMenu_data();
  void eachControlStateSetsTheFormAndTheMenu();
  void theMenusHoldEveryCommandWithItsKey();
  void theWindowIsAFixedFormWithTwoStatusPanes();
  void theAboutBoxShowsTheVersion();
  void transcribeWritesTheMidiFileAndReportsEachStep();
  void aCancelWhileReadingStopsTheRun_data();
  void aCancelWhileReadingStopsTheRun();
  void aCancelledSaveChooserStopsBeforeTheRun();
  void optionsComeBackAfterAFailedRun();
  void closingDuringARunCancelsItAndLeavesNoFile();
  void readOldDataWritesTheFileAgainFromTheIntermediateFiles();
  void theTransportLoadsPlaysPausesAndStops();
  void repeatButtonsAndTheStartTimeSetWherePlayStarts();
  void theStartTimeDialogTakes60MinutesNot60Seconds();
  void aRunThatWroteItsFilePlaysItAndSwitchesToNotation();
  void theLibraryButtonsAndCommandsOpenTheirDialogs();
  void screenshots();
};

void MainWindowTest::eachControlStateSetsTheFormAndTheMenu_data() {
  QTest::addColumn<int>("state");
  QTest::addColumn<QString>("transcribeText");
  QTest::addColumn<bool>("transcribeCommand");
  QTest::addColumn<bool>("exitCommand");
  QTest::newRow("Running") << int(ControlState::kRunning) << "&Cancel Transcribe...\tF2" << true
                           << false;
  QTest::newRow("IdleCompleted") << int(ControlState::kIdleCompleted) << "&Transcribe...\tF2"
                                 << true << true;
  QTest::newRow("IdleStopped") << int(ControlState::kIdleStopped) << "&Transcribe...\tF2" << true
                               << true;
  QTest::newRow("Loaded") << int(ControlState::kLoaded) << "&Transcribe...\tF2" << true << true;
  QTest::newRow("Playing") << int(ControlState::kPlaying) << "&Transcribe...\tF2" << false << false;
  QTest::newRow("Paused") << int(ControlState::kPaused) << "&Transcribe...\tF2" << false << false;
  QTest::newRow("Stopped") << int(ControlState::kStopped) << "&Transcribe...\tF2" << true << true;
  QTest::newRow("AutoStarting") << int(ControlState::kAutoStarting) << "&Cancel Transcribe...\tF2"
                                << true << false;
  QTest::newRow("LoadFailed") << int(ControlState::kLoadFailed) << "&Transcribe...\tF2" << true
                              << true;
}

void MainWindowTest::eachControlStateSetsTheFormAndTheMenu() {
  QFETCH(int, state);
  QFETCH(QString, transcribeText);
  QFETCH(bool, transcribeCommand);
  QFETCH(bool, exitCommand);
  Rig rig;
  const auto s = static_cast<ControlState>(state);
  rig.window->ApplyState(s);
  QCOMPARE(FlagMismatches(*rig.window, s), QString());
  QCOMPARE(rig.Action(Command::kTranscribe)->text(), transcribeText);
  QCOMPARE(rig.Action(Command::kTranscribe)->isEnabled(), transcribeCommand);
  QCOMPARE(rig.Action(Command::kExit)->isEnabled(), exitCommand);
  // The commands of a button follow it; the editor commands stay usable.
  const std::pair<Command, Control> bound[] = {{Command::kDefaults, Control::kDefaultsButton},
                                               {Command::kSymbols, Control::kSymbolsButton},
                                               {Command::kSpecials, Control::kSpecialsButton},
                                               {Command::kTemplates, Control::kTemplatesButton},
                                               {Command::kLoadPlaybackFile, Control::kMidiButton},
                                               {Command::kPlay, Control::kPlayButton},
                                               {Command::kPause, Control::kPauseButton},
                                               {Command::kRewindFastForward, Control::kRewButton},
                                               {Command::kStop, Control::kStopButton}};
  for (auto [command, button] : bound)
    QCOMPARE(rig.Action(command)->isEnabled(), rig.Enabled(button));
  for (Command always : {Command::kEditInstrumentList, Command::kEditBankProgramList,
                         Command::kHelpIndex, Command::kAbout, Command::kOptions})
    QVERIFY(rig.Action(always)->isEnabled());
  // The factory options delete the intermediate files, so there is no old data to read.
  QVERIFY(!rig.Action(Command::kReadOldData)->isEnabled());
  // A disabled picture button shows its disabled image.
  auto* transcribe =
      static_cast<PictureButton*>(rig.window->FormControl(Control::kTranscribeButton));
  QCOMPARE(transcribe->State() == PictureState::kDisabled, !transcribe->isEnabled());
}

void MainWindowTest::theMenusHoldEveryCommandWithItsKey() {
  Rig rig;
  QStringList shown;
  for (QAction* menu : rig.window->menuBar()->actions()) {
    shown << menu->text();
    for (QAction* item : menu->menu()->actions())
      if (!item->isSeparator())
        shown << "  " + item->text() + " [" + item->shortcut().toString() + u']';
  }
  const QStringList expected = {
      "&File",
      "  &Transcribe...\tF2 [F2]",
      "  &Read Old Data\tCtrl+R [Ctrl+R]",
      "  E&xit\tF10 [F10]",
      "&Library",
      "  &Options...\tF4 [F4]",
      "  &Defaults...\tCtrl+D [Ctrl+D]",
      "  Sym&bols...\tF5 [F5]",
      "  &Special...\tCtrl+S [Ctrl+S]",
      "  Tem&plates...\tF6 [F6]",
      "  Library Path... []",
      "  Edit Instrument List... []",
      "  Edit Bank/Program List... []",
      "  Edit Percussion Maps... []",
      "&Playback",
      "  &Load Playback File...\tF7 [F7]",
      "  &Play\tF8 [F8]",
      "  Pa&use []",
      "  &Rewind/Fast Forward []",
      "  &Stop []",
      "&Help",
      "  &Index\tF1 [F1]",
      "  &About...\tCtrl+A []",
  };
  QCOMPARE(shown, expected);
  for (QAction* menu : rig.window->menuBar()->actions())
    for (QAction* item : menu->menu()->actions())
      QVERIFY(item->isSeparator() || !item->statusTip().isEmpty());

  QStringList tempoKeys;
  for (QAction* key : rig.window->TempoActions()) tempoKeys << key->shortcut().toString();
  QCOMPARE(tempoKeys, QStringList({"Num++", "Num+-", "Ctrl+Num++", "Ctrl+Num+-"}));

  // F1 opens the help at its start; F10 quits while nothing runs or plays.
  QVERIFY(rig.Show());
  QTest::keyClick(rig.window.get(), Qt::Key_F1);
  QVERIFY(CurrentHelpWindow());
  QCOMPARE(CurrentHelpWindow()->topic(), QStringLiteral("index"));
  CurrentHelpWindow()->close();
  rig.window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
  QTest::keyClick(rig.window.get(), Qt::Key_F10);
  QVERIFY(!rig.window->isVisible());
}

void MainWindowTest::theWindowIsAFixedFormWithTwoStatusPanes() {
  Rig rig;
  QVERIFY(rig.Show());
  MainWindow& w = *rig.window;
  QCOMPARE(w.windowTitle(), QStringLiteral("VELLUMIX"));
  QCOMPARE(w.minimumSize(), w.maximumSize());
  QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
  QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
  QCOMPARE(w.StatusPane(1)->width(), 150);
  QVERIFY(w.StatusPane(0)->width() > w.StatusPane(1)->width());
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  QCOMPARE(w.x(), (screen.width() - w.width()) / 2);
  QCOMPARE(w.y(), (screen.height() - w.height()) / 2);
  QCOMPARE(w.TemplateText()->text(), QStringLiteral("Template = \n[None]"));
  QCOMPARE(static_cast<QLabel*>(w.FormControl(Control::kMidiFileNameText))->text(),
           QStringLiteral(" "));
  QCOMPARE(FlagMismatches(w, ControlState::kIdleStopped), QString());
  // Every button has its caption under it.
  for (Control button : {Control::kTranscribeButton, Control::kTemplatesButton,
                         Control::kMidiButton, Control::kPauseButton}) {
    const QRect b = w.FormControl(button)->geometry();
    const QRect c = w.FormControl(static_cast<Control>(static_cast<int>(button) + 1))->geometry();
    QVERIFY(c.top() >= b.bottom() && c.top() - b.bottom() < 8);
    QCOMPARE(c.center().x(), b.center().x());
  }
}

void MainWindowTest::theAboutBoxShowsTheVersion() {
  Rig rig;
  QString title, text;
  WithNextDialog([&](QWidget* box) {
    title = box->windowTitle();
    for (QLabel* label : box->findChildren<QLabel*>())
      if (!label->text().isEmpty()) text = label->text();
  });
  rig.Action(Command::kAbout)->trigger();
  QCOMPARE(title, QStringLiteral("About VELLUMIX"));
  QCOMPARE(text, QStringLiteral("VELLUMIX Version 3.13"));
}

void MainWindowTest::transcribeWritesTheMidiFileAndReportsEachStep() {
  Rig rig;
  rig.chooser.saves = {rig.Out()};
  QVERIFY(rig.Show());
  QTest::keyClick(rig.window.get(), Qt::Key_F2);
  QTRY_VERIFY_WITH_TIMEOUT(!rig.window->RunActive(), 60000);
  QCOMPARE(rig.listsShown, 1);
  QCOMPARE(rig.chooser.filters, QStringList("MIDI files (*.mid);;All Files (*)|mid"));
  QCOMPARE(rig.presenter.messages, QStringList());

  // The core's steps, in order, then "Done".
  const auto texts = rig.log.Texts();
  const std::string steps[] = {
      "Reading file " + rig.Score(), "Writing to file ",    "Reading item ",
      "Writing track to file ",      "Preparing MIDI data", "Writing MIDI data"};
  std::size_t at = 0;
  for (const std::string& step : steps) {
    while (at < texts.size() && texts[at].rfind(step, 0) != 0) ++at;
    QVERIFY2(at < texts.size(), step.c_str());
  }
  QCOMPARE(texts.back(), std::string("Done"));
  QCOMPARE(rig.window->StatusPane(0)->text(), QStringLiteral("Done"));
  QCOMPARE(rig.window->StatusPane(1)->text(), QString());
  QCOMPARE(FlagMismatches(*rig.window, ControlState::kIdleCompleted), QString());
  QVERIFY(rig.TranscribeFocused());
  QCOMPARE(rig.window->MidiPath(), rig.Out());

  // An independent reader takes the file, and the command line writes the same bytes.
  const auto mido = test::RunProgram(
      "/usr/bin/python3", {"-c",
                           "import sys, mido\n"
                           "m = mido.MidiFile(sys.argv[1])\n"
                           "print(m.type, len(m.tracks), sum(1 for t in m.tracks for e in t\n"
                           "      if e.type == 'note_on' and e.velocity > 0) > 0)\n",
                           rig.Out().toStdString()});
  QCOMPARE(mido.status, 0);
  QCOMPARE(QString::fromStdString(mido.out).trimmed(), QStringLiteral("1 3 True"));
  const std::string cliOut = rig.data.slashed() + "cli.mid";
  QCOMPARE(test::RunCli({"--data-dir", rig.data.slashed(), "transcribe", rig.Score(), "-o", cliOut})
               .status,
           0);
  QCOMPARE(files::ReadAll(cliOut), files::ReadAll(rig.Out().toStdString()));
}

void MainWindowTest::aCancelWhileReadingStopsTheRun_data() {
  QTest::addColumn<bool>("rightButton");
  QTest::newRow("F2") << false;
  QTest::newRow("right button") << true;
}

void MainWindowTest::aCancelWhileReadingStopsTheRun() {
  QFETCH(bool, rightButton);
  Rig rig;
  rig.chooser.saves = {rig.Out()};
  rig.log.HoldAt("Reading file " + rig.Score());
  QVERIFY(rig.Show());
  QTest::keyClick(rig.window.get(), Qt::Key_F2);
  QTRY_VERIFY(rig.log.Held());

  // While the run works, the form is off, Options too, and Transcribe is the cancel request.
  QCOMPARE(FlagMismatches(*rig.window, ControlState::kRunning), QString());
  QCOMPARE(rig.Action(Command::kTranscribe)->text(), QStringLiteral("&Cancel Transcribe...\tF2"));
  QVERIFY(!rig.Action(Command::kOptions)->isEnabled());
  QVERIFY(!rig.Action(Command::kLibraryPath)->isEnabled());
  QVERIFY(rig.Action(Command::kEditInstrumentList)->isEnabled());
  QVERIFY(!rig.host.CancelRequested());

  if (rightButton) {
    // A dialog open over the window keeps its clicks, and so does the window behind it.
    QDialog dialog(rig.window.get());
    dialog.setModal(true);
    dialog.show();
    QTest::mouseClick(&dialog, Qt::RightButton);
    QTest::mouseClick(rig.window->TemplateText(), Qt::RightButton);
    QVERIFY(!rig.host.CancelRequested());
    dialog.close();
    QTest::mouseClick(rig.window->TemplateText(), Qt::RightButton);
  } else {
    QTest::keyClick(rig.window.get(), Qt::Key_F2);
  }
  QTRY_VERIFY(!rig.window->RunActive());
  QCOMPARE(rig.log.Texts().back(), std::string("Transcribe cancelled"));
  QCOMPARE(rig.window->StatusPane(0)->text(), QStringLiteral("Transcribe cancelled"));
  QCOMPARE(rig.window->StatusPane(1)->text(), QString());
  QCOMPARE(FlagMismatches(*rig.window, ControlState::kIdleStopped), QString());
  QVERIFY(rig.TranscribeFocused());
  QVERIFY(rig.Action(Command::kOptions)->isEnabled());
  QCOMPARE(rig.FilesStartingWith("out"), 0);
  QCOMPARE(rig.presenter.messages, QStringList());
}

void MainWindowTest::aCancelledSaveChooserStopsBeforeTheRun() {
  Rig rig;
  QVERIFY(rig.Show());
  QTest::mouseClick(
      static_cast<QAbstractButton*>(rig.window->FormControl(Control::kTranscribeButton)),
      Qt::LeftButton);
  QCOMPARE(rig.listsShown, 1);
  QCOMPARE(rig.chooser.filters.size(), 1);
  QVERIFY(!rig.window->RunActive());
  QTRY_COMPARE(rig.window->StatusPane(0)->text(), QStringLiteral("Transcribe cancelled"));
  QCOMPARE(FlagMismatches(*rig.window, ControlState::kIdleStopped), QString());

  // An empty list ends the command as done, without asking for a file.
  rig.entries.clear();
  rig.Action(Command::kTranscribe)->trigger();
  QCOMPARE(rig.chooser.filters.size(), 1);
  QCOMPARE(FlagMismatches(*rig.window, ControlState::kIdleCompleted), QString());
}

void MainWindowTest::optionsComeBackAfterAFailedRun() {
  Rig rig;
  rig.chooser.saves = {rig.Out()};
  rig.entries = {rig.data.slashed() + "missing.mus 1"};
  rig.Action(Command::kTranscribe)->trigger();
  QVERIFY(!rig.Action(Command::kOptions)->isEnabled());
  QTRY_VERIFY(!rig.window->RunActive());
  QCOMPARE(rig.presenter.messages,
           QStringList(QString::fromStdString("Unable to open file " + rig.data.slashed() +
                                              "missing.mus for reading")));
  QCOMPARE(FlagMismatches(*rig.window, ControlState::kIdleStopped), QString());
  QVERIFY(rig.Action(Command::kOptions)->isEnabled());
  QVERIFY(rig.Enabled(Control::kOptionsButton));
  QCOMPARE(rig.FilesStartingWith("out"), 0);
  QCOMPARE(rig.window->MidiPath(), QString());
}

void MainWindowTest::closingDuringARunCancelsItAndLeavesNoFile() {
  Rig rig;
  rig.chooser.saves = {rig.Out()};
  rig.log.HoldAt(std::string(res::kWritingMidiData));
  QVERIFY(rig.Show());
  rig.Action(Command::kTranscribe)->trigger();
  QTRY_VERIFY(rig.log.Held());
  QVERIFY(!rig.window->close());
  QVERIFY(rig.window->isVisible());
  QTRY_VERIFY(!rig.window->isVisible());
  QVERIFY(!rig.window->RunActive());
  QCOMPARE(rig.FilesStartingWith("out"), 0);
  QVERIFY(rig.log.Texts().back() != "Done");
}

void MainWindowTest::readOldDataWritesTheFileAgainFromTheIntermediateFiles() {
  Rig rig;
  Options keep = rig.doc.library.options;
  keep.deleteTemporaryFiles = 0;
  QVERIFY(rig.doc.library.SaveOptions(keep));
  rig.window->UpdateCommands();
  QVERIFY(rig.Action(Command::kReadOldData)->isEnabled());

  rig.chooser.saves = {rig.Out(), rig.Out("again.mid")};
  rig.Action(Command::kTranscribe)->trigger();
  QTRY_VERIFY(!rig.window->RunActive());
  QVERIFY(rig.Show());
  QTest::keyClick(rig.window.get(), Qt::Key_R, Qt::ControlModifier);
  QVERIFY(rig.window->RunActive());
  QCOMPARE(rig.window->TemplateText()->text(), QString());
  QTRY_VERIFY(!rig.window->RunActive());
  QCOMPARE(rig.chooser.filters.size(), 2);
  QCOMPARE(files::ReadAll(rig.Out("again.mid").toStdString()),
           files::ReadAll(rig.Out().toStdString()));
  QCOMPARE(rig.window->StatusPane(0)->text(), QStringLiteral("Done"));
  QCOMPARE(FlagMismatches(*rig.window, ControlState::kIdleCompleted), QString());
  QCOMPARE(rig.window->TemplateText()->text(), QStringLiteral("Template = \n[None]"));
}

void MainWindowTest::theTransportLoadsPlaysPausesAndStops() {
  if (!fs::exists(kSoundFont)) QSKIP("timgm6mb-soundfont missing");
  Rig rig;
  QVERIFY(rig.Show());
  const QString midi = rig.WriteMidi();
  QVERIFY(!midi.isEmpty());
  MainWindow& w = *rig.window;
  rig.chooser.opens = {midi};
  QTest::mouseClick(w.FormControl(Control::kMidiButton), Qt::LeftButton);
  QCOMPARE(rig.Text(Control::kMidiFileNameText), midi);
  QCOMPARE(rig.Text(Control::kPlayingTimeText), QStringLiteral("mins 00 : 00 secs"));
  QCOMPARE(rig.Text(Control::kPlayStateText), QStringLiteral("Play - Stopped"));
  QCOMPARE(FlagMismatches(w, ControlState::kLoaded), QString());

  QTest::keyClick(&w, Qt::Key_F8);
  QCOMPARE(FlagMismatches(w, ControlState::kPlaying), QString());
  const QString tempo = rig.window->TempoText()->text();
  QVERIFY2(tempo.startsWith(QStringLiteral("Tempo = ")), qPrintable(tempo));
  const int bpm = tempo.mid(8).toInt();
  QTest::keyClick(&w, Qt::Key_Plus, Qt::KeypadModifier);
  QCOMPARE(w.TempoText()->text(), QStringLiteral("Tempo = %1").arg(bpm + 1));
  QTest::keyClick(&w, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
  QCOMPARE(w.TempoText()->text(), QStringLiteral("Tempo = %1").arg(bpm - 9));
  QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
  rig.Render(1500 * bpm / (bpm + 1));
  QTRY_COMPARE(rig.Text(Control::kPlayingTimeText), QStringLiteral("mins 00 : 01 secs"));
  QCOMPARE(rig.Text(Control::kPlayStateText), QStringLiteral("Playing..."));

  // Pause keeps the place; the play itself has ended, so the transport stands stopped.
  QTest::mouseClick(w.FormControl(Control::kPauseButton), Qt::LeftButton);
  QCOMPARE(rig.Text(Control::kPlayStateText), QStringLiteral("Play - Paused"));
  QCOMPARE(FlagMismatches(w, ControlState::kStopped), QString());
  QCOMPARE(w.Transport().StartPosition(), 1000u);
  QTest::mouseClick(w.FormControl(Control::kPlayButton), Qt::LeftButton);
  QCOMPARE(rig.Text(Control::kPlayingTimeText), QStringLiteral("mins 00 : 01 secs"));
  QVERIFY(rig.sequencer.Position() >= 1000 && rig.sequencer.Position() < 1100);

  QTest::mouseClick(w.FormControl(Control::kStopButton), Qt::LeftButton);
  QCOMPARE(rig.Text(Control::kPlayStateText), QStringLiteral("Play - Stopped"));
  QCOMPARE(FlagMismatches(w, ControlState::kStopped), QString());
  QTest::mouseClick(w.FormControl(Control::kPlayButton), Qt::LeftButton);
  QCOMPARE(rig.Text(Control::kPlayingTimeText), QStringLiteral("mins 00 : 00 secs"));

  // The end of the music comes from the player's own thread.
  while (rig.sequencer.Position() < w.Transport().Length()) rig.Render(100);
  QTRY_COMPARE(FlagMismatches(w, ControlState::kStopped), QString());
  QCOMPARE(rig.Text(Control::kPlayStateText), QStringLiteral("Play - Stopped"));
  QVERIFY(!w.Transport().DeviceOpen());
  QCOMPARE(w.Transport().StartPosition(), 0u);
}

void MainWindowTest::repeatButtonsAndTheStartTimeSetWherePlayStarts() {
  if (!fs::exists(kSoundFont)) QSKIP("timgm6mb-soundfont missing");
  Rig rig;
  QVERIFY(rig.Show());
  MainWindow& w = *rig.window;
  rig.chooser.opens = {rig.WriteMidi()};
  rig.Action(Command::kLoadPlaybackFile)->trigger();
  QWidget* rew = w.FormControl(Control::kRewButton);
  QWidget* ff = w.FormControl(Control::kFfButton);
  QVERIFY(!rew->isEnabled());

  // A click is not a hold.
  QTest::mouseClick(ff, Qt::LeftButton);
  QCOMPARE(w.Transport().Seconds(), 0u);
  QTest::mousePress(ff, Qt::LeftButton);
  QTRY_VERIFY(w.Transport().Seconds() >= 2);
  QTest::mouseRelease(ff, Qt::LeftButton);
  QCOMPARE(rig.Text(Control::kPlayStateText), QStringLiteral("Play - Forward"));
  QVERIFY(rew->isEnabled());
  QVERIFY(rig.Action(Command::kRewindFastForward)->isEnabled());

  QTest::mousePress(rew, Qt::LeftButton);
  QTRY_COMPARE(rig.Text(Control::kPlayingTimeText), QStringLiteral("mins 00 : 00 secs"));
  QTest::qWait(3 * PictureButton::kRepeatMs);
  QTest::mouseRelease(rew, Qt::LeftButton);
  QCOMPARE(rig.Text(Control::kPlayingTimeText), QStringLiteral("mins 00 : 00 secs"));
  QCOMPARE(rig.Text(Control::kPlayStateText), QStringLiteral("Play - Rewind"));

  // The start-time dialog, on a double-click of either button: a time in the music, one beyond
  // it (message 19, nothing changes), and Escape.
  struct Answer {
    std::optional<std::pair<std::uint32_t, std::uint32_t>> time;
    const char* clock;
    std::uint32_t start;
    int messages;
  };
  QVERIFY(w.Transport().Length() > 3000);
  const Answer answers[] = {{std::pair{0u, 3u}, "mins 00 : 03 secs", 3000, 0},
                            {std::pair{60u, 0u}, "mins 00 : 03 secs", 3000, 1},
                            {std::nullopt, "mins 00 : 03 secs", 3000, 1}};
  for (const Answer& answer : answers) {
    std::vector<std::uint32_t> asked;
    w.SetStartTimeStep([&](QWidget*, std::uint32_t minutes, std::uint32_t seconds) {
      asked = {minutes, seconds};
      return answer.time;
    });
    QTest::mouseDClick(answer.time ? ff : rew, Qt::LeftButton);
    QCOMPARE(asked.size(), 2u);
    QCOMPARE(rig.Text(Control::kPlayingTimeText), QString::fromLatin1(answer.clock));
    QCOMPARE(w.Transport().StartPosition(), answer.start);
    QCOMPARE(rig.presenter.messages.size(), answer.messages);
  }
  QCOMPARE(rig.presenter.messages.value(0), QStringLiteral("This value is out of range!"));
  QTest::keyClick(&w, Qt::Key_F8);
  QVERIFY(rig.sequencer.Position() >= 3000 && rig.sequencer.Position() < 3100);
  QTest::mouseClick(w.FormControl(Control::kStopButton), Qt::LeftButton);
}

void MainWindowTest::theStartTimeDialogTakes60MinutesNot60Seconds() {
  struct Case {
    const char *minutes, *seconds;
    bool taken;
    QString refusal;
    const char* focus;
  };
  const Case cases[] = {{"60", "0", true, {}, ""},
                        {"1", "60", false, "Enter an integer between 0 and 59.", "seconds"},
                        {"61", "0", false, "Enter an integer between 0 and 60.", "minutes"},
                        {"x", "0", false, "Enter an integer.", "minutes"}};
  for (const Case& c : cases) {
    StartTimeDialog dialog(1, 2);
    dialog.show();
    dialog.minutesEdit()->setText(QString::fromLatin1(c.minutes));
    dialog.secondsEdit()->setText(QString::fromLatin1(c.seconds));
    QString refusal;
    if (!c.taken) WithNextDialog([&](QWidget* box) { refusal = box->property("text").toString(); });
    QTest::keyClick(dialog.secondsEdit(), Qt::Key_Return);
    QCOMPARE(dialog.result(), c.taken ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(refusal, c.refusal);
    if (c.taken) {
      QCOMPARE(dialog.minutes(), 60u);
    } else {
      QVERIFY(dialog.focusWidget());
      QCOMPARE(dialog.focusWidget()->objectName(), QString::fromLatin1(c.focus));
      // Escape leaves the values it opened with.
      QTest::keyClick(&dialog, Qt::Key_Escape);
      QCOMPARE(std::pair(dialog.minutes(), dialog.seconds()), std::pair(1u, 2u));
    }
  }
}

void MainWindowTest::aRunThatWroteItsFilePlaysItAndSwitchesToNotation() {
  if (!fs::exists(kSoundFont)) QSKIP("timgm6mb-soundfont missing");
  for (bool device : {true, false}) {
    Rig rig(device ? kSoundFont : "/nonexistent/none.sf2");
    Options options = rig.doc.library.options;
    options.autoPlayback = 1;
    options.switchToNotationOnPlayback = 1;
    QVERIFY(rig.doc.library.SaveOptions(options));
    files::WriteAtomic(rig.data.path() / "SCOREPATH.DAT", std::string("notes --open\r\n"));
    rig.chooser.saves = {rig.Out()};
    QVERIFY(rig.Show());
    QTest::keyClick(rig.window.get(), Qt::Key_F2);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.window->RunActive(), 60000);
    if (!device) {
      QCOMPARE(rig.presenter.messages,
               QStringList(QString::fromLatin1(res::Text(res::kNoMidiDevice))));
      QCOMPARE(FlagMismatches(*rig.window, ControlState::kIdleCompleted), QString());
      QVERIFY(rig.TranscribeFocused());
      QVERIFY(rig.launcher.started.empty());
      continue;
    }
    QCOMPARE(FlagMismatches(*rig.window, ControlState::kPlaying), QString());
    QCOMPARE(rig.Text(Control::kMidiFileNameText), rig.Out());
    const std::vector<std::pair<std::string, std::string>> started{{"notes --open", rig.Score()}};
    QCOMPARE(rig.launcher.started, started);
    // Closing the window stops the music first.
    rig.window->close();
    QVERIFY(!rig.window->Transport().DeviceOpen());
  }
}

void MainWindowTest::theLibraryButtonsAndCommandsOpenTheirDialogs() {
  Rig rig;
  QVERIFY(rig.Show());
  const std::tuple<Command, Control, const char*> dialogs[] = {
      {Command::kOptions, Control::kOptionsButton, "Options"},
      {Command::kDefaults, Control::kDefaultsButton, "Defaults"},
      {Command::kSymbols, Control::kSymbolsButton, "Symbols"},
      {Command::kSpecials, Control::kSpecialsButton, "Specials"},
      {Command::kTemplates, Control::kTemplatesButton, "Select Template"},
      {Command::kEditBankProgramList, Control::kTranscribeButton, "Edit Bank / Program"},
      {Command::kEditPercussionMaps, Control::kTranscribeButton, "Percussion maps"},
      {Command::kLibraryPath, Control::kTranscribeButton, "Library Path"}};
  for (const auto& [command, button, title] : dialogs) {
    QStringList shown;
    auto record = [&](QWidget* dialog) { shown << dialog->windowTitle(); };
    WithNextDialog(record);
    rig.Action(command)->trigger();
    if (button != Control::kTranscribeButton) {
      WithNextDialog(record);
      QTest::mouseClick(rig.window->FormControl(button), Qt::LeftButton);
    }
    // The menu command and, where there is one, the picture button.
    QCOMPARE(shown,
             QStringList(button != Control::kTranscribeButton ? 2 : 1, QString::fromLatin1(title)));
  }
}

// Not a check: with VELLUMIX_SCREENSHOTS set to a folder, writes a PNG of the main window in
// every control state and of each dialog it opens (scripts/screenshots).
void MainWindowTest::screenshots() {
  const QString folder = qEnvironmentVariable("VELLUMIX_SCREENSHOTS");
  if (folder.isEmpty()) QSKIP("VELLUMIX_SCREENSHOTS names no folder");
  QDir().mkpath(folder);
  Rig rig;
  QVERIFY(rig.Show());
  QVERIFY(SaveGrab(rig.window.get(), folder, "main-window"));

  const std::pair<ControlState, const char*> states[] = {
      {ControlState::kRunning, "running"},
      {ControlState::kIdleCompleted, "idle-completed"},
      {ControlState::kIdleStopped, "idle-stopped"},
      {ControlState::kLoaded, "loaded"},
      {ControlState::kPlaying, "playing"},
      {ControlState::kPaused, "paused"},
      {ControlState::kStopped, "stopped"},
      {ControlState::kAutoStarting, "auto-starting"},
      {ControlState::kLoadFailed, "load-failed"}};
  for (auto [state, name] : states) {
    rig.window->ApplyState(state);
    QVERIFY(SaveGrab(rig.window.get(), folder, QStringLiteral("state-") + name));
  }
  rig.window->ApplyState(ControlState::kIdleStopped);

  // A run held while it reads the score, then its end.
  rig.chooser.saves = {rig.Out()};
  rig.log.HoldAt("Reading file " + rig.Score());
  rig.Action(Command::kTranscribe)->trigger();
  QTRY_VERIFY(rig.log.Held());
  QTest::qWait(100);
  QVERIFY(SaveGrab(rig.window.get(), folder, "run-reading"));
  rig.host.RequestCancel();
  QTRY_VERIFY(!rig.window->RunActive());
  rig.chooser.saves = {rig.Out()};
  rig.Action(Command::kTranscribe)->trigger();
  QTRY_VERIFY(!rig.window->RunActive());
  QTest::qWait(50);
  QVERIFY(SaveGrab(rig.window.get(), folder, "run-done"));

  for (QAction* menu : rig.window->menuBar()->actions()) {
    QMenu* popup = menu->menu();
    popup->popup(rig.window->mapToGlobal(QPoint(0, 0)));
    QTest::qWait(50);
    QVERIFY(SaveGrab(popup, folder, "menu-" + menu->text().remove(u'&').toLower()));
    popup->hide();
  }

  // Every picture in its four states, at the size of its button.
  const Picture pictures[] = {Picture::kTranscribe, Picture::kOptions,  Picture::kDefaults,
                              Picture::kSymbols,    Picture::kSpecials, Picture::kTemplates,
                              Picture::kMidi,       Picture::kRew,      Picture::kStop,
                              Picture::kPlay,       Picture::kFf,       Picture::kPause};
  const Control buttons[] = {
      Control::kTranscribeButton, Control::kOptionsButton,  Control::kDefaultsButton,
      Control::kSymbolsButton,    Control::kSpecialsButton, Control::kTemplatesButton,
      Control::kMidiButton,       Control::kRewButton,      Control::kStopButton,
      Control::kPlayButton,       Control::kFfButton,       Control::kPauseButton};
  const int cell = 140;
  QImage sheet(cell * 4 * 2, cell * 12 / 2 * 1 + cell, QImage::Format_ARGB32);
  sheet.fill(QColor(0xef, 0xef, 0xee));
  {
    QPainter p(&sheet);
    for (int i = 0; i < 12; ++i)
      for (int s = 0; s < 4; ++s) {
        const QSize size = rig.window->FormControl(buttons[i])->size();
        const QPoint at((i % 2) * cell * 4 + s * cell + 8, (i / 2) * cell + 8);
        p.drawPixmap(at, ButtonImage(pictures[i], static_cast<PictureState>(s), size, 1.0));
      }
  }
  QVERIFY(sheet.save(folder + "/button-pictures.png"));

  WithNextDialog([&](QWidget* box) { SaveGrab(box, folder, "about"); });
  rig.Action(Command::kAbout)->trigger();

  DialogPresenter dialogs;
  WithNextDialog([&](QWidget* box) { SaveGrab(box, folder, "message"); });
  dialogs.ShowMessage(rig.window.get(),
                      QString::fromStdString(res::Format(res::kCannotRead, {rig.Score()})));
  WithNextDialog([&](QWidget* box) { SaveGrab(box, folder, "question"); });
  dialogs.AskYesNo(rig.window.get(), QString::fromStdString(res::Format(
                                         res::kOverwriteQuestion, {rig.Out().toStdString()})));

  int top = 4, bottom = 4;
  const std::pair<TimeSignatureQuestion, std::string> kinds[] = {
      {TimeSignatureQuestion::kNoInitial, res::Format(res::kNoTimeSignature)},
      {TimeSignatureQuestion::kMultiple,
       res::Format(res::kMultipleTimeSignatures, {std::int64_t{12}, rig.Score()})},
      {TimeSignatureQuestion::kUnsupported,
       res::Format(
           res::kUnsupportedTimeSignature,
           {std::int64_t{7}, std::int64_t{3}, std::int64_t{5}, std::int64_t{2}, rig.Score()})}};
  int k = 0;
  for (const auto& [kind, text] : kinds) {
    WithNextDialog(
        [&, k](QWidget* d) { SaveGrab(d, folder, "time-signature-" + QString::number(k)); });
    AskTimeSignature(rig.window.get(), kind, QString::fromStdString(text), top, bottom);
    ++k;
  }
  float beats = 0;
  WithNextDialog([&](QWidget* d) { SaveGrab(d, folder, "anacrusis"); });
  AskAnacrusis(
      rig.window.get(),
      QString::fromStdString(res::Format(res::kNewInstrument, {std::int64_t{3}, rig.Score()})),
      beats);
  bool dontShowAgain = false;
  WithNextDialog([&](QWidget* d) { SaveGrab(d, folder, "multiple-systems"); });
  AskMultipleSystems(rig.window.get(),
                     QString::fromStdString(res::Format(res::kMaybeMultipleSystems, {rig.Score()})),
                     dontShowAgain);

  for (int explorer : {0, 1}) {
    rig.doc.library.options.explorerFileList = explorer;
    FileListState kept;
    kept.folder = QString::fromStdString(rig.data.slashed());
    kept.entries = rig.entries;
    std::vector<std::string> chosen;
    WithNextDialog(
        [&](QWidget* d) { SaveGrab(d, folder, explorer ? "file-list-explorer" : "file-list"); });
    RunFileListDialog(rig.window.get(), rig.doc, rig.host, rig.chooser, kept, chosen);
  }

  // The transport with a file loaded, playing, paused; the start-time dialog.
  if (fs::exists(kSoundFont)) {
    rig.chooser.opens = {rig.WriteMidi()};
    rig.Action(Command::kLoadPlaybackFile)->trigger();
    QVERIFY(SaveGrab(rig.window.get(), folder, "transport-loaded"));
    rig.Action(Command::kPlay)->trigger();
    rig.Render(1500);
    QTest::qWait(300);
    QVERIFY(SaveGrab(rig.window.get(), folder, "transport-playing"));
    rig.Action(Command::kPause)->trigger();
    QVERIFY(SaveGrab(rig.window.get(), folder, "transport-paused"));
  }
  StartTimeDialog startTime(1, 23, rig.window.get());
  startTime.show();
  QTest::qWait(50);
  QVERIFY(SaveGrab(&startTime, folder, "start-time"));
}

}  // namespace vellumix::gui

QTEST_MAIN(vellumix::gui::MainWindowTest)
#include "main_window_test.moc"
