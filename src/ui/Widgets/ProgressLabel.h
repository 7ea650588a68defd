// A label for text that changes far faster than anyone can read it.
//
// The conversion run sets a new progress text before every message, tens of thousands of
// times a second, and lets events be processed after each. A QLabel would lay out and paint
// every one of them, which costs more than converting the message. This label only stores
// the bytes it is given (no conversion, no layout, no repaint request) and lays out and
// repaints at most once a frame. Whatever paints it, it paints the latest text it was given.
//
// Layout: no word wrap; the label sizes itself to its text, growing to the right and down
// from its top-left corner, and centres each line against the longest one.
#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <string>
#include <string_view>

namespace sorbit::ui {

class ProgressLabel : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressLabel(QWidget* parent = nullptr);

  // Stores UTF-8 text; "\r\n" or "\n" breaks lines. Cheap: the work happens at the next
  // frame, within kFrameMilliseconds.
  void SetText(std::string_view utf8);
  // The text last given, as shown.
  QString Text() const;
  // The lines as laid out at the last frame.
  const QStringList& Lines() const { return lines_; }
  // Lays out and schedules a repaint now, without waiting for the frame.
  void Flush();

  QSize sizeHint() const override;

  static constexpr int kFrameMilliseconds = 30;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QStringList SplitLines() const;
  int BlockWidth(const QStringList& lines) const;  // of the longest line
  QSize SizeFor(const QStringList& lines) const;

  std::string text_;    // latest UTF-8 text
  bool dirty_ = false;  // text_ changed since lines_ were made
  QStringList lines_;
  QTimer frame_;
};

}  // namespace sorbit::ui
