// The converter window's behaviour: creation and settings, the control rules, the file
// dialogs, the conversion run, and the picture's version message and viewer launch.
#include "ui/Main/Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <utility>

#include "convert/Paths.h"
#include "convert/ReplyNo.h"
#include "platform/filesystem/PosixFileSystem.h"
#include "platform/services/Launch.h"
#include "platform/services/Profile.h"
#include "platform/services/ProgramFile.h"
#include "platform/services/Registry.h"
#include "ui/Dialogs/QtDialogs.h"
#include "ui/RunningDlg/RunningDlg.h"
#include "ui/Widgets/Fonts.h"
#include "ui_Main.h"

namespace platform = sorbit::platform;

// The pictures live in a static library's resources, which nothing else would pull in.
// (Q_INIT_RESOURCE must be used outside any namespace.)
static void LoadResources() { Q_INIT_RESOURCE(ui); }

using sorbit::MessageAnswer;
using sorbit::MessageButtons;
using sorbit::MessageKind;

namespace sorbit::ui {

// While a conversion runs, the events it lets through must not start anything in the
// window: presses, keys and shortcuts aimed at the window's controls are dropped, except
// for the close button (closing writes the settings at once and the program ends when the
// run returns). Paint, timer and window-system events go on, so the windows stay drawn.
class RunInputBlocker : public QObject {
 public:
  explicit RunInputBlocker(TMainForm& form) : form_(form) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Shortcut:
      case QEvent::Wheel:
      case QEvent::InputMethod:
      case QEvent::Drop:
        break;
      default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != &form_) return false;
    return widget != form_.CloseBtn;
  }

 private:
  TMainForm& form_;
};

}  // namespace sorbit::ui

namespace {

constexpr char kSaveFileBtnHint[] =
    "このボタンを押すと保存先のフォルダを選択できます。\r\n"
    "目的のフォルダに移動したら[保存]ボタンを押してください。";
constexpr char kTooManyFiles[] =
    "選択したファイル数が多すぎるようです。\r\n\r\n一度に選択できるファイル数は\r\n"
    "「ファイル名の長さＸファイル数」\r\nの値に依存します。\r\n"
    "一度に選択するファイル数を減らしてください。";
constexpr char kViewerKey[] = "Software\\NOKU\\SHOWPC\\File";
constexpr char kViewerValue[] = "SHOWPC";
constexpr char kReaderProgram[] = "sorbit-reader";
constexpr char kCredit[] = "Linux 版: Sorbit 開発チーム (Qt 6 Widgets)";

std::string AppTitle() { return QApplication::applicationDisplayName().toStdString(); }

// The folder of a path, with its final "/"; empty when the path has none.
std::string FolderOf(const std::string& path) { return std::string(sorbit::FolderPart(path)); }

// The file-name part of the viewer's path. A Windows path from Wine's registry separates
// its folders with "\" (and a drive with ":"), a Linux path with "/".
std::string ProgramFileName(const std::string& path) {
  if (!platform::IsWindowsProgram(path)) return std::string(sorbit::FileNamePart(path));
  const std::size_t cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string AsciiUpper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : char(c);
  });
  return text;
}

}  // namespace

// The window as the conversion run sees it. Every box the run shows is followed by the
// window's activation, as is the progress dialog's hiding.
class TMainForm::RunHost : public sorbit::ConversionHost {
 public:
  explicit RunHost(TMainForm& form) : form_(form) {}
  RunHost(const RunHost&) = delete;
  RunHost& operator=(const RunHost&) = delete;

  MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons,
                            std::string_view text) override {
    return form_.Message(kind, buttons, text);
  }
  void ReportError(std::string_view text) override { form_.Error(text); }
  // Called once a message. Converting a message takes about a microsecond, less than one
  // pass over the pending events (a poll() of the window system, the dispatcher's
  // bookkeeping, the posted events, and whatever they draw) and not much more than reading
  // the clock. So the clock is read only every kMessagesPerCheck messages or kBytesPerCheck
  // bytes of input, whichever comes first, and the events are processed when
  // kFullPassMicroseconds have gone by since the last pass: input waits at most that long
  // plus a few messages, which nobody can tell from a pass per message.
  void ProcessEvents() override {
    if (++messages_ % kMessagesPerCheck != 0 &&
        pending_.bytes_read - checked_bytes_ < kBytesPerCheck)
      return;
    checked_bytes_ = pending_.bytes_read;
    ProcessEventsIfDue();
  }
  static constexpr qint64 kFullPassMicroseconds = 4000;
  static constexpr unsigned kMessagesPerCheck = 64;
  static constexpr long long kBytesPerCheck = 64 * 1024;
  void ShowProgress() override {
    checked_bytes_ = 0;  // the byte count starts again with each file
    if (form_.running_dialog_ != nullptr) form_.running_dialog_->ShowProgress();
  }
  // Only the passes over the events draw the label, so its text is made just before them,
  // and for the first and the last message of each file: what is shown is what a text a
  // message would show, without making the texts nobody sees.
  void SetProgress(const sorbit::ProgressInfo& progress) override {
    pending_ = progress;
    if (progress.ordinal == 1) {
      // A file's first pass comes after its first text, so that the dialog is first drawn
      // with it.
      ShowPendingProgress();
      ProcessEventsIfDue();
    }
  }
  void CloseProgress() override {
    ShowPendingProgress();
    if (form_.running_dialog_ == nullptr || !form_.running_dialog_->isVisible()) return;
    form_.running_dialog_->CloseProgress();
    form_.FormActivate();
  }
  void PrefixTurnedOn(std::string_view prefix) override {
    form_.UsePrefixChkBox->setChecked(true);
    form_.SetTextOf(form_.PrefixEdt, std::string(prefix));
  }

 private:
  // The first pass of a run, and each that follows kFullPassMicroseconds after the last.
  void ProcessEventsIfDue() {
    if (since_full_pass_.isValid() &&
        since_full_pass_.nsecsElapsed() < kFullPassMicroseconds * 1000)
      return;
    ShowPendingProgress();  // anything drawn now shows the latest text
    QApplication::processEvents();
    since_full_pass_.start();
  }
  void ShowPendingProgress() {
    if (form_.running_dialog_ == nullptr || pending_.ordinal == 0) return;
    pending_.Text(progress_text_);  // into the same buffer every time
    form_.running_dialog_->SetProgressText(progress_text_);
    pending_.ordinal = 0;
  }

  TMainForm& form_;
  QElapsedTimer since_full_pass_;  // invalid until the first pass
  unsigned messages_ = 0;
  // The latest figures; its text is not yet given to the label when its ordinal is not 0.
  sorbit::ProgressInfo pending_;
  long long checked_bytes_ = 0;  // pending_.bytes_read at the last clock check
  std::string progress_text_;
};

const char* const TMainForm::kThanksMessage =
    "tekuri と SHOWPC の作者の皆さん、そしてこのプログラムを使ってくださる皆さんに感謝します。";

TMainForm::TMainForm(const std::vector<std::string>& arguments, QWidget* parent)
    : TMainForm(arguments, platform::ProgramPath(), std::make_unique<sorbit::ui::QtDialogs>(),
                nullptr, parent) {}

TMainForm::TMainForm(const std::vector<std::string>& arguments, const std::string& program_path,
                     sorbit::ui::Dialogs& dialogs, QWidget* parent)
    : TMainForm(arguments, program_path, nullptr, &dialogs, parent) {}

TMainForm::TMainForm(const std::vector<std::string>& arguments, const std::string& program_path,
                     std::unique_ptr<sorbit::ui::QtDialogs> own_dialogs,
                     sorbit::ui::Dialogs* dialogs, QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::TMainForm>()),
      own_dialogs_(std::move(own_dialogs)),
      dialogs_(dialogs != nullptr ? dialogs : own_dialogs_.get()),
      arguments_(arguments),
      program_path_(program_path),
      input_blocker_(std::make_unique<sorbit::ui::RunInputBlocker>(*this)) {
  LoadResources();
  if (own_dialogs_ != nullptr) own_dialogs_->SetOwner(this);
  ui_->setupUi(this);
  AddMsgNumChkBox = ui_->AddMsgNumChkBox;
  Panel1 = ui_->Panel1;
  HndlSeparateChkBox = ui_->HndlSeparateChkBox;
  EAddrIDChkBox = ui_->EAddrIDChkBox;
  OpnFileBtn = ui_->OpnFileBtn;
  Label1 = ui_->Label1;
  SaveDirEdt = ui_->SaveDirEdt;
  SaveFileBtn = ui_->SaveFileBtn;
  Label3 = ui_->Label3;
  Panel2 = ui_->Panel2;
  UsePrefixChkBox = ui_->UsePrefixChkBox;
  PrefixEdt = ui_->PrefixEdt;
  Label2 = ui_->Label2;
  ExtEdt = ui_->ExtEdt;
  ChgExtChkBox = ui_->ChgExtChkBox;
  Image1 = ui_->Image1;
  Image2 = ui_->Image2;
  ExecBtn = ui_->ExecBtn;
  CloseBtn = ui_->CloseBtn;

  setFixedSize(298, 338);
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  // Main.ui holds whole points; the window is drawn for these pixel heights.
  sorbit::ui::ApplyJapaneseFont(this, 12);
  for (QWidget* large : {static_cast<QWidget*>(OpnFileBtn), static_cast<QWidget*>(ExecBtn),
                         static_cast<QWidget*>(CloseBtn), static_cast<QWidget*>(PrefixEdt),
                         static_cast<QWidget*>(ExtEdt)})
    sorbit::ui::ApplyJapaneseFont(large, 15);
  sorbit::ui::ApplyJapaneseFont(Label2, 13);
  for (QLabel* label : {Label1, Label2, Label3}) label->adjustSize();
  CloseBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  PrefixEdt->setFixedHeight(22);
  ExtEdt->setFixedHeight(22);
  Image1->setAttribute(Qt::WA_AlwaysShowToolTips);
  Image1->installEventFilter(this);

  OpenDialog1.filters = {{"tekuri ログファイル", "*.log"}, {"全てのファイル", "*.*"}};
  SaveDialog1.file_name = "SVFDummy.log";
  AWKStr1.SetLineSeparator(SjisRegExp::mcls_CRLF);
  AWKStr1.SetUseFuzzyCharDic(false);
  AWKStr1.SetUseSynonymDic(false);

  connect(HndlSeparateChkBox, &QCheckBox::toggled, this, &TMainForm::HndlSeparateChkBoxClick);
  connect(UsePrefixChkBox, &QCheckBox::toggled, this, &TMainForm::UsePrefixChkBoxClick);
  connect(ChgExtChkBox, &QCheckBox::toggled, this, &TMainForm::ChgExtChkBoxClick);
  connect(SaveDirEdt, &QLineEdit::textChanged, this, &TMainForm::SaveDirEdtChange);
  connect(OpnFileBtn, &QPushButton::clicked, this, &TMainForm::OpnFileBtnClick);
  connect(SaveFileBtn, &QPushButton::clicked, this, &TMainForm::SaveFileBtnClick);
  connect(ExecBtn, &QPushButton::clicked, this, &TMainForm::ExecBtnClick);
  connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);

  FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::SetRunningDialog(TRunningDlgFrm* dialog) { running_dialog_ = dialog; }

template <typename Body>
void TMainForm::Guarded(Body&& body) {
  try {
    body();
  } catch (const std::exception& error) {
    Error(error.what());
  }
}

MessageAnswer TMainForm::Message(MessageKind kind, MessageButtons buttons, std::string_view text) {
  const MessageAnswer answer = dialogs_->ShowMessage(kind, buttons, text, AppTitle());
  FormActivate();
  return answer;
}

void TMainForm::Error(std::string_view text) {
  dialogs_->ShowError(text, AppTitle());
  FormActivate();
}

// ---- Creation and settings --------------------------------------------------------------

void TMainForm::FormCreate() {
  SaveFileBtn->setToolTip(sorbit::ui::MessageToQt(kSaveFileBtnHint));
  // A failing step skips the ones after it; the window still opens and works.
  Guarded([this] {
    const platform::SettingsPlace place = platform::SettingsPlaceFor(program_path_, arguments_);
    SettingsPath = place.path;
    settings_folder_to_make_ = place.folder_to_make;
    LoadSettings();
    FindToolPath();
    FindReader();
    SetImage1Hint();
  });
}

void TMainForm::LoadSettings() {
  const std::string& path = SettingsPath;
  tekuri_folder_ = platform::GetPrivateProfileString("LogFld", "tekuri", "", path);
  OpenDialog1.start_folder = tekuri_folder_;
  SetTextOf(SaveDirEdt, platform::GetPrivateProfileString("LogFld", "sfv", "", path));
  // Each box starts unchecked, so a true value runs the box's click rule; the order makes
  // DivEMail decide before UseEMail4ID, and UsePrefix before the prefix text.
  AddMsgNumChkBox->setChecked(platform::ReadProfileBool("CnvSettings", "AddMsgNo", true, path));
  HndlSeparateChkBox->setChecked(platform::ReadProfileBool("CnvSettings", "DivEMail", true, path));
  EAddrIDChkBox->setChecked(platform::ReadProfileBool("CnvSettings", "UseEMail4ID", false, path));
  UsePrefixChkBox->setChecked(platform::ReadProfileBool("CnvSettings", "UsePrefix", true, path));
  ChgExtChkBox->setChecked(platform::ReadProfileBool("CnvSettings", "ChgExt", false, path));
  SetTextOf(PrefixEdt, platform::GetPrivateProfileString("CnvSettings", "Prefix", "svf", path));
  SetTextOf(ExtEdt, platform::GetPrivateProfileString("CnvSettings", "Extension", ".log", path));
  ToolPath = platform::GetPrivateProfileString("Tool", "Path", "", path);
}

void TMainForm::FindToolPath() {
  if (!ToolPath.empty()) return;
  const platform::RegistryValue value = platform::QueryUserRegistryValue(kViewerKey, kViewerValue);
  switch (value.type) {
    case platform::RegistryValue::Type::Missing:
      return;
    case platform::RegistryValue::Type::Text:
      ToolPath = value.text;
      return;
    case platform::RegistryValue::Type::Other:
      throw sorbit::ui::WindowError(std::string("'") + kViewerValue + "' のﾃﾞｰﾀ型が不正です");
  }
}

void TMainForm::FindReader() {
  if (!ToolPath.empty()) return;
  ReaderPath = platform::FindExecutableOnPath(FolderOf(program_path_) + kReaderProgram);
  if (ReaderPath.empty()) ReaderPath = platform::FindExecutableOnPath(kReaderProgram);
}

void TMainForm::SetImage1Hint() {
  const std::string started = !ToolPath.empty()     ? ProgramFileName(ToolPath)
                              : !ReaderPath.empty() ? std::string(kReaderProgram)
                                                    : std::string();
  const std::string hint = started.empty()
                               ? std::string("右クリックでバージョン情報を表示します。")
                               : "ここをクリックすると " + started + " が起動します。" +
                                     "\r\nまた、右クリックでバージョン情報を表示します。";
  Image1->setToolTip(sorbit::ui::MessageToQt(hint));
}

void TMainForm::FormClose() {
  const std::string& path = SettingsPath;
  // A missing user settings folder is made here; if that fails, the first write says so.
  if (!settings_folder_to_make_.empty()) platform::MakeSettingsFolder(settings_folder_to_make_);
  // Every key on its own, in this order; the first that fails stops the save.
  const auto write = [&path](const char* section, const char* key, const std::string& value) {
    if (!platform::WritePrivateProfileString(section, key, value, path))
      throw sorbit::ui::WindowError(path + " に書き込めません");
  };
  const auto flag = [](const QCheckBox* box) { return std::string(box->isChecked() ? "1" : "0"); };
  write("LogFld", "tekuri", tekuri_folder_);
  write("LogFld", "sfv", TextOf(SaveDirEdt));
  write("CnvSettings", "AddMsgNo", flag(AddMsgNumChkBox));
  write("CnvSettings", "DivEMail", flag(HndlSeparateChkBox));
  write("CnvSettings", "UseEMail4ID", flag(EAddrIDChkBox));
  write("CnvSettings", "UsePrefix", flag(UsePrefixChkBox));
  write("CnvSettings", "ChgExt", flag(ChgExtChkBox));
  write("CnvSettings", "Prefix", TextOf(PrefixEdt));
  write("CnvSettings", "Extension", TextOf(ExtEdt));
  write("Tool", "Path", ToolPath);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  try {
    FormClose();
  } catch (const std::exception& error) {
    Error(error.what());
    event->ignore();
    return;
  }
  if (running_) closed_during_run_ = true;
  event->accept();
}

// ---- Activation and the control rules ---------------------------------------------------

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  if (const QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  FormActivate();
}

void TMainForm::FormActivate() {
  if (ExtEdt->text().toUpper() == QStringLiteral(".LOG")) ChgExtChkBox->setChecked(false);
  if (!ChgExtChkBox->isChecked()) ExtEdt->setEnabled(false);
}

void TMainForm::HndlSeparateChkBoxClick() {
  if (HndlSeparateChkBox->isChecked()) {
    EAddrIDChkBox->setEnabled(true);
  } else {
    EAddrIDChkBox->setEnabled(false);
    EAddrIDChkBox->setChecked(false);
  }
}

void TMainForm::UsePrefixChkBoxClick() {
  if (!UsePrefixChkBox->isChecked()) PrefixEdt->clear();
}

void TMainForm::ChgExtChkBoxClick() { ExtEdt->setEnabled(ChgExtChkBox->isChecked()); }

void TMainForm::SaveDirEdtChange() {
  std::string folder = TextOf(SaveDirEdt);
  // The root folder "/" stays whole.
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  SaveDialog1.start_folder = folder;
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
  // Enter presses the focused push button, or else the default button, as on the desktop
  // this window was designed for; a plain QWidget has no default button of its own.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    (focused != nullptr ? focused : ExecBtn)->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

// ---- The file dialogs -------------------------------------------------------------------

void TMainForm::OpnFileBtnClick() {
  Guarded([this] {
    FileListBox.clear();
    const sorbit::ui::OpenFilesResult result = dialogs_->OpenFiles(OpenDialog1);
    if (result.accepted && !result.paths.empty()) {
      FileListBox = result.paths;
      OpenDialog1FileName = result.paths.front();
      tekuri_folder_ = FolderOf(OpenDialog1FileName);
      OpenDialog1.start_folder = tekuri_folder_;
      if (SaveDirEdt->text().isEmpty()) SetTextOf(SaveDirEdt, tekuri_folder_);
    } else if (result.error_code == sorbit::ui::kOpenDialogBufferTooSmall) {
      Message(MessageKind::Error, MessageButtons::Ok, kTooManyFiles);
    }
  });
}

void TMainForm::SaveFileBtnClick() {
  Guarded([this] {
    SaveDialog1.file_name = "svfDummy.log";
    const sorbit::ui::SaveFileResult result = dialogs_->SaveFile(SaveDialog1);
    SetTextOf(SaveDirEdt, result.accepted ? FolderOf(result.path) : SaveDialog1.start_folder);
  });
}

// ---- The conversion run -----------------------------------------------------------------

sorbit::ConversionOptions TMainForm::OptionsFromControls() const {
  sorbit::ConversionOptions options;
  options.InputFiles = FileListBox;
  options.InputFolder = FolderOf(OpenDialog1FileName);
  options.OutputFolder = TextOf(SaveDirEdt);
  options.UsePrefix = UsePrefixChkBox->isChecked();
  options.Prefix = TextOf(PrefixEdt);
  options.Extension = TextOf(ExtEdt);
  options.AddMsgNo = AddMsgNumChkBox->isChecked();
  options.DivEMail = HndlSeparateChkBox->isChecked();
  options.UseEMail4ID = EAddrIDChkBox->isChecked();
  return options;
}

void TMainForm::ExecBtnClick() {
  // The run lets events through once a message; a press that gets here through them (or
  // from the program) must not start a second run inside the first.
  if (running_) return;
  running_ = true;
  qApp->installEventFilter(input_blocker_.get());
  struct RunEnd {
    TMainForm& form;
    ~RunEnd() {
      qApp->removeEventFilter(form.input_blocker_.get());
      form.running_ = false;
    }
  } run_end{*this};

  Guarded([this] {
    // The options are taken once: whatever happens to the controls during the run, it
    // works on the files and choices of the moment it was started.
    sorbit::ConversionOptions options = OptionsFromControls();
    RunHost host(*this);
    platform::PosixFileSystem file_system;
    try {
      // The reply pattern is set on AWKStr1 once a run; each title is one Match.
      const sorbit::ReplyNoFinder finder(AWKStr1);
      sorbit::RunConversion(options, host, file_system,
                            [&finder](std::string_view title, std::string& reply_no) {
                              finder.Find(title, reply_no);
                            });
    } catch (...) {
      host.CloseProgress();
      throw;
    }
    // A run that ended on a read error leaves its dialog up.
    host.CloseProgress();
  });
  if (closed_during_run_) {
    closed_during_run_ = false;
    QCoreApplication::quit();
  }
}

// ---- The picture: version message and viewer launch -------------------------------------

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image1 && event->type() == QEvent::MouseButtonPress) {
    Image1MouseDown(static_cast<QMouseEvent*>(event)->button());
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TMainForm::Image1MouseDown(Qt::MouseButton button) {
  Guarded([this, button] {
    if (button == Qt::RightButton) {
      ShowVersion();
    } else if (button == Qt::LeftButton && !ToolPath.empty()) {
      LaunchViewer();
    } else if (button == Qt::LeftButton && !ReaderPath.empty()) {
      LaunchReader();
    }
  });
}

std::string TMainForm::VersionMessage(const TVersionInfo& version) {
  const std::string text =
      std::to_string(version.FIleMajor()) + "." + std::to_string(version.FIleMinor()) + "." +
      std::to_string(version.FIleRelease()) + "." + std::to_string(version.FIleBuild());
  return "Sorbit : Ver." + text + "\r\n\r\n" + kCredit;
}

void TMainForm::ShowVersion() {
  VersionInfo1.SetFileName(program_path_);
  Image2->hide();
  Message(MessageKind::Plain, MessageButtons::Ok, VersionMessage(VersionInfo1));
  Image2->show();
  Image1->hide();
  Message(MessageKind::Plain, MessageButtons::Ok, kThanksMessage);
  Image2->hide();
  Image1->show();
}

void TMainForm::LaunchViewer() {
  bool started = false;
  try {
    std::string parameters;
    if (AsciiUpper(ProgramFileName(ToolPath)) == "SHOWPC.EXE") {
      // One blank, the folder, a separator and the output files' pattern, not quoted: the
      // viewer takes it as it stands. SHOWPC is a Windows program and runs under Wine, so
      // it gets the folder in Wine's form.
      parameters = " " + platform::ToWinePath(TextOf(SaveDirEdt)) + "\\" + TextOf(PrefixEdt) + "*" +
                   TextOf(ExtEdt);
    }
    started = platform::StartProgram(ToolPath, parameters);
  } catch (const std::exception&) {
    started = false;
  }
  if (!started)
    Message(MessageKind::Plain, MessageButtons::Ok, ToolPath + " を起動できませんでした");
}

void TMainForm::LaunchReader() {
  // The output files as one pattern that the reader expands itself: the folder, then the
  // prefix, "*" for the board names, the extension. No folder: the working folder's files.
  std::string pattern = TextOf(SaveDirEdt);
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += TextOf(PrefixEdt) + "*" + TextOf(ExtEdt);
  if (!platform::StartProgram(ReaderPath, pattern))
    Message(MessageKind::Plain, MessageButtons::Ok, ReaderPath + " を起動できませんでした");
}
