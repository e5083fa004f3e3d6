// A button that shows one of four images: up, pressed, focused or disabled.
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QTimer>
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
  // A repeating button signals `held` every 100 ms while the left mouse button holds it down.
  void SetRepeating(bool repeating) { repeating_ = repeating; }
  static constexpr int kRepeatMs = 100;

 Q_SIGNALS:
  void held();
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  const QPixmap& Image(PictureState state);

  Picture picture_;
  std::array<QPixmap, 4> images_;  // drawn on first use at the button's size
  bool repeating_ = false;
  QTimer repeat_;
};

}  // namespace vellumix::gui
