// The entry point of the window program sorbit: the single-instance guard, then the
// application with its title, the main window and the hidden progress dialog, the event
// loop, and the mutex given back on every way out.
#include "ui/Main/Main.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QString>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/InstanceGuard.h"
#include "platform/services/ProgramFile.h"
#include "ui/RunningDlg/RunningDlg.h"

namespace {

const char* const kApplicationTitle = "tekuri Log to SVF Converter";

void ShowPlainBox(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  box.exec();
}

// The standard error box for an error that escaped start-up.
void ShowErrorBox(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                  QString::fromStdString(text), QMessageBox::Ok);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  box.exec();
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments are ours (the settings file); Qt gets only the program name so that it
  // neither takes nor acts on any of them.
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  int qt_argc = argc > 0 ? 1 : 0;

  sorbit::app::InstanceGuard guard;
  const sorbit::app::GuardOutcome outcome = guard.Enter();
  if (outcome == sorbit::app::GuardOutcome::TimedOut) return 0;
  QApplication application(qt_argc, argv);
  if (outcome == sorbit::app::GuardOutcome::AlreadyRunning) {
    // The application title is not set yet: the box carries the program file's name.
    ShowPlainBox(QString::fromStdString(sorbit::app::ProgramTitle(sorbit::platform::ProgramPath())),
                 QString::fromUtf8("すでに起動されています"));
    return 0;
  }

  // The application name, not the display name: Qt appends a display name to every window
  // caption on X11, and the captions must read as they are. applicationDisplayName() still
  // answers with this title, for the message boxes.
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  // Log-off or shutdown: end at once. Closing the window would write the settings, which
  // must not happen then.
  QObject::connect(&application, &QGuiApplication::commitDataRequest, [&guard](QSessionManager&) {
    guard.Leave();
    std::_Exit(0);
  });

  try {
    // Declared dialog first so that it outlives the window that refers to it.
    std::unique_ptr<TRunningDlgFrm> running_dialog;
    std::unique_ptr<TMainForm> main_form = std::make_unique<TMainForm>(arguments);
    running_dialog = std::make_unique<TRunningDlgFrm>();
    running_dialog->hide();
    main_form->SetRunningDialog(running_dialog.get());
    main_form->show();
    application.exec();
    main_form.reset();
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
  } catch (...) {
    ShowErrorBox("Unknown error");
  }
  guard.Leave();
  return 0;
}
