// The Library Path, Options and Defaults dialogs on a scratch library: what they show, the bytes
// OK writes, refused fields, Cancel, New Path, choosing a library, and a run after Options.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "help/help.h"
#include "library/defaults_dialog.h"
#include "library/factory.h"
#include "library/library_path_dialog.h"
#include "library/options_dialog.h"
#include "platform/files.h"
#include "run/document.h"
#include "score_builder.h"
#include "scripted_host.h"
#include "temp_folder.h"

using namespace vellumix;
using namespace vellumix::gui;
namespace fs = std::filesystem;

namespace {

// Owns the waits of the test running, so that a wait left over cannot answer the next test.
QObject& Pending() {
  static QObject pending;
  return pending;
}

// Calls `answer` with the next modal window other than `under` once it is up.
void OnNextModal(std::function<void(QWidget*)> answer, QWidget* under = nullptr) {
  auto* timer = new QTimer(&Pending());
  const QDeadlineTimer deadline(5000);
  QObject::connect(timer, &QTimer::timeout, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    const bool ready = modal != nullptr && modal != under;
    if (!ready && !deadline.hasExpired()) return;
    timer->stop();
    timer->deleteLater();
    if (ready) answer(modal);
  });
  timer->start(10);
}

QPushButton* Button(QWidget* dialog, const QString& text) {
  for (auto* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

template <class W>
W* Control(QWidget* dialog, const char* name) {
  return dialog->findChild<W*>(QString::fromLatin1(name));
}

files::Bytes Read(const std::string& path) {
  return files::ReadAll(path).value_or(files::Bytes{});
}

// A scratch user data folder with the factory library, and the document on it.
struct Rig {
  test::TempFolder data;
  test::ScriptedHost host;
  CVellumixDoc doc{host};

  Rig() {
    InstallFactoryLibrary(data.slashed(), host);
    if (!doc.Create(data.slashed(), false)) qWarning("library not loaded");
    host.messages.clear();
  }
  std::string File(const char* name) const { return doc.library.LibraryFile(name); }
  QStringList Messages() const {
    QStringList out;
    for (const auto& m : host.messages) out << QString::fromStdString(m.text);
    return out;
  }
};

enum class Which { kOptions, kDefaults, kLibraryPath };

QDialog* Make(Which which, CVellumixDoc& doc) {
  switch (which) {
    case Which::kOptions:
      return new OptionsDialog(doc);
    case Which::kDefaults:
      return new DefaultsDialog(doc);
    case Which::kLibraryPath:
      break;
  }
  return new LibraryPathDialog(doc);
}

Options Unusual() {
  Options o;
  o.transcribeAllInstruments = 0;
  o.firstInstrument = 7;
  o.lastInstrument = 9;
  o.midiFileType = "Type 0";
  o.interpretLyrics = 1;
  o.useStaveTransposition = 1;
  return o;
}

QStringList Items(QComboBox* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->itemText(i);
  return out;
}

}  // namespace

Q_DECLARE_METATYPE(Which)

class LibrarySettingsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() {
    qDeleteAll(Pending().children());
    delete CurrentHelpWindow();
  }

  // The command reads OPTIONS.DAT again; OK writes exactly what the core writes for the values
  // shown and edited, and the document takes them.
  void optionsShownAndWritten() {
    Rig rig;
    files::WriteAtomic(rig.File("OPTIONS.DAT"), EncodeOptions(Unusual()));
    Options expected = Unusual();
    expected.interpretLyrics = 0;
    expected.lastInstrument = 12;
    expected.midiFileType = "Type 1";
    bool shown = false;
    OnNextModal([&](QWidget* dialog) {
      shown = Control<QLineEdit>(dialog, "firstInstrument")->text() == "7" &&
              Control<QLineEdit>(dialog, "lastInstrument")->text() == "9" &&
              Control<QComboBox>(dialog, "midiFileType")->currentText() == "Type 0" &&
              Control<QCheckBox>(dialog, "interpretLyrics")->isChecked() &&
              !Control<QCheckBox>(dialog, "transcribeAllInstruments")->isChecked() &&
              !Control<QCheckBox>(dialog, "interpretMultipleSystems")->isChecked();
      Control<QCheckBox>(dialog, "interpretLyrics")->setChecked(false);
      Control<QLineEdit>(dialog, "lastInstrument")->setText(" 12");
      Control<QComboBox>(dialog, "midiFileType")->setCurrentText("Type 1");
      Button(dialog, "OK")->click();
    });
    QVERIFY(RunOptionsDialog(nullptr, rig.doc));
    QVERIFY(shown);
    const files::Bytes written = Read(rig.File("OPTIONS.DAT"));
    QCOMPARE(written.size(), std::size_t(107));
    QVERIFY(written == EncodeOptions(expected));
    QVERIFY(rig.doc.library.options == expected);
    QCOMPARE(rig.Messages(), QStringList());
  }

  void defaultsShownAndWritten() {
    Rig rig;
    Defaults file;
    file.tieHorizontalWidth = 2.5f;
    file.transposition = -12;
    files::WriteAtomic(rig.File("DEFAULTS.DAT"), EncodeDefaults(file));
    QVERIFY(rig.doc.library.LoadDefaults());
    DefaultsDialog dialog(rig.doc);
    QCOMPARE(Control<QLineEdit>(&dialog, "tieHorizontalWidth")->text(), QString("2.5"));
    QCOMPARE(Control<QLineEdit>(&dialog, "transposition")->text(), QString("-12"));
    QCOMPARE(Control<QLineEdit>(&dialog, "dynamic")->text(), QString("80"));

    Button(&dialog, "Defaults")->click();
    QCOMPARE(Control<QLineEdit>(&dialog, "tieHorizontalWidth")->text(), QString("0.1"));
    QCOMPARE(Control<QLineEdit>(&dialog, "graceNoteLength")->text(), QString("4"));
    Control<QLineEdit>(&dialog, "tempo")->setText("96");
    Control<QLineEdit>(&dialog, "tieHorizontalWidth")->setText("6.0");
    Control<QCheckBox>(&dialog, "graceNotesOnBeat")->setChecked(true);
    dialog.show();
    Button(&dialog, "OK")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    Defaults expected = DefaultsDialogDefaults();
    expected.tempo = 96;
    expected.tieHorizontalWidth = 6.0f;
    expected.graceNotesOnBeat = 1;
    const files::Bytes written = Read(rig.File("DEFAULTS.DAT"));
    QCOMPARE(written.size(), std::size_t(48));
    QVERIFY(written == EncodeDefaults(expected));
    QVERIFY(rig.doc.library.defaults == expected);
  }

  void refusedField_data() {
    QTest::addColumn<Which>("which");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("focus");
    const char* const all = "transcribeAllInstruments";
    // Checked while disabled too; the focus goes to the check box that enables them.
    QTest::newRow("first instrument 0") << Which::kOptions << "firstInstrument"
                                        << "0"
                                        << "Enter an integer between 1 and 350." << true << all;
    QTest::newRow("last instrument 351")
        << Which::kOptions << "lastInstrument"
        << "351"
        << "Enter an integer between 1 and 350." << false << "lastInstrument";
    QTest::newRow("tie width 6.5")
        << Which::kDefaults << "tieHorizontalWidth"
        << "6.5"
        << "Enter a number between 0 and 6." << false << "tieHorizontalWidth";
    QTest::newRow("tie width text") << Which::kDefaults << "tieHorizontalWidth"
                                    << "wide"
                                    << "Enter a number." << false << "tieHorizontalWidth";
    QTest::newRow("transposition -49")
        << Which::kDefaults << "transposition"
        << "-49"
        << "Enter an integer between -48 and 48." << false << "transposition";
    QTest::newRow("tempo 1.5") << Which::kDefaults << "tempo"
                               << "1.5"
                               << "Enter an integer." << false << "tempo";
  }

  // The message, the focus on the refused box with its text selected, the dialog still open and
  // nothing written.
  void refusedField() {
    QFETCH(Which, which);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(bool, all);
    QFETCH(QString, focus);
    Rig rig;
    const files::Bytes options = Read(rig.File("OPTIONS.DAT"));
    const files::Bytes defaults = Read(rig.File("DEFAULTS.DAT"));
    std::unique_ptr<QDialog> dialog(Make(which, rig.doc));
    if (auto* check = Control<QCheckBox>(dialog.get(), "transcribeAllInstruments"))
      check->setChecked(all);
    dialog->show();
    auto* refused = Control<QLineEdit>(dialog.get(), qPrintable(field));
    refused->setText(text);
    Button(dialog.get(), "OK")->click();
    QCOMPARE(rig.Messages(), QStringList{message});
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->focusWidget(), Control<QWidget>(dialog.get(), qPrintable(focus)));
    if (refused->isEnabled()) QCOMPARE(refused->selectedText(), text);
    QVERIFY(Read(rig.File("OPTIONS.DAT")) == options);
    QVERIFY(Read(rig.File("DEFAULTS.DAT")) == defaults);
  }

  void cancelAndWriteFailure_data() {
    QTest::addColumn<Which>("which");
    QTest::newRow("options") << Which::kOptions;
    QTest::newRow("defaults") << Which::kDefaults;
  }

  // Cancel writes nothing; a file that can't be written gives message 10 and keeps the dialog
  // open and the document's values.
  void cancelAndWriteFailure() {
    QFETCH(Which, which);
    Rig rig;
    const files::Bytes options = Read(rig.File("OPTIONS.DAT"));
    const files::Bytes defaults = Read(rig.File("DEFAULTS.DAT"));
    const Options heldOptions = rig.doc.library.options;
    const Defaults heldDefaults = rig.doc.library.defaults;
    {
      std::unique_ptr<QDialog> dialog(Make(which, rig.doc));
      dialog->show();
      Button(dialog.get(), "Defaults")->click();
      Button(dialog.get(), "Cancel")->click();
      QCOMPARE(dialog->result(), int(QDialog::Rejected));
    }
    QVERIFY(Read(rig.File("OPTIONS.DAT")) == options);
    QVERIFY(Read(rig.File("DEFAULTS.DAT")) == defaults);

    std::unique_ptr<QDialog> dialog(Make(which, rig.doc));
    dialog->show();
    Button(dialog.get(), "Defaults")->click();
    rig.doc.library.LibraryFolder = rig.data.slashed() + "gone/";
    Button(dialog.get(), "OK")->click();
    const char* file = which == Which::kOptions ? "OPTIONS.DAT" : "DEFAULTS.DAT";
    QCOMPARE(rig.Messages(),
             QStringList{QString::fromStdString("Unable to write file " + rig.File(file) +
                                                ": No such file or directory")});
    QVERIFY(dialog->isVisible());
    QVERIFY(rig.doc.library.options == heldOptions);
    QVERIFY(rig.doc.library.defaults == heldDefaults);
  }

  void onlyInstrumentsFollowTranscribeAll() {
    Rig rig;
    OptionsDialog dialog(rig.doc);
    auto* all = Control<QCheckBox>(&dialog, "transcribeAllInstruments");
    QList<QWidget*> controls = {Control<QWidget>(&dialog, "firstInstrument"),
                                Control<QWidget>(&dialog, "lastInstrument")};
    for (auto* label : dialog.findChildren<QLabel*>()) {
      if (label->text() == "Only instruments" || label->text() == "to") controls << label;
    }
    QCOMPARE(controls.size(), 4);
    auto enabled = [&] {
      int count = 0;
      for (QWidget* control : controls) count += control->isEnabled();
      return count;
    };
    QVERIFY(all->isChecked());
    QCOMPARE(enabled(), 0);
    dialog.show();
    QTest::mouseClick(all, Qt::LeftButton, {}, QPoint(4, all->height() / 2));
    QVERIFY(!all->isChecked());
    QCOMPARE(enabled(), 4);
    Button(&dialog, "Defaults")->click();
    QCOMPARE(enabled(), 0);
  }

  // New Path makes PIANO of "piano.lib" and lists it; the library folder stays selected. A name
  // that exists is refused with the core's text.
  void newPath() {
    Rig rig;
    fs::create_directory(rig.data.path() / "STRINGS");
    QVERIFY(rig.doc.library.ChooseLibraryFolder("STRINGS", true));
    LibraryPathDialog dialog(rig.doc);
    auto* paths = Control<QComboBox>(&dialog, "paths");
    const QString dataEntry = "[.] (" + QString::fromStdString(rig.data.slashed()) + ")";
    QCOMPARE(Items(paths), (QStringList{dataEntry, "[STRINGS]"}));
    QCOMPARE(paths->currentText(), QString("[STRINGS]"));

    QString caption;
    QString note;
    auto name = [&](const QString& typed) {
      OnNextModal([&, typed](QWidget* ask) {
        caption = ask->windowTitle();
        note = Control<QLabel>(ask, "note")->text();
        Control<QLineEdit>(ask, "name")->setText(typed);
        Button(ask, "OK")->click();
      });
    };
    name("piano.lib");
    Button(&dialog, "New Path")->click();
    QCOMPARE(caption, QString("Enter name of library path"));
    QCOMPARE(note, QString("New library paths appear as subfolders off the base library path "
                           "which is set by the program."));
    QVERIFY(fs::is_directory(rig.data.path() / "PIANO"));
    QCOMPARE(Items(paths), (QStringList{dataEntry, "[PIANO]", "[STRINGS]"}));
    QCOMPARE(paths->currentText(), QString("[STRINGS]"));
    QCOMPARE(rig.doc.library.LibraryFolder, rig.data.slashed() + "STRINGS/");
    QCOMPARE(rig.Messages(), QStringList());

    name("Piano");
    Button(&dialog, "New Path")->click();
    QCOMPARE(rig.Messages(), QStringList{"Error creating directory."});
    QCOMPARE(paths->count(), 3);
  }

  // OK on a sub-folder writes prefs.dat naming it, gives the new library its factory files and
  // loads it; the command opens with it selected.
  void choosingALibrary() {
    Rig rig;
    fs::create_directory(rig.data.path() / "ORGAN");
    Defaults slow;
    slow.tempo = 72;
    files::WriteAtomic(rig.data.slashed() + "ORGAN/DEFAULTS.DAT", EncodeDefaults(slow));
    OnNextModal([](QWidget* dialog) {
      Control<QComboBox>(dialog, "paths")->setCurrentText("[ORGAN]");
      Button(dialog, "OK")->click();
    });
    QVERIFY(RunLibraryPathDialog(nullptr, rig.doc));
    QCOMPARE(rig.doc.library.LibraryFolder, rig.data.slashed() + "ORGAN/");
    const files::Bytes prefs = Read(rig.data.slashed() + "prefs.dat");
    QCOMPARE(std::string(prefs.begin(), prefs.end()), std::string("\x36\x01\0\0\x06ORGAN/", 11));
    QVERIFY(fs::exists(rig.data.path() / "ORGAN" / "OPTIONS.DAT"));
    QVERIFY(fs::exists(rig.data.path() / "ORGAN" / "TEMPLATE.DAT"));
    QCOMPARE(rig.doc.library.defaults.tempo, 72);
    QCOMPARE(rig.doc.library.startingTempo, 72);
    QCOMPARE(rig.Messages(), QStringList());

    QString selected;
    OnNextModal([&](QWidget* dialog) {
      selected = Control<QComboBox>(dialog, "paths")->currentText();
      Control<QComboBox>(dialog, "paths")->setCurrentIndex(0);
      Button(dialog, "Cancel")->click();
    });
    QVERIFY(!RunLibraryPathDialog(nullptr, rig.doc));
    QCOMPARE(selected, QString("[ORGAN]"));
    QCOMPARE(rig.doc.library.LibraryFolder, rig.data.slashed() + "ORGAN/");
  }

  // A run after Options OK writes the file type chosen there.
  void runAfterOptionsUsesThem() {
    Rig rig;
    QCOMPARE(rig.doc.library.options.midiFileType, std::string("Type 1"));
    OnNextModal([](QWidget* dialog) {
      Control<QComboBox>(dialog, "midiFileType")->setCurrentText("Type 0");
      Button(dialog, "OK")->click();
    });
    QVERIFY(RunOptionsDialog(nullptr, rig.doc));
    auto source = files::ReadAll(std::string(VELLUMIX_SOURCE_DIR) + "/examples/minuet.pmx");
    QVERIFY(source);
    std::string error;
    auto score = test::BuildScoreFile(std::string(source->begin(), source->end()), &error);
    QVERIFY2(score, error.c_str());
    QVERIFY(files::WriteAtomic(rig.data.slashed() + "minuet.mus", *score));
    ReadSummary summary;
    const std::string out = rig.data.slashed() + "out.mid";
    QCOMPARE(int(Transcribe(rig.doc, {rig.data.slashed() + "minuet.mus 1"}, out, summary)),
             int(RunResult::kDone));
    const files::Bytes midi = Read(out);
    QVERIFY(midi.size() > 14);
    QCOMPARE(int(midi[8]) * 256 + midi[9], 0);  // the header's format
  }

  void help_data() {
    QTest::addColumn<Which>("which");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<bool>("button");
    QTest::newRow("options") << Which::kOptions << "options1" << true;
    QTest::newRow("defaults") << Which::kDefaults << "defaults1" << true;
    QTest::newRow("library path") << Which::kLibraryPath << "librarypath" << false;
  }

  // F1 (from a control) and Help... open the dialog's topic.
  void help() {
    QFETCH(Which, which);
    QFETCH(QString, topic);
    QFETCH(bool, button);
    Rig rig;
    std::unique_ptr<QDialog> dialog(Make(which, rig.doc));
    dialog->show();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QWidget* control = dialog->findChild<QComboBox*>();  // enabled in every dialog that has one
    if (!control) control = dialog->findChild<QLineEdit*>();
    control->setFocus();
    QTest::keyClick(control, Qt::Key_F1);
    QVERIFY(CurrentHelpWindow());
    QCOMPARE(CurrentHelpWindow()->topic(), topic);
    QCOMPARE(Button(dialog.get(), "Help...") != nullptr, button);
    if (button) {
      CurrentHelpWindow()->showTopic("index");
      Button(dialog.get(), "Help...")->click();
      QCOMPARE(CurrentHelpWindow()->topic(), topic);
    }
  }

  // One PNG a dialog and a refusal into $VELLUMIX_SCREENSHOTS.
  void screenshots() {
    const QString folder = qEnvironmentVariable("VELLUMIX_SCREENSHOTS");
    if (folder.isEmpty()) QSKIP("VELLUMIX_SCREENSHOTS names no folder");
    QDir().mkpath(folder);
    Rig rig;
    fs::create_directory(rig.data.path() / "PIANO");
    fs::create_directory(rig.data.path() / "STRINGS");
    auto save = [&](QWidget* widget, const char* name) {
      widget->show();
      QVERIFY(widget->grab().save(folder + "/" + name + ".png"));
    };
    for (const auto& [which, name] :
         {std::pair{Which::kOptions, "options"}, std::pair{Which::kDefaults, "defaults"},
          std::pair{Which::kLibraryPath, "library_path"}}) {
      std::unique_ptr<QDialog> dialog(Make(which, rig.doc));
      save(dialog.get(), name);
    }
    OptionsDialog some(rig.doc);
    Control<QCheckBox>(&some, "transcribeAllInstruments")->setChecked(false);
    save(&some, "options_some_instruments");
    NewPathDialog ask;
    save(&ask, "new_path");
  }
};

QTEST_MAIN(LibrarySettingsTest)
#include "library_settings_test.moc"
