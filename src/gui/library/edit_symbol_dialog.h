// Edit Symbol: one symbol file's fields, written through the core on OK; and the pieces the
// library editors share (number boxes, the instrument library list, refusing a field).
#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "library/dialog_parts.h"
#include "library/instrument_list.h"
#include "library/symbols.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace vellumix {
class CVellumixDoc;
class Host;
}  // namespace vellumix

namespace vellumix::gui {

// A number box of a record field, named by the field's key.
QLineEdit* MakeNumberEdit(const std::string& key);
// "ALL" and every INSTRUMENTS.DAT line, `selected` (a record's library) chosen; a number beyond
// the list is kept as an entry of its own so that OK refuses it rather than changing it.
QComboBox* MakeLibraryChoices(const std::vector<std::string>& lines, int selected);
// The text for a box that holds no whole number.
inline constexpr char kEnterInteger[] = "Enter an integer.";

struct SavedSymbol {
  LibraryEntry entry;  // of the file written
  bool code9 = true;   // which list it belongs to
};

// Opens Edit Symbol on `record` with `caption` ("New Symbol", "Edit …"). Nothing when
// INSTRUMENTS.DAT can't be read (message 9: the dialog does not open) or on Cancel.
std::optional<SavedSymbol> EditSymbol(QWidget* parent, CVellumixDoc& doc,
                                      const SymbolRecord& record, const QString& caption);

class EditSymbolDialog : public QDialog {
  Q_OBJECT

 public:
  EditSymbolDialog(CVellumixDoc& doc, const std::vector<std::string>& libraries,
                   const SymbolRecord& record, const QString& caption, QWidget* parent = nullptr);

  // The file written by OK.
  const SavedSymbol& saved() const { return saved_; }

  void accept() override;

 private:
  void stabilize();
  // The record as the boxes give it; false after refusing a box that holds no number.
  bool Collect(SymbolRecord& record);

  CVellumixDoc& doc_;
  SymbolRecord record_;
  SavedSymbol saved_;
  QRadioButton* code9_;
  QRadioButton* text_;
  QLineEdit* number_;
  QLineEdit* name_;
  QComboBox* code9Library_;
  QLineEdit* textEdit_;
  QComboBox* textLibrary_;
  QComboBox* special_;
  QCheckBox* permanent_;
  std::vector<std::pair<std::string, QLineEdit*>> numbers_;  // the rule fields, in form order
  std::map<std::string, QWidget*> fields_;                   // every field by its key
};

}  // namespace vellumix::gui
