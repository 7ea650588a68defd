// Converts one log from the converter window, as the user does (files chosen, convert
// pressed, progress dialog up), on the offscreen platform, and prints the time the convert
// button's handler took and how often the progress label was painted:
//
//   window_convert LOG OUTPUT_FOLDER [--naive]   ->   "<seconds> <label paints>"
//
// --naive runs the same conversion with a plain QLabel as the progress text, set and
// processed once a message: what the window would cost without its frame-paced label.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <cstdio>
#include <cstring>
#include <string>

#include "ScriptedDialogs.h"
#include "convert/ConversionRun.h"
#include "platform/filesystem/PosixFileSystem.h"
#include "ui/Dialogs/QtDialogs.h"
#include "ui/Main/Main.h"
#include "ui/RunningDlg/RunningDlg.h"
#include "ui/Widgets/ProgressLabel.h"

namespace {

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// The straightforward progress display: a QLabel given every text.
class NaiveHost : public sorbit::ConversionHost {
 public:
  NaiveHost() : label_(&dialog_) {
    dialog_.resize(225, 159);
    label_.move(44, 84);
  }
  QLabel& Label() { return label_; }
  sorbit::MessageAnswer ShowMessage(sorbit::MessageKind, sorbit::MessageButtons buttons,
                                    std::string_view) override {
    return buttons == sorbit::MessageButtons::YesNo ? sorbit::MessageAnswer::Yes
                                                    : sorbit::MessageAnswer::Ok;
  }
  void ReportError(std::string_view text) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
  void ProcessEvents() override { QApplication::processEvents(); }
  void ShowProgress() override { dialog_.show(); }
  void SetProgress(const sorbit::ProgressInfo& progress) override {
    label_.setText(sorbit::ui::MessageToQt(progress.Text()));
    label_.adjustSize();
  }
  void CloseProgress() override { dialog_.hide(); }
  void PrefixTurnedOn(std::string_view) override {}

 private:
  QDialog dialog_;
  QLabel label_;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_convert LOG OUTPUT_FOLDER [--naive]\n");
    return 2;
  }
  const std::string log = argv[1];
  const std::string output = argv[2];
  PaintCounter counter;
  QElapsedTimer timer;
  if (argc > 3 && std::strcmp(argv[3], "--naive") == 0) {
    NaiveHost host;
    host.Label().installEventFilter(&counter);
    sorbit::ConversionOptions options;
    options.InputFiles = {log};
    options.InputFolder = log.substr(0, log.rfind('/') + 1);
    options.OutputFolder = output;
    sorbit::platform::PosixFileSystem fs;
    timer.start();
    sorbit::RunConversion(options, host, fs);
  } else {
    sorbit::ui::testing::ScriptedDialogs dialogs;
    TMainForm form({}, output + "/window_convert", dialogs);
    TRunningDlgFrm progress;
    form.SetRunningDialog(&progress);
    form.show();
    progress.Label1->installEventFilter(&counter);
    dialogs.open_results.push_back(sorbit::ui::testing::ScriptedDialogs::Chosen({log}));
    form.OpnFileBtnClick();
    form.SaveDirEdt->setText(QString::fromStdString(output));
    // The window is on screen and drawn before anyone can press its button.
    QApplication::processEvents();
    timer.start();
    form.ExecBtnClick();
    const bool finished = dialogs.boxes.size() == 1 &&
                          dialogs.boxes.back().text.find("に保存しました") != std::string::npos;
    if (!finished) {
      std::fprintf(stderr, "window_convert: the run did not finish: %s\n",
                   dialogs.boxes.empty() ? "(no box)" : dialogs.boxes.back().text.c_str());
      return 1;
    }
  }
  std::printf("%.4f %d\n", static_cast<double>(timer.nsecsElapsed()) / 1e9, counter.paints);
  return 0;
}
