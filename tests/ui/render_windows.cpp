// Renders the converter window and the progress dialog to PNG files, as they look on the
// offscreen platform with the fonts of this machine: the pictures in the README.
//
//   render_windows <output folder>     (run it through scripts/render-windows.sh)

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

#include "ScriptedDialogs.h"
#include "ui/Main/Main.h"
#include "ui/RunningDlg/RunningDlg.h"
#include "ui/Widgets/ProgressLabel.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tekuri Log to SVF Converter"));
  if (argc != 2) {
    std::fprintf(stderr, "usage: render_windows <output folder>\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  // A program path in an empty folder: the window starts from its defaults.
  QTemporaryDir home;
  sorbit::ui::testing::ScriptedDialogs dialogs;
  TMainForm form({}, QDir(home.path()).filePath(QStringLiteral("sorbit")).toStdString(), dialogs);
  form.show();
  form.SaveDirEdt->setText(QStringLiteral("/home/user/SHOWPC/ログ/"));
  TRunningDlgFrm progress;
  progress.ShowProgress();
  progress.SetProgressText("general.log\r\n を変換処理しています...\r\n\r\n1234 件目");
  progress.Label1->Flush();
  QApplication::processEvents();
  const bool ok = form.grab().save(out.filePath(QStringLiteral("main-window.png"))) &&
                  progress.grab().save(out.filePath(QStringLiteral("progress-dialog.png")));
  if (!ok) {
    std::fprintf(stderr, "render_windows: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
