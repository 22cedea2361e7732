#include "gui/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

// Draws at 32 x 32 logical units into a pixmap of the given size.
QIcon Drawn(const std::function<void(QPainter&)>& draw) {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    draw(painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

void Page(QPainter& p, QRectF r) {
  p.setPen(QPen(QColor(90, 90, 100), 1.2));
  p.setBrush(Qt::white);
  p.drawRoundedRect(r, 1.5, 1.5);
}

void TextLines(QPainter& p, QRectF r, int count) {
  p.setPen(QPen(QColor(60, 60, 70), 1.6, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < count; ++i) {
    const double y = r.top() + 5 + i * 4.5;
    const double right = r.right() - 4 - (i % 3 == 2 ? 5 : 0);
    p.drawLine(QPointF(r.left() + 4, y), QPointF(right, y));
  }
}

void Disc(QPainter& p, QColor color, const QString& text) {
  p.setPen(QPen(color.darker(130), 1.5));
  p.setBrush(color);
  p.drawEllipse(QRectF(3, 3, 26, 26));
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(19);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, text);
}

void Scanner(QPainter& p) {
  p.setPen(QPen(QColor(60, 60, 70), 1.4));
  p.setBrush(QColor(200, 205, 215));
  p.drawRoundedRect(QRectF(2, 14, 28, 12), 2, 2);
  p.setBrush(QColor(110, 170, 230));
  p.drawRect(QRectF(5, 17, 22, 3));
  p.setBrush(QColor(240, 240, 240));
  p.drawRoundedRect(QRectF(2, 9, 28, 5), 1.5, 1.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 200, 90));
  p.drawEllipse(QRectF(24, 22, 3, 3));
}

}  // namespace

QIcon ApplicationIcon() {
  return Drawn([](QPainter& p) {
    Page(p, QRectF(4, 3, 21, 26));
    TextLines(p, QRectF(4, 6, 21, 26), 4);
    QPainterPath quill;
    quill.moveTo(30, 1);
    quill.cubicTo(22, 4, 16, 12, 14, 24);
    quill.cubicTo(19, 17, 25, 12, 30, 1);
    p.setPen(QPen(QColor(120, 50, 20), 1));
    p.setBrush(QColor(200, 110, 40));
    p.drawPath(quill);
    p.setPen(QPen(QColor(120, 50, 20), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 24), QPointF(12, 29));
  });
}

QIcon ScannerIcon() {
  return Drawn([](QPainter& p) {
    Scanner(p);
    p.setPen(QPen(QColor(30, 120, 200), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 1), QPointF(16, 7));
    p.drawLine(QPointF(13, 4), QPointF(16, 7));
    p.drawLine(QPointF(19, 4), QPointF(16, 7));
  });
}

QIcon SourceIcon() {
  return Drawn([](QPainter& p) {
    Scanner(p);
    p.setPen(QPen(QColor(60, 60, 70), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 0.5, 14, 8));
    p.setPen(QPen(QColor(30, 120, 200), 1.4));
    p.drawLine(QPointF(11, 3), QPointF(21, 3));
    p.drawLine(QPointF(11, 6), QPointF(18, 6));
  });
}

QIcon RecogniseIcon() {
  return Drawn([](QPainter& p) {
    Page(p, QRectF(2, 3, 17, 24));
    TextLines(p, QRectF(2, 5, 17, 24), 4);
    QFont font("Liberation Serif");
    font.setBold(true);
    font.setPixelSize(20);
    p.setFont(font);
    p.setPen(QColor(200, 30, 30));
    p.drawText(QRectF(14, 8, 18, 22), Qt::AlignCenter, "A");
  });
}

QIcon FindLinesIcon() {
  return Drawn([](QPainter& p) {
    Page(p, QRectF(4, 2, 24, 28));
    TextLines(p, QRectF(4, 4, 24, 28), 5);
    p.setPen(QPen(QColor(220, 40, 40), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(6.5, 6.5, 19, 6));
    p.drawRect(QRectF(6.5, 15.5, 19, 6));
  });
}

QIcon RenderIcon() {
  return Drawn([](QPainter& p) {
    p.setPen(QPen(QColor(40, 40, 40), 1.4));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setBrush(Qt::black);
    p.drawPie(QRectF(3, 3, 26, 26), 90 * 16, 180 * 16);
  });
}

QIcon RotateIcon() {
  return Drawn([](QPainter& p) {
    Page(p, QRectF(9, 9, 14, 18));
    p.setPen(QPen(QColor(30, 120, 200), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 3, 24, 24), 30 * 16, 130 * 16);
    p.setBrush(QColor(30, 120, 200));
    p.setPen(Qt::NoPen);
    QPolygonF head;
    head << QPointF(28, 9) << QPointF(22, 10) << QPointF(27, 15);
    p.drawPolygon(head);
  });
}

QIcon CancelIcon() {
  return Drawn([](QPainter& p) {
    p.setPen(QPen(QColor(200, 30, 30), 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(24, 24));
    p.drawLine(QPointF(24, 8), QPointF(8, 24));
  });
}

QIcon InfoIcon() {
  return Drawn([](QPainter& p) { Disc(p, QColor(40, 110, 200), "i"); });
}

QIcon HelpIcon() {
  return Drawn([](QPainter& p) { Disc(p, QColor(40, 150, 70), "?"); });
}

QIcon LeaveIcon() {
  return Drawn([](QPainter& p) {
    p.setPen(QPen(QColor(90, 60, 40), 1.4));
    p.setBrush(QColor(235, 225, 210));
    p.drawRect(QRectF(4, 3, 16, 26));
    p.setBrush(QColor(160, 100, 60));
    QPolygonF door;
    door << QPointF(4, 3) << QPointF(13, 6) << QPointF(13, 31) << QPointF(4, 29);
    p.drawPolygon(door);
    p.setPen(QPen(QColor(200, 30, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(17, 16), QPointF(30, 16));
    p.drawLine(QPointF(25, 11), QPointF(30, 16));
    p.drawLine(QPointF(25, 21), QPointF(30, 16));
  });
}

QIcon OpenIcon() {
  return Drawn([](QPainter& p) {
    p.setPen(QPen(QColor(150, 110, 20), 1.3));
    p.setBrush(QColor(240, 200, 90));
    QPolygonF back;
    back << QPointF(2, 7) << QPointF(11, 7) << QPointF(14, 10) << QPointF(27, 10) << QPointF(27, 27)
         << QPointF(2, 27);
    p.drawPolygon(back);
    p.setBrush(QColor(250, 220, 120));
    QPolygonF front;
    front << QPointF(2, 27) << QPointF(7, 14) << QPointF(31, 14) << QPointF(27, 27);
    p.drawPolygon(front);
  });
}

QIcon SaveIcon() {
  return Drawn([](QPainter& p) {
    p.setPen(QPen(QColor(30, 50, 90), 1.3));
    p.setBrush(QColor(60, 100, 170));
    p.drawRoundedRect(QRectF(3, 3, 26, 26), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 3, 16, 10));
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(9, 19, 14, 10));
  });
}
