// The Library Path command: which folder of the user data folder is the library, and New Path
// for a new one.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <string>

class QComboBox;
class QLineEdit;

namespace vellumix {
class CVellumixDoc;
}

namespace vellumix::gui {

// The command: reads "prefs.dat", then the dialog. True after OK: the library folder, its
// template and options may have changed.
bool RunLibraryPathDialog(QWidget* parent, CVellumixDoc& doc);

// "Library Path": the user data folder itself first, then its sub-folders as "[NAME]". OK makes
// the selected one the library folder ("prefs.dat" written, the factory files a new library lacks
// installed, the library reloaded).
class LibraryPathDialog : public QDialog {
  Q_OBJECT

 public:
  explicit LibraryPathDialog(CVellumixDoc& doc, QWidget* parent = nullptr);

  // The selected folder: empty for the user data folder, else the sub-folder's name; nothing
  // without a selection.
  std::optional<std::string> SelectedFolder() const;
  // "New Path": asks for a name and creates that sub-folder; the library folder stays selected.
  void NewPath();

  void accept() override;

 private:
  void Fill();

  CVellumixDoc& doc_;
  QComboBox* paths_;
};

// "Enter name of library path": the name of a new sub-folder.
class NewPathDialog : public QDialog {
  Q_OBJECT

 public:
  explicit NewPathDialog(QWidget* parent = nullptr);
  QString Name() const;

 private:
  QLineEdit* name_;
};

}  // namespace vellumix::gui
