#include "library/select_template_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/edit_instrument_dialog.h"
#include "library/edit_template_dialog.h"
#include "library/templates.h"
#include "platform/files.h"
#include "res/strings.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

constexpr int kNameRole = Qt::UserRole;  // the template's name as the core spells it

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

bool RunSelectTemplateDialog(QWidget* parent, CVellumixDoc& doc) {
  SelectTemplateDialog dialog(doc, parent);
  return dialog.exec() == QDialog::Accepted;
}

SelectTemplateDialog::SelectTemplateDialog(CVellumixDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc) {
  setWindowTitle(QStringLiteral("Select Template"));

  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("templates"));
  for (const auto& name : TemplateChoices(doc.library.LibraryFolder)) {
    list_->addItem(Item(name));
    if (name == doc.library.selectedTemplate) list_->setCurrentRow(list_->count() - 1);
  }
  auto* label = new QLabel(QStringLiteral("Templates"));
  label->setBuddy(list_);

  auto* newButton = Button("newTemplate", "New Template...");
  edit_ = Button("editTemplate", "Edit Template...");
  delete_ = Button("deleteTemplate", "Delete Template");
  QDialogButtonBox* buttons = OkCancelHelp(this, topic::kTemplates);
  ok_ = buttons->findChild<QPushButton*>(QStringLiteral("ok"));
  buttons->setOrientation(Qt::Vertical);

  auto* side = new QVBoxLayout;
  for (QPushButton* b : {newButton, edit_, delete_}) side->addWidget(b);
  side->addStretch();
  side->addWidget(buttons);
  auto* left = new QVBoxLayout;
  left->addWidget(label);
  left->addWidget(list_);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(side);

  connect(newButton, &QPushButton::clicked, this, &SelectTemplateDialog::newTemplate);
  connect(edit_, &QPushButton::clicked, this, &SelectTemplateDialog::editTemplate);
  connect(delete_, &QPushButton::clicked, this, &SelectTemplateDialog::deleteTemplate);
  connect(list_, &QListWidget::itemSelectionChanged, this, &SelectTemplateDialog::stabilize);
  stabilize();
  resize(420, 280);
}

std::string SelectTemplateDialog::selected() const {
  const auto items = list_->selectedItems();
  return items.size() == 1 ? NameOf(items.front()) : std::string();
}

void SelectTemplateDialog::listAndSelect(const std::string& name) {
  int row = 1;  // "[None]" stays first
  for (; row < list_->count(); ++row) {
    const std::string listed = NameOf(list_->item(row));
    if (files::EqualNoCase(listed, name)) break;
    if (files::LessNoCase(name, listed)) {
      list_->insertItem(row, Item(name));
      break;
    }
  }
  if (row == list_->count()) list_->addItem(Item(name));
  list_->setCurrentRow(row);
}

void SelectTemplateDialog::newTemplate() {
  if (auto saved = EditTemplate(this, doc_, {}, QStringLiteral("New Template")))
    listAndSelect(*saved);
}

void SelectTemplateDialog::editTemplate() {
  const std::string name = selected();
  if (name.empty() || name == kNoTemplate) return;
  if (auto saved =
          EditTemplate(this, doc_, name, QStringLiteral("Edit %1").arg(FromCoreText(name))))
    listAndSelect(*saved);
}

void SelectTemplateDialog::deleteTemplate() {
  const std::string name = selected();
  if (name.empty() || name == kNoTemplate) return;
  if (!doc_.host.AskYesNo(0, res::kConfirmDeleteFiles)) return;
  if (!DeleteTemplate(doc_.host, doc_.library.LibraryFolder, name)) return;
  delete list_->selectedItems().front();
  list_->setCurrentRow(0);  // "[None]": what a run falls back to without the file
  stabilize();
}

void SelectTemplateDialog::stabilize() {
  const std::string name = selected();
  const bool some = !name.empty();
  ok_->setEnabled(some);
  edit_->setEnabled(some && name != kNoTemplate);
  delete_->setEnabled(some && name != kNoTemplate);
}

void SelectTemplateDialog::accept() {
  const std::string name = selected();
  if (name.empty()) return;
  if (!doc_.library.SelectTemplate(name)) return;
  QDialog::accept();
}

}  // namespace vellumix::gui
