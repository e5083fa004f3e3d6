// Edit Map setup: a percussion map setup's name and its maps, kept in sorted order by the core;
// OK writes the .MAP file.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "library/percussion_maps.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vellumix {
class CVellumixDoc;
}

namespace vellumix::gui {

// Opens Edit Map setup on the setup `name` (empty: a new one) with `caption` ("New Map Setup",
// "Edit Kit"). Nothing on Cancel or when the setup can't be read (its message: the dialog does
// not open); otherwise the name of the setup written.
std::optional<std::string> EditMapSetup(QWidget* parent, CVellumixDoc& doc, const std::string& name,
                                        const QString& caption);

class EditMapSetupDialog : public QDialog {
  Q_OBJECT

 public:
  EditMapSetupDialog(CVellumixDoc& doc, const MapSetup& setup, const QString& caption,
                     QWidget* parent = nullptr);

  const std::string& savedName() const { return savedName_; }
  QTreeWidget* maps() const { return maps_; }

  void newMap();
  void editMap();
  void deleteMaps();
  void accept() override;

 private:
  // Shows the setup's maps in its order, `current` chosen.
  void refill(std::size_t current);
  void stabilize();

  CVellumixDoc& doc_;
  MapSetup setup_;
  std::string savedName_;
  QLineEdit* name_;
  QTreeWidget* maps_;
  QPushButton* edit_;
  QPushButton* delete_;
};

}  // namespace vellumix::gui
