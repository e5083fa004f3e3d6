// A button that shows one of four images: up, pressed, focused or disabled.
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <array>

#include "res/button_pictures.h"

namespace vellumix::gui {

class PictureButton : public QAbstractButton {
  Q_OBJECT

 public:
  // `name` is what screen readers say; the caption under the button is a label of its own.
  PictureButton(Picture picture, const QString& name, QWidget* parent = nullptr);

  // The image shown now.
  PictureState State() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const QPixmap& Image(PictureState state);

  Picture picture_;
  std::array<QPixmap, 4> images_;  // drawn on first use at the button's size
};

}  // namespace vellumix::gui
