#include "playback/start_time_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "app/text.h"
#include "library/settings.h"
#include "playback/transport.h"
#include "res/strings.h"

namespace vellumix::gui {

using playback::Transport;

StartTimeDialog::StartTimeDialog(std::uint32_t minutes, std::uint32_t seconds, QWidget* parent)
    : QDialog(parent),
      minutesEdit_(new QLineEdit(QString::number(minutes))),
      secondsEdit_(new QLineEdit(QString::number(seconds))),
      minutes_(minutes),
      seconds_(seconds) {
  setWindowTitle(QStringLiteral("Rew / FF"));
  auto* row = new QHBoxLayout(this);
  row->setSizeConstraint(QLayout::SetFixedSize);
  for (QLineEdit* edit : {minutesEdit_, secondsEdit_}) {
    edit->setMaxLength(3);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    edit->setAlignment(Qt::AlignRight);
  }
  minutesEdit_->setObjectName(QStringLiteral("minutes"));
  secondsEdit_->setObjectName(QStringLiteral("seconds"));
  row->addWidget(new QLabel(QStringLiteral("mins")));
  row->addWidget(minutesEdit_);
  row->addWidget(new QLabel(QStringLiteral(":")));
  row->addWidget(secondsEdit_);
  row->addWidget(new QLabel(QStringLiteral("secs")));
  // No button is the default, so Enter in either field is the dialog's OK.
  for (QLineEdit* edit : {minutesEdit_, secondsEdit_})
    connect(edit, &QLineEdit::returnPressed, this, &StartTimeDialog::accept);
  minutesEdit_->selectAll();
}

std::optional<std::uint32_t> StartTimeDialog::Field(QLineEdit* edit, std::uint32_t max) {
  bool number = false;
  const int value = edit->text().trimmed().toInt(&number);
  if (number && value >= 0 && static_cast<std::uint32_t>(value) <= max)
    return static_cast<std::uint32_t>(value);
  const std::string text = number ? RangeText(0, max, true) : std::string("Enter an integer.");
  QMessageBox box(QMessageBox::Warning, FromCoreText(res::Text(res::kTitle)), FromCoreText(text),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("refusal"));
  box.exec();
  edit->setFocus();
  edit->selectAll();
  return std::nullopt;
}

void StartTimeDialog::accept() {
  const auto minutes = Field(minutesEdit_, Transport::kMaxStartMinutes);
  if (!minutes) return;
  const auto seconds = Field(secondsEdit_, Transport::kMaxStartSeconds);
  if (!seconds) return;
  minutes_ = *minutes;
  seconds_ = *seconds;
  QDialog::accept();
}

void StartTimeDialog::closeEvent(QCloseEvent* event) {
  // The close box takes the values, like Enter.
  event->ignore();
  accept();
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> AskStartTime(QWidget* parent,
                                                                    std::uint32_t minutes,
                                                                    std::uint32_t seconds) {
  StartTimeDialog dialog(minutes, seconds, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return std::make_pair(dialog.minutes(), dialog.seconds());
}

}  // namespace vellumix::gui
