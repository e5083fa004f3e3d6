// Percussion maps: the map setups of the library folder, with New, Edit and Delete.
#pragma once

#include <QDialog>
#include <string>

class QListWidget;
class QPushButton;

namespace vellumix {
class CVellumixDoc;
}

namespace vellumix::gui {

// "Edit Percussion Maps...": runs the dialog until it is closed. Setups are read at every run, so
// nothing in the main window needs refreshing afterwards.
void RunPercussionMapsDialog(QWidget* parent, CVellumixDoc& doc);

class PercussionMapsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit PercussionMapsDialog(CVellumixDoc& doc, QWidget* parent = nullptr);

  QListWidget* list() const { return list_; }

  void newSetup();
  void editSetup();
  void deleteSetups();

 private:
  // Lists `name` in its sorted place unless it is there, and selects it.
  void listAndSelect(const std::string& name);
  void stabilize();

  CVellumixDoc& doc_;
  QListWidget* list_;
  QPushButton* edit_;
  QPushButton* delete_;
};

}  // namespace vellumix::gui
