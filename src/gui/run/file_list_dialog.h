// The file list dialog itself: a file browser beside the list of file group entries.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QMimeData;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace vellumix::gui {

// How the dialog starts.
struct FileListSetup {
  bool explorer = false;  // "Use Explorer-style Filelist Window": double-click adds as Add Files
  bool sorted = true;     // the list keeps its entries in alphabetical order
  bool onePerPage = true;
  int filterIndex = 1;  // counted from 1
  QString folder;       // where browsing starts
  QString fileName;     // shown in the file name field until the selection changes
  std::vector<std::string> entries;
};

struct FileFilter {
  QString name;          // "SCORE files (*.mus)"
  QStringList patterns;  // matched without regard to letter case; "*.*" is every file
};
// The browser's file filters; the explorer form also lists *.pts. SCORE text files come last.
std::vector<FileFilter> ScoreFileFilters(bool explorer);

class FileListDialog : public QDialog {
  Q_OBJECT

 public:
  // exec() results besides Accepted (Transcribe) and Rejected (Cancel).
  enum Result { kLoadFilelist = 2, kSaveFilelist = 3 };

  explicit FileListDialog(const FileListSetup& setup, QWidget* parent = nullptr);

  // The entries in the order the list shows them.
  std::vector<std::string> Entries() const;
  bool OnePerPage() const;
  int FilterIndex() const;
  QString Folder() const;

  // Shows folder `path` in the browser.
  void Browse(const QString& path);

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildBrowser(const FileListSetup& setup);
  QWidget* BuildListPart(const FileListSetup& setup);
  void AddEntries(const std::vector<std::string>& entries);
  void AddFiles();
  void RemoveFiles();
  void Activate(const QModelIndex& index);
  void AddDropped(const QMimeData& data);
  void GoUp();
  void ChooseFilter(int index);
  void ShowSelectedNames();
  void OpenHelp();
  void Stabilize();

  bool explorer_;
  QString folder_;
  QFileSystemModel* model_ = nullptr;
  QLineEdit* lookIn_ = nullptr;
  QTreeView* browser_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  QComboBox* filters_ = nullptr;
  QListWidget* list_ = nullptr;
  QLabel* count_ = nullptr;
  QCheckBox* onePerPage_ = nullptr;
  QPushButton* addFiles_ = nullptr;
  QPushButton* removeFiles_ = nullptr;
  QPushButton* saveFilelist_ = nullptr;
  QPushButton* transcribe_ = nullptr;
};

// The file list entries of `files`, made as a drop on the list makes them.
std::vector<std::string> FileEntries(const QStringList& files, bool onePerPage);

}  // namespace vellumix::gui
