#include "ui/Widgets/ProgressLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cassert>

#include "ui/Dialogs/QtDialogs.h"

namespace sorbit::ui {

ProgressLabel::ProgressLabel(QWidget* parent) : QWidget(parent) {
  frame_.setSingleShot(true);
  connect(&frame_, &QTimer::timeout, this, &ProgressLabel::Flush);
  setAttribute(Qt::WA_TranslucentBackground);
  resize(LaidOutSize());
}

void ProgressLabel::SetText(std::string_view utf8) {
  text_.assign(utf8.data(), utf8.size());
  dirty_ = true;
  // A frame already pending will show this text too; the timer is not restarted, so that a
  // steady stream of texts still reaches the screen once a frame.
  if (frame_.isActive()) return;
  const qint64 since = since_flush_.isValid() ? since_flush_.elapsed() : kFrameMilliseconds;
  if (since >= kFrameMilliseconds) {
    Flush();
  } else {
    frame_.start(static_cast<int>(kFrameMilliseconds - since));
  }
}

QString ProgressLabel::Text() const { return SplitLines().join(QLatin1Char('\n')); }

QStringList ProgressLabel::Lines() const {
  QStringList lines;
  for (const Line& line : lines_) lines.append(line.text);
  return lines;
}

QStringList ProgressLabel::SplitLines() const {
  QString text = ToQt(text_);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text.split(QLatin1Char('\n'));
}

void ProgressLabel::LayOut(bool all) const {
  const QStringList texts = SplitLines();
  const QFontMetrics metrics(font());
  lines_.resize(static_cast<std::size_t>(texts.size()));
  block_width_ = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    Line& line = lines_[i];
    const QString& text = texts[static_cast<qsizetype>(i)];
    if (all || line.text != text) {
      line.text = text;
      line.width = metrics.horizontalAdvance(text);
      line.shaped = QStaticText(text);
      line.shaped.setTextFormat(Qt::PlainText);  // a file name is never markup
    }
    block_width_ = std::max(block_width_, line.width);
  }
  dirty_ = false;
  assert(std::all_of(lines_.begin(), lines_.end(), [&metrics](const Line& line) {
    return line.width == metrics.horizontalAdvance(line.text);
  }));
}

QSize ProgressLabel::LaidOutSize() const {
  const int count = std::max<int>(1, static_cast<int>(lines_.size()));
  return QSize(block_width_, count * QFontMetrics(font()).height());
}

void ProgressLabel::Flush() {
  frame_.stop();
  since_flush_.start();
  if (dirty_) LayOut();
  const QSize size = LaidOutSize();
  if (size != this->size()) resize(size);
  update();
}

QSize ProgressLabel::sizeHint() const {
  if (dirty_) LayOut();
  return LaidOutSize();
}

void ProgressLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    LayOut(true);
    Flush();
    since_flush_.invalidate();  // not a frame anyone saw: the next text shows at once
  }
  QWidget::changeEvent(event);
}

void ProgressLabel::paintEvent(QPaintEvent*) {
  // A paint between two frames (an expose, the dialog being shown) must not show a stale
  // text: lay out the latest one. The pending frame fixes the size.
  if (dirty_) LayOut();
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  const int line_height = QFontMetrics(font()).height();
  int top = 0;
  for (const Line& line : lines_) {
    painter.drawStaticText(QPointF((block_width_ - line.width) / 2.0, top), line.shaped);
    top += line_height;
  }
}

}  // namespace sorbit::ui
