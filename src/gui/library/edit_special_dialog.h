// Edit Special: one special file's fields, written through the core on OK.
#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "library/instrument_list.h"
#include "library/specials.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace vellumix {
class CVellumixDoc;
}

namespace vellumix::gui {

// Opens Edit Special on `record` with `caption` ("New Special", "Edit …"). The entry of the file
// written; nothing when INSTRUMENTS.DAT can't be read (message 9: the dialog does not open) or on
// Cancel.
std::optional<LibraryEntry> EditSpecial(QWidget* parent, CVellumixDoc& doc,
                                        const SpecialRecord& record, const QString& caption);

class EditSpecialDialog : public QDialog {
  Q_OBJECT

 public:
  EditSpecialDialog(CVellumixDoc& doc, const std::vector<std::string>& libraries,
                    const SpecialRecord& record, const QString& caption, QWidget* parent = nullptr);

  // The entry of the file written by OK.
  const LibraryEntry& saved() const { return saved_; }

  void accept() override;

 private:
  QWidget* BuildNoteEvent();
  QWidget* BuildChangeEvent();
  QLineEdit* AddNumber(const std::string& key, std::int32_t value);
  QCheckBox* AddFlag(const std::string& key, const char* text, std::int32_t value);
  void stabilize();
  // The record as the boxes give it; false after refusing a box that holds no number.
  bool Collect(SpecialRecord& record);

  CVellumixDoc& doc_;
  SpecialRecord record_;
  LibraryEntry saved_;
  QLineEdit* name_;
  QComboBox* library_;
  QRadioButton* noteEvent_;
  QRadioButton* changeEvent_;
  QWidget* noteControls_ = nullptr;
  QWidget* changeControls_ = nullptr;
  QLineEdit* untilSymbol_ = nullptr;
  std::vector<std::pair<std::string, QLineEdit*>> numbers_;  // in form order
  std::vector<std::pair<std::string, QCheckBox*>> flags_;
  std::map<std::string, QWidget*> fields_;  // every field by its key
};

}  // namespace vellumix::gui
