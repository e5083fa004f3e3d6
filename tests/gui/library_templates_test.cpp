// The template, instrument, bank/program and percussion map editors on a scratch copy of the
// factory library: files written with the core's bytes and used by a run, deletes that ask,
// refused fields, Cancel, the text editor and help.
#include "run/document.h"

#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/presenter.h"
#include "help/help.h"
#include "library/bank_program_dialog.h"
#include "library/edit_instrument_dialog.h"
#include "library/edit_map_dialog.h"
#include "library/edit_map_setup_dialog.h"
#include "library/edit_template_dialog.h"
#include "library/factory.h"
#include "library/percussion_maps_dialog.h"
#include "library/select_template_dialog.h"
#include "library/text_editor.h"
#include "platform/files.h"
#include "res/strings.h"
#include "run_program.h"
#include "score/track_files.h"
#include "scripted_host.h"
#include "temp_folder.h"

using namespace vellumix;
using namespace vellumix::gui;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Owns the waits of the test running, so that a wait left over cannot answer the next test.
QObject& Pending() {
  static QObject pending;
  return pending;
}

// Calls `answer` with the next modal dialog of type T once it is up, and closes it if the answer
// left it open; one never shown fails the wait.
template <typename T>
void OnNextModal(std::function<void(T*)> answer) {
  auto* timer = new QTimer(&Pending());
  const QDeadlineTimer deadline(5000);
  QObject::connect(timer, &QTimer::timeout, [=] {
    auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    if (modal == nullptr && !deadline.hasExpired()) return;
    timer->stop();
    timer->deleteLater();
    if (modal == nullptr) return;
    answer(modal);
    if (modal->isVisible()) modal->reject();
  });
  timer->start(10);
}

template <typename T = QLineEdit>
T* Child(QWidget* dialog, const char* name) {
  auto* child = dialog->findChild<T*>(QLatin1String(name));
  if (child == nullptr) qWarning("no control %s", name);
  return child;
}

void Set(QWidget* dialog, const char* name, const QString& text) {
  Child(dialog, name)->setText(text);
}

void Press(QWidget* dialog, const char* name) {
  Child<QAbstractButton>(dialog, name)->click();
}

void Select(QListWidget* list, const QStringList& texts) {
  list->clearSelection();
  for (const QString& text : texts)
    for (auto* item : list->findItems(text, Qt::MatchExactly)) item->setSelected(true);
}

QStringList Texts(const QListWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
  return texts;
}

Bytes Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::map<std::string, Bytes> Snapshot(const fs::path& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = Read(entry.path());
  return files;
}

class RecordingEditor : public TextEditorLauncher {
 public:
  bool Open(const std::string& path) override {
    opened.push_back(path);
    return true;
  }
  std::vector<std::string> opened;
};

// The factory library with a second instrument library, Brass, whose list has two entries.
struct Library {
  Library() {
    InstallFactoryLibrary(data.slashed(), host);
    doc.Create(data.slashed(), false);
    std::ofstream(File("INSTRUMENTS.DAT"), std::ios::binary) << "General\r\nBrass,Horns\r\n";
    std::ofstream(File("Brass.PCH"), std::ios::binary) << "56=Trumpet\r\n60=French Horn\r\n";
    host.messages.clear();
  }
  fs::path File(const std::string& name) const { return data.path() / name; }
  std::string Folder() const { return doc.library.LibraryFolder; }
  std::string LastText() const { return host.messages.empty() ? "" : host.messages.back().text; }

  // Intermediate files of two bars of 4/4 with `notes` (staff number, step) on the first beats,
  // turned into a MIDI file by the second half of a run; mido's reading of it, one line a
  // program change, volume or pan change and note-on: "P channel program", "C channel control
  // value", "N channel note".
  QStringList Run(const std::vector<std::pair<int, float>>& notes) {
    auto line = [](std::initializer_list<float> values, bool bar, bool first) {
      CItem item;
      for (float v : values) item.values.Append(v);
      return FormatTrackLine(item, bar, first);
    };
    files::WriteAtomic(TrackFileName(Folder(), 0), line({50, 1, 0, 4, 4, 2}, true, true) +
                                                       line({100, 1, 0, 4, 4, 2}, true, false));
    std::map<int, std::string> tracks;
    float x = 10;
    for (const auto& [staff, step] : notes) {
      tracks[staff] += line({1, 1, x, step, 10, 1, 0, 0, 0}, false, false);
      x += 10;
    }
    for (const auto& [staff, text] : tracks)
      files::WriteAtomic(TrackFileName(Folder(), staff), text);
    const std::string out = data.slashed() + "out.mid";
    if (ReadOldData(doc, out) != RunResult::kDone) return {QString::fromStdString(LastText())};
    const auto mido = test::RunProgram(
        "/usr/bin/python3",
        {"-c",
         "import sys, mido\n"
         "for t in mido.MidiFile(sys.argv[1]).tracks:\n"
         "  for m in t:\n"
         "    if m.type == 'program_change': print('P', m.channel, m.program)\n"
         "    if m.type == 'control_change' and m.control in (7, 10):\n"
         "      print('C', m.channel, m.control, m.value)\n"
         "    if m.type == 'note_on' and m.velocity: print('N', m.channel, m.note)\n",
         out});
    return QString::fromStdString(mido.out).split(u'\n', Qt::SkipEmptyParts);
  }

  test::TempFolder data;
  test::ScriptedHost host;
  CVellumixDoc doc{host};
};

struct Instrument {
  const char* staveName;
  const char* staveId;
  int library;
  int channel;
  int bankProgram;
  const char* pan;
  const char* volume;
};

void Fill(QWidget* dialog, const Instrument& in) {
  Set(dialog, "staveName", QString::fromLatin1(in.staveName));
  Set(dialog, "staveId", QString::fromLatin1(in.staveId));
  Child<QComboBox>(dialog, "instrumentLibrary")->setCurrentIndex(in.library);
  Child<QComboBox>(dialog, "channel")->setCurrentIndex(in.channel);
  Child<QComboBox>(dialog, "bankProgram")->setCurrentIndex(in.bankProgram);
  Set(dialog, "pan", QString::fromLatin1(in.pan));
  Set(dialog, "volume", QString::fromLatin1(in.volume));
}

// Sets Edit Map's fields; a negative pitch leaves the list without a choice.
void FillMap(QWidget* dialog, const MapSetup::Map& map) {
  Set(dialog, "name", QString::fromStdString(map.name));
  Child<QListWidget>(dialog, "pitch")->setCurrentRow(map.pitch);
  Child<QListWidget>(dialog, "playedPitch")->setCurrentRow(map.playedPitch);
  Child<QComboBox>(dialog, "channel")->setCurrentIndex(map.channel);
}

}  // namespace

class LibraryTemplatesTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { SetTextEditor(&editor_); }
  void cleanup() {
    qDeleteAll(Pending().children());
    SetTextEditor(nullptr);
    editor_.opened.clear();
    if (HelpWindow* help = CurrentHelpWindow()) delete help;
  }

  // A template built from scratch with two new instruments is written with the core's bytes,
  // selected, and gives the run its channels, programs, pan and volume.
  void templateFromScratchIsSelectedAndPlayed() {
    Library lib;
    SelectTemplateDialog select(lib.doc);
    QStringList templates;
    for (const auto& name : TemplateChoices(lib.Folder()))
      templates << QString::fromStdString(name);
    QCOMPARE(Texts(select.list()), templates);
    QCOMPARE(select.list()->currentItem()->text(), QStringLiteral("[None]"));
    QVERIFY(Child<QPushButton>(&select, "ok")->isEnabled());
    select.list()->clearSelection();
    QVERIFY(!Child<QPushButton>(&select, "ok")->isEnabled());

    int refusals = 0;
    int brassEntries = 0;
    OnNextModal<EditTemplateDialog>([&](EditTemplateDialog* tpl) {
      QCOMPARE(tpl->windowTitle(), QStringLiteral("New Template"));
      const Instrument instruments[] = {{"Flute", "1", 0, 2, 73, "-10", "90"},
                                        {"Cello", "2", 0, 4, 42, "20", "70"}};
      for (const Instrument& in : instruments) {
        OnNextModal<EditInstrumentDialog>([&](EditInstrumentDialog* ins) {
          QCOMPARE(ins->windowTitle(), QStringLiteral("New Instrument"));
          auto* library = Child<QComboBox>(ins, "instrumentLibrary");
          QCOMPARE(ins->bankProgramList()->count(), 128);
          library->setCurrentIndex(1);
          brassEntries = ins->bankProgramList()->count();
          QCOMPARE(ins->bankProgramList()->currentText(), QStringLiteral("56=Trumpet"));
          Fill(ins, in);
          QVERIFY(!Child<QComboBox>(ins, "percussionMap")->isEnabled());
          Set(ins, "volume", QStringLiteral("128"));
          Press(ins, "ok");
          QCOMPARE(lib.LastText(), std::string("Enter an integer between 0 and 127."));
          QCOMPARE(ins->focusWidget(), Child(ins, "volume"));
          ++refusals;
          Press(ins, "volumeDown");
          QCOMPARE(Child(ins, "volume")->text(), QStringLiteral("127"));
          Set(ins, "volume", QString::fromLatin1(in.volume));
          Press(ins, "ok");
        });
        Press(tpl, "newInstrument");
      }
      QStringList library;
      for (const auto& name : InstrumentChoices(lib.Folder()))
        library << QString::fromStdString(name);
      QCOMPARE(Texts(tpl->libraryList()), library);  // sorted, the new ones among them
      QVERIFY(library.contains("Cello [2]") && library.contains("Flute [1]"));
      Select(tpl->libraryList(), {"Flute [1]"});
      Press(tpl, "addInstrument");
      Select(tpl->libraryList(), {"Cello [2]"});
      Press(tpl, "addInstrument");
      Set(tpl, "name", QStringLiteral("Duo"));
      Set(tpl, "defaultTempo", QStringLiteral("251"));
      Press(tpl, "ok");
      QCOMPARE(lib.LastText(), std::string("Enter an integer between 0 and 250."));
      QCOMPARE(tpl->focusWidget(), Child(tpl, "defaultTempo"));
      Press(tpl, "defaultTempoDown");
      Press(tpl, "defaultTempoDown");
      QCOMPARE(Child(tpl, "defaultTempo")->text(), QStringLiteral("249"));
      Set(tpl, "defaultTempo", QStringLiteral("90"));
      Press(tpl, "ok");
    });
    Press(&select, "newTemplate");
    QCOMPARE(refusals, 2);
    QCOMPARE(brassEntries, 2);

    InstrumentRecord flute;
    flute.staveName = "Flute";
    flute.staveId = 1;
    flute.channel = 2;
    flute.bankProgram = 73;
    flute.pan = -10;
    flute.volume = 90;
    flute.percussionMapName = MapSetupChoices(lib.Folder()).front();
    InstrumentRecord cello = flute;
    cello.staveName = "Cello";
    cello.staveId = 2;
    cello.channel = 4;
    cello.bankProgram = 42;
    cello.pan = 20;
    cello.volume = 70;
    QCOMPARE(Read(lib.File("Flute [1].INS")), EncodeInstrument(flute));
    QCOMPARE(Read(lib.File("Cello [2].INS")), EncodeInstrument(cello));
    QCOMPARE(Read(lib.File("Duo.TPL")),
             EncodeTemplate({kLibraryFileVersion, "Duo", 90, {"Flute [1]", "Cello [2]"}}));

    templates.insert(1, QStringLiteral("Duo"));
    QCOMPARE(Texts(select.list()), templates);
    QCOMPARE(select.list()->currentItem()->text(), QStringLiteral("Duo"));
    Press(&select, "ok");
    QCOMPARE(select.result(), int(QDialog::Accepted));
    QCOMPARE(Read(lib.File("TEMPLATE.DAT")), EncodeTemplateSelection("Duo"));
    QCOMPARE(lib.doc.library.selectedTemplate, std::string("Duo"));

    // Step 3 under the treble clef is E (64).
    QCOMPARE(lib.Run({{1, 3}, {2, 3}}), (QStringList{"P 2 73", "C 2 10 53", "C 2 7 90", "N 2 64",
                                                     "P 4 42", "C 4 10 83", "C 4 7 70", "N 4 64"}));
  }

  // A map setup built in the editors keeps its maps sorted, is written with the core's bytes and
  // sends the drum notes to the mapped pitches and channels.
  void mapSetupIsSortedAndPlayed() {
    Library lib;
    PercussionMapsDialog maps(lib.doc);
    const MapSetup::Map entered[] = {
        {"Snare", 72, 38, 10}, {"Bass", 65, 36, 10}, {"Hat", 67, 42, 0}};
    OnNextModal<EditMapSetupDialog>([&](EditMapSetupDialog* setup) {
      QCOMPARE(setup->windowTitle(), QStringLiteral("New Map Setup"));
      for (const auto& map : entered) {
        OnNextModal<EditMapDialog>([&](EditMapDialog* edit) {
          QCOMPARE(edit->windowTitle(), QStringLiteral("New Map"));
          FillMap(edit, {map.name, -1, map.playedPitch, map.channel});
          Press(edit, "ok");
          QCOMPARE(lib.LastText(), std::string("Enter an integer between 0 and 127."));
          QCOMPARE(edit->focusWidget(), Child<QListWidget>(edit, "pitch"));
          Child<QListWidget>(edit, "pitch")->setCurrentRow(map.pitch);
          QCOMPARE(Child<QLabel>(edit, "pitchNumber")->text(), QString::number(map.pitch));
          Press(edit, "ok");
        });
        Press(setup, "newMap");
      }
      QCOMPARE(setup->maps()->topLevelItemCount(), 3);
      QCOMPARE(setup->maps()->topLevelItem(0)->text(0), QStringLiteral("Bass"));
      QCOMPARE(setup->maps()->topLevelItem(0)->text(1), QStringLiteral("F5"));
      QCOMPARE(setup->maps()->topLevelItem(2)->text(3), QStringLiteral("10"));
      Press(setup, "ok");
      QCOMPARE(lib.LastText(), std::string(kMapSetupNameBlank));
      QCOMPARE(setup->focusWidget(), Child(setup, "name"));
      Set(setup, "name", QStringLiteral("Kit"));
      Press(setup, "ok");
    });
    Press(&maps, "newSetup");
    MapSetup kit;
    kit.name = "Kit";
    for (const auto& map : entered) kit.Insert(map);
    QCOMPARE(kit.Names(), (std::vector<std::string>{"Bass", "Hat", "Snare"}));
    QCOMPARE(Read(lib.File("Kit.MAP")), EncodeMapSetup(kit));
    QVERIFY(Texts(maps.list()).contains(QStringLiteral("Kit")));

    InstrumentRecord drums;
    drums.staveName = "Drums";
    drums.staveId = 1;
    drums.channel = 3;
    drums.usePercussionMap = 1;
    drums.percussionMapName = "Kit";
    QVERIFY(WriteInstrument(lib.host, lib.Folder(), drums));
    QVERIFY(WriteTemplate(lib.host, lib.Folder(), {kLibraryFileVersion, "Kit", 0, {"Drums [1]"}}));
    QVERIFY(lib.doc.library.SelectTemplate("Kit"));
    // Written F5 (65), G5 (67), C6 (72) and A5 (69), which no map names.
    QCOMPARE(
        lib.Run({{1, 4}, {1, 5}, {1, 8}, {1, 6}}),
        (QStringList{"P 3 0", "C 3 10 63", "C 3 7 100", "N 9 36", "N 3 42", "N 9 38", "N 3 69"}));
  }

  // Every delete asks first; No keeps the file, Yes deletes it and the entry leaves its list.
  void deletesAskFirst() {
    struct Case {
      const char* what;
      const char* file;
      std::function<QDialog*(Library&)> open;
      const char* button;
      const char* entry;
      int question;
    };
    const Case cases[] = {
        {"template", "Solo.TPL", [](Library& lib) { return new SelectTemplateDialog(lib.doc); },
         "deleteTemplate", "Solo", 0},
        {"instrument", "Flute [1].INS",
         [](Library& lib) {
           return new EditTemplateDialog(lib.doc, *ReadTemplate(lib.host, lib.Folder(), "Solo"),
                                         "Edit Solo");
         },
         "deleteInstrument", "Flute [1]", 0},
        {"map setup", "Kit.MAP", [](Library& lib) { return new PercussionMapsDialog(lib.doc); },
         "deleteSetup", "Kit", 0},
        {"bank/program list", "Brass.PCH",
         [](Library& lib) { return new BankProgramDialog(lib.doc); }, "delete", "Brass",
         res::kConfirmDeletePch},
    };
    for (const Case& c : cases) {
      qInfo("%s", c.what);
      Library lib;
      InstrumentRecord flute;
      flute.staveName = "Flute";
      flute.staveId = 1;
      QVERIFY(WriteInstrument(lib.host, lib.Folder(), flute));
      QVERIFY(
          WriteTemplate(lib.host, lib.Folder(), {kLibraryFileVersion, "Solo", 0, {"Flute [1]"}}));
      MapSetup kit;
      kit.name = "Kit";
      QVERIFY(WriteMapSetup(lib.host, lib.Folder(), kit));
      std::ofstream(lib.File("INSTRUMENTS.DAT"), std::ios::binary) << "General\r\nBrass\r\n";
      std::unique_ptr<QDialog> dialog(c.open(lib));
      auto* list = dialog->findChild<QListWidget*>();
      if (auto* tpl = qobject_cast<EditTemplateDialog*>(dialog.get())) list = tpl->libraryList();
      Select(list, {QString::fromLatin1(c.entry)});
      for (bool yes : {false, true}) {
        lib.host.messages.clear();
        lib.host.yesNoAnswers = {yes};
        Press(dialog.get(), c.button);
        QCOMPARE(lib.host.MessageIds(), std::vector<int>{c.question});
        QCOMPARE(fs::exists(lib.File(c.file)), !yes);
      }
      if (c.question == 0) {
        QVERIFY(!Texts(list).contains(QString::fromLatin1(c.entry)));
      } else {
        QCOMPARE(lib.LastText(),
                 std::string("Are you sure you want to delete file Brass.PCH? If so, "
                             "please remember to remove it's entry from the "
                             "Instrument List (INSTRUMENTS.DAT)."));
      }
      if (auto* tpl = qobject_cast<EditTemplateDialog*>(dialog.get()))
        QCOMPARE(tpl->templateList()->count(), 0);
    }
    Library lib;
    SelectTemplateDialog select(lib.doc);
    Select(select.list(), {"[None]"});
    QVERIFY(!Child<QPushButton>(&select, "deleteTemplate")->isEnabled());
  }

  // The text editor starts on INSTRUMENTS.DAT and on the list chosen, added (created empty) or
  // double-clicked; Cancel starts nothing.
  void textEditorStartsOnTheChosenFile() {
    Library lib;
    QVERIFY(RunEditInstrumentList(nullptr, lib.doc));
    OnNextModal<BankProgramDialog>([](BankProgramDialog* d) {
      QCOMPARE(Texts(d->list()), QStringList{"General"});  // "Brass,Horns" has a comma
      QVERIFY(!Child<QPushButton>(d, "ok")->isEnabled());
      Select(d->list(), {"General"});
      Press(d, "ok");
    });
    QVERIFY(RunEditBankProgramList(nullptr, lib.doc));
    OnNextModal<BankProgramDialog>([](BankProgramDialog* d) {
      OnNextModal<QInputDialog>([](QInputDialog* ask) {
        ask->setTextValue(QStringLiteral("Strings"));
        ask->accept();
      });
      Press(d, "add");
    });
    QVERIFY(RunEditBankProgramList(nullptr, lib.doc));
    OnNextModal<BankProgramDialog>(
        [](BankProgramDialog* d) { Q_EMIT d->list()->itemDoubleClicked(d->list()->item(0)); });
    QVERIFY(RunEditBankProgramList(nullptr, lib.doc));
    OnNextModal<BankProgramDialog>([](BankProgramDialog* d) { Press(d, "cancel"); });
    QVERIFY(!RunEditBankProgramList(nullptr, lib.doc));
    const std::string folder = lib.Folder();
    QCOMPARE(editor_.opened,
             (std::vector<std::string>{folder + "INSTRUMENTS.DAT", folder + "General.PCH",
                                       folder + "Strings.PCH", folder + "General.PCH"}));
    QVERIFY(Read(lib.File("Strings.PCH")).empty());
    QVERIFY(lib.host.messages.empty());
  }

  // Files that are missing or damaged are reported and keep their dialogs from opening or leave
  // their entries out; names that can't be file names are refused.
  void badFilesAndNames() {
    Library lib;
    InstrumentRecord flute;
    flute.staveName = "Flute";
    flute.staveId = 1;
    QVERIFY(WriteInstrument(lib.host, lib.Folder(), flute));
    QVERIFY(WriteTemplate(lib.host, lib.Folder(),
                          {kLibraryFileVersion, "Solo", 0, {"Gone [9]", "Flute [1]"}}));
    OnNextModal<EditTemplateDialog>([&](EditTemplateDialog* tpl) {
      QCOMPARE(Texts(tpl->templateList()), QStringList{"Flute [1]"});
      Set(tpl, "name", QStringLiteral("a/b"));
      Press(tpl, "ok");
      QCOMPARE(lib.LastText(), std::string("A name can't contain \"/\"."));
      QCOMPARE(tpl->focusWidget(), Child(tpl, "name"));
    });
    QVERIFY(!EditTemplate(nullptr, lib.doc, "Solo", "Edit Solo"));
    QCOMPARE(lib.host.MessageIds(), (std::vector<int>{res::kCannotRead, 0}));
    QCOMPARE(lib.host.messages[0].text,
             "Unable to open file " + lib.Folder() + "Gone [9].INS for reading");

    std::ofstream(lib.File("Broken.MAP"), std::ios::binary) << "\x36\x01";
    std::ofstream(lib.File("Noise.PCH"), std::ios::binary) << std::string("\x01\xff\0z", 4);
    std::ofstream(lib.File("INSTRUMENTS.DAT"), std::ios::binary) << "Noise\r\n";
    lib.host.messages.clear();
    QVERIFY(!EditMapSetup(nullptr, lib.doc, "Broken", "Edit Broken"));
    EditInstrumentDialog noise(lib.doc, {"Noise"}, flute, "Edit Flute [1]");
    QCOMPARE(noise.bankProgramList()->count(), 1);
    fs::remove(lib.File("INSTRUMENTS.DAT"));
    QVERIFY(!EditInstrument(nullptr, lib.doc, flute, "Edit Flute [1]"));
    QCOMPARE(lib.host.MessageIds(),
             (std::vector<int>{res::kTruncatedLibraryFile, res::kCannotRead}));
  }

  // Cancel in every dialog leaves the library as it was, after changes made in the dialog; Help
  // opens each dialog's topic.
  void cancelChangesNothingAndHelpOpensTheTopic() {
    Library lib;
    InstrumentRecord flute;
    flute.staveName = "Flute";
    flute.staveId = 1;
    QVERIFY(WriteInstrument(lib.host, lib.Folder(), flute));
    const TemplateRecord solo{kLibraryFileVersion, "Solo", 0, {"Flute [1]"}};
    QVERIFY(WriteTemplate(lib.host, lib.Folder(), solo));
    MapSetup kit;
    kit.name = "Kit";
    kit.Insert({"Bass", 65, 36, 10});
    QVERIFY(WriteMapSetup(lib.host, lib.Folder(), kit));
    const auto before = Snapshot(lib.data.path());

    struct Case {
      const char* topic;
      std::function<QDialog*()> open;
    };
    const auto lines = *ReadInstrumentList(lib.Folder());
    const Case cases[] = {
        {topic::kTemplates, [&] { return new SelectTemplateDialog(lib.doc); }},
        {topic::kEditTemplate, [&] { return new EditTemplateDialog(lib.doc, solo, "Edit Solo"); }},
        {topic::kEditInstrument,
         [&] { return new EditInstrumentDialog(lib.doc, lines, flute, "Edit Flute [1]"); }},
        {topic::kEditBankProgram, [&] { return new BankProgramDialog(lib.doc); }},
        {topic::kPercussionMaps, [&] { return new PercussionMapsDialog(lib.doc); }},
        {topic::kEditMapSetup, [&] { return new EditMapSetupDialog(lib.doc, kit, "Edit Kit"); }},
        {topic::kEditMap, [&] { return new EditMapDialog(lib.host, kit.At(0), "Edit Bass"); }},
    };
    for (const Case& c : cases) {
      qInfo("%s", c.topic);
      std::unique_ptr<QDialog> dialog(c.open());
      for (auto* edit : dialog->findChildren<QLineEdit*>()) edit->setText(QStringLiteral("7"));
      for (auto* box : dialog->findChildren<QComboBox*>()) box->setCurrentIndex(box->count() - 1);
      if (auto* tpl = qobject_cast<EditTemplateDialog*>(dialog.get())) {
        tpl->templateList()->selectAll();
        tpl->removeInstruments();
      }
      Press(dialog.get(), "help");
      QVERIFY(CurrentHelpWindow() != nullptr);
      QCOMPARE(CurrentHelpWindow()->topic(), QString::fromLatin1(c.topic));
      delete CurrentHelpWindow();
      dialog->show();
      QTest::keyClick(dialog.get(), Qt::Key_Escape);
      QCOMPARE(dialog->result(), int(QDialog::Rejected));
    }
    QVERIFY(Snapshot(lib.data.path()) == before);
    QVERIFY(lib.host.messages.empty());
  }

  // One PNG a dialog and one of a refused field, when VELLUMIX_SCREENSHOTS names a folder.
  void screenshots() {
    const QString folder = qEnvironmentVariable("VELLUMIX_SCREENSHOTS");
    if (folder.isEmpty()) QSKIP("VELLUMIX_SCREENSHOTS names no folder");
    QDir().mkpath(folder);
    Library lib;
    auto save = [&](QWidget* widget, const char* name) {
      widget->show();
      QVERIFY(QTest::qWaitForWindowExposed(widget));
      QVERIFY(widget->grab().save(folder + "/" + name + ".png"));
    };
    InstrumentRecord flute;
    flute.staveName = "Flute";
    flute.staveId = 1;
    flute.bankProgram = 73;
    flute.channel = 2;
    flute.pan = -10;
    flute.volume = 90;
    flute.convertLyrics = 1;
    QVERIFY(WriteInstrument(lib.host, lib.Folder(), flute));
    InstrumentRecord cello = flute;
    cello.staveName = "Cello";
    cello.staveId = 2;
    cello.bankProgram = 42;
    QVERIFY(WriteInstrument(lib.host, lib.Folder(), cello));
    const TemplateRecord duo{kLibraryFileVersion, "Duo", 90, {"Flute [1]", "Cello [2]"}};
    QVERIFY(WriteTemplate(lib.host, lib.Folder(), duo));

    SelectTemplateDialog select(lib.doc);
    Select(select.list(), {"Duo"});
    save(&select, "select-template");
    EditTemplateDialog tpl(lib.doc, duo, "Edit Duo");
    Select(tpl.libraryList(), {"Cello [2]"});
    save(&tpl, "edit-template");
    const auto lines = *ReadInstrumentList(lib.Folder());
    InstrumentRecord drums = flute;
    drums.usePercussionMap = 1;
    drums.percussionMapName = "General MIDI Drums";
    EditInstrumentDialog ins(lib.doc, lines, drums, "Edit Flute [1]");
    save(&ins, "edit-instrument");
    // The refusal as the program shows it, over the editor.
    Set(&ins, "pan", QStringLiteral("70"));
    Press(&ins, "ok");
    QCOMPARE(lib.LastText(), std::string("Enter an integer between -63 and 64."));
    OnNextModal<QDialog>([&](QDialog* box) {
      QVERIFY(box->grab().save(folder + "/edit-instrument-refused.png"));
      box->accept();
    });
    DialogPresenter().ShowMessage(&ins, QString::fromStdString(lib.LastText()));
    BankProgramDialog bank(lib.doc);
    Select(bank.list(), {"General"});
    save(&bank, "edit-bank-program");
    PercussionMapsDialog maps(lib.doc);
    Select(maps.list(), {"General MIDI Drums"});
    save(&maps, "percussion-maps");
    EditMapSetupDialog setup(lib.doc, *ReadMapSetup(lib.host, lib.Folder(), "General MIDI Drums"),
                             "Edit General MIDI Drums");
    save(&setup, "edit-map-setup");
    EditMapDialog map(lib.host, {"Snare", 72, 38, 10}, "Edit Snare");
    save(&map, "edit-map");
  }

 private:
  RecordingEditor editor_;
};

QTEST_MAIN(LibraryTemplatesTest)
#include "library_templates_test.moc"
