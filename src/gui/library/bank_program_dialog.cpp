#include "library/bank_program_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/edit_instrument_dialog.h"
#include "library/instrument_list.h"
#include "library/templates.h"
#include "library/text_editor.h"
#include "platform/host.h"
#include "res/strings.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

constexpr int kNameRole = Qt::UserRole;  // the line as INSTRUMENTS.DAT holds it

QPushButton* Button(const char* key, const char* text) {
  auto* button = new QPushButton(QString::fromLatin1(text));
  button->setObjectName(QLatin1String(key));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

bool RunEditBankProgramList(QWidget* parent, CVellumixDoc& doc) {
  BankProgramDialog dialog(doc, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  return EditLibraryTextFile(doc.host, doc.library.LibraryFolder, dialog.chosen() + ".PCH");
}

BankProgramDialog::BankProgramDialog(CVellumixDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc) {
  setWindowTitle(QStringLiteral("Edit Bank / Program"));

  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("libraries"));
  const auto lines = ReadInstrumentList(doc.host, doc.library.LibraryFolder);
  for (const auto& line : LinesWithoutComma(lines.value_or(std::vector<std::string>{}))) {
    auto* item = new QListWidgetItem(FromCoreText(line), list_);
    item->setData(kNameRole, QByteArray::fromStdString(line));
  }
  auto* label = new QLabel(QStringLiteral("Select instrument to edit"));
  label->setBuddy(list_);

  auto* add = Button("add", "Add...");
  delete_ = Button("delete", "Delete");
  QDialogButtonBox* buttons = OkCancelHelp(this, topic::kEditBankProgram);
  ok_ = buttons->findChild<QPushButton*>(QStringLiteral("ok"));
  buttons->setOrientation(Qt::Vertical);

  auto* side = new QVBoxLayout;
  side->addWidget(add);
  side->addWidget(delete_);
  side->addStretch();
  side->addWidget(buttons);
  auto* left = new QVBoxLayout;
  left->addWidget(label);
  left->addWidget(list_);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(side);

  connect(add, &QPushButton::clicked, this, &BankProgramDialog::addList);
  connect(delete_, &QPushButton::clicked, this, &BankProgramDialog::deleteList);
  connect(list_, &QListWidget::itemSelectionChanged, this, &BankProgramDialog::stabilize);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    list_->setCurrentItem(item);
    accept();
  });
  stabilize();
  resize(380, 260);
}

void BankProgramDialog::addList() {
  QInputDialog ask(this);
  ask.setObjectName(QStringLiteral("newListName"));
  ask.setWindowTitle(QStringLiteral("Add Bank/Program List"));
  ask.setLabelText(QStringLiteral("Name of the new bank/program list"));
  if (ask.exec() != QDialog::Accepted) return;
  const QString name = ask.textValue().trimmed();
  if (name.isEmpty()) return;
  chosen_ = name.toUtf8().toStdString();
  QDialog::accept();
}

void BankProgramDialog::deleteList() {
  const auto items = list_->selectedItems();
  if (items.isEmpty()) return;
  const std::string name = items.front()->data(kNameRole).toByteArray().toStdString();
  if (!AskYesNo(doc_.host, res::kConfirmDeletePch, name + ".PCH")) return;
  DeleteBankProgramList(doc_.host, doc_.library.LibraryFolder, name);
}

void BankProgramDialog::stabilize() {
  const bool some = !list_->selectedItems().isEmpty();
  ok_->setEnabled(some);
  delete_->setEnabled(some);
}

void BankProgramDialog::accept() {
  const auto items = list_->selectedItems();
  if (items.isEmpty()) return;
  chosen_ = items.front()->data(kNameRole).toByteArray().toStdString();
  QDialog::accept();
}

}  // namespace vellumix::gui
