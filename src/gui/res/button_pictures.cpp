#include "res/button_pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace vellumix::gui {
namespace {

// The colours of one picture; a disabled button draws the same shapes in greys.
struct Ink {
  QColor line;    // outlines and staff lines
  QColor body;    // solid shapes
  QColor bodyHi;  // the light end of a solid shape's gradient
  QColor paper;
  QColor blue;   // arrows, checks, focus
  QColor amber;  // knobs, folders
  QColor green;  // PLAY
  QColor red;    // STOP
};

Ink NormalInk() {
  return {QColor(0x26, 0x30, 0x3b), QColor(0x45, 0x55, 0x66), QColor(0x7f, 0x90, 0xa2),
          QColor(0xff, 0xff, 0xff), QColor(0x2a, 0x6c, 0xb8), QColor(0xdd, 0x95, 0x22),
          QColor(0x2c, 0x8c, 0x4c), QColor(0xb3, 0x38, 0x2c)};
}

Ink DisabledInk() {
  const QColor grey(0xa9, 0xad, 0xb1), light(0xc6, 0xc9, 0xcc);
  return {grey, grey, light, QColor(0xf4, 0xf4, 0xf3), grey, light, grey, grey};
}

QBrush Solid(const Ink& ink, const QRectF& r) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, ink.bodyHi);
  g.setColorAt(1, ink.body);
  return g;
}

QBrush Tinted(const QColor& colour, const QRectF& r) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, colour.lighter(135));
  g.setColorAt(1, colour);
  return g;
}

QPen Stroke(const QColor& colour, qreal width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A note head, tilted as engravers draw it.
void NoteHead(QPainter& p, QPointF centre, qreal width, const QBrush& brush) {
  p.save();
  p.translate(centre);
  p.rotate(-20);
  p.setBrush(brush);
  p.drawEllipse(QRectF(-width / 2, -width * 0.36, width, width * 0.72));
  p.restore();
}

// Text as a filled outline, so that it scales with the picture.
void Lettering(QPainter& p, const QString& text, QPointF baseline, qreal size, const QBrush& b) {
  QFont font(QStringLiteral("DejaVu Serif"));
  font.setStyleHint(QFont::Serif);
  font.setBold(true);
  font.setItalic(true);
  font.setPixelSize(100);
  QPainterPath path;
  path.addText(QPointF(0, 0), font, text);
  p.save();
  p.translate(baseline);
  p.scale(size / 100, size / 100);
  p.setPen(Qt::NoPen);
  p.setBrush(b);
  p.drawPath(path);
  p.restore();
}

// A page of music, an arrow, and the MIDI socket it turns into (a 100 x 130 box).
void DrawTranscribe(QPainter& p, const Ink& ink) {
  QPainterPath page;
  page.moveTo(16, 4);
  page.lineTo(72, 4);
  page.lineTo(86, 18);
  page.lineTo(86, 62);
  page.lineTo(16, 62);
  page.closeSubpath();
  p.setPen(Stroke(ink.line, 2.2));
  p.setBrush(ink.paper);
  p.drawPath(page);
  QPainterPath fold;
  fold.moveTo(72, 4);
  fold.lineTo(72, 18);
  fold.lineTo(86, 18);
  p.setBrush(ink.bodyHi.lighter(140));
  p.drawPath(fold);

  p.setPen(QPen(ink.body, 1.3));
  for (int i = 0; i < 5; ++i) p.drawLine(QLineF(23, 24 + i * 6, 79, 24 + i * 6));
  // Three beamed quavers climbing the staff.
  p.setPen(Qt::NoPen);
  const QPointF heads[] = {{34, 45}, {47, 39}, {60, 33}};
  for (QPointF h : heads) NoteHead(p, h, 9, ink.line);
  p.setPen(Stroke(ink.line, 1.8));
  for (QPointF h : heads) p.drawLine(QLineF(h.x() + 3.9, h.y() - 1.5, h.x() + 3.9, h.y() - 21));
  p.setPen(Qt::NoPen);
  p.setBrush(ink.line);
  QPolygonF beam({{37, 20}, {64.8, 10}, {64.8, 15}, {37, 25}});
  p.drawPolygon(beam);

  // The arrow.
  QPolygonF arrow({{44, 66}, {56, 66}, {56, 76}, {65, 76}, {50, 90}, {35, 76}, {44, 76}});
  p.setPen(Stroke(ink.blue.darker(125), 1.2));
  p.setBrush(Tinted(ink.blue, QRectF(35, 66, 30, 24)));
  p.drawPolygon(arrow);

  // The socket: a ring, five pins on a half circle and the key notch.
  const QPointF c(50, 110);
  QRadialGradient metal(c, 19, QPointF(45, 104));
  metal.setColorAt(0, ink.bodyHi);
  metal.setColorAt(1, ink.body);
  p.setPen(Stroke(ink.line, 2));
  p.setBrush(metal);
  p.drawEllipse(c, 18, 18);
  p.setBrush(ink.line);
  p.setPen(Qt::NoPen);
  p.drawEllipse(c, 12.5, 12.5);
  p.setBrush(ink.paper);
  for (int k = 0; k < 5; ++k) {
    const qreal a = qDegreesToRadians(180.0 + 45.0 * k);
    p.drawEllipse(QPointF(c.x() + 8 * qCos(a), c.y() - 8 * qSin(a)), 1.9, 1.9);
  }
  p.drawRect(QRectF(c.x() - 2, c.y() - 12.5, 4, 4));
}

// A gear and a ticked box.
void DrawOptions(QPainter& p, const Ink& ink) {
  const QPointF c(40, 40);
  QPainterPath gear;
  const int teeth = 8;
  // Each tooth: its foot, its two corners at the tip, the foot on the other side.
  const qreal outline[][2] = {{29, -17}, {37, -9}, {37, 9}, {29, 17}};
  for (int k = 0; k < teeth; ++k) {
    for (const auto& [radius, offset] : outline) {
      const qreal a = qDegreesToRadians(360.0 / teeth * k + offset);
      const QPointF q(c.x() + radius * qCos(a), c.y() + radius * qSin(a));
      if (gear.elementCount() == 0)
        gear.moveTo(q);
      else
        gear.lineTo(q);
    }
  }
  gear.closeSubpath();
  gear.addEllipse(c, 11, 11);
  gear.setFillRule(Qt::OddEvenFill);
  p.setPen(Stroke(ink.line, 2));
  p.setBrush(Solid(ink, QRectF(3, 3, 74, 74)));
  p.drawPath(gear);

  const QRectF box(56, 56, 36, 36);
  p.setPen(Stroke(ink.line, 2.2));
  p.setBrush(ink.paper);
  p.drawRoundedRect(box, 4, 4);
  p.setPen(Stroke(ink.blue, 6));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({{63, 74}, {71, 83}, {86, 62}}));
}

// Three faders of a mixing desk, each at its own level.
void DrawDefaults(QPainter& p, const Ink& ink) {
  const qreal xs[] = {25, 50, 75};
  const qreal knobs[] = {62, 32, 48};
  for (int i = 0; i < 3; ++i) {
    p.setPen(Stroke(ink.line, 5));
    p.drawLine(QLineF(xs[i], 10, xs[i], 90));
    p.setPen(Stroke(ink.bodyHi, 1.5));
    p.drawLine(QLineF(xs[i], 12, xs[i], 88));
  }
  for (int i = 0; i < 3; ++i) {
    const QRectF knob(xs[i] - 11, knobs[i] - 7, 22, 14);
    p.setPen(Stroke(ink.line, 2));
    p.setBrush(Tinted(ink.amber, knob));
    p.drawRoundedRect(knob, 3, 3);
    p.setPen(QPen(ink.line, 1.5));
    p.drawLine(QLineF(knob.left() + 4, knobs[i], knob.right() - 4, knobs[i]));
  }
}

// A fermata over a dynamic mark.
void DrawSymbols(QPainter& p, const Ink& ink) {
  p.setPen(Stroke(ink.line, 6.5));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(20, 14, 60, 60), 0, 180 * 16);
  p.setPen(Qt::NoPen);
  p.setBrush(ink.line);
  p.drawEllipse(QPointF(50, 38), 5.5, 5.5);
  Lettering(p, QStringLiteral("mf"), QPointF(18, 92), 46, ink.blue.darker(115));
}

// A trill with its wavy line, over a crescendo hairpin.
void DrawSpecials(QPainter& p, const Ink& ink) {
  Lettering(p, QStringLiteral("tr"), QPointF(6, 44), 44, ink.line);
  QPainterPath wave;
  wave.moveTo(50, 30);
  for (int k = 0; k < 4; ++k) {
    const qreal x = 50 + k * 11;
    wave.quadTo(x + 2.75, 22, x + 5.5, 30);
    wave.quadTo(x + 8.25, 38, x + 11, 30);
  }
  p.setPen(Stroke(ink.line, 4));
  p.setBrush(Qt::NoBrush);
  p.drawPath(wave);
  p.setPen(Stroke(ink.blue, 5));
  p.drawPolyline(QPolygonF({{88, 60}, {14, 74}, {88, 88}}));
}

// A system of three staves joined by a bracket, one instrument each.
void DrawTemplates(QPainter& p, const Ink& ink) {
  p.setPen(Stroke(ink.line, 6));
  p.drawLine(QLineF(14, 14, 14, 86));
  p.setPen(Stroke(ink.line, 3));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(14, 2, 20, 24), 180 * 16, 90 * 16);
  p.drawArc(QRectF(14, 74, 20, 24), 90 * 16, 90 * 16);
  const QColor chips[] = {ink.blue, ink.amber, ink.green};
  for (int s = 0; s < 3; ++s) {
    const qreal top = 14 + s * 27;
    p.setPen(QPen(ink.body, 1.6));
    for (int i = 0; i < 5; ++i) p.drawLine(QLineF(22, top + i * 4.5, 92, top + i * 4.5));
    const QRectF chip(26, top + 1, 16, 16);
    p.setPen(Stroke(ink.line, 1.5));
    p.setBrush(Tinted(chips[s], chip));
    p.drawRoundedRect(chip, 3, 3);
    p.setPen(Qt::NoPen);
    NoteHead(p, QPointF(58 + s * 9, top + 13.5 - s * 4.5), 9, ink.line);
    NoteHead(p, QPointF(78 - s * 4, top + 4.5 + s * 4.5), 9, ink.line);
  }
}

// A folder with a note on it.
void DrawMidi(QPainter& p, const Ink& ink) {
  QPainterPath back;
  back.moveTo(8, 22);
  back.lineTo(36, 22);
  back.lineTo(42, 30);
  back.lineTo(90, 30);
  back.lineTo(90, 84);
  back.lineTo(8, 84);
  back.closeSubpath();
  p.setPen(Stroke(ink.line, 3));
  p.setBrush(ink.amber.darker(118));
  p.drawPath(back);
  QPolygonF front({{8, 84}, {16, 42}, {96, 42}, {90, 84}});
  p.setBrush(Tinted(ink.amber, QRectF(8, 42, 88, 42)));
  p.drawPolygon(front);
  p.setPen(Qt::NoPen);
  NoteHead(p, QPointF(49, 72), 20, ink.line);
  p.setPen(Stroke(ink.line, 4));
  p.drawLine(QLineF(57.5, 70, 57.5, 42));
  p.setBrush(Qt::NoBrush);
  QPainterPath flag;
  flag.moveTo(57.5, 42);
  flag.cubicTo(60, 52, 74, 52, 70, 66);
  p.drawPath(flag);
}

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QBrush& brush, const Ink& ink) {
  p.setPen(Stroke(ink.line, 3));
  p.setBrush(brush);
  p.drawPolygon(QPolygonF({a, b, c}));
}

void DrawTransport(QPainter& p, Picture picture, const Ink& ink) {
  const QRectF all(14, 22, 72, 56);
  switch (picture) {
    case Picture::kRew:
      Triangle(p, {50, 26}, {50, 74}, {14, 50}, Solid(ink, all), ink);
      Triangle(p, {86, 26}, {86, 74}, {50, 50}, Solid(ink, all), ink);
      break;
    case Picture::kFf:
      Triangle(p, {14, 26}, {14, 74}, {50, 50}, Solid(ink, all), ink);
      Triangle(p, {50, 26}, {50, 74}, {86, 50}, Solid(ink, all), ink);
      break;
    case Picture::kPlay:
      Triangle(p, {30, 20}, {30, 80}, {80, 50}, Tinted(ink.green, all), ink);
      break;
    case Picture::kStop:
      p.setPen(Stroke(ink.line, 3));
      p.setBrush(Tinted(ink.red, QRectF(26, 26, 48, 48)));
      p.drawRoundedRect(QRectF(26, 26, 48, 48), 5, 5);
      break;
    case Picture::kPause:
      p.setPen(Stroke(ink.line, 3));
      p.setBrush(Solid(ink, all));
      p.drawRoundedRect(QRectF(26, 22, 17, 56), 3, 3);
      p.drawRoundedRect(QRectF(57, 22, 17, 56), 3, 3);
      break;
    default:
      break;
  }
}

// The picture's drawing box, in its own units.
QSizeF DesignBox(Picture picture) {
  return picture == Picture::kTranscribe ? QSizeF(100, 130) : QSizeF(100, 100);
}

void DrawPicture(QPainter& p, Picture picture, const Ink& ink) {
  switch (picture) {
    case Picture::kTranscribe:
      return DrawTranscribe(p, ink);
    case Picture::kOptions:
      return DrawOptions(p, ink);
    case Picture::kDefaults:
      return DrawDefaults(p, ink);
    case Picture::kSymbols:
      return DrawSymbols(p, ink);
    case Picture::kSpecials:
      return DrawSpecials(p, ink);
    case Picture::kTemplates:
      return DrawTemplates(p, ink);
    case Picture::kMidi:
      return DrawMidi(p, ink);
    default:
      return DrawTransport(p, picture, ink);
  }
}

bool IsTransport(Picture picture) {
  return picture != Picture::kTranscribe && picture != Picture::kOptions &&
         picture != Picture::kDefaults && picture != Picture::kSymbols &&
         picture != Picture::kSpecials && picture != Picture::kTemplates;
}

void DrawFace(QPainter& p, const QRectF& r, PictureState state) {
  const QRectF face = r.adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient g(face.topLeft(), face.bottomLeft());
  QColor border;
  switch (state) {
    case PictureState::kUp:
    case PictureState::kFocused:
      g.setColorAt(0, QColor(0xfe, 0xfe, 0xfd));
      g.setColorAt(1, QColor(0xe2, 0xe4, 0xe0));
      border = QColor(0x92, 0x96, 0x91);
      break;
    case PictureState::kDown:
      g.setColorAt(0, QColor(0xcf, 0xd2, 0xcd));
      g.setColorAt(1, QColor(0xe8, 0xea, 0xe6));
      border = QColor(0x6e, 0x72, 0x6d);
      break;
    case PictureState::kDisabled:
      g.setColorAt(0, QColor(0xf3, 0xf3, 0xf2));
      g.setColorAt(1, QColor(0xec, 0xec, 0xea));
      border = QColor(0xc8, 0xca, 0xc6);
      break;
  }
  p.setPen(QPen(border, 1));
  p.setBrush(g);
  p.drawRoundedRect(face, 4, 4);
  if (state == PictureState::kUp || state == PictureState::kFocused) {
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.drawLine(QLineF(face.left() + 4, face.top() + 1.5, face.right() - 4, face.top() + 1.5));
  }
  if (state == PictureState::kDown) {
    p.setPen(QPen(QColor(0, 0, 0, 40), 1));
    p.drawLine(QLineF(face.left() + 3, face.top() + 1.5, face.right() - 3, face.top() + 1.5));
  }
  if (state == PictureState::kFocused) {
    p.setPen(QPen(QColor(0x3a, 0x78, 0xd0), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(face.adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
  }
}

}  // namespace

QPixmap ButtonImage(Picture picture, PictureState state, QSize size, qreal devicePixelRatio) {
  QPixmap pixmap(size * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // A little room on either side, so that buttons set side by side stay apart.
  const QRectF r = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(2, 0, -2, 0);
  DrawFace(p, r, state);

  // The picture fills the face less a margin.
  const qreal margin = IsTransport(picture) ? 0.1 : 0.12;
  const QRectF area = r.adjusted(r.width() * margin, r.height() * margin, -r.width() * margin,
                                 -r.height() * margin);
  const QSizeF box = DesignBox(picture);
  const qreal scale = qMin(area.width() / box.width(), area.height() / box.height());
  p.translate(area.center() - QPointF(box.width() * scale / 2, box.height() * scale / 2));
  if (state == PictureState::kDown) p.translate(1, 1);
  p.scale(scale, scale);
  DrawPicture(p, picture, state == PictureState::kDisabled ? DisabledInk() : NormalInk());
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int side : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 100.0, side / 100.0);
    QLinearGradient g(0, 0, 0, 100);
    g.setColorAt(0, QColor(0x3f, 0x84, 0xcf));
    g.setColorAt(1, QColor(0x1f, 0x4f, 0x8a));
    p.setPen(QPen(QColor(0x17, 0x3c, 0x69), 2));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3, 3, 94, 94), 18, 18);
    // Two beamed quavers.
    const QColor white(0xff, 0xff, 0xff);
    p.setPen(Qt::NoPen);
    NoteHead(p, QPointF(32, 74), 24, white);
    NoteHead(p, QPointF(66, 64), 24, white);
    p.setPen(Stroke(white, 6));
    p.drawLine(QLineF(41.5, 72, 41.5, 26));
    p.drawLine(QLineF(75.5, 62, 75.5, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(white);
    p.drawPolygon(QPolygonF({{38.5, 22}, {78.5, 12}, {78.5, 24}, {38.5, 34}}));
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace vellumix::gui
