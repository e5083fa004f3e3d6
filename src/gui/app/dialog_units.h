// Dialog units: lengths that follow the font, a quarter of the average character width across
// and an eighth of the line height down, so that forms keep their proportions in any font.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QtMath>

namespace vellumix::gui {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    baseY_ = metrics.height();
  }
  int X(int units) const { return (units * baseX_ + 2) / 4; }
  int Y(int units) const { return (units * baseY_ + 4) / 8; }
  QRect Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(x + width) - X(x), Y(y + height) - Y(y));
  }

 private:
  int baseX_;
  int baseY_;
};

}  // namespace vellumix::gui
