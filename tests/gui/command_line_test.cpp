// The desktop program's command line: the data folder, SCORE files to open, --help and --version.

#include "run/document.h"

#include <QtTest>
#include <QtWidgets>
#include <sys/stat.h>

#include <fstream>

#include "app/command_line.h"
#include "platform/file_chooser.h"
#include "run/file_list.h"
#include "run/file_list_dialog.h"
#include "scripted_host.h"
#include "temp_folder.h"

using namespace vellumix;
using namespace vellumix::gui;
using Action = CommandLine::Action;
using Entries = std::vector<std::string>;
Q_DECLARE_METATYPE(Action)

namespace {

struct NoChooser : FileChooser {
  QString OpenFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString SaveFile(QWidget*, const QString&, const QString&, const QString&, const QString&,
                   bool) override {
    return {};
  }
};

// "@/" stands for the scratch folder.
QString In(const test::TempFolder& folder, QString text) {
  return text.replace(QLatin1String("@/"), QString::fromStdString(folder.slashed()));
}

QStringList In(const test::TempFolder& folder, QStringList texts) {
  for (QString& text : texts) text = In(folder, text);
  return texts;
}

// What the file list dialog shows when it opens; it is then cancelled.
struct Shown {
  Entries entries;
  QString folder;
};

Shown ShowFileList(const FileListStep& step, CVellumixDoc& doc, Host& host, FileListState& kept) {
  Shown shown;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<FileListDialog*>(QApplication::activeModalWidget())) {
      shown = {dialog->Entries(), dialog->Folder()};
      dialog->reject();
    }
  });
  poll.start(10);
  NoChooser chooser;
  Entries entries;
  step(nullptr, doc, host, chooser, kept, entries);
  return shown;
}

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // The scratch folder holds a.mus, -b.mus, a fifo and the folders lib and lib2.
  void readsFoldersAndFiles_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("dataFolder");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("error");
    const QStringList none;
    QTest::newRow("nothing") << none << Action::kRun << "" << none << "";
    QTest::newRow("a data folder") << QStringList{"@/lib"} << Action::kRun << "@/lib" << none
                                   << "";
    QTest::newRow("a new data folder") << QStringList{"@/new"} << Action::kRun << "@/new" << none
                                       << "";
    QTest::newRow("files and a folder")
        << QStringList{"@/a.mus", "@/lib", "@/a.mus"} << Action::kRun << "@/lib"
        << QStringList{"@/a.mus", "@/a.mus"} << "";
    QTest::newRow("after --") << QStringList{"--", "@/lib", "-b.mus"} << Action::kRun << "@/lib"
                              << QStringList{"@/-b.mus"} << "";
    QTest::newRow("help wins") << QStringList{"@/missing.mus", "--help"} << Action::kHelp << ""
                               << none << "";
    QTest::newRow("-h") << QStringList{"-h"} << Action::kHelp << "" << none << "";
    QTest::newRow("version") << QStringList{"@/lib", "--version"} << Action::kVersion << ""
                             << none << "";
    QTest::newRow("missing SCORE file") << QStringList{"@/missing.MUS"} << Action::kUsageError
                                        << "" << none << "@/missing.MUS: no such file";
    QTest::newRow("missing after the first")
        << QStringList{"@/a.mus", "@/new"} << Action::kUsageError << "" << none
        << "@/new: no such file";
    QTest::newRow("two folders") << QStringList{"@/lib", "@/lib2"} << Action::kUsageError << ""
                                 << none << "@/lib and @/lib2: only one data folder can be given";
    QTest::newRow("not a regular file") << QStringList{"@/fifo"} << Action::kUsageError << ""
                                        << none << "@/fifo: not a regular file or a folder";
    QTest::newRow("unknown option") << QStringList{"-x"} << Action::kUsageError << "" << none
                                    << "unknown option '-x'";
  }
  void readsFoldersAndFiles() {
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, dataFolder);
    QFETCH(QStringList, files);
    QFETCH(QString, error);
    test::TempFolder folder;
    for (const char* name : {"a.mus", "-b.mus"}) std::ofstream(folder.path() / name) << "";
    std::filesystem::create_directory(folder.path() / "lib");
    std::filesystem::create_directory(folder.path() / "lib2");
    QCOMPARE(::mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(folder.path().string()));

    const CommandLine line = ReadCommandLine(In(folder, arguments));
    QDir::setCurrent(before);
    QCOMPARE(line.action, action);
    QCOMPARE(line.dataFolder, In(folder, dataFolder));
    QCOMPARE(line.files, In(folder, files));
    QCOMPARE(line.error, In(folder, error));
  }

  // The first showing of the file list holds the files, grouped as a drop groups them, and
  // browses their folder; later showings do not add them again.
  void filesOpenInTheFileList_data() {
    QTest::addColumn<bool>("onePerPage");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("one file a page") << true << QStringList{"a1.mus 1", "a2.mus 1", "B1.MUS 1"};
    QTest::newRow("grouped") << false << QStringList{"a1.mus 2", "B1.MUS 1"};
  }
  void filesOpenInTheFileList() {
    QFETCH(bool, onePerPage);
    QFETCH(QStringList, entries);
    test::TempFolder folder;
    for (const char* name : {"a1.mus", "a2.mus", "B1.MUS"}) std::ofstream(folder.path() / name);
    test::ScriptedHost host;
    CVellumixDoc doc(host);
    doc.onePerPage = onePerPage;
    FileListState kept;
    const FileListStep step =
        OpeningFiles(RunFileListDialog, In(folder, {"@/B1.MUS", "@/a2.mus", "@/a1.mus"}));

    Entries expected;
    for (const QString& entry : entries) expected.push_back(folder.slashed() + entry.toStdString());
    const Shown first = ShowFileList(step, doc, host, kept);
    QCOMPARE(first.entries, expected);
    QCOMPARE(first.folder, QString::fromStdString(folder.path().string()));
    QCOMPARE(ShowFileList(step, doc, host, kept).entries, expected);
  }
};

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
