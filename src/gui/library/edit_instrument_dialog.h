// Edit Instrument: one instrument file's fields (the track set-up of a stave), written through the
// core on OK; and the pieces the template and map editors share (number boxes with step
// buttons, OK/Cancel/Help, refusing a field).
#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "library/dialog_parts.h"
#include "library/templates.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;

namespace vellumix {
class CVellumixDoc;
class Host;
}  // namespace vellumix

namespace vellumix::gui {

// A number box with up and down buttons that step the value by one within `limits`; the box
// itself takes any text, which OK checks.
class StepEdit : public QWidget {
  Q_OBJECT

 public:
  StepEdit(const std::string& key, FieldLimits limits, std::int32_t value,
           QWidget* parent = nullptr);

  QLineEdit* edit() const { return edit_; }
  // One step up (+1) or down (-1); text that is no number is left alone.
  void step(int delta);

 private:
  QLineEdit* edit_;
  FieldLimits limits_;
};

// Opens Edit Instrument on `record` with `caption` ("New Instrument", "Edit Flute [1]"). Nothing
// when INSTRUMENTS.DAT can't be read (message 9: the dialog does not open) or on Cancel;
// otherwise the name of the instrument written ("Flute [1]").
std::optional<std::string> EditInstrument(QWidget* parent, CVellumixDoc& doc,
                                          const InstrumentRecord& record, const QString& caption);

class EditInstrumentDialog : public QDialog {
  Q_OBJECT

 public:
  // `libraries`: the lines of INSTRUMENTS.DAT.
  EditInstrumentDialog(CVellumixDoc& doc, const std::vector<std::string>& libraries,
                       const InstrumentRecord& record, const QString& caption,
                       QWidget* parent = nullptr);

  // The instrument written by OK.
  const std::string& savedName() const { return savedName_; }
  QComboBox* bankProgramList() const { return bankProgram_; }

  void accept() override;

 private:
  // Fills Bank/Program from the chosen library's list, choosing `position`.
  void fillBankProgram(std::int32_t position);
  void stabilize();

  CVellumixDoc& doc_;
  InstrumentRecord record_;
  std::vector<std::string> libraries_;
  std::string savedName_;
  QLineEdit* staveName_;
  QComboBox* library_;
  QComboBox* port_;
  QComboBox* channel_;
  QComboBox* bankProgram_;
  QCheckBox* convertLyrics_;
  QCheckBox* useMap_;
  QComboBox* map_;
  std::vector<std::pair<std::string, StepEdit*>> numbers_;  // the number boxes, in form order
  std::map<std::string, QWidget*> fields_;                  // every field by its key
};

}  // namespace vellumix::gui
