#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/settings.h"
#include "questions/internal/answer_check.h"
#include "questions/questions.h"

namespace vellumix::gui {

namespace {

// The fields' limits; which bottom numbers within them can be played is the core's to say.
constexpr int kMinTop = 1;
constexpr int kMaxTop = 32;
constexpr int kMinBottom = 2;
constexpr int kMaxBottom = 64;

const char* Caption(TimeSignatureQuestion kind) {
  switch (kind) {
    case TimeSignatureQuestion::kNoInitial:
      return "No Initial Time Signature!";
    case TimeSignatureQuestion::kMultiple:
      return "Multiple Time Signatures!";
    case TimeSignatureQuestion::kUnsupported:
      break;
  }
  return "Time Signature Not Supported!";
}

const char* Topic(TimeSignatureQuestion kind) {
  switch (kind) {
    case TimeSignatureQuestion::kNoInitial:
      return topic::kNoInitialTimeSignature;
    case TimeSignatureQuestion::kMultiple:
      return topic::kMultipleTimeSignatures;
    case TimeSignatureQuestion::kUnsupported:
      break;
  }
  return topic::kStandard;
}

}  // namespace

TimeSignatureDialog::TimeSignatureDialog(TimeSignatureQuestion kind, const QString& text, int top,
                                         int bottom, QWidget* parent)
    : QuestionDialog(QString::fromLatin1(Caption(kind)), text, QString::fromLatin1(Topic(kind)),
                     true, parent),
      topEdit_(new QLineEdit(QString::number(top))),
      bottomEdit_(new QLineEdit(QString::number(bottom))),
      kind_(kind),
      top_(top),
      bottom_(bottom) {
  topEdit_->setObjectName(QStringLiteral("top"));
  bottomEdit_->setObjectName(QStringLiteral("bottom"));
  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Top Number"), topEdit_);
  fields->addRow(QStringLiteral("Bottom number"), bottomEdit_);
  body()->addLayout(fields);
  addOkCancelHelp();
  topEdit_->setFocus();
  topEdit_->selectAll();
}

void TimeSignatureDialog::accept() {
  const auto top = ParseInt32(topEdit_->text().trimmed().toStdString());
  if (!top) return refuse(topEdit_, QStringLiteral("Enter an integer."));
  if (*top < kMinTop || *top > kMaxTop) {
    return refuse(topEdit_, FromCoreText(RangeText(kMinTop, kMaxTop, true)));
  }
  const auto bottom = ParseInt32(bottomEdit_->text().trimmed().toStdString());
  if (!bottom) return refuse(bottomEdit_, QStringLiteral("Enter an integer."));
  if (*bottom < kMinBottom || *bottom > kMaxBottom) {
    return refuse(bottomEdit_, FromCoreText(RangeText(kMinBottom, kMaxBottom, true)));
  }
  if (const auto refusal = TimeSignatureRefusal(kind_, *top, *bottom)) {
    return refuse(bottomEdit_, *refusal);
  }
  top_ = *top;
  bottom_ = *bottom;
  QuestionDialog::accept();
}

}  // namespace vellumix::gui
