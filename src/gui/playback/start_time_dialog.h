// "Rew / FF": where the next play starts, as minutes and seconds. It has no buttons: Enter or
// the close box take the values, Escape leaves everything as it was.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <utility>

class QLineEdit;

namespace vellumix::gui {

class StartTimeDialog : public QDialog {
  Q_OBJECT

 public:
  StartTimeDialog(std::uint32_t minutes, std::uint32_t seconds, QWidget* parent = nullptr);

  std::uint32_t minutes() const { return minutes_; }
  std::uint32_t seconds() const { return seconds_; }
  QLineEdit* minutesEdit() const { return minutesEdit_; }
  QLineEdit* secondsEdit() const { return secondsEdit_; }

  // Takes the fields when both hold a start time the dialog accepts; otherwise says why and
  // puts the focus on the field in question.
  void accept() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::optional<std::uint32_t> Field(QLineEdit* edit, std::uint32_t max);

  QLineEdit* minutesEdit_;
  QLineEdit* secondsEdit_;
  std::uint32_t minutes_;
  std::uint32_t seconds_;
};

// Shows the dialog with the clock's time; the minutes and seconds taken, or nothing on Escape.
std::optional<std::pair<std::uint32_t, std::uint32_t>> AskStartTime(QWidget* parent,
                                                                    std::uint32_t minutes,
                                                                    std::uint32_t seconds);

}  // namespace vellumix::gui
