// Edit Bank / Program: the instrument libraries of INSTRUMENTS.DAT that name a bank/program list,
// to open one list (.PCH) in the text editor, add a new one or delete one.
#pragma once

#include <QDialog>
#include <string>

class QListWidget;
class QPushButton;

namespace vellumix {
class CVellumixDoc;
}

namespace vellumix::gui {

// "Edit Bank/Program List...": on OK (or a double click, or Add...) the text editor starts on the
// chosen list's .PCH, created empty when it is new. Nothing to refresh in the main window: lists
// are read at the next run. False on Cancel or when no editor started.
bool RunEditBankProgramList(QWidget* parent, CVellumixDoc& doc);

class BankProgramDialog : public QDialog {
  Q_OBJECT

 public:
  explicit BankProgramDialog(CVellumixDoc& doc, QWidget* parent = nullptr);

  // The list chosen by OK, a double click or Add....
  const std::string& chosen() const { return chosen_; }
  QListWidget* list() const { return list_; }

  void addList();
  void deleteList();
  void accept() override;

 private:
  void stabilize();

  CVellumixDoc& doc_;
  std::string chosen_;
  QListWidget* list_;
  QPushButton* delete_;
  QPushButton* ok_;
};

}  // namespace vellumix::gui
