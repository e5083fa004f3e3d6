#include "library/symbols_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/edit_symbol_dialog.h"
#include "library/instrument_list.h"
#include "library/symbols.h"
#include "res/strings.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

constexpr int kFileRole = Qt::UserRole;  // the entry's file name, as the core spells it

class EntryItem : public QListWidgetItem {
 public:
  explicit EntryItem(const LibraryEntry& entry) : QListWidgetItem(FromCoreText(entry.text)) {
    setData(kFileRole, QByteArray::fromStdString(entry.fileName));
  }

  bool operator<(const QListWidgetItem& other) const override {
    const int order = text().compare(other.text(), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : text() < other.text();
  }
};

QPushButton* Button(const char* name, const char* text) {
  auto* button = new QPushButton(QString::fromLatin1(text));
  button->setObjectName(QLatin1String(name));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

void RunSymbolsDialog(QWidget* parent, CVellumixDoc& doc) {
  SymbolsDialog dialog(doc, parent);
  dialog.exec();
}

LibraryList::LibraryList(QWidget* parent) : QListWidget(parent), filter_(kAllLibraries) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSortingEnabled(true);
}

void LibraryList::setEntry(const LibraryEntry& entry) {
  for (int row = 0; row < count(); ++row) {
    if (fileOf(item(row)) == entry.fileName) {
      item(row)->setText(FromCoreText(entry.text));
      sortItems();
      return;
    }
  }
  auto* added = new EntryItem(entry);
  addItem(added);
  applyFilter(added);
}

void LibraryList::removeFile(const std::string& fileName) {
  for (int row = count() - 1; row >= 0; --row)
    if (fileOf(item(row)) == fileName) delete takeItem(row);
}

void LibraryList::setFilter(const std::string& filter) {
  filter_ = filter;
  for (int row = 0; row < count(); ++row) applyFilter(item(row));
}

void LibraryList::applyFilter(QListWidgetItem* entry) {
  const bool shown = FilterShows(filter_, fileOf(entry));
  entry->setHidden(!shown);
  if (!shown) entry->setSelected(false);
}

std::vector<std::string> LibraryList::selectedFiles() const {
  std::vector<std::string> files;
  for (int row = 0; row < count(); ++row)
    if (item(row)->isSelected()) files.push_back(fileOf(item(row)));
  return files;
}

std::string LibraryList::fileOf(const QListWidgetItem* entry) {
  return entry->data(kFileRole).toByteArray().toStdString();
}

QStringList LibraryList::shownTexts() const {
  QStringList texts;
  for (int row = 0; row < count(); ++row)
    if (!item(row)->isHidden()) texts << item(row)->text();
  return texts;
}

QComboBox* MakeLibraryFilter(CVellumixDoc& doc) {
  auto* box = new QComboBox;
  box->setObjectName(QStringLiteral("filter"));
  const auto lines = ReadInstrumentList(doc.host, doc.library.LibraryFolder);
  for (const auto& choice : LibraryFilterChoices(lines.value_or(std::vector<std::string>{})))
    box->addItem(FromCoreText(choice), QByteArray::fromStdString(choice));
  return box;
}

std::string CurrentChoice(const QComboBox* box) {
  return box->currentData().toByteArray().toStdString();
}

SymbolsDialog::SymbolsDialog(CVellumixDoc& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
  setWindowTitle(QStringLiteral("Symbols"));

  code9_ = new LibraryList;
  code9_->setObjectName(QStringLiteral("code9Symbols"));
  text_ = new LibraryList;
  text_->setObjectName(QStringLiteral("textSymbols"));
  filter_ = MakeLibraryFilter(doc);

  const SymbolEntries entries = ListSymbols(doc.host, doc.library.LibraryFolder);
  for (const auto& entry : entries.code9) code9_->setEntry(entry);
  for (const auto& entry : entries.text) text_->setEntry(entry);

  auto* newButton = Button("newSymbol", "New Symbol...");
  edit_ = Button("editSymbol", "Edit Symbol...");
  delete_ = Button("deleteSymbol", "Delete Symbol");
  auto* help = Button("help", "Help...");
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
  close->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("close"));

  auto* code9Label = new QLabel(QStringLiteral("Code 9 Symbols"));
  code9Label->setBuddy(code9_);
  auto* textLabel = new QLabel(QStringLiteral("Text Symbols"));
  textLabel->setBuddy(text_);
  auto* filterLabel = new QLabel(QStringLiteral("Filter"));
  filterLabel->setBuddy(filter_);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(newButton);
  buttons->addWidget(edit_);
  buttons->addWidget(delete_);
  buttons->addStretch();
  buttons->addWidget(help);
  buttons->addWidget(close);

  auto* grid = new QGridLayout(this);
  grid->addWidget(code9Label, 0, 0);
  grid->addWidget(textLabel, 0, 1);
  grid->addWidget(code9_, 1, 0);
  grid->addWidget(text_, 1, 1);
  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(filterLabel);
  filterRow->addWidget(filter_, 1);
  grid->addLayout(filterRow, 2, 0);
  grid->addLayout(buttons, 0, 2, 3, 1);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);

  connect(newButton, &QPushButton::clicked, this, &SymbolsDialog::newSymbol);
  connect(edit_, &QPushButton::clicked, this, &SymbolsDialog::editSymbol);
  connect(delete_, &QPushButton::clicked, this, &SymbolsDialog::deleteSymbols);
  auto openHelp = [this] { ShowHelp(this, QString::fromLatin1(topic::kSymbols)); };
  connect(help, &QPushButton::clicked, this, openHelp);
  connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, openHelp);
  connect(close, &QDialogButtonBox::rejected, this, &SymbolsDialog::reject);
  connect(filter_, &QComboBox::currentIndexChanged, this, &SymbolsDialog::chooseFilter);
  for (LibraryList* list : {code9_, text_}) {
    LibraryList* other = list == code9_ ? text_ : code9_;
    connect(list, &QListWidget::itemSelectionChanged, this, [this, list, other] {
      if (!list->selectedItems().isEmpty()) other->clearSelection();
      stabilize();
    });
    connect(list, &QListWidget::itemDoubleClicked, this, [this, list](QListWidgetItem* item) {
      list->clearSelection();
      item->setSelected(true);
      editSymbol();
    });
  }
  stabilize();
  resize(560, 360);
}

LibraryList* SymbolsDialog::selectedList() const {
  return code9_->selectedItems().isEmpty() ? text_ : code9_;
}

void SymbolsDialog::newSymbol() {
  if (auto saved = EditSymbol(this, doc_, SymbolRecord{}, QStringLiteral("New Symbol")))
    (saved->code9 ? code9_ : text_)->setEntry(saved->entry);
}

void SymbolsDialog::editSymbol() {
  const auto selected = selectedList()->selectedItems();
  if (selected.size() != 1) return;
  const std::string fileName = LibraryList::fileOf(selected.front());
  const auto record = ReadSymbolFile(doc_.host, doc_.library.LibraryFolder, fileName);
  if (!record) return;
  const QString caption = QStringLiteral("Edit %1").arg(selected.front()->text());
  if (auto saved = EditSymbol(this, doc_, *record, caption))
    (saved->code9 ? code9_ : text_)->setEntry(saved->entry);
}

void SymbolsDialog::deleteSymbols() {
  LibraryList* list = selectedList();
  const auto files = list->selectedFiles();
  if (files.empty()) return;
  if (!doc_.host.AskYesNo(0, res::kConfirmDeleteFiles)) return;
  for (const auto& file : files)
    if (DeleteLibraryFile(doc_.host, doc_.library.LibraryFolder, file)) list->removeFile(file);
  stabilize();
}

void SymbolsDialog::chooseFilter() {
  const std::string filter = CurrentChoice(filter_);
  code9_->setFilter(filter);
  text_->setFilter(filter);
  stabilize();
}

void SymbolsDialog::stabilize() {
  const auto selected = selectedList()->selectedItems().size();
  edit_->setEnabled(selected == 1);
  delete_->setEnabled(selected >= 1);
}

}  // namespace vellumix::gui
