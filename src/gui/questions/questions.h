// The questions the notation reader asks during a run: a time signature, the beats of bar 1 when
// an instrument enters late, and whether a page holds several systems. The GUI host calls the
// Ask functions on the GUI thread; the dialogs can also be built without showing them (for
// screenshots).
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <utility>

#include "platform/host.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace vellumix::gui {

// The time-signature dialog of `kind`: top and bottom hold the starting values and receive the
// answer. False is Cancel (values untouched). OK is refused until the answer can be played.
bool AskTimeSignature(QWidget* parent, TimeSignatureQuestion kind, const QString& text, int& top,
                      int& bottom);
// The new-instrument dialog: beats holds the starting value and receives the answer. False is
// Cancel (beats untouched).
bool AskAnacrusis(QWidget* parent, const QString& text, float& beats);
// The multiple-systems question (messages 53 and 54): true is Yes; dontShowAgain receives the
// check box whatever the answer.
bool AskMultipleSystems(QWidget* parent, const QString& text, bool& dontShowAgain);

// What the question dialogs share: the core's message above the fields, a beep when the dialog
// opens, F1 (and the Help... button where there is one) for its help topic.
class QuestionDialog : public QDialog {
  Q_OBJECT

 public:
  const QString& helpTopic() const { return helpTopic_; }
  // Replaces the sound made on opening (tests count it).
  void setBeep(std::function<void()> beep) { beep_ = std::move(beep); }

 protected:
  QuestionDialog(const QString& caption, const QString& text, const QString& helpTopic, bool beeps,
                 QWidget* parent);
  // The layout below the message, for the fields and buttons.
  QVBoxLayout* body() const { return body_; }
  // OK, Cancel and Help... (the last opens the help topic).
  void addOkCancelHelp();
  // Shows `text` in a message box, then puts the focus back on `field` with its text selected.
  void refuse(QLineEdit* field, const QString& text);
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* message_;
  QVBoxLayout* body_;
  QString helpTopic_;
  bool beeps_;
  bool beeped_ = false;
  std::function<void()> beep_;
};

// "No Initial Time Signature!", "Multiple Time Signatures!" and "Time Signature Not Supported!".
class TimeSignatureDialog : public QuestionDialog {
  Q_OBJECT

 public:
  TimeSignatureDialog(TimeSignatureQuestion kind, const QString& text, int top, int bottom,
                      QWidget* parent = nullptr);
  // The answer, valid once the dialog was accepted.
  int top() const { return top_; }
  int bottom() const { return bottom_; }

  void accept() override;

 private:
  QLineEdit* topEdit_;
  QLineEdit* bottomEdit_;
  TimeSignatureQuestion kind_;
  int top_;
  int bottom_;
};

// "New Instrument Found!": the length of bar 1, in case the music starts with an anacrusis.
class AnacrusisDialog : public QuestionDialog {
  Q_OBJECT

 public:
  AnacrusisDialog(const QString& text, float beats, QWidget* parent = nullptr);
  // The answer, valid once the dialog was accepted.
  float beats() const { return beats_; }

  void accept() override;

 private:
  QLineEdit* beatsEdit_;
  float beats_;
};

// "Multiple Systems": Yes accepts, No (and Escape) rejects.
class MultipleSystemsDialog : public QuestionDialog {
  Q_OBJECT

 public:
  explicit MultipleSystemsDialog(const QString& text, QWidget* parent = nullptr);
  bool dontShowAgain() const;

 private:
  QCheckBox* dontShowAgain_;
};

}  // namespace vellumix::gui
