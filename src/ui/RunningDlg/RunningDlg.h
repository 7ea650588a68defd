// The progress dialog: a small modeless window with a searching animation above the
// conversion run's progress text. Created hidden at start-up and kept for the program's
// life; each input file of a run shows it, updates its text once a message and hides it.
#pragma once

#include <QDialog>
#include <memory>
#include <string_view>

namespace Ui {
class TRunningDlgFrm;
}
namespace sorbit::ui {
class ProgressLabel;
class SearchAnimation;
}  // namespace sorbit::ui

class TRunningDlgFrm : public QDialog {
  Q_OBJECT

 public:
  explicit TRunningDlgFrm(QWidget* parent = nullptr);
  ~TRunningDlgFrm() override;

  // The three operations of the run's progress display.
  void ShowProgress();                          // modeless, centred, above the other windows
  void SetProgressText(std::string_view utf8);  // lines separated by CR LF
  void CloseProgress();                         // hidden, ready to be shown again

  // Starts the animation; it never stops again, so a later showing finds it running.
  void FormActivate();

  sorbit::ui::SearchAnimation* Animate1 = nullptr;
  sorbit::ui::ProgressLabel* Label1 = nullptr;

 public slots:
  // Escape lands here: the dialog cannot be dismissed by the user.
  void reject() override;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CentreOnScreen();

  std::unique_ptr<Ui::TRunningDlgFrm> ui_;
};
