#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <random>
#include <string>

#include "ui/RunningDlg/RunningDlg.h"
#include "ui/Widgets/ProgressLabel.h"
#include "ui/Widgets/SearchAnimation.h"

namespace {

using sorbit::ui::ProgressLabel;

constexpr char kProgress[] = "general.log\r\n を変換処理しています...\r\n\r\n1 件目";

TEST(RunningDlgTest, CaptionSizeAndControlPlaces) {
  TRunningDlgFrm dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("処理中..."));
  EXPECT_EQ(dialog.size(), QSize(225, 159));
  EXPECT_EQ(dialog.minimumSize(), QSize(225, 159));
  EXPECT_EQ(dialog.maximumSize(), QSize(225, 159));
  EXPECT_EQ(dialog.Animate1->geometry(), QRect(76, 8, 61, 53));
  EXPECT_EQ(dialog.Label1->pos(), QPoint(44, 84));
  EXPECT_EQ(dialog.Label1->font().pixelSize(), 13);
  EXPECT_EQ(dialog.font().pixelSize(), 12);
  EXPECT_TRUE(dialog.Label1->Text().isEmpty());
  EXPECT_FALSE(dialog.isModal());
  EXPECT_FALSE(dialog.isVisible());
}

TEST(RunningDlgTest, HasNoCloseBoxAndNoWindowMenu) {
  TRunningDlgFrm dialog;
  const Qt::WindowFlags flags = dialog.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
}

TEST(RunningDlgTest, EscapeDoesNothing) {
  TRunningDlgFrm dialog;
  dialog.ShowProgress();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  dialog.CloseProgress();
  EXPECT_FALSE(dialog.isVisible());
}

TEST(RunningDlgTest, IsCentredAtEveryShowing) {
  TRunningDlgFrm dialog;
  const QPoint centre = dialog.screen()->availableGeometry().center();
  for (int showing = 0; showing < 2; ++showing) {
    dialog.ShowProgress();
    EXPECT_LE((dialog.frameGeometry().center() - centre).manhattanLength(), 2) << showing;
    dialog.move(0, 0);
    dialog.CloseProgress();
  }
}

TEST(RunningDlgTest, AnimationStartsWithTheFirstShowingAndNeverStops) {
  TRunningDlgFrm dialog;
  EXPECT_FALSE(dialog.Animate1->IsRunning());
  dialog.ShowProgress();
  EXPECT_TRUE(dialog.Animate1->IsRunning());
  QTest::qWait(3 * sorbit::ui::SearchAnimation::kFrameMilliseconds);
  EXPECT_GT(dialog.Animate1->Frame(), 0);
  dialog.CloseProgress();
  EXPECT_TRUE(dialog.Animate1->IsRunning());
  // A second showing goes on from the frame it had: it does not start over.
  const int frame = dialog.Animate1->Frame();
  dialog.ShowProgress();
  EXPECT_EQ(dialog.Animate1->Frame(), frame);
  EXPECT_TRUE(dialog.Animate1->IsRunning());
  dialog.CloseProgress();
}

TEST(RunningDlgTest, AnimationIsAboutTheClipsSizeAndDrawsSomething) {
  sorbit::ui::SearchAnimation animation;
  animation.resize(61, 53);
  QImage first(61, 53, QImage::Format_ARGB32);
  first.fill(Qt::transparent);
  animation.render(&first);
  EXPECT_NE(first, [] {
    QImage empty(61, 53, QImage::Format_ARGB32);
    empty.fill(Qt::transparent);
    return empty;
  }());
  // Later frames differ: it moves.
  animation.Start();
  QTest::qWait(2 * sorbit::ui::SearchAnimation::kFrameMilliseconds + 20);
  QImage later(61, 53, QImage::Format_ARGB32);
  later.fill(Qt::transparent);
  animation.render(&later);
  EXPECT_NE(first, later);
}

TEST(ProgressLabelTest, ShowsTheTextWithinAFrameWithoutBeingAsked) {
  TRunningDlgFrm dialog;
  dialog.ShowProgress();
  dialog.SetProgressText(kProgress);
  EXPECT_EQ(dialog.Label1->Text(),
            QStringLiteral("general.log\n を変換処理しています...\n\n1 件目"));
  QTest::qWait(ProgressLabel::kFrameMilliseconds * 3);
  EXPECT_EQ(dialog.Label1->Lines(),
            (QStringList{QStringLiteral("general.log"), QStringLiteral(" を変換処理しています..."),
                         QString(), QStringLiteral("1 件目")}));
  dialog.CloseProgress();
}

TEST(ProgressLabelTest, SizesItselfToTheLongestLineGrowingRightFromItsLeftEdge) {
  TRunningDlgFrm dialog;
  ProgressLabel* label = dialog.Label1;
  label->SetText("short\r\nthis line is the longest one\r\nmid");
  label->Flush();
  const QFontMetrics metrics(label->font());
  EXPECT_EQ(label->width(),
            metrics.horizontalAdvance(QStringLiteral("this line is the longest one")));
  EXPECT_EQ(label->height(), 3 * metrics.height());
  EXPECT_EQ(label->pos(), QPoint(44, 84));
}

// Left and right ends of the ink in rows [top, bottom) of a label rendered on white.
std::pair<int, int> InkColumns(const QImage& image, int top, int bottom) {
  int left = image.width(), right = -1;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  return {left, right};
}

QImage Render(QWidget* widget) {
  QImage image(widget->size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  widget->render(&image);
  return image;
}

TEST(ProgressLabelTest, CentresEachLineAgainstTheLongest) {
  TRunningDlgFrm dialog;
  ProgressLabel* label = dialog.Label1;
  label->SetText("WWWWWWWWWWWWWWWWWWWW\r\nII");
  label->Flush();
  const int line = QFontMetrics(label->font()).height();
  const QImage image = Render(label);
  const auto [wide_left, wide_right] = InkColumns(image, 0, line);
  const auto [short_left, short_right] = InkColumns(image, line, 2 * line);
  ASSERT_GE(short_right, short_left);
  EXPECT_GT(short_left, wide_left + 20);
  EXPECT_NEAR((short_left + short_right) / 2.0, (wide_left + wide_right) / 2.0, 2.0);
}

TEST(ProgressLabelTest, APaintBetweenFramesShowsTheLatestText) {
  ProgressLabel label;
  label.SetText("1111 件目");
  label.Flush();
  const QImage old_text = Render(&label);
  label.SetText("2222 件目");  // no frame yet
  const QImage between = Render(&label);
  label.Flush();
  const QImage after = Render(&label);
  ASSERT_EQ(between.size(), after.size());
  EXPECT_EQ(between, after);
  EXPECT_NE(between, old_text);
}

// A label that has laid out a long history of texts, keeping the lines that did not change,
// looks exactly like a new label given only the last one.
TEST(ProgressLabelTest, AfterAnyHistoryALabelDrawsWhatANewOneDrawsForTheSameText) {
  const char* const pool[] = {
      "general.log",     " を変換処理しています...",     "", "7 件目", "12345 件目",
      "<b>WW</b> &amp;", "a very long line, longer than"};
  std::mt19937 random(20);
  ProgressLabel label;
  for (int round = 0; round < 60; ++round) {
    std::string text;
    for (int line = 0, lines = 1 + static_cast<int>(random() % 5); line < lines; ++line)
      text += (line > 0 ? "\r\n" : "") + std::string(pool[random() % std::size(pool)]);
    label.SetText(text);
    label.Flush();
    ProgressLabel fresh;
    fresh.SetText(text);
    fresh.Flush();
    ASSERT_EQ(label.Lines(), fresh.Lines()) << text;
    ASSERT_EQ(label.size(), fresh.size()) << text;
    ASSERT_EQ(Render(&label), Render(&fresh)) << text;
  }
}

TEST(ProgressLabelTest, MarkupIsShownAsItStands) {
  ProgressLabel label;
  label.SetText("<b>WW</b>");
  label.Flush();
  const auto [left, right] = InkColumns(Render(&label), 0, label.height());
  EXPECT_NEAR(right - left, QFontMetrics(label.font()).horizontalAdvance("<b>WW</b>"), 4);
}

}  // namespace
