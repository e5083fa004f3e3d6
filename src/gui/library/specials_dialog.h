// The Specials dialog: the special files of the library folder, with New, Edit and Delete.
#pragma once

#include <QDialog>
#include <string>

class QComboBox;
class QPushButton;

namespace vellumix {
class CVellumixDoc;
}

namespace vellumix::gui {

class LibraryList;

// The Special command (button and Library menu): runs the dialog until it is closed. Specials are
// read when a run needs them, so nothing in the main window needs refreshing afterwards.
void RunSpecialsDialog(QWidget* parent, CVellumixDoc& doc);

class SpecialsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SpecialsDialog(CVellumixDoc& doc, QWidget* parent = nullptr);

  LibraryList* list() const { return list_; }

  void newSpecial();
  void editSpecial();
  void deleteSpecials();

 private:
  void stabilize();

  CVellumixDoc& doc_;
  LibraryList* list_;
  QComboBox* filter_;
  QPushButton* edit_;
  QPushButton* delete_;
};

}  // namespace vellumix::gui
