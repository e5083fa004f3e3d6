// Edit Template: a template's name, default tempo and instruments, with the instrument editor
// behind it; OK writes the .TPL through the core.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <string>

#include "library/templates.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace vellumix {
class CVellumixDoc;
}

namespace vellumix::gui {

class StepEdit;

// Opens Edit Template on the template `name` (empty: a new one) with `caption` ("New Template",
// "Edit Solo"). Nothing on Cancel or when the template can't be read (its message: the dialog
// does not open); otherwise the name of the template written.
std::optional<std::string> EditTemplate(QWidget* parent, CVellumixDoc& doc, const std::string& name,
                                        const QString& caption);

class EditTemplateDialog : public QDialog {
  Q_OBJECT

 public:
  // `record`: the template as read, its instruments already the readable ones.
  EditTemplateDialog(CVellumixDoc& doc, const TemplateRecord& record, const QString& caption,
                     QWidget* parent = nullptr);

  const std::string& savedName() const { return savedName_; }
  QListWidget* libraryList() const { return library_; }
  QListWidget* templateList() const { return template_; }

  void newInstrument();
  void editInstrument();
  void deleteInstruments();
  void addInstruments();
  void removeInstruments();
  void accept() override;

 private:
  // Edits the instrument of `item`; a renamed one takes the place of the old name in the
  // template list when it was edited there.
  void edit(QListWidgetItem* item);
  // Lists `name` among the library's instruments (sorted) unless it is there; returns its item.
  QListWidgetItem* listInLibrary(const std::string& name);
  // The single selected item: the library list's, else the template list's; null otherwise.
  QListWidgetItem* selectedInstrument() const;
  void stabilize();

  CVellumixDoc& doc_;
  TemplateRecord record_;
  std::string savedName_;
  QLineEdit* name_;
  StepEdit* tempo_;
  QListWidget* library_;
  QListWidget* template_;
  QPushButton* edit_;
  QPushButton* delete_;
  QPushButton* add_;
  QPushButton* remove_;
};

}  // namespace vellumix::gui
