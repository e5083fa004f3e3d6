#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "help/help.h"
#include "questions/questions.h"

namespace vellumix::gui {

// No beep and no Help... button here; F1 still finds the page that explains the question.
MultipleSystemsDialog::MultipleSystemsDialog(const QString& text, QWidget* parent)
    : QuestionDialog(QStringLiteral("Multiple Systems"), text,
                     QString::fromLatin1(topic::kStandard), false, parent),
      dontShowAgain_(new QCheckBox(QStringLiteral("Don't show this window again"))) {
  dontShowAgain_->setObjectName(QStringLiteral("dontShowAgain"));
  body()->addWidget(dontShowAgain_);
  auto* buttons = new QDialogButtonBox;
  QPushButton* yes = buttons->addButton(QStringLiteral("Yes"), QDialogButtonBox::YesRole);
  QPushButton* no = buttons->addButton(QStringLiteral("No"), QDialogButtonBox::NoRole);
  yes->setObjectName(QStringLiteral("yes"));
  no->setObjectName(QStringLiteral("no"));
  yes->setDefault(true);
  connect(yes, &QPushButton::clicked, this, &QDialog::accept);
  connect(no, &QPushButton::clicked, this, &QDialog::reject);
  body()->addWidget(buttons);
}

bool MultipleSystemsDialog::dontShowAgain() const {
  return dontShowAgain_->isChecked();
}

}  // namespace vellumix::gui
