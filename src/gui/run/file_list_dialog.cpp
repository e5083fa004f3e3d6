#include "run/file_list_dialog.h"

#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <string_view>

#include "app/text.h"
#include "help/help.h"
#include "run/file_groups.h"

namespace vellumix::gui {
namespace {

constexpr int kEntryRole = Qt::UserRole;  // the entry's own bytes, whatever their encoding

constexpr std::string_view kClassicFilters =
    "SCORE files (*.mus) | *.mus|SCORE files (*.jst) | *.jst|SCORE files (*.jus) | "
    "*.jus|SCORE files (*.pge) | *.pge|SCORE files (*.pag) | *.pag|SCORE files (*.pt) | "
    "*.pt|SCORE files (*.opt) | *.opt|SCORE files (*.uno) | *.uno|SCORE files (*.edi) | "
    "*.edi|SCORE files (*.bim) | *.bim|All Files (*.*) | *.* ||";
constexpr std::string_view kExplorerFilters =
    "SCORE files (*.mus) | *.mus|SCORE files (*.jst) | *.jst|SCORE files (*.jus) | "
    "*.jus|SCORE files (*.pge) | *.pge|SCORE files (*.pag) | *.pag|SCORE files (*.pt; *.pts) | "
    "*.pt; *.pts|SCORE files (*.opt) | *.opt|SCORE files (*.uno) | *.uno|SCORE files (*.edi) | "
    "*.edi|SCORE files (*.bim) | *.bim|All Files (*.*) | *.*|";

// Sorted lists order their entries alphabetically without regard to letter case.
class EntryItem : public QListWidgetItem {
 public:
  explicit EntryItem(const std::string& entry) : QListWidgetItem(FromCoreText(entry)) {
    setData(kEntryRole, QByteArray::fromStdString(entry));
  }

  bool operator<(const QListWidgetItem& other) const override {
    const int order = text().compare(other.text(), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : text() < other.text();
  }
};

bool HoldsLocalFiles(const QMimeData* data) {
  if (data == nullptr) return false;
  const auto urls = data->urls();
  return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) {
    return url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile();
  });
}

bool IsEnterKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

std::vector<FileFilter> ScoreFileFilters(bool explorer) {
  const std::string_view filters = explorer ? kExplorerFilters : kClassicFilters;
  const QStringList parts = QString::fromLatin1(filters.data(), filters.size()).split(u'|');
  std::vector<FileFilter> out;
  for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].trimmed().isEmpty(); i += 2) {
    FileFilter filter{parts[i].trimmed(), {}};
    for (const QString& glob : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
      // Names without a dot are files too.
      const QString pattern = glob.trimmed();
      filter.patterns << (pattern == u"*.*" ? QStringLiteral("*") : pattern);
    }
    out.push_back(filter);
  }
  // SCORE's text form of a page; last, so that the numbers of the filters before it stay.
  out.push_back({QStringLiteral("SCORE text files (*.pmx; *.txt)"),
                 {QStringLiteral("*.pmx"), QStringLiteral("*.txt")}});
  return out;
}

FileListDialog::FileListDialog(const FileListSetup& setup, QWidget* parent)
    : QDialog(parent), explorer_(setup.explorer) {
  setWindowTitle(setup.sorted ? QStringLiteral("Make Filelist - (sorted)")
                              : QStringLiteral("Make Filelist - (unsorted)"));

  auto* parts = new QHBoxLayout;
  parts->addWidget(BuildBrowser(setup), 3);
  parts->addWidget(BuildListPart(setup), 2);

  auto* buttons = new QDialogButtonBox;
  transcribe_ = buttons->addButton(QStringLiteral("Transcribe"), QDialogButtonBox::AcceptRole);
  transcribe_->setObjectName(QStringLiteral("transcribe"));
  transcribe_->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
      ->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &FileListDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &FileListDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(parts);
  layout->addWidget(buttons);

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, &FileListDialog::OpenHelp);

  AddEntries(setup.entries);
  Browse(QFileInfo(setup.folder).isDir() ? setup.folder : QDir::currentPath());
  fileName_->setText(setup.fileName);
  resize(760, 420);
}

QWidget* FileListDialog::BuildBrowser(const FileListSetup& setup) {
  auto* part = new QWidget;

  model_ = new QFileSystemModel(this);
  // Without QDir::CaseSensitive the name filters match either letter case; set before the filters.
  model_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
  model_->setNameFilterDisables(false);

  lookIn_ = new QLineEdit;
  lookIn_->setObjectName(QStringLiteral("lookIn"));
  lookIn_->installEventFilter(this);
  auto* up = new QToolButton;
  up->setObjectName(QStringLiteral("up"));
  up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
  up->setToolTip(QStringLiteral("Up one level"));
  connect(up, &QToolButton::clicked, this, &FileListDialog::GoUp);

  browser_ = new QTreeView;
  browser_->setObjectName(QStringLiteral("browser"));
  browser_->setModel(model_);
  browser_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  browser_->setSelectionBehavior(QAbstractItemView::SelectRows);
  browser_->setRootIsDecorated(false);
  browser_->setItemsExpandable(false);
  browser_->setSortingEnabled(true);
  browser_->sortByColumn(0, Qt::AscendingOrder);
  const int widths[] = {140, 84, 66, 100};  // "1,018 bytes" fits in Size
  for (int column = 0; column < 4; ++column)
    browser_->header()->resizeSection(column, widths[column]);
  browser_->installEventFilter(this);
  connect(browser_, &QTreeView::doubleClicked, this, &FileListDialog::Activate);
  connect(browser_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    ShowSelectedNames();
    Stabilize();
  });

  fileName_ = new QLineEdit;
  fileName_->setObjectName(QStringLiteral("fileName"));
  fileName_->setReadOnly(true);

  filters_ = new QComboBox;
  filters_->setObjectName(QStringLiteral("filters"));
  for (const auto& filter : ScoreFileFilters(setup.explorer))
    filters_->addItem(filter.name, filter.patterns);
  filters_->setCurrentIndex(std::clamp(setup.filterIndex - 1, 0, filters_->count() - 1));
  ChooseFilter(filters_->currentIndex());
  connect(filters_, &QComboBox::currentIndexChanged, this, &FileListDialog::ChooseFilter);

  auto* grid = new QGridLayout(part);
  grid->setContentsMargins(0, 0, 0, 0);
  auto* lookInLabel = new QLabel(QStringLiteral("Look &in:"));
  lookInLabel->setBuddy(lookIn_);
  grid->addWidget(lookInLabel, 0, 0);
  grid->addWidget(lookIn_, 0, 1);
  grid->addWidget(up, 0, 2);
  grid->addWidget(browser_, 1, 0, 1, 3);
  auto* fileNameLabel = new QLabel(QStringLiteral("File &name:"));
  fileNameLabel->setBuddy(fileName_);
  grid->addWidget(fileNameLabel, 2, 0);
  grid->addWidget(fileName_, 2, 1, 1, 2);
  auto* filtersLabel = new QLabel(QStringLiteral("Files of &type:"));
  filtersLabel->setBuddy(filters_);
  grid->addWidget(filtersLabel, 3, 0);
  grid->addWidget(filters_, 3, 1, 1, 2);
  return part;
}

QWidget* FileListDialog::BuildListPart(const FileListSetup& setup) {
  auto* part = new QWidget;

  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("fileList"));
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSortingEnabled(setup.sorted);
  // Files dropped from a file manager arrive at the viewport.
  list_->setAcceptDrops(true);
  list_->viewport()->setAcceptDrops(true);
  list_->installEventFilter(this);
  list_->viewport()->installEventFilter(this);
  connect(list_, &QListWidget::itemSelectionChanged, this, &FileListDialog::Stabilize);

  count_ = new QLabel;
  count_->setObjectName(QStringLiteral("count"));
  onePerPage_ = new QCheckBox(QStringLiteral("&one file a page"));
  onePerPage_->setObjectName(QStringLiteral("onePerPage"));
  onePerPage_->setChecked(setup.onePerPage);

  auto button = [](const char* name, const QString& text) {
    auto* b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
  };
  auto* loadFilelist = button("loadFilelist", QStringLiteral("&Load Filelist..."));
  addFiles_ = button("addFiles", QStringLiteral("&Add Files"));
  removeFiles_ = button("removeFiles", QStringLiteral("&Remove Files"));
  saveFilelist_ = button("saveFilelist", QStringLiteral("&Save Filelist..."));
  auto* help = button("help", QStringLiteral("Help..."));
  connect(loadFilelist, &QPushButton::clicked, this, [this] { done(kLoadFilelist); });
  connect(addFiles_, &QPushButton::clicked, this, &FileListDialog::AddFiles);
  connect(removeFiles_, &QPushButton::clicked, this, &FileListDialog::RemoveFiles);
  connect(saveFilelist_, &QPushButton::clicked, this, [this] {
    if (list_->count() > 0) done(kSaveFilelist);
  });
  connect(help, &QPushButton::clicked, this, &FileListDialog::OpenHelp);

  auto* grid = new QGridLayout(part);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(list_, 0, 0, 1, 2);
  grid->addWidget(count_, 1, 0, 1, 2);
  grid->addWidget(onePerPage_, 2, 0, 1, 2);
  grid->addWidget(addFiles_, 3, 0);
  grid->addWidget(removeFiles_, 3, 1);
  grid->addWidget(loadFilelist, 4, 0);
  grid->addWidget(saveFilelist_, 4, 1);
  grid->addWidget(help, 5, 1);
  return part;
}

std::vector<std::string> FileListDialog::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(static_cast<std::size_t>(list_->count()));
  for (int row = 0; row < list_->count(); ++row)
    entries.push_back(list_->item(row)->data(kEntryRole).toByteArray().toStdString());
  return entries;
}

bool FileListDialog::OnePerPage() const {
  return onePerPage_->isChecked();
}

int FileListDialog::FilterIndex() const {
  return filters_->currentIndex() + 1;
}

QString FileListDialog::Folder() const {
  return folder_;
}

void FileListDialog::Browse(const QString& path) {
  const QFileInfo info(path);
  if (!info.isDir()) {
    lookIn_->setText(QDir::toNativeSeparators(folder_));
    return;
  }
  folder_ = QDir::cleanPath(info.absoluteFilePath());
  model_->setRootPath(folder_);
  browser_->setRootIndex(model_->index(folder_));
  // A selection left in the folder before would still be added.
  browser_->selectionModel()->clear();
  lookIn_->setText(QDir::toNativeSeparators(folder_));
  Stabilize();
}

void FileListDialog::accept() {
  if (list_->count() == 0) return;
  QDialog::accept();
}

bool FileListDialog::eventFilter(QObject* watched, QEvent* event) {
  if (list_ != nullptr && (watched == list_ || watched == list_->viewport())) {
    const auto type = event->type();
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!HoldsLocalFiles(drop->mimeData())) return false;
      if (type == QEvent::Drop) AddDropped(*drop->mimeData());
      drop->acceptProposedAction();
      return true;
    }
  }
  // Enter opens a folder or adds a file, as a double-click does, instead of pressing Transcribe.
  if (IsEnterKey(event)) {
    if (watched == browser_) {
      Activate(browser_->currentIndex());
      return true;
    }
    if (watched == lookIn_) {
      Browse(QDir::fromNativeSeparators(lookIn_->text()));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void FileListDialog::AddEntries(const std::vector<std::string>& entries) {
  for (const auto& entry : entries) list_->addItem(new EntryItem(entry));
  Stabilize();
}

void FileListDialog::AddFiles() {
  auto rows = browser_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<std::string> names;
  for (const auto& index : rows) {
    if (!model_->isDir(index)) names.push_back(ToCorePath(model_->fileName(index)));
  }
  if (names.empty()) return;
  AddEntries(GroupSelectedFiles(ToCorePath(folder_), names, onePerPage_->isChecked()));
}

void FileListDialog::RemoveFiles() {
  const auto selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  qDeleteAll(selected);
  list_->clearSelection();
  Stabilize();
}

void FileListDialog::Activate(const QModelIndex& index) {
  if (!index.isValid()) return;
  if (model_->isDir(index)) {
    Browse(model_->filePath(index));
    return;
  }
  // The classic form adds the file as a page of its own whatever the check box says.
  const bool onePerPage = explorer_ ? onePerPage_->isChecked() : true;
  AddEntries(
      GroupSelectedFiles(ToCorePath(folder_), {ToCorePath(model_->fileName(index))}, onePerPage));
}

void FileListDialog::AddDropped(const QMimeData& data) {
  QStringList files;
  for (const QUrl& url : data.urls())
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) files << url.toLocalFile();
  AddEntries(FileEntries(files, onePerPage_->isChecked()));
}

void FileListDialog::GoUp() {
  QDir folder(folder_);
  if (folder.cdUp()) Browse(folder.absolutePath());
}

void FileListDialog::ChooseFilter(int index) {
  model_->setNameFilters(filters_->itemData(index).toStringList());
}

void FileListDialog::ShowSelectedNames() {
  QStringList names;
  for (const auto& index : browser_->selectionModel()->selectedRows()) {
    if (!model_->isDir(index)) names << model_->fileName(index);
  }
  if (names.size() == 1) {
    fileName_->setText(names.front());
    return;
  }
  for (QString& name : names) name = QLatin1Char('"') + name + QLatin1Char('"');
  fileName_->setText(names.join(QLatin1Char(' ')));
}

void FileListDialog::OpenHelp() {
  ShowHelp(this, QString::fromLatin1(topic::kFileList));
}

void FileListDialog::Stabilize() {
  const bool listed = list_->count() > 0;
  transcribe_->setEnabled(listed);
  saveFilelist_->setEnabled(listed);
  removeFiles_->setEnabled(!list_->selectedItems().isEmpty());
  const auto rows = browser_->selectionModel()->selectedRows();
  addFiles_->setEnabled(std::any_of(rows.begin(), rows.end(),
                                    [this](const QModelIndex& i) { return !model_->isDir(i); }));
  count_->setText(QStringLiteral("Filelist: %1 file selections in list").arg(list_->count()));
}

std::vector<std::string> FileEntries(const QStringList& files, bool onePerPage) {
  // Each folder's files in the order the browser lists them, so that groups are found.
  std::vector<std::pair<QString, QStringList>> folders;
  for (const QString& path : files) {
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    auto it = std::find_if(folders.begin(), folders.end(),
                           [&](const auto& f) { return f.first == folder; });
    if (it == folders.end()) it = folders.emplace(folders.end(), folder, QStringList());
    it->second << file.fileName();
  }
  QCollator browserOrder;
  browserOrder.setNumericMode(true);
  browserOrder.setCaseSensitivity(Qt::CaseInsensitive);
  std::vector<std::string> entries;
  for (auto& [folder, names] : folders) {
    std::sort(names.begin(), names.end(), browserOrder);
    std::vector<std::string> coreNames;
    for (const QString& name : names) coreNames.push_back(ToCorePath(name));
    for (auto& entry : GroupSelectedFiles(ToCorePath(folder), coreNames, onePerPage))
      entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace vellumix::gui
