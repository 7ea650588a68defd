// A label for text that changes far faster than anyone can read it.
//
// The conversion run sets a new progress text before every message, tens of thousands of
// times a second, and lets events be processed after each. A QLabel would lay out and paint
// every one of them, which costs more than converting the message. This label only stores
// the bytes it is given (no conversion, no layout, no repaint request) and lays out and
// repaints at most once a frame: a text given after a frame without any is laid out at once
// (so a new file's first text comes up with the dialog), later ones when the frame ends.
// Whatever paints it, it paints the latest text it was given. Between two frames usually
// only the last line (the message's number) has changed, so each line keeps its width and
// its shaped glyphs until its own text changes.
//
// Layout: no word wrap; the label sizes itself to its text, growing to the right and down
// from its top-left corner, and centres each line against the longest one.
//
// Invariant: while text_ has not changed since the last layout (!dirty_), lines_ holds its
// lines, each with its width in the label's font, and block_width_ is the widest of them.
#pragma once

#include <QElapsedTimer>
#include <QStaticText>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <string>
#include <string_view>
#include <vector>

namespace sorbit::ui {

class ProgressLabel : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressLabel(QWidget* parent = nullptr);

  // Stores UTF-8 text; "\r\n" or "\n" breaks lines. Cheap while a frame is pending: the
  // work happens at its end, within kFrameMilliseconds.
  void SetText(std::string_view utf8);
  // The text last given, as shown.
  QString Text() const;
  // The lines as laid out at the last frame.
  QStringList Lines() const;
  // Lays out and schedules a repaint now, without waiting for the frame.
  void Flush();

  QSize sizeHint() const override;

  // Ten new figures a second are as many as anyone can read.
  static constexpr int kFrameMilliseconds = 100;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct Line {
    QString text;
    int width = 0;       // horizontal advance in the label's font
    QStaticText shaped;  // for painting: plain text, shaped at its first painting
  };

  QStringList SplitLines() const;
  // Brings lines_ and block_width_ up to the latest text, keeping what it can of lines that
  // did not change; with `all`, measures every line again (the font changed). Const: they are
  // the text's layout, kept for the next frame.
  void LayOut(bool all = false) const;
  QSize LaidOutSize() const;

  std::string text_;            // latest UTF-8 text
  mutable bool dirty_ = false;  // text_ changed since lines_ were made
  mutable std::vector<Line> lines_;
  mutable int block_width_ = 0;
  QTimer frame_;               // runs while a frame is pending
  QElapsedTimer since_flush_;  // invalid until the first layout
};

}  // namespace sorbit::ui
