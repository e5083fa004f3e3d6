#include "app/picture_button.h"

#include <QMouseEvent>
#include <QPainter>

namespace vellumix::gui {

PictureButton::PictureButton(Picture picture, const QString& name, QWidget* parent)
    : QAbstractButton(parent), picture_(picture) {
  setAccessibleName(name);
  setFocusPolicy(Qt::StrongFocus);
  repeat_.setInterval(kRepeatMs);
  connect(&repeat_, &QTimer::timeout, this, &PictureButton::held);
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

void PictureButton::mousePressEvent(QMouseEvent* event) {
  QAbstractButton::mousePressEvent(event);
  if (repeating_ && event->button() == Qt::LeftButton && isDown()) repeat_.start();
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) repeat_.stop();
  QAbstractButton::mouseReleaseEvent(event);
}

void PictureButton::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractButton::mouseDoubleClickEvent(event);
  repeat_.stop();
  event->accept();
  Q_EMIT doubleClicked();
}

void PictureButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) repeat_.stop();
  QAbstractButton::changeEvent(event);
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, Image(State()));
}

}  // namespace vellumix::gui
