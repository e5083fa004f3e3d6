// Edit Map: one map of a percussion map setup (an instrument name, the written pitch, the pitch
// played and the channel), checked by the core on OK.
#pragma once

#include <QDialog>
#include <optional>

#include "library/percussion_maps.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace vellumix {
class Host;
}

namespace vellumix::gui {

// Opens Edit Map on `map` (a pitch of -1: none chosen yet) with `caption` ("New Map",
// "Edit Snare"). The map as OK took it, or nothing on Cancel.
std::optional<MapSetup::Map> EditMap(QWidget* parent, Host& host, const MapSetup::Map& map,
                                     const QString& caption);

class EditMapDialog : public QDialog {
  Q_OBJECT

 public:
  EditMapDialog(Host& host, const MapSetup::Map& map, const QString& caption,
                QWidget* parent = nullptr);

  const MapSetup::Map& map() const { return map_; }

  void accept() override;

 private:
  Host& host_;
  MapSetup::Map map_;
  QLineEdit* name_;
  QListWidget* pitch_;
  QListWidget* played_;
  QLabel* pitchNumber_;
  QLabel* playedNumber_;
  QComboBox* channel_;
};

}  // namespace vellumix::gui
