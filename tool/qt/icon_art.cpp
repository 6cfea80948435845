#include "tool/qt/icon_art.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace morvane {

QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);

  // Background: a rounded square in deep blue.
  QPainterPath square;
  square.addRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
  painter.fillPath(square, QColor(0x1f, 0x4e, 0x8c));

  // The brackets.
  QPen pen(Qt::white, 3.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  painter.setPen(pen);
  painter.drawPolyline(QPolygonF({QPointF(11, 7), QPointF(7, 7), QPointF(7, 25), QPointF(11, 25)}));
  painter.drawPolyline(QPolygonF({QPointF(21, 7), QPointF(25, 7), QPointF(25, 25), QPointF(21, 25)}));

  // The tag between them: two lines of text, the first one wider.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xf5, 0xa6, 0x23));
  painter.drawRect(QRectF(12, 12, 8, 3));
  painter.drawRect(QRectF(12, 17.5, 5, 3));
  painter.end();
  return image;
}

QIcon MorvaneIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(DrawIcon(size)));
  return icon;
}

}  // namespace morvane
