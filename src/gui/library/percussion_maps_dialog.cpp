#include "library/percussion_maps_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/edit_map_setup_dialog.h"
#include "library/percussion_maps.h"
#include "platform/files.h"
#include "res/strings.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

constexpr int kNameRole = Qt::UserRole;  // the setup's name as the core spells it

QPushButton* Button(const char* key, const char* text) {
  auto* button = new QPushButton(QString::fromLatin1(text));
  button->setObjectName(QLatin1String(key));
  button->setAutoDefault(false);
  return button;
}

QListWidgetItem* Item(const std::string& name) {
  auto* item = new QListWidgetItem(FromCoreText(name));
  item->setData(kNameRole, QByteArray::fromStdString(name));
  return item;
}

std::string NameOf(const QListWidgetItem* item) {
  return item->data(kNameRole).toByteArray().toStdString();
}

}  // namespace

void RunPercussionMapsDialog(QWidget* parent, CVellumixDoc& doc) {
  PercussionMapsDialog dialog(doc, parent);
  dialog.exec();
}

PercussionMapsDialog::PercussionMapsDialog(CVellumixDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc) {
  setWindowTitle(QStringLiteral("Percussion maps"));
  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("setups"));
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  for (const auto& name : MapSetupChoices(doc.library.LibraryFolder)) list_->addItem(Item(name));
  auto* label = new QLabel(QStringLiteral("Map setups"));
  label->setBuddy(list_);

  auto* newButton = Button("newSetup", "New Setup ...");
  edit_ = Button("editSetup", "Edit Setup...");
  delete_ = Button("deleteSetup", "Delete Setup");
  auto* help = Button("help", "Help...");
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
  close->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("close"));

  auto* side = new QVBoxLayout;
  for (QPushButton* b : {newButton, edit_, delete_}) side->addWidget(b);
  side->addStretch();
  side->addWidget(help);
  side->addWidget(close);
  auto* left = new QVBoxLayout;
  left->addWidget(label);
  left->addWidget(list_);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(side);

  connect(newButton, &QPushButton::clicked, this, &PercussionMapsDialog::newSetup);
  connect(edit_, &QPushButton::clicked, this, &PercussionMapsDialog::editSetup);
  connect(delete_, &QPushButton::clicked, this, &PercussionMapsDialog::deleteSetups);
  auto openHelp = [this] { ShowHelp(this, QString::fromLatin1(topic::kPercussionMaps)); };
  connect(help, &QPushButton::clicked, this, openHelp);
  connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, openHelp);
  connect(close, &QDialogButtonBox::rejected, this, &PercussionMapsDialog::reject);
  connect(list_, &QListWidget::itemSelectionChanged, this, &PercussionMapsDialog::stabilize);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    list_->clearSelection();
    item->setSelected(true);
    editSetup();
  });
  stabilize();
  resize(380, 280);
}

void PercussionMapsDialog::listAndSelect(const std::string& name) {
  int row = 0;
  for (; row < list_->count(); ++row) {
    const std::string listed = NameOf(list_->item(row));
    if (files::EqualNoCase(listed, name)) break;
    if (files::LessNoCase(name, listed)) {
      list_->insertItem(row, Item(name));
      break;
    }
  }
  if (row == list_->count()) list_->addItem(Item(name));
  list_->clearSelection();
  list_->setCurrentRow(row);
}

void PercussionMapsDialog::newSetup() {
  if (auto saved = EditMapSetup(this, doc_, {}, QStringLiteral("New Map Setup")))
    listAndSelect(*saved);
}

void PercussionMapsDialog::editSetup() {
  const auto selected = list_->selectedItems();
  if (selected.size() != 1) return;
  const std::string name = NameOf(selected.front());
  if (auto saved =
          EditMapSetup(this, doc_, name, QStringLiteral("Edit %1").arg(selected.front()->text())))
    listAndSelect(*saved);
}

void PercussionMapsDialog::deleteSetups() {
  if (list_->selectedItems().isEmpty()) return;
  if (!doc_.host.AskYesNo(0, res::kConfirmDeleteFiles)) return;
  for (int row = list_->count() - 1; row >= 0; --row) {
    QListWidgetItem* item = list_->item(row);
    if (item->isSelected() && DeleteMapSetup(doc_.host, doc_.library.LibraryFolder, NameOf(item)))
      delete list_->takeItem(row);
  }
  stabilize();
}

void PercussionMapsDialog::stabilize() {
  const auto selected = list_->selectedItems().size();
  edit_->setEnabled(selected == 1);
  delete_->setEnabled(selected >= 1);
}

}  // namespace vellumix::gui
