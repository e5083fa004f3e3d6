#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "help/help.h"
#include "questions/internal/answer_check.h"
#include "questions/questions.h"

namespace vellumix::gui {

AnacrusisDialog::AnacrusisDialog(const QString& text, float beats, QWidget* parent)
    : QuestionDialog(QStringLiteral("New Instrument Found!"), text,
                     QString::fromLatin1(topic::kStandard), true, parent),
      // As few digits as the value needs: 4, 3.5, 0.125.
      beatsEdit_(new QLineEdit(QString::number(beats, 'g', 6))),
      beats_(beats) {
  beatsEdit_->setObjectName(QStringLiteral("beats"));
  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("No. of beats in bar 1"), beatsEdit_);
  body()->addLayout(fields);
  addOkCancelHelp();
  beatsEdit_->setFocus();
  beatsEdit_->selectAll();
}

void AnacrusisDialog::accept() {
  bool number = false;
  // QString reads numbers the same way in every locale, as the rest of the program does.
  const float beats = beatsEdit_->text().trimmed().toFloat(&number);
  if (!number) return refuse(beatsEdit_, QStringLiteral("Enter a number."));
  if (const auto refusal = AnacrusisRefusal(beats)) return refuse(beatsEdit_, *refusal);
  beats_ = beats;
  QuestionDialog::accept();
}

}  // namespace vellumix::gui
