#include "questions/questions.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "res/strings.h"

namespace vellumix::gui {

bool AskTimeSignature(QWidget* parent, TimeSignatureQuestion kind, const QString& text, int& top,
                      int& bottom) {
  TimeSignatureDialog dialog(kind, text, top, bottom, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  top = dialog.top();
  bottom = dialog.bottom();
  return true;
}

bool AskAnacrusis(QWidget* parent, const QString& text, float& beats) {
  AnacrusisDialog dialog(text, beats, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  beats = dialog.beats();
  return true;
}

bool AskMultipleSystems(QWidget* parent, const QString& text, bool& dontShowAgain) {
  MultipleSystemsDialog dialog(text, parent);
  const bool yes = dialog.exec() == QDialog::Accepted;
  dontShowAgain = dialog.dontShowAgain();
  return yes;
}

QuestionDialog::QuestionDialog(const QString& caption, const QString& text,
                               const QString& helpTopic, bool beeps, QWidget* parent)
    : QDialog(parent),
      message_(new QLabel(text)),
      body_(new QVBoxLayout(this)),
      helpTopic_(helpTopic),
      beeps_(beeps),
      beep_(&QApplication::beep) {
  setWindowTitle(caption);
  message_->setObjectName(QStringLiteral("message"));
  message_->setWordWrap(true);
  // Wide enough that the longest message (a new instrument) stays a few lines.
  message_->setMinimumWidth(340);
  message_->setTextFormat(Qt::PlainText);
  body_->addWidget(message_);
  body_->setSizeConstraint(QLayout::SetFixedSize);
}

void QuestionDialog::addOkCancelHelp() {
  auto* buttons = new QDialogButtonBox;
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  buttons->addButton(QStringLiteral("Help..."), QDialogButtonBox::HelpRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { ShowHelp(this, helpTopic_); });
  body_->addWidget(buttons);
}

void QuestionDialog::refuse(QLineEdit* field, const QString& text) {
  QMessageBox box(QMessageBox::Warning, FromCoreText(res::Text(res::kTitle)), text, QMessageBox::Ok,
                  this);
  box.setObjectName(QStringLiteral("refusal"));
  box.exec();
  field->setFocus();
  field->selectAll();
}

void QuestionDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (beeps_ && !beeped_ && beep_) beep_();
  beeped_ = true;
}

void QuestionDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    ShowHelp(this, helpTopic_);
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace vellumix::gui
