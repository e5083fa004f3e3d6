// The Defaults command: the numeric defaults of DEFAULTS.DAT.
#pragma once

#include "library/options_dialog.h"

namespace vellumix::gui {

// The command: the dialog on the document's defaults. True after OK: DEFAULTS.DAT was written and
// the document holds the new defaults.
bool RunDefaultsDialog(QWidget* parent, CVellumixDoc& doc);

// "Defaults": each number with its unit.
class DefaultsDialog : public SettingsDialog {
  Q_OBJECT

 public:
  explicit DefaultsDialog(CVellumixDoc& doc, QWidget* parent = nullptr);

  void accept() override;

 protected:
  void PutDefaults() override;
};

}  // namespace vellumix::gui
