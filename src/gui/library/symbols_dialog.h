// The Symbols dialog: the Code 9 symbols and text symbols of the library folder, with New, Edit
// and Delete; and the list and Filter it shares with the Specials dialog.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <string>
#include <vector>

class QPushButton;

namespace vellumix {
class CVellumixDoc;
struct LibraryEntry;
}  // namespace vellumix

namespace vellumix::gui {

// The Symbols command (button and Library menu): runs the dialog until it is closed. Symbols are
// read at the start of every run, so nothing in the main window needs refreshing afterwards.
void RunSymbolsDialog(QWidget* parent, CVellumixDoc& doc);

// A library dialog's list: one entry a file, sorted by its text without regard to letter case;
// entries the Filter does not show are hidden (and unselected).
class LibraryList : public QListWidget {
  Q_OBJECT

 public:
  explicit LibraryList(QWidget* parent = nullptr);

  // Adds the entry of `entry.fileName`, or gives the listed one the entry's text.
  void setEntry(const LibraryEntry& entry);
  void removeFile(const std::string& fileName);
  // Shows only the entries the Filter choice `filter` shows.
  void setFilter(const std::string& filter);

  std::vector<std::string> selectedFiles() const;
  static std::string fileOf(const QListWidgetItem* item);
  // The texts of the entries shown, in order.
  QStringList shownTexts() const;

 private:
  void applyFilter(QListWidgetItem* item);

  std::string filter_;
};

// The Filter: "ALL" and every INSTRUMENTS.DAT line without a comma (only "ALL" after message 9 when
// the file is missing). Each choice keeps its text as the library file holds it.
QComboBox* MakeLibraryFilter(CVellumixDoc& doc);
std::string CurrentChoice(const QComboBox* box);

class SymbolsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SymbolsDialog(CVellumixDoc& doc, QWidget* parent = nullptr);

  LibraryList* code9List() const { return code9_; }
  LibraryList* textList() const { return text_; }

  void newSymbol();
  void editSymbol();
  void deleteSymbols();

 private:
  // The list whose entries are selected: a selection in one list clears the other's.
  LibraryList* selectedList() const;
  // Opens the editor; on OK the entry written is listed.
  void edit(const std::string& fileName, const QString& caption, bool fromFile);
  void chooseFilter();
  void stabilize();

  CVellumixDoc& doc_;
  LibraryList* code9_;
  LibraryList* text_;
  QComboBox* filter_;
  QPushButton* edit_;
  QPushButton* delete_;
};

}  // namespace vellumix::gui
