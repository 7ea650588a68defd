#include "ui/RunningDlg/RunningDlg.h"

#include <QCloseEvent>
#include <QScreen>

#include "ui/Widgets/Fonts.h"
#include "ui/Widgets/ProgressLabel.h"
#include "ui/Widgets/SearchAnimation.h"
#include "ui_RunningDlg.h"

TRunningDlgFrm::TRunningDlgFrm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TRunningDlgFrm>()) {
  ui_->setupUi(this);
  Animate1 = ui_->Animate1;
  Label1 = ui_->Label1;
  // A title and a frame, but neither close box nor window menu: a run cannot be cancelled.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(225, 159);
  sorbit::ui::ApplyJapaneseFont(this, 12);
  sorbit::ui::ApplyJapaneseFont(Label1, 13);
}

TRunningDlgFrm::~TRunningDlgFrm() = default;

void TRunningDlgFrm::ShowProgress() {
  show();
  raise();
  activateWindow();
}

void TRunningDlgFrm::SetProgressText(std::string_view utf8) { Label1->SetText(utf8); }

void TRunningDlgFrm::CloseProgress() { hide(); }

void TRunningDlgFrm::FormActivate() { Animate1->Start(); }

void TRunningDlgFrm::reject() {}

bool TRunningDlgFrm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QDialog::event(event);
}

void TRunningDlgFrm::showEvent(QShowEvent* event) {
  CentreOnScreen();
  // Showing the dialog activates it; a platform that does not hand out activation (the
  // offscreen one, a desktop that refuses focus stealing) still gets the animation going.
  FormActivate();
  QDialog::showEvent(event);
}

void TRunningDlgFrm::closeEvent(QCloseEvent* event) {
  // Only the run hides the dialog; a close request from the desktop is refused.
  if (event->spontaneous()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TRunningDlgFrm::CentreOnScreen() {
  const QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
  if (screen == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}
