#include "run/document.h"

#include "run/file_list.h"

#include <QFileInfo>
#include <utility>

#include "app/text.h"
#include "platform/file_chooser.h"
#include "run/file_groups.h"
#include "run/file_list_dialog.h"

namespace vellumix::gui {
namespace {

constexpr std::string_view kListFileFilter = "Templists (*.tmp) | *.tmp| All Files (*.*) | *.* ||";

// True when a list file was read into the kept list.
bool LoadFileListFile(QWidget* parent, Host& host, FileChooser& chooser, FileListState& kept) {
  const QString path = chooser.OpenFile(parent, QStringLiteral("Load Filelist"), kept.folder,
                                        FileDialogFilter(kListFileFilter));
  if (path.isEmpty()) return false;
  std::vector<std::string> read;
  if (!ReadListFile(ToCorePath(path), host, read)) return false;
  kept.entries = std::move(read);
  kept.pendingListName = QFileInfo(path).fileName();
  return true;
}

// True when the kept list was written to a list file.
bool SaveFileListFile(QWidget* parent, Host& host, FileChooser& chooser,
                      const FileListState& kept) {
  const QString path = chooser.SaveFile(parent, QStringLiteral("Save Filelist"), kept.folder,
                                        FileDialogFilter(kListFileFilter), QStringLiteral("tmp"),
                                        true);
  if (path.isEmpty()) return false;
  return WriteListFile(ToCorePath(path), kept.entries, host);
}

}  // namespace

FileListOutcome RunFileListDialog(QWidget* parent, CVellumixDoc& doc, Host& host,
                                  FileChooser& chooser, FileListState& kept,
                                  std::vector<std::string>& entries) {
  bool listFileUsed = false;
  for (;;) {
    FileListSetup setup;
    setup.explorer = doc.library.options.explorerFileList != 0;
    setup.sorted = doc.library.options.sortFileList != 0;
    setup.onePerPage = doc.onePerPage;
    setup.filterIndex = kept.filterIndex;
    setup.folder = kept.folder;
    setup.fileName = std::exchange(kept.pendingListName, QString());
    setup.entries = kept.entries;
    FileListDialog dialog(setup, parent);
    const int result = dialog.exec();

    kept.folder = dialog.Folder();
    if (result == QDialog::Rejected)
      return listFileUsed ? FileListOutcome::kNothing : FileListOutcome::kCancelled;
    doc.onePerPage = dialog.OnePerPage();
    kept.filterIndex = dialog.FilterIndex();
    if (result == QDialog::Accepted) {
      entries = dialog.Entries();
      return FileListOutcome::kTranscribe;
    }
    // The list as the user left it, even emptied, is what the reopened dialog shows unless a
    // list file replaces it.
    kept.entries = dialog.Entries();
    if (result == FileListDialog::kLoadFilelist)
      listFileUsed = LoadFileListFile(parent, host, chooser, kept) || listFileUsed;
    else
      listFileUsed = SaveFileListFile(parent, host, chooser, kept) || listFileUsed;
  }
}

}  // namespace vellumix::gui
