#include "library/dialog_parts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include "help/help.h"
#include "platform/host.h"

namespace vellumix::gui {

QDialogButtonBox* OkCancelHelp(QDialog* dialog, const char* topic) {
  auto* buttons = new QDialogButtonBox;
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
      ->setObjectName(QStringLiteral("cancel"));
  buttons->addButton(QStringLiteral("Help..."), QDialogButtonBox::HelpRole)
      ->setObjectName(QStringLiteral("help"));
  const QString page = QString::fromLatin1(topic);
  auto help = [dialog, page] { ShowHelp(dialog, page); };
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  QObject::connect(buttons, &QDialogButtonBox::helpRequested, dialog, help);
  QObject::connect(new QShortcut(QKeySequence(Qt::Key_F1), dialog), &QShortcut::activated, dialog,
                   help);
  return buttons;
}

void RefuseField(Host& host, QWidget* field, const std::string& text) {
  host.ShowMessage(0, text);
  if (field == nullptr) return;
  field->setFocus();
  // A box with step buttons passes its focus on to its line edit.
  if (QWidget* proxy = field->focusProxy()) field = proxy;
  if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
}

}  // namespace vellumix::gui
