// Select Template: "[None]" and every template of the library folder, with New, Edit and Delete;
// OK makes the chosen one the selected template (TEMPLATE.DAT).
#pragma once

#include <QDialog>
#include <string>

class QListWidget;
class QPushButton;

namespace vellumix {
class CVellumixDoc;
}

namespace vellumix::gui {

// The Templates command (button, F6). True after OK: TEMPLATE.DAT was written and the document
// took the name. Afterwards, however it ended, the main window shows the template text again
// with doc.library.selectedTemplate.
bool RunSelectTemplateDialog(QWidget* parent, CVellumixDoc& doc);

class SelectTemplateDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SelectTemplateDialog(CVellumixDoc& doc, QWidget* parent = nullptr);

  QListWidget* list() const { return list_; }

  void newTemplate();
  void editTemplate();
  void deleteTemplate();
  void accept() override;

 private:
  // The selected template's name; empty with none.
  std::string selected() const;
  // Lists `name` (sorted, after "[None]") unless it is there, and selects it.
  void listAndSelect(const std::string& name);
  void stabilize();

  CVellumixDoc& doc_;
  QListWidget* list_;
  QPushButton* edit_;
  QPushButton* delete_;
  QPushButton* ok_;
};

}  // namespace vellumix::gui
