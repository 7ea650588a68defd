// Draws the two pictures of the converter window and writes them as Windows bitmaps:
// Image1.bmp (119 x 69, 256 colours) and Image2.bmp (53 x 73, 16 colours), the formats the
// window was designed around. Run once by hand when the pictures change; the results live in
// src/ui/resources/.
//
//   draw_pictures <output folder>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ui/Widgets/Fonts.h"

namespace {

void PutLE(QByteArray& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// An uncompressed bottom-up BMP of 4 or 8 bits a pixel from an indexed image.
QByteArray EncodeBmp(const QImage& indexed, int bits) {
  const int colours = 1 << bits;
  const int width = indexed.width();
  const int height = indexed.height();
  const int row_bytes = ((width * bits + 31) / 32) * 4;
  const std::uint32_t palette_bytes = 4u * static_cast<std::uint32_t>(colours);
  const std::uint32_t offset = 14 + 40 + palette_bytes;
  const std::uint32_t image_bytes = static_cast<std::uint32_t>(row_bytes * height);
  QByteArray out;
  out.append("BM");
  PutLE(out, offset + image_bytes, 4);
  PutLE(out, 0, 4);
  PutLE(out, offset, 4);
  PutLE(out, 40, 4);
  PutLE(out, static_cast<std::uint32_t>(width), 4);
  PutLE(out, static_cast<std::uint32_t>(height), 4);
  PutLE(out, 1, 2);
  PutLE(out, static_cast<std::uint32_t>(bits), 2);
  PutLE(out, 0, 4);  // BI_RGB
  PutLE(out, image_bytes, 4);
  PutLE(out, 3780, 4);  // 96 dpi
  PutLE(out, 3780, 4);
  PutLE(out, static_cast<std::uint32_t>(colours), 4);
  PutLE(out, 0, 4);
  const QList<QRgb> table = indexed.colorTable();
  for (int i = 0; i < colours; ++i) {
    const QRgb rgb = i < table.size() ? table[i] : qRgb(0, 0, 0);
    out.append(static_cast<char>(qBlue(rgb)));
    out.append(static_cast<char>(qGreen(rgb)));
    out.append(static_cast<char>(qRed(rgb)));
    out.append('\0');
  }
  for (int y = height - 1; y >= 0; --y) {
    QByteArray row(row_bytes, '\0');
    for (int x = 0; x < width; ++x) {
      const int index = indexed.pixelIndex(x, y);
      if (bits == 8) {
        row[x] = static_cast<char>(index);
      } else {
        const int shift = (x % 2 == 0) ? 4 : 0;
        row[x / 2] = static_cast<char>(static_cast<unsigned char>(row[x / 2]) | (index << shift));
      }
    }
    out.append(row);
  }
  return out;
}

void DrawSheet(QPainter& p, QRectF r, QColor ink, const QString& label) {
  p.setPen(QPen(QColor(60, 60, 60), 1));
  p.setBrush(Qt::white);
  QPainterPath sheet;
  sheet.moveTo(r.topLeft());
  sheet.lineTo(r.right() - 7, r.top());
  sheet.lineTo(r.right(), r.top() + 7);
  sheet.lineTo(r.bottomRight());
  sheet.lineTo(r.bottomLeft());
  sheet.closeSubpath();
  p.drawPath(sheet);
  p.setPen(QPen(ink, 1));
  for (int i = 0; i < 4; ++i) {
    const double y = r.top() + 20 + i * 5;
    p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - (i % 2 ? 10 : 4), y));
  }
  p.setPen(ink);
  p.setFont(sorbit::ui::JapaneseFont(sorbit::ui::FontFace::Proportional, 10));
  p.drawText(QRectF(r.left(), r.top() + 3, r.width(), 13), Qt::AlignHCenter, label);
}

QImage DrawImage1() {
  QImage image(119, 69, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 69);
  sky.setColorAt(0, QColor(40, 70, 160));
  sky.setColorAt(1, QColor(150, 200, 255));
  p.fillRect(image.rect(), sky);
  DrawSheet(p, QRectF(6.5, 6.5, 34, 42), QColor(30, 120, 40), QStringLiteral("tekuri"));
  DrawSheet(p, QRectF(78.5, 6.5, 34, 42), QColor(180, 40, 40), QStringLiteral("SVF"));
  // The arrow between them.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 210, 40));
  QPainterPath arrow;
  arrow.moveTo(45, 23);
  arrow.lineTo(62, 23);
  arrow.lineTo(62, 17);
  arrow.lineTo(74, 27.5);
  arrow.lineTo(62, 38);
  arrow.lineTo(62, 32);
  arrow.lineTo(45, 32);
  arrow.closeSubpath();
  p.drawPath(arrow);
  p.setPen(Qt::white);
  QFont font = sorbit::ui::JapaneseFont(sorbit::ui::FontFace::Proportional, 13);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRectF(0, 51, 119, 16), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("Sorbit"));
  return image;
}

QImage DrawImage2() {
  QImage image(53, 73, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(image.rect(), QColor(0, 0, 128));
  // A small planet with its ring: the "orbit" in the program's name.
  QRadialGradient planet(QPointF(22, 24), 16);
  planet.setColorAt(0, QColor(255, 255, 0));
  planet.setColorAt(1, QColor(255, 128, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(planet);
  p.drawEllipse(QPointF(26.5, 28), 12, 12);
  p.setPen(QPen(QColor(0, 255, 255), 2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(26.5, 28), 22, 7);
  p.setPen(Qt::white);
  p.drawPoint(QPointF(6, 8));
  p.drawPoint(QPointF(44, 6));
  p.drawPoint(QPointF(47, 47));
  p.setFont(sorbit::ui::JapaneseFont(sorbit::ui::FontFace::Proportional, 12));
  p.drawText(QRectF(0, 50, 53, 20), Qt::AlignCenter, QStringLiteral("感謝"));
  return image;
}

QList<QRgb> VgaPalette() {
  return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
          qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
          qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
          qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

bool Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_pictures <output folder>\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const QImage image1 = DrawImage1().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
  const QImage image2 =
      DrawImage2().convertToFormat(QImage::Format_Indexed8, VgaPalette(), Qt::ThresholdDither);
  if (!Write(folder + "/Image1.bmp", EncodeBmp(image1, 8)) ||
      !Write(folder + "/Image2.bmp", EncodeBmp(image2, 4))) {
    std::fprintf(stderr, "draw_pictures: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
