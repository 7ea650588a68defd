// Draws the reader's icon, data/sorbit-reader.png (48 x 48): the converter's blue tile with a
// page whose lines stand as a thread's tree. Run once by hand when the icon changes.
//
//   draw_reader_icon <output.png>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_reader_icon <output.png>\n");
    return 2;
  }
  QImage icon(48, 48, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath tile;
  tile.addRoundedRect(QRectF(2, 2, 44, 44), 6, 6);
  p.fillPath(tile, QColor(0x2F, 0x6E, 0xBA));
  p.setPen(QPen(QColor(0x1D, 0x4A, 0x80), 1));
  p.drawPath(tile);
  // The page.
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(9, 7, 30, 34));
  // Three messages of a thread: a first line, a reply and a reply to it, with their branches.
  const QColor ink(0x2F, 0x6E, 0xBA);
  p.setPen(QPen(QColor(0x9A, 0xA8, 0xB8), 1.5));
  p.drawLine(QPointF(14, 15), QPointF(14, 31));
  p.drawLine(QPointF(14, 23), QPointF(18, 23));
  p.drawLine(QPointF(14, 31), QPointF(18, 31));
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawRect(QRectF(12, 11, 23, 3));
  p.drawRect(QRectF(19, 21, 16, 3));
  p.drawRect(QRectF(19, 29, 13, 3));
  p.setBrush(QColor(0xF0, 0x8A, 0x24));
  p.drawEllipse(QPointF(35, 35), 5, 5);
  p.end();
  if (!icon.save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "draw_reader_icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
