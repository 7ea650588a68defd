#include "ui/Widgets/SearchAnimation.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace sorbit::ui {

SearchAnimation::SearchAnimation(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  ticker_.setInterval(kFrameMilliseconds);
  connect(&ticker_, &QTimer::timeout, this, &SearchAnimation::Advance);
}

void SearchAnimation::Start() {
  if (!ticker_.isActive()) ticker_.start();
}

void SearchAnimation::Advance() {
  frame_ = (frame_ + 1) % kFrameCount;
  update();
}

void SearchAnimation::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // The clip is drawn for 61 x 53 and centred in whatever size the widget has.
  painter.translate((width() - 61) / 2.0, (height() - 53) / 2.0);

  // A folder at the left.
  QPainterPath folder;
  folder.moveTo(2, 22);
  folder.lineTo(10, 22);
  folder.lineTo(13, 25);
  folder.lineTo(24, 25);
  folder.lineTo(24, 46);
  folder.lineTo(2, 46);
  folder.closeSubpath();
  painter.setPen(QPen(QColor(128, 96, 0), 1));
  painter.setBrush(QColor(255, 204, 64));
  painter.drawPath(folder);

  // A sheet with lines of text at the right.
  painter.setPen(QPen(QColor(64, 64, 64), 1));
  painter.setBrush(Qt::white);
  painter.drawRect(QRectF(30.5, 6.5, 26, 40));
  painter.setPen(QPen(QColor(96, 96, 160), 1));
  for (int line = 0; line < 7; ++line) {
    const double y = 12.5 + line * 5;
    painter.drawLine(QPointF(34, y), QPointF(line % 3 == 2 ? 46 : 53, y));
  }

  // The glass goes round an ellipse over the sheet.
  const double angle = 2 * std::numbers::pi * frame_ / kFrameCount;
  const QPointF centre(43 + 9 * std::cos(angle), 24 + 10 * std::sin(angle));
  painter.setPen(QPen(QColor(80, 48, 16), 4, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(centre + QPointF(6, 6), centre + QPointF(13, 13));
  painter.setPen(QPen(QColor(40, 40, 40), 2));
  painter.setBrush(QColor(180, 220, 255, 140));
  painter.drawEllipse(centre, 8, 8);
}

}  // namespace sorbit::ui
