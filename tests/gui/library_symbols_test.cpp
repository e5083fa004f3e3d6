// The Symbols and Specials dialogs and their editors, on a scratch copy of the factory library:
// the lists, the bytes OK writes, refused fields, Cancel, enabling, Delete and help.
#include "run/document.h"

#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/presenter.h"
#include "help/help.h"
#include "library/edit_special_dialog.h"
#include "library/edit_symbol_dialog.h"
#include "library/factory.h"
#include "library/specials_dialog.h"
#include "library/symbols_dialog.h"
#include "res/strings.h"
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

// Calls `answer` with the next modal dialog once it is up; one never shown fails the wait.
void OnNextModal(std::function<void(QDialog*)> answer) {
  auto* timer = new QTimer(&Pending());
  const QDeadlineTimer deadline(5000);
  QObject::connect(timer, &QTimer::timeout, [=] {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (modal == nullptr && !deadline.hasExpired()) return;
    timer->stop();
    timer->deleteLater();
    if (modal != nullptr) answer(modal);
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

void Choose(QWidget* dialog, const char* name, const QString& text) {
  auto* box = Child<QComboBox>(dialog, name);
  box->setCurrentIndex(box->findText(text));
}

void Press(QWidget* dialog, const char* name) {
  Child<QAbstractButton>(dialog, name)->click();
}

// Selects the entries of `list` whose texts are given, and no others.
void Select(QListWidget* list, const QStringList& texts) {
  list->clearSelection();
  for (const QString& text : texts)
    for (auto* item : list->findItems(text, Qt::MatchExactly)) item->setSelected(true);
}

Bytes Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The names and bytes of every file of a folder.
std::map<std::string, Bytes> Snapshot(const fs::path& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = Read(entry.path());
  return files;
}

// The factory library with two more instrument libraries: 1 General, 2 Strings,GS, 3 Brass.
struct Library {
  Library() {
    InstallFactoryLibrary(data.slashed(), host);
    doc.Create(data.slashed(), false);
    std::ofstream(data.path() / "INSTRUMENTS.DAT", std::ios::binary)
        << "General\r\nStrings,GS\r\nBrass\r\n";
    host.messages.clear();
  }
  fs::path File(const std::string& name) const { return data.path() / name; }
  std::string Folder() const { return doc.library.LibraryFolder; }

  test::TempFolder data;
  test::ScriptedHost host;
  CVellumixDoc doc{host};
};

std::vector<std::string> MessageTexts(const test::ScriptedHost& host) {
  std::vector<std::string> texts;
  for (const auto& m : host.messages) texts.push_back(m.text);
  return texts;
}

SymbolRecord Trill() {
  SymbolRecord r;
  r.number = 123;
  r.code9Library = 2;
  r.name = "trill";
  r.velocityLevel = 100;
  r.special = "[none]";
  return r;
}

SpecialRecord Cresc() {
  SpecialRecord r;
  r.fileName = "CRESC";
  r.instrumentLibrary = 3;
  r.kind = kRelativeChangeEvent;
  r.changeVelocity = 1;
  r.untilSymbol = "56";
  r.offset = 120;
  return r;
}

}  // namespace

class LibrarySymbolsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() {
    qDeleteAll(Pending().children());
    delete CurrentHelpWindow();
  }

  // Entries read from the files (a damaged one reported and the list going on), the Filter.
  void listsAreFilledFromTheFiles() {
    Library lib;
    std::ofstream(lib.File("Symbol001.SBL")) << "damaged";
    SymbolRecord brass;
    brass.number = 56;
    brass.code9Library = 3;
    brass.name = "f for brass";
    std::string name;
    QVERIFY(lib.doc.symbols.SaveSymbol(brass, nullptr, &name));

    SymbolsDialog symbols(lib.doc);
    QCOMPARE(MessageTexts(lib.host), std::vector<std::string>{res::Format(
                                         res::kCannotRead, {lib.Folder() + "Symbol001.SBL"})});
    const QStringList code9 = symbols.code9List()->shownTexts();
    QCOMPARE(code9.first(), QString("Symbol001"));
    QVERIFY(code9.contains("Symbol021 - wedge accent"));
    QVERIFY(code9.contains("Symbol056 [Brass] - f for brass"));
    QVERIFY(symbols.textList()->shownTexts().contains("cresc."));
    auto* filter = Child<QComboBox>(&symbols, "filter");
    QStringList choices;
    for (int i = 0; i < filter->count(); ++i) choices << filter->itemText(i);
    QCOMPARE(choices, QStringList({"ALL", "General", "Brass"}));
    filter->setCurrentText("Brass");
    QCOMPARE(symbols.code9List()->shownTexts(), QStringList{"Symbol056 [Brass] - f for brass"});
    QVERIFY(symbols.textList()->shownTexts().isEmpty());
    filter->setCurrentText("General");
    QVERIFY(!symbols.code9List()->shownTexts().contains("Symbol056 [Brass] - f for brass"));
    QCOMPARE(symbols.code9List()->shownTexts().size(), code9.size() - 1);

    SpecialsDialog specials(lib.doc);
    QCOMPARE(specials.list()->shownTexts(),
             QStringList({"ACCEL", "HAIRPIND", "HAIRPINU", "RITENUTO", "TREMOLO", "TRILL", "TRILL#",
                          "TRILLB"}));
    QCOMPARE(Child<QLabel>(&specials, "note")->text(),
             QString("Hard-coded specials\n[a tempo] = Back to previous tempo\n[Tempo I] - "
                     "Back to initial tempo"));
  }

  // New through each list dialog: OK writes exactly what the core writes for those values, under
  // the name they give, and the entry joins the list.
  void okWritesTheFileAndListsIt() {
    Library lib;
    SymbolsDialog symbols(lib.doc);
    OnNextModal([](QDialog* edit) {
      QCOMPARE(edit->windowTitle(), QString("New Symbol"));
      QCOMPARE(Child<QComboBox>(edit, "special")->currentText(), QString("[none]"));
      Set(edit, "number", "123");
      Set(edit, "name", "trill");
      Choose(edit, "code9Library", "Strings,GS");
      Set(edit, "velocityLevel", " 100");
      Press(edit, "ok");
    });
    symbols.newSymbol();
    QCOMPARE(Read(lib.File("Symbol123 [Strings,GS].SBL")), EncodeSymbol(Trill()));
    QVERIFY(symbols.code9List()->shownTexts().contains("Symbol123 [Strings,GS] - trill"));

    OnNextModal([](QDialog* edit) {
      Press(edit, "textKind");
      Set(edit, "text", "sfz");
      Choose(edit, "textLibrary", "Brass");
      Choose(edit, "special", "TRILL");
      Press(edit, "ok");
    });
    symbols.newSymbol();
    SymbolRecord sfz;
    sfz.kind = kTextSymbol;
    sfz.text = "sfz";
    sfz.textLibrary = 3;
    sfz.special = "TRILL.SSL";
    QCOMPARE(Read(lib.File("sfz [Brass].TBL")), EncodeSymbol(sfz));
    QVERIFY(symbols.textList()->shownTexts().contains("sfz [Brass]"));

    SpecialsDialog specials(lib.doc);
    OnNextModal([](QDialog* edit) {
      QCOMPARE(edit->windowTitle(), QString("New Special"));
      Set(edit, "fileName", "cresc");
      Choose(edit, "instrumentLibrary", "Brass");
      Press(edit, "changeKind");
      Press(edit, "changeVelocity");
      Set(edit, "untilSymbol", "56");
      Set(edit, "offset", "120");
      Press(edit, "ok");
    });
    specials.newSpecial();
    QCOMPARE(Read(lib.File("CRESC [Brass].SSL")), EncodeSpecial(Cresc()));
    QVERIFY(specials.list()->shownTexts().contains("CRESC [Brass]"));
  }

  // Edit loads the file; a changed name rewrites the same file and the entry's text.
  void editRewritesTheSelectedFile() {
    Library lib;
    SymbolsDialog symbols(lib.doc);
    Select(symbols.code9List(), {"Symbol024 - staccato"});
    QString caption, duration;
    OnNextModal([&](QDialog* edit) {
      caption = edit->windowTitle();
      duration = Child(edit, "duration")->text();
      Set(edit, "name", "short");
      Press(edit, "ok");
    });
    Press(&symbols, "editSymbol");
    QCOMPARE(caption, QString("Edit Symbol024 - staccato"));
    QCOMPARE(duration, QString("50"));
    QCOMPARE(DecodeSymbol(Read(lib.File("Symbol024.SBL")))->name, std::string("short"));
    QVERIFY(symbols.code9List()->shownTexts().contains("Symbol024 - short"));
    QVERIFY(!symbols.code9List()->shownTexts().contains("Symbol024 - staccato"));
  }

  void refusedFieldKeepsTheDialogOpen_data() {
    QTest::addColumn<bool>("symbol");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("symbol number 0") << true << "number"
                                     << "0"
                                     << "Please enter a symbol number greater than 0.";
    QTest::newRow("velocity level 128") << true << "velocityLevel"
                                        << "128"
                                        << "Enter an integer between 0 and 127.";
    QTest::newRow("bender not a number") << true << "bender"
                                         << "low"
                                         << "Enter an integer.";
    QTest::newRow("blank special name") << false << "fileName"
                                        << ""
                                        << "Special name is blank. Please give it a name.";
    QTest::newRow("relative velocity 1000") << false << "velocity3"
                                            << "1000"
                                            << "Enter an integer between 0 and 999.";
  }

  // The text, the focus on the refused field, the dialog still open and nothing written.
  void refusedFieldKeepsTheDialogOpen() {
    QFETCH(bool, symbol);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    Library lib;
    const auto before = Snapshot(lib.data.path());
    SymbolRecord s = Trill();
    SpecialRecord p;
    p.fileName = "TURN";
    std::unique_ptr<QDialog> dialog;
    if (symbol)
      dialog = std::make_unique<EditSymbolDialog>(lib.doc, *ReadInstrumentList(lib.Folder()), s,
                                                  "New Symbol");
    else
      dialog = std::make_unique<EditSpecialDialog>(lib.doc, *ReadInstrumentList(lib.Folder()), p,
                                                   "New Special");
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    Set(dialog.get(), qPrintable(field), value);
    Press(dialog.get(), "ok");
    QCOMPARE(MessageTexts(lib.host), std::vector<std::string>{message.toStdString()});
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->focusWidget(), Child(dialog.get(), qPrintable(field)));
    QVERIFY(Snapshot(lib.data.path()) == before);
  }

  void cancelLeavesTheFilesAlone() {
    Library lib;
    const auto before = Snapshot(lib.data.path());
    SymbolsDialog symbols(lib.doc);
    Select(symbols.code9List(), {"Symbol021 - wedge accent"});
    OnNextModal([](QDialog* edit) {
      Set(edit, "number", "22");
      Set(edit, "name", "changed");
      Press(edit, "cancel");
    });
    symbols.editSymbol();
    SpecialsDialog specials(lib.doc);
    Select(specials.list(), {"TRILL"});
    OnNextModal([](QDialog* edit) {
      Set(edit, "fileName", "TRILL2");
      QTest::keyClick(edit, Qt::Key_Escape);
    });
    specials.editSpecial();
    QVERIFY(Snapshot(lib.data.path()) == before);
    QVERIFY(symbols.code9List()->shownTexts().contains("Symbol021 - wedge accent"));
  }

  // A special replaces the rule values; each kind enables its own controls.
  void choicesEnableTheirFields() {
    Library lib;
    EditSymbolDialog symbol(lib.doc, *ReadInstrumentList(lib.Folder()), Trill(), "New Symbol");
    const char* rules[] = {"duration",       "pitchOffset",     "velocityLevel", "velocityOffset",
                           "tempoLevel",     "tempoOffset",     "bankProgram",   "bender",
                           "controllerType", "controllerValue", "permanent"};
    auto rulesEnabled = [&](bool enabled) {
      for (const char* rule : rules)
        if (Child<QWidget>(&symbol, rule)->isEnabled() != enabled) return false;
      return true;
    };
    QVERIFY(rulesEnabled(true));
    for (const char* special : {"TRILL", "[a tempo]", "[Tempo I]"}) {
      Choose(&symbol, "special", special);
      QVERIFY2(rulesEnabled(false), special);
    }
    Choose(&symbol, "special", "[none]");
    QVERIFY(rulesEnabled(true));
    QVERIFY(Child(&symbol, "number")->isEnabled() && !Child(&symbol, "text")->isEnabled());
    Press(&symbol, "textKind");
    QVERIFY(!Child(&symbol, "number")->isEnabled() && !Child(&symbol, "name")->isEnabled());
    QVERIFY(Child(&symbol, "text")->isEnabled() &&
            Child<QWidget>(&symbol, "textLibrary")->isEnabled());

    EditSpecialDialog special(lib.doc, *ReadInstrumentList(lib.Folder()), Cresc(), "Edit CRESC");
    QVERIFY(!Child(&special, "duration1")->isEnabled() && Child(&special, "offset")->isEnabled());
    Press(&special, "kind");
    QVERIFY(Child(&special, "duration1")->isEnabled() && !Child(&special, "offset")->isEnabled());
    QVERIFY(!Child<QWidget>(&special, "revert")->isEnabled());
  }

  // Edit with exactly one entry, Delete with any; a selection in one list clears the other's.
  void buttonsFollowTheSelection() {
    Library lib;
    SymbolsDialog symbols(lib.doc);
    auto enabled = [&](const char* name) { return Child<QWidget>(&symbols, name)->isEnabled(); };
    QVERIFY(!enabled("editSymbol") && !enabled("deleteSymbol"));
    Select(symbols.code9List(), {"Symbol021 - wedge accent"});
    QVERIFY(enabled("editSymbol") && enabled("deleteSymbol"));
    Select(symbols.code9List(), {"Symbol021 - wedge accent", "Symbol022 - accent"});
    QVERIFY(!enabled("editSymbol") && enabled("deleteSymbol"));
    Select(symbols.textList(), {"fff"});
    QVERIFY(symbols.code9List()->selectedItems().isEmpty());
    QVERIFY(enabled("editSymbol") && enabled("deleteSymbol"));

    SpecialsDialog specials(lib.doc);
    auto specialEnabled = [&](const char* name) {
      return Child<QWidget>(&specials, name)->isEnabled();
    };
    QVERIFY(!specialEnabled("editSpecial") && !specialEnabled("deleteSpecial"));
    Select(specials.list(), {"TRILL", "TRILLB"});
    QVERIFY(!specialEnabled("editSpecial") && specialEnabled("deleteSpecial"));
  }

  void deleteAsksFirst_data() {
    QTest::addColumn<bool>("symbols");
    QTest::newRow("Delete Symbol") << true;
    QTest::newRow("Delete Special") << false;
  }

  // No keeps everything; Yes deletes the files and their entries leave the list.
  void deleteAsksFirst() {
    QFETCH(bool, symbols);
    Library lib;
    std::unique_ptr<QDialog> dialog;
    LibraryList* list = nullptr;
    QStringList chosen;
    std::vector<std::string> files;
    if (symbols) {
      auto* d = new SymbolsDialog(lib.doc);
      dialog.reset(d);
      list = d->code9List();
      chosen = {"Symbol021 - wedge accent", "Symbol022 - accent"};
      files = {"Symbol021.SBL", "Symbol022.SBL"};
    } else {
      auto* d = new SpecialsDialog(lib.doc);
      dialog.reset(d);
      list = d->list();
      chosen = {"TRILL"};
      files = {"TRILL.SSL"};
    }
    const char* button = symbols ? "deleteSymbol" : "deleteSpecial";
    const int count = list->count();
    Select(list, chosen);
    lib.host.yesNoAnswers = {false};
    Press(dialog.get(), button);
    QCOMPARE(MessageTexts(lib.host),
             std::vector<std::string>{"Are you sure you want to delete the selected file(s)?"});
    for (const auto& file : files) QVERIFY(fs::exists(lib.File(file)));
    QCOMPARE(list->count(), count);

    lib.host.yesNoAnswers = {true};
    Press(dialog.get(), button);
    for (const auto& file : files) QVERIFY(!fs::exists(lib.File(file)));
    QCOMPARE(list->count(), count - int(chosen.size()));
    for (const QString& text : chosen) QVERIFY(list->findItems(text, Qt::MatchExactly).isEmpty());
    QVERIFY(!Child<QWidget>(dialog.get(), button)->isEnabled());
  }

  // Without INSTRUMENTS.DAT the editors do not open (message 9) and the Filter offers "ALL".
  void missingInstrumentList() {
    Library lib;
    fs::remove(lib.File("INSTRUMENTS.DAT"));
    SymbolsDialog symbols(lib.doc);
    QCOMPARE(Child<QComboBox>(&symbols, "filter")->count(), 1);
    lib.host.messages.clear();
    QVERIFY(!EditSymbol(nullptr, lib.doc, SymbolRecord{}, "New Symbol"));
    QVERIFY(!EditSpecial(nullptr, lib.doc, SpecialRecord{}, "New Special"));
    QCOMPARE(lib.host.MessageIds(), (std::vector<int>{res::kCannotRead, res::kCannotRead}));
  }

  void helpTopics() {
    Library lib;
    const auto lines = *ReadInstrumentList(lib.Folder());
    std::vector<std::pair<std::unique_ptr<QDialog>, QString>> dialogs;
    dialogs.emplace_back(std::make_unique<SymbolsDialog>(lib.doc), "symbols1");
    dialogs.emplace_back(
        std::make_unique<EditSymbolDialog>(lib.doc, lines, SymbolRecord{}, "New Symbol"),
        "neweditsymbol");
    dialogs.emplace_back(std::make_unique<SpecialsDialog>(lib.doc), "specials1");
    dialogs.emplace_back(
        std::make_unique<EditSpecialDialog>(lib.doc, lines, SpecialRecord{}, "New Special"),
        "neweditspecials");
    for (auto& [dialog, topic] : dialogs) {
      dialog->show();
      QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
      QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog.get(), Qt::Key_F1);
      QVERIFY(CurrentHelpWindow());
      QCOMPARE(CurrentHelpWindow()->topic(), topic);
      CurrentHelpWindow()->showTopic("index");
      Press(dialog.get(), "help");
      QCOMPARE(CurrentHelpWindow()->topic(), topic);
      dialog->hide();
    }
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
    SymbolsDialog symbols(lib.doc);
    Select(symbols.code9List(), {"Symbol024 - staccato"});
    save(&symbols, "symbols");
    const auto lines = *ReadInstrumentList(lib.Folder());
    SymbolRecord staccato = *ReadSymbolFile(lib.host, lib.Folder(), "Symbol024.SBL");
    EditSymbolDialog editSymbol(lib.doc, lines, staccato, "Edit Symbol024 - staccato");
    save(&editSymbol, "edit-symbol");
    SymbolRecord withSpecial = Trill();
    withSpecial.special = "TRILL.SSL";
    EditSymbolDialog special(lib.doc, lines, withSpecial, "New Symbol");
    save(&special, "edit-symbol-special");
    SpecialsDialog specials(lib.doc);
    Select(specials.list(), {"TRILL"});
    save(&specials, "specials");
    SpecialRecord trill = *ReadSpecialFile(lib.host, lib.Folder(), "TRILL.SSL");
    EditSpecialDialog editSpecial(lib.doc, lines, trill, "Edit TRILL");
    save(&editSpecial, "edit-special");
    EditSpecialDialog change(lib.doc, lines, Cresc(), "Edit CRESC [Brass]");
    save(&change, "edit-special-change");

    // The refusal as the program shows it, over the editor.
    Set(&editSymbol, "number", "0");
    Press(&editSymbol, "ok");
    QCOMPARE(lib.host.messages.back().text,
             std::string("Please enter a symbol number greater than 0."));
    OnNextModal([&](QDialog* box) {
      QVERIFY(box->grab().save(folder + "/edit-symbol-refused.png"));
      box->accept();
    });
    DialogPresenter().ShowMessage(&editSymbol,
                                  QString::fromStdString(lib.host.messages.back().text));
  }
};

QTEST_MAIN(LibrarySymbolsTest)
#include "library_symbols_test.moc"
