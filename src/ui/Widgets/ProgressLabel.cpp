#include "ui/Widgets/ProgressLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "ui/Dialogs/QtDialogs.h"

namespace sorbit::ui {

ProgressLabel::ProgressLabel(QWidget* parent) : QWidget(parent) {
  frame_.setSingleShot(true);
  frame_.setInterval(kFrameMilliseconds);
  connect(&frame_, &QTimer::timeout, this, &ProgressLabel::Flush);
  setAttribute(Qt::WA_TranslucentBackground);
  resize(SizeFor(lines_));
}

void ProgressLabel::SetText(std::string_view utf8) {
  text_.assign(utf8.data(), utf8.size());
  dirty_ = true;
  // A frame already pending will show this text too; the timer is not restarted, so that a
  // steady stream of texts still reaches the screen once a frame.
  if (!frame_.isActive()) frame_.start();
}

QString ProgressLabel::Text() const { return SplitLines().join(QLatin1Char('\n')); }

QStringList ProgressLabel::SplitLines() const {
  QString text = ToQt(text_);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text.split(QLatin1Char('\n'));
}

int ProgressLabel::BlockWidth(const QStringList& lines) const {
  const QFontMetrics metrics(font());
  int width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  return width;
}

QSize ProgressLabel::SizeFor(const QStringList& lines) const {
  const int count = std::max<int>(1, static_cast<int>(lines.size()));
  return QSize(BlockWidth(lines), count * QFontMetrics(font()).height());
}

void ProgressLabel::Flush() {
  frame_.stop();
  lines_ = SplitLines();
  dirty_ = false;
  const QSize size = SizeFor(lines_);
  if (size != this->size()) resize(size);
  update();
}

QSize ProgressLabel::sizeHint() const { return SizeFor(dirty_ ? SplitLines() : lines_); }

void ProgressLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) Flush();
  QWidget::changeEvent(event);
}

void ProgressLabel::paintEvent(QPaintEvent*) {
  // A paint between two frames (an expose, the dialog being shown) must not show a stale
  // text: lay out the latest one. The pending frame fixes the size.
  const QStringList lines = dirty_ ? SplitLines() : lines_;
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics metrics(font());
  const int block_width = BlockWidth(lines);
  int top = 0;
  for (const QString& line : lines) {
    painter.drawText(QRect(0, top, block_width, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                     line);
    top += metrics.height();
  }
}

}  // namespace sorbit::ui
