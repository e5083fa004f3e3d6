#include "library/specials_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/edit_special_dialog.h"
#include "library/instrument_list.h"
#include "library/specials.h"
#include "library/symbols_dialog.h"
#include "res/strings.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

QPushButton* Button(const char* name, const char* text) {
  auto* button = new QPushButton(QString::fromLatin1(text));
  button->setObjectName(QLatin1String(name));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

void RunSpecialsDialog(QWidget* parent, CVellumixDoc& doc) {
  SpecialsDialog dialog(doc, parent);
  dialog.exec();
}

SpecialsDialog::SpecialsDialog(CVellumixDoc& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
  setWindowTitle(QStringLiteral("Specials"));

  list_ = new LibraryList;
  list_->setObjectName(QStringLiteral("specialSymbols"));
  for (const auto& entry : ListSpecials(doc.library.LibraryFolder)) list_->setEntry(entry);
  filter_ = MakeLibraryFilter(doc);

  auto* listLabel = new QLabel(QStringLiteral("Special Symbols"));
  listLabel->setBuddy(list_);
  auto* filterLabel = new QLabel(QStringLiteral("Filter"));
  filterLabel->setBuddy(filter_);
  auto* note = new QLabel(FromCoreText(res::kHardCodedSpecials));
  note->setObjectName(QStringLiteral("note"));
  note->setTextFormat(Qt::PlainText);

  auto* newButton = Button("newSpecial", "New Special...");
  edit_ = Button("editSpecial", "Edit Special...");
  delete_ = Button("deleteSpecial", "Delete Special");
  auto* help = Button("help", "Help...");
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
  close->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("close"));

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(newButton);
  buttons->addWidget(edit_);
  buttons->addWidget(delete_);
  buttons->addStretch();
  buttons->addWidget(help);
  buttons->addWidget(close);

  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(filterLabel);
  filterRow->addWidget(filter_, 1);

  auto* grid = new QGridLayout(this);
  grid->addWidget(listLabel, 0, 0);
  grid->addWidget(list_, 1, 0);
  grid->addLayout(filterRow, 2, 0);
  grid->addWidget(note, 3, 0);
  grid->addLayout(buttons, 0, 1, 4, 1);

  connect(newButton, &QPushButton::clicked, this, &SpecialsDialog::newSpecial);
  connect(edit_, &QPushButton::clicked, this, &SpecialsDialog::editSpecial);
  connect(delete_, &QPushButton::clicked, this, &SpecialsDialog::deleteSpecials);
  auto openHelp = [this] { ShowHelp(this, QString::fromLatin1(topic::kSpecials)); };
  connect(help, &QPushButton::clicked, this, openHelp);
  connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, openHelp);
  connect(close, &QDialogButtonBox::rejected, this, &SpecialsDialog::reject);
  connect(filter_, &QComboBox::currentIndexChanged, this, [this] {
    list_->setFilter(CurrentChoice(filter_));
    stabilize();
  });
  connect(list_, &QListWidget::itemSelectionChanged, this, &SpecialsDialog::stabilize);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    list_->clearSelection();
    item->setSelected(true);
    editSpecial();
  });
  stabilize();
  resize(400, 360);
}

void SpecialsDialog::newSpecial() {
  if (auto saved = EditSpecial(this, doc_, SpecialRecord{}, QStringLiteral("New Special")))
    list_->setEntry(*saved);
}

void SpecialsDialog::editSpecial() {
  const auto selected = list_->selectedItems();
  if (selected.size() != 1) return;
  const auto record =
      ReadSpecialFile(doc_.host, doc_.library.LibraryFolder, LibraryList::fileOf(selected.front()));
  if (!record) return;
  const QString caption = QStringLiteral("Edit %1").arg(selected.front()->text());
  if (auto saved = EditSpecial(this, doc_, *record, caption)) list_->setEntry(*saved);
}

void SpecialsDialog::deleteSpecials() {
  const auto files = list_->selectedFiles();
  if (files.empty()) return;
  if (!doc_.host.AskYesNo(0, res::kConfirmDeleteFiles)) return;
  for (const auto& file : files)
    if (DeleteLibraryFile(doc_.host, doc_.library.LibraryFolder, file)) list_->removeFile(file);
  stabilize();
}

void SpecialsDialog::stabilize() {
  const auto selected = list_->selectedItems().size();
  edit_->setEnabled(selected == 1);
  delete_->setEnabled(selected >= 1);
}

}  // namespace vellumix::gui
