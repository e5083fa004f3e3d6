// The file list dialog of the Transcribe command and its Load/Save Filelist loop.

#include "run/document.h"

#include <QtTest>
#include <QtWidgets>
#include <fstream>
#include <functional>

#include "help/help.h"
#include "platform/file_chooser.h"
#include "run/file_list.h"
#include "run/file_list_dialog.h"
#include "scripted_host.h"
#include "temp_folder.h"

using namespace vellumix;
using namespace vellumix::gui;
using Entries = std::vector<std::string>;
Q_DECLARE_METATYPE(Entries)
Q_DECLARE_METATYPE(vellumix::gui::FileListOutcome)

namespace {

// Gives `answer` to the first chooser, Cancel to any other, and keeps the filters asked with.
struct ScriptedChooser : FileChooser {
  QString OpenFile(QWidget*, const QString&, const QString&, const QString& filter) override {
    filters << filter;
    return std::exchange(answer, QString());
  }
  QString SaveFile(QWidget*, const QString&, const QString&, const QString& filter, const QString&,
                   bool) override {
    return OpenFile(nullptr, {}, {}, filter);
  }
  QString answer;
  QStringList filters;
};

using Step = std::function<void(FileListDialog&)>;

// Answers each file list dialog shown with the next step, which ends it; a dialog beyond the
// steps is cancelled, so that no test waits forever.
class DialogScript {
 public:
  explicit DialogScript(std::vector<Step> steps) : steps_(std::move(steps)) { Poll(); }

 private:
  void Poll() {
    QTimer::singleShot(10, &context_, [this] {
      auto* dialog = qobject_cast<FileListDialog*>(QApplication::activeModalWidget());
      if (dialog != nullptr && !dialog->property("answered").toBool()) {
        dialog->setProperty("answered", true);
        if (next_ < steps_.size())
          steps_[next_++](*dialog);
        else
          dialog->reject();
      }
      Poll();
    });
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  QObject context_;  // pending polls end with the script
};

// One Transcribe command's file list, from a fresh program.
struct Command {
  FileListOutcome Run(std::vector<Step> steps) {
    DialogScript script(std::move(steps));
    return RunFileListDialog(nullptr, doc, host, chooser, kept, entries);
  }
  test::ScriptedHost host;
  CVellumixDoc doc{host};
  ScriptedChooser chooser;
  FileListState kept;
  Entries entries;
};

template <typename T = QPushButton>
T* Child(QWidget& dialog, const char* name) {
  return dialog.findChild<T*>(QLatin1String(name));
}

void Press(FileListDialog& dialog, const char* button) {
  Child(dialog, button)->click();
}

std::string Slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// a1.mus, a2.mus, B1.MUS and notes (no extension).
void MakeScoreFiles(const test::TempFolder& folder) {
  for (const char* name : {"a1.mus", "a2.mus", "B1.MUS", "notes"})
    std::ofstream(folder.path() / name) << "";
}

QString Path(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

// Waits until the browser lists `names` in this order (it reads and sorts in the background).
bool BrowserLists(FileListDialog& dialog, const QStringList& names) {
  auto* browser = Child<QTreeView>(dialog, "browser");
  return QTest::qWaitFor([&] {
    QStringList listed;
    for (int row = 0; row < browser->model()->rowCount(browser->rootIndex()); ++row)
      listed << browser->model()->index(row, 0, browser->rootIndex()).data().toString();
    return listed == names;
  });
}

// Starts in `folder`, with the check box off and the list in the order added.
FileListSetup Browsing(const test::TempFolder& folder) {
  FileListSetup setup;
  setup.sorted = false;
  setup.onePerPage = false;
  setup.folder = Path(folder.path());
  return setup;
}

Entries In(const test::TempFolder& folder, const QStringList& names) {
  Entries entries;
  for (const QString& name : names) entries.push_back(folder.slashed() + name.toStdString());
  return entries;
}

}  // namespace

class FileListTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void addFilesGroupsTheSelection_data() {
    QTest::addColumn<bool>("onePerPage");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("grouped") << false << QStringList{"a1.mus 2", "B1.MUS 1"};
    QTest::newRow("one file a page") << true << QStringList{"a1.mus 1", "a2.mus 1", "B1.MUS 1"};
  }
  void addFilesGroupsTheSelection() {
    QFETCH(bool, onePerPage);
    QFETCH(QStringList, names);
    test::TempFolder folder;
    MakeScoreFiles(folder);
    FileListDialog dialog(Browsing(folder));
    dialog.show();
    // "*.mus" finds B1.MUS too, and leaves out notes.
    QVERIFY(BrowserLists(dialog, {"a1.mus", "a2.mus", "B1.MUS"}));
    Child<QCheckBox>(dialog, "onePerPage")->setChecked(onePerPage);
    Child<QTreeView>(dialog, "browser")->selectAll();
    Press(dialog, "addFiles");

    QCOMPARE(dialog.Entries(), In(folder, names));
    QCOMPARE(Child<QLabel>(dialog, "count")->text(),
             QStringLiteral("Filelist: %1 file selections in list").arg(names.size()));
  }

  // With the check box off, Add Files leaves out a name without a dot; the classic form's
  // double-click adds any file as a page of its own. Enter does what a double-click does.
  void doubleClickFollowsTheForm_data() {
    QTest::addColumn<bool>("explorer");
    QTest::addColumn<bool>("enterKey");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("classic") << false << false << QStringList{"notes 1"};
    QTest::newRow("explorer") << true << false << QStringList{};
    QTest::newRow("classic, Enter") << false << true << QStringList{"notes 1"};
  }
  void doubleClickFollowsTheForm() {
    QFETCH(bool, explorer);
    QFETCH(bool, enterKey);
    QFETCH(QStringList, names);
    test::TempFolder folder;
    MakeScoreFiles(folder);
    FileListSetup setup = Browsing(folder);
    setup.explorer = explorer;
    setup.filterIndex = 11;  // All Files
    FileListDialog dialog(setup);
    dialog.show();
    QVERIFY(BrowserLists(dialog, {"a1.mus", "a2.mus", "B1.MUS", "notes"}));
    auto* browser = Child<QTreeView>(dialog, "browser");
    const QPoint at =
        browser->visualRect(browser->model()->index(3, 0, browser->rootIndex())).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, at);
    if (enterKey)
      QTest::keyClick(browser, Qt::Key_Return);
    else
      QTest::mouseDClick(browser->viewport(), Qt::LeftButton, {}, at);

    QCOMPARE(dialog.Entries(), In(folder, names));
    QVERIFY(dialog.isVisible());
  }

  void droppedFilesAreAddedAsByAddFiles() {
    test::TempFolder folder;
    MakeScoreFiles(folder);
    FileListDialog dialog(Browsing(folder));
    dialog.show();
    // As a file manager may give them: out of order, with a folder among them.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path(folder.path() / "a2.mus")),
                  QUrl::fromLocalFile(Path(folder.path() / "B1.MUS")),
                  QUrl::fromLocalFile(Path(folder.path() / "a1.mus")),
                  QUrl::fromLocalFile(Path(folder.path()))});
    QWidget* list = Child<QListWidget>(dialog, "fileList")->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    enter.setAccepted(false);
    QApplication::sendEvent(list, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(list, &drop);

    QCOMPARE(dialog.Entries(), In(folder, {"a1.mus 2", "B1.MUS 1"}));
  }

  void removeFilesDeletesTheSelectedEntries() {
    FileListSetup setup;
    setup.sorted = false;
    setup.entries = {"/s/x.mus 1", "/s/y.mus 1", "/s/z.mus 1"};
    FileListDialog dialog(setup);
    dialog.show();
    auto* list = Child<QListWidget>(dialog, "fileList");
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    Press(dialog, "removeFiles");

    QCOMPARE(dialog.Entries(), Entries{"/s/y.mus 1"});
    QCOMPARE(Child<QLabel>(dialog, "count")->text(),
             QStringLiteral("Filelist: 1 file selections in list"));
    QVERIFY(!Child(dialog, "removeFiles")->isEnabled());
  }

  void transcribeNeedsAList() {
    FileListDialog dialog({});
    dialog.show();
    QVERIFY(!Child(dialog, "transcribe")->isEnabled());
    dialog.accept();
    QVERIFY(dialog.isVisible());
  }

  void sortedByOption_data() {
    QTest::addColumn<int>("sortFileList");
    QTest::addColumn<QString>("title");
    QTest::addColumn<Entries>("transcribed");
    QTest::newRow("sorted") << 1 << QStringLiteral("Make Filelist - (sorted)")
                            << Entries{"/s/Alpha.mus 1", "/s/beta.mus 1", "/s/Gamma.mus 2"};
    QTest::newRow("unsorted") << 0 << QStringLiteral("Make Filelist - (unsorted)")
                              << Entries{"/s/beta.mus 1", "/s/Gamma.mus 2", "/s/Alpha.mus 1"};
  }
  void sortedByOption() {
    QFETCH(int, sortFileList);
    QFETCH(QString, title);
    QFETCH(Entries, transcribed);
    Command command;
    command.doc.library.options.sortFileList = sortFileList;
    command.kept.entries = {"/s/beta.mus 1", "/s/Gamma.mus 2", "/s/Alpha.mus 1"};
    QString shownTitle;
    const auto outcome = command.Run({[&](FileListDialog& dialog) {
      shownTitle = dialog.windowTitle();
      Press(dialog, "transcribe");
    }});

    QCOMPARE(outcome, FileListOutcome::kTranscribe);
    QCOMPARE(shownTitle, title);
    QCOMPARE(command.entries, transcribed);
  }

  // Load Filelist and Save Filelist leave the dialog, read or write a list file, and reopen it.
  void listFilesReopenTheDialog_data() {
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("before");  // the list file's bytes; empty: no file
    QTest::addColumn<Entries>("reopened");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("message");
    QTest::addColumn<FileListOutcome>("outcome");
    const QByteArray kept = "/s/b1.mus 1\r\n/s/a1.mus 2\r\n";
    const QByteArray other = "/t/c1.mus 3\r\n/t/d1.mus 1\r\n";
    QTest::newRow("load") << QByteArray("loadFilelist") << other
                          << Entries{"/t/c1.mus 3", "/t/d1.mus 1"} << QStringLiteral("pages.tmp")
                          << other << 0 << FileListOutcome::kNothing;
    QTest::newRow("save") << QByteArray("saveFilelist") << QByteArray()
                          << Entries{"/s/b1.mus 1", "/s/a1.mus 2"} << QString() << kept << 0
                          << FileListOutcome::kNothing;
    QTest::newRow("unreadable") << QByteArray("loadFilelist") << QByteArray()
                                << Entries{"/s/b1.mus 1", "/s/a1.mus 2"} << QString()
                                << QByteArray() << 9 << FileListOutcome::kCancelled;
  }
  void listFilesReopenTheDialog() {
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, before);
    QFETCH(Entries, reopened);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, after);
    QFETCH(int, message);
    QFETCH(FileListOutcome, outcome);
    test::TempFolder folder;
    const auto listFile = folder.path() / "pages.tmp";
    if (!before.isEmpty()) std::ofstream(listFile, std::ios::binary) << before.toStdString();
    Command command;
    command.doc.library.options.sortFileList = 0;
    command.kept.entries = {"/s/b1.mus 1", "/s/a1.mus 2"};
    command.chooser.answer = Path(listFile);
    Entries shown;
    QString shownName;
    const auto result =
        command.Run({[&](FileListDialog& dialog) { Press(dialog, button.constData()); },
                     [&](FileListDialog& dialog) {
                       shown = dialog.Entries();
                       shownName = Child<QLineEdit>(dialog, "fileName")->text();
                       Press(dialog, "cancel");
                     }});

    QCOMPARE(result, outcome);
    QCOMPARE(shown, reopened);
    QCOMPARE(command.kept.entries, reopened);
    QCOMPARE(shownName, fileName);
    QVERIFY(command.kept.pendingListName.isEmpty());  // shown once
    QCOMPARE(QByteArray::fromStdString(Slurp(listFile)), after);
    QCOMPARE(command.host.MessageIds(), message ? std::vector<int>{message} : std::vector<int>{});
    QCOMPARE(command.chooser.filters, QStringList{"Templists (*.tmp);;All Files (*)"});
  }

  void cancelKeepsEverything() {
    Command command;
    command.kept.entries = {"/s/x.mus 1", "/s/y.mus 1"};
    const auto outcome = command.Run({[](FileListDialog& dialog) {
      Child<QCheckBox>(dialog, "onePerPage")->setChecked(false);
      Child<QListWidget>(dialog, "fileList")->selectAll();
      Press(dialog, "removeFiles");
      Press(dialog, "cancel");
    }});

    QCOMPARE(outcome, FileListOutcome::kCancelled);
    QCOMPARE(command.kept.entries, (Entries{"/s/x.mus 1", "/s/y.mus 1"}));
    QVERIFY(command.doc.onePerPage);
    QVERIFY(command.entries.empty());
  }

  void helpAndF1OpenTheTopic() {
    FileListDialog dialog({});
    dialog.show();
    for (bool f1 : {false, true}) {
      if (auto* help = CurrentHelpWindow()) help->close();
      QTRY_VERIFY(CurrentHelpWindow() == nullptr);
      dialog.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&dialog));
      if (f1)
        QTest::keyClick(&dialog, Qt::Key_F1);
      else
        Press(dialog, "help");
      QVERIFY(CurrentHelpWindow() != nullptr);
      QCOMPARE(CurrentHelpWindow()->topic(), QStringLiteral("setfilelist"));
    }
  }
};

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"
