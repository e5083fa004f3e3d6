// The Options command: the switches of OPTIONS.DAT. Also the base it shares with the Defaults
// dialog.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "library/settings.h"

class QCheckBox;
class QLabel;
class QLayout;
class QLineEdit;

namespace vellumix {
class CVellumixDoc;
}

namespace vellumix::gui {

// The command: reads OPTIONS.DAT again, then the dialog. True after OK: OPTIONS.DAT was written
// and the document holds the new options.
bool RunOptionsDialog(QWidget* parent, CVellumixDoc& doc);

// What the Options and Defaults dialogs share. Each control is named after the field it edits (a
// check box, a line edit or a drop-down list); the values are shown in them and taken back in
// field order on OK, the first refused field getting the message and the focus. OK, Cancel,
// "Defaults" and "Help..." sit in a column on the right; F1 opens the help topic too.
class SettingsDialog : public QDialog {
  Q_OBJECT

 protected:
  SettingsDialog(CVellumixDoc& doc, const QString& caption, const char* helpTopic, QWidget* parent);
  // Puts `form` beside the button column; called once the controls exist.
  void SetForm(QLayout* form);
  // The "Defaults" button.
  virtual void PutDefaults() = 0;
  // The control that enables a disabled `control`, for the focus when its value is refused.
  virtual QWidget* Enabler(QWidget* control) const;

  template <class T>
  void ShowValues(const T& values, const std::vector<std::string_view>& keys) {
    for (std::string_view key : keys) SetControl(key, FieldText(values, key));
  }
  // False after the refusal of a control's text was shown.
  template <class T>
  bool TakeValues(T& values, const std::vector<std::string_view>& keys) {
    for (std::string_view key : keys) {
      if (auto refusal = TakeFieldText(values, key, ControlText(key))) {
        Refuse(key, *refusal);
        return false;
      }
    }
    return true;
  }
  // Shows a message through the document's host (as the core shows its own).
  void ShowMessage(const std::string& text);

  CVellumixDoc& doc_;

 private:
  QWidget* Control(std::string_view key) const;
  void SetControl(std::string_view key, const std::string& text);
  std::string ControlText(std::string_view key) const;
  void Refuse(std::string_view key, const std::string& text);

  QString helpTopic_;
};

// "Options".
class OptionsDialog : public SettingsDialog {
  Q_OBJECT

 public:
  explicit OptionsDialog(CVellumixDoc& doc, QWidget* parent = nullptr);

  void accept() override;

 protected:
  void PutDefaults() override;
  QWidget* Enabler(QWidget* control) const override;

 private:
  QCheckBox* Check(const char* key, const char* label);
  QLineEdit* Edit(const char* key);
  // The instrument range counts only while not every instrument is transcribed.
  void Stabilize();

  QCheckBox* all_ = nullptr;
  QLabel* firstLabel_ = nullptr;
  QLabel* lastLabel_ = nullptr;
  QLineEdit* first_ = nullptr;
  QLineEdit* last_ = nullptr;
};

}  // namespace vellumix::gui
