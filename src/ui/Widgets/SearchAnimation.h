// A looping "searching" animation: a magnifying glass sweeping over a sheet of paper beside
// a folder, drawn on a transparent background in a fixed 61 x 53 box. It stands in for the
// find-file clip of the desktop this program was first written for.
//
// Once started it runs until it is destroyed, also while hidden; starting it again changes
// nothing (the frame it shows goes on from where it was).
#pragma once

#include <QTimer>
#include <QWidget>

namespace sorbit::ui {

class SearchAnimation : public QWidget {
  Q_OBJECT

 public:
  explicit SearchAnimation(QWidget* parent = nullptr);

  void Start();
  bool IsRunning() const { return ticker_.isActive(); }
  int Frame() const { return frame_; }

  static constexpr int kFrameCount = 16;
  static constexpr int kFrameMilliseconds = 90;

  QSize sizeHint() const override { return QSize(61, 53); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Advance();

  QTimer ticker_;
  int frame_ = 0;
};

}  // namespace sorbit::ui
