// The converter window: the program's only working window.
//
// It gathers what a conversion needs (log files, output folder, file-name prefix and
// extension, three message options), keeps them in the settings file (beside the program,
// or in the user's settings folder when the program's folder cannot be written),
// hands them to the conversion run when the convert button is pressed, and carries the
// picture that starts the SHOWPC viewer (left button) or shows the version (right button).
//
// The layout is Main.ui; the behaviour is here, one handler a control and event. The
// handlers run whenever the state they watch changes, whether the user or the program made
// the change (loading the settings relies on that).
#pragma once

#include <QWidget>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "FileVer/FileVer.h"
#include "SjisRegExp/SjisRegExp.h"
#include "convert/ConversionRun.h"
#include "ui/Dialogs/Dialogs.h"
#include "ui/Main/ByteTexts.h"

namespace Ui {
class TMainForm;
}
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TRunningDlgFrm;

namespace sorbit::ui {
// A failure the window reports in the standard error box (a settings file it cannot write,
// a viewer entry of the wrong type).
class WindowError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class QtDialogs;
class RunInputBlocker;
}  // namespace sorbit::ui

class TMainForm : public QWidget {
  Q_OBJECT

 public:
  // `arguments` are the command-line arguments after the program name.
  explicit TMainForm(const std::vector<std::string>& arguments, QWidget* parent = nullptr);
  // For tests and tools: the program file's path is given rather than read from
  // /proc/self/exe, and the boxes and dialogs go to `dialogs` (not owned; must outlive the
  // window).
  TMainForm(const std::vector<std::string>& arguments, const std::string& program_path,
            sorbit::ui::Dialogs& dialogs, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The progress dialog the conversion run shows; null: the run shows no progress.
  void SetRunningDialog(TRunningDlgFrm* dialog);

  // Event handlers. They are public so that the program's parts (and the tests) can drive
  // the window exactly as the events do.
  void FormCreate();
  void FormActivate();
  void OpnFileBtnClick();
  void SaveFileBtnClick();
  void SaveDirEdtChange();
  void HndlSeparateChkBoxClick();
  void UsePrefixChkBoxClick();
  void ChgExtChkBoxClick();
  void ExecBtnClick();
  void Image1MouseDown(Qt::MouseButton button);
  // Writes the settings; throws sorbit::ui::WindowError when the file cannot be written.
  void FormClose();

  bool IsRunning() const { return running_; }

  // Members of the window beyond its controls.
  std::string SettingsPath;  // fixed at creation, used for loading and saving
  std::string ToolPath;      // the viewer program; empty: none known
  // When no viewer is known: the reader sorbit-reader beside the program, else on PATH, which
  // the picture starts instead. Never part of the settings, so that a viewer found later wins.
  std::string ReaderPath;

  // Hidden working controls. The run reads the file list once, when it starts.
  std::vector<std::string> FileListBox;  // full paths of the files chosen last
  // The lines of the message being converted are held by the conversion engine's reader;
  // nothing of the window needs them, so this stays empty.
  std::vector<std::string> Memo1;

  // Components without a window.
  sorbit::ui::OpenFilesRequest OpenDialog1;  // its start folder is LogFld/tekuri
  std::string OpenDialog1FileName;           // first file of the last confirmed selection
  sorbit::ui::SaveFileRequest SaveDialog1;   // start folder follows SaveDirEdt
  TVersionInfo VersionInfo1;
  SjisRegExp::TAWKStr AWKStr1;

  // Controls (owned by the window, laid out by Main.ui).
  QCheckBox* AddMsgNumChkBox = nullptr;
  QFrame* Panel1 = nullptr;
  QCheckBox* HndlSeparateChkBox = nullptr;
  QCheckBox* EAddrIDChkBox = nullptr;
  QPushButton* OpnFileBtn = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* SaveDirEdt = nullptr;
  QPushButton* SaveFileBtn = nullptr;
  QLabel* Label3 = nullptr;
  QFrame* Panel2 = nullptr;
  QCheckBox* UsePrefixChkBox = nullptr;
  QLineEdit* PrefixEdt = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* ExtEdt = nullptr;
  QCheckBox* ChgExtChkBox = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Image2 = nullptr;
  QPushButton* ExecBtn = nullptr;
  QPushButton* CloseBtn = nullptr;

  // Texts of the version message boxes.
  static std::string VersionMessage(const TVersionInfo& version);
  static const char* const kThanksMessage;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class RunHost;

  TMainForm(const std::vector<std::string>& arguments, const std::string& program_path,
            std::unique_ptr<sorbit::ui::QtDialogs> own_dialogs, sorbit::ui::Dialogs* dialogs,
            QWidget* parent);
  void LoadSettings();
  void FindToolPath();
  void FindReader();
  void SetImage1Hint();
  void LaunchViewer();
  void LaunchReader();
  void ShowVersion();
  sorbit::ConversionOptions OptionsFromControls() const;
  // A box of the window; the window is active again once it is closed.
  sorbit::MessageAnswer Message(sorbit::MessageKind kind, sorbit::MessageButtons buttons,
                                std::string_view text);
  void Error(std::string_view text);
  // The value of a line edit as bytes; what the window set is given back byte for byte.
  std::string TextOf(const QLineEdit* edit) const { return byte_texts_.Get(edit); }
  void SetTextOf(QLineEdit* edit, std::string bytes) { byte_texts_.Set(edit, std::move(bytes)); }
  // Runs a handler body; an exception it lets through goes to the standard error box.
  template <typename Body>
  void Guarded(Body&& body);

  std::unique_ptr<Ui::TMainForm> ui_;
  std::unique_ptr<sorbit::ui::QtDialogs> own_dialogs_;  // the default boxes; null in tests
  sorbit::ui::Dialogs* dialogs_;
  std::vector<std::string> arguments_;
  std::string program_path_;
  std::string tekuri_folder_;  // LogFld/tekuri: loaded, then the folder of the last choice
  // The user's settings folder when SettingsPath lies in it, made before the first write.
  std::string settings_folder_to_make_;
  sorbit::ui::ByteTexts byte_texts_;
  TRunningDlgFrm* running_dialog_ = nullptr;
  std::unique_ptr<sorbit::ui::RunInputBlocker> input_blocker_;
  bool running_ = false;
  bool closed_during_run_ = false;
  bool shown_once_ = false;
};
