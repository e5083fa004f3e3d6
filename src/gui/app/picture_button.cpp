#include "app/picture_button.h"

#include <QPainter>

namespace vellumix::gui {

PictureButton::PictureButton(Picture picture, const QString& name, QWidget* parent)
    : QAbstractButton(parent), picture_(picture) {
  setAccessibleName(name);
  setFocusPolicy(Qt::StrongFocus);
}

PictureState PictureButton::State() const {
  if (!isEnabled()) return PictureState::kDisabled;
  if (isDown()) return PictureState::kDown;
  if (hasFocus()) return PictureState::kFocused;
  return PictureState::kUp;
}

const QPixmap& PictureButton::Image(PictureState state) {
  QPixmap& image = images_[static_cast<std::size_t>(state)];
  const qreal ratio = devicePixelRatioF();
  if (image.isNull() || image.deviceIndependentSize().toSize() != size() ||
      image.devicePixelRatio() != ratio)
    image = ButtonImage(picture_, state, size(), ratio);
  return image;
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, Image(State()));
}

}  // namespace vellumix::gui
