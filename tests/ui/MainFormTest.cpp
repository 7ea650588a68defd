// The converter window, driven as the user and the program drive it: settings in, clicks,
// dialogs answered by a script, settings out.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "ScriptedDialogs.h"
#include "convert/TestSupport.h"
#include "ui/Main/Main.h"
#include "ui/RunningDlg/RunningDlg.h"
#include "ui/Widgets/ProgressLabel.h"

namespace {

using sorbit::testing::ReadFile;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;
using sorbit::ui::BoxIcon;
using sorbit::ui::MessageBoxSpec;
using sorbit::ui::testing::ScriptedDialogs;

constexpr char kApp[] = "tekuri Log to SVF Converter";

// This test program, which carries the program's version block.
std::string SelfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

const std::string kLog =
    "Title : Re: 5 one\r\nName:guest <g@x.jp>\r\nDate : 98/12/31 12:34:56\r\nNO: 10\r\nbody 1\r\n"
    ".\r\n"
    "Title : two\r\nName:host\r\nDate : 99/01/02 03:04:05\r\nminiBBS\r\n.\r\n";

class MainFormTest : public ::testing::Test {
 protected:
  std::string Program() const { return dir.Path("sorbit"); }
  std::string Ini() const { return dir.Path("sorbit.ini"); }
  void WriteIni(std::string_view text) const { WriteFile(Ini(), text); }

  std::unique_ptr<TMainForm> Open(const std::vector<std::string>& arguments = {}) {
    return std::make_unique<TMainForm>(arguments, Program(), dialogs);
  }
  // Created and shown: the first activation has happened.
  std::unique_ptr<TMainForm> OpenShown(const std::vector<std::string>& arguments = {}) {
    auto form = Open(arguments);
    form->show();
    return form;
  }
  static std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const MessageBoxSpec& box : dialogs.boxes) texts.push_back(box.text);
    return texts;
  }
  std::string Input(const std::string& name, std::string_view bytes = kLog) const {
    WriteFile(dir.Path(name), bytes);
    return dir.Path(name);
  }

  TempDir dir;
  ScriptedDialogs dialogs;
};

// ---- Layout ------------------------------------------------------------------------------

struct ControlCase {
  const char* name;
  QRect geometry;  // width 0: the control sizes itself
  const char* text;
  const char* hint;
};

// The pixels a button's caption needs: its text (without the mnemonic's "&"), and the box
// of a check box or the picture of a push button beside it.
int CaptionWidth(const QAbstractButton& button) {
  QString text = button.text();
  text.remove(QLatin1Char('&'));
  // The ink of the text: the last glyph's advance may run past it.
  int width = button.fontMetrics().tightBoundingRect(text).right() + 1;
  const QStyle* style = button.style();
  if (qobject_cast<const QCheckBox*>(&button) != nullptr) {
    width += style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &button) +
             style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &button);
  } else {
    if (!button.icon().isNull()) width += button.iconSize().width() + 4;
    width += 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
  }
  return width;
}

TEST_F(MainFormTest, EveryControlHasItsPlaceCaptionAndHint) {
  const ControlCase cases[] = {
      {"AddMsgNumChkBox",
       {8, 8, 281, 17},
       "メッセージ番号がない場合に自動的に番号を付ける",
       "miniBBS など、tekuri ログに発言番号がない場合のオプションです。"},
      {"Panel1", {8, 35, 281, 57}, nullptr, ""},
      {"HndlSeparateChkBox", {16, 44, 265, 17}, "ハンドル名から E-Mail アドレス部分を削除する", ""},
      {"EAddrIDChkBox", {16, 64, 205, 17}, "E-Mail アドレスを ID としてあつかう", ""},
      {"OpnFileBtn", {28, 100, 233, 29}, "tekuri ログファイルを選択...(&S)", ""},
      {"Label1", {12, 136, 0, 0}, "ログ変換後の保存先↓", ""},
      {"SaveDirEdt",
       {8, 152, 237, 20},
       "",
       "変換後のファイルを保存するフォルダ名を入力します。最後の \\ は不要です。"},
      {"SaveFileBtn",
       {248, 152, 41, 21},
       "参照...",
       "このボタンを押すと保存先のフォルダを選択できます。\n"
       "目的のフォルダに移動したら[保存]ボタンを押してください。"},
      {"Label3", {8, 180, 0, 0}, "SHOWPC ログファイル名の設定", ""},
      {"Panel2", {8, 196, 285, 45}, nullptr, ""},
      {"UsePrefixChkBox", {20, 200, 97, 17}, "接頭辞を付ける", ""},
      {"PrefixEdt", {120, 208, 57, 22}, "svf", "半角３文字までを推奨"},
      {"Label2",
       {176, 16, 0, 0},
       "ボード名",
       "ボード名はtekuriログファイル名から自動的に取得します。"},
      {"ExtEdt", {236, 208, 45, 22}, ".log", "半角ピリオド＋半角３文字まで"},
      {"ChgExtChkBox", {20, 220, 97, 17}, "拡張子を変更", ""},
      {"Image1", {32, 252, 121, 73}, nullptr, "右クリックでバージョン情報を表示します。"},
      {"Image2", {60, 252, 57, 73}, nullptr, ""},
      {"ExecBtn", {176, 256, 97, 29}, "変換実行(&G)", ""},
      {"CloseBtn", {176, 296, 97, 29}, "閉じる(&C)", ""},
  };
  auto form = Open();
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* control = form->findChild<QWidget*>(QString::fromLatin1(c.name));
    ASSERT_NE(control, nullptr);
    if (c.geometry.width() == 0) {
      EXPECT_EQ(control->pos(), c.geometry.topLeft());
      EXPECT_GE(control->width(), control->sizeHint().width());  // nothing clipped
    } else {
      EXPECT_EQ(control->geometry(), c.geometry);
    }
    if (c.text != nullptr) {
      QString text;
      if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
      if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
      if (auto* edit = qobject_cast<QLineEdit*>(control)) text = edit->text();
      EXPECT_EQ(text, QString::fromUtf8(c.text));
    }
    EXPECT_EQ(control->toolTip(), QString::fromUtf8(c.hint));
    // With the fonts of this machine every caption fits its control.
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      EXPECT_LE(CaptionWidth(*button), button->width());
    }
  }
  EXPECT_EQ(form->Label2->parentWidget(), form->Panel2);
}

TEST_F(MainFormTest, WindowCaptionFixedSizeAndFonts) {
  auto form = Open();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("tekuriログを SHOWPCフォーマットに変換"));
  EXPECT_EQ(form->size(), QSize(298, 338));
  EXPECT_EQ(form->minimumSize(), QSize(298, 338));
  EXPECT_EQ(form->maximumSize(), QSize(298, 338));
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form->font().pixelSize(), 12);
  EXPECT_EQ(form->AddMsgNumChkBox->font().pixelSize(), 12);
  for (QWidget* large :
       {static_cast<QWidget*>(form->OpnFileBtn), static_cast<QWidget*>(form->ExecBtn),
        static_cast<QWidget*>(form->CloseBtn)}) {
    EXPECT_EQ(large->font().pixelSize(), 15);
    EXPECT_EQ(large->font().families().front(), QStringLiteral("ＭＳ Ｐゴシック"));
  }
  for (QLineEdit* fixed : {form->PrefixEdt, form->ExtEdt}) {
    EXPECT_EQ(fixed->font().pixelSize(), 15);
    EXPECT_EQ(fixed->font().families().front(), QStringLiteral("ＭＳ ゴシック"));
    EXPECT_EQ(fixed->minimumHeight(), 22);
    EXPECT_EQ(fixed->maximumHeight(), 22);
  }
  EXPECT_EQ(form->Label2->font().pixelSize(), 13);
  EXPECT_TRUE(form->font().families().contains(QStringLiteral("IPAPGothic")));
}

TEST_F(MainFormTest, IsCentredWhenFirstShownAndEscapeDoesNotCloseIt) {
  auto form = OpenShown();
  const QPoint centre = form->screen()->availableGeometry().center();
  EXPECT_LE((form->frameGeometry().center() - centre).manhattanLength(), 2);
  QTest::keyClick(form.get(), Qt::Key_Escape);
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(std::filesystem::exists(Ini()));
}

TEST_F(MainFormTest, PicturesAreTheirBitmapsAtTheTopLeft) {
  auto form = Open();
  EXPECT_EQ(form->Image1->pixmap().size(), QSize(119, 69));
  EXPECT_EQ(form->Image2->pixmap().size(), QSize(53, 73));
  EXPECT_EQ(form->Image1->alignment(), Qt::AlignLeft | Qt::AlignTop);
  EXPECT_FALSE(form->Image1->hasScaledContents());
  EXPECT_TRUE(form->Image2->isHidden());
  EXPECT_FALSE(form->Image1->isHidden());
}

TEST_F(MainFormTest, TabOrderAndTheDefaultButton) {
  auto form = OpenShown();
  // Make the extension box a tab stop for this walk: it is one while enabled.
  form->ChgExtChkBox->setChecked(true);
  form->ExtEdt->setText(QStringLiteral(".txt"));
  std::vector<QWidget*> walk;
  QWidget* widget = form->OpnFileBtn;
  for (int i = 0; i < 7; ++i) {
    walk.push_back(widget);
    do {
      widget = widget->nextInFocusChain();
    } while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isEnabled());
  }
  const std::vector<QWidget*> expected = {form->OpnFileBtn, form->SaveDirEdt, form->SaveFileBtn,
                                          form->PrefixEdt,  form->ExtEdt,     form->ExecBtn,
                                          form->CloseBtn};
  EXPECT_EQ(walk, expected);
  EXPECT_EQ(widget, form->OpnFileBtn);  // and round again
  for (QCheckBox* box : {form->AddMsgNumChkBox, form->HndlSeparateChkBox, form->EAddrIDChkBox,
                         form->UsePrefixChkBox, form->ChgExtChkBox})
    EXPECT_FALSE(box->focusPolicy() & Qt::TabFocus) << box->objectName().toStdString();
  EXPECT_TRUE(form->ExecBtn->isDefault());
  // Enter in an edit box presses the convert button: with no file chosen it asks for one.
  form->SaveDirEdt->setFocus();
  QTest::keyClick(form->SaveDirEdt, Qt::Key_Return);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "先に tekuri ログファイルを指定してください");
}

// ---- Start state and loading -------------------------------------------------------------

TEST_F(MainFormTest, StartStateWithoutASettingsFile) {
  auto form = Open();
  EXPECT_EQ(form->SettingsPath, Ini());
  EXPECT_TRUE(form->AddMsgNumChkBox->isChecked());
  EXPECT_TRUE(form->HndlSeparateChkBox->isChecked());
  EXPECT_TRUE(form->EAddrIDChkBox->isEnabled());
  EXPECT_FALSE(form->EAddrIDChkBox->isChecked());
  EXPECT_TRUE(form->UsePrefixChkBox->isChecked());
  EXPECT_EQ(Text(form->PrefixEdt), "svf");
  EXPECT_FALSE(form->ChgExtChkBox->isChecked());
  EXPECT_EQ(Text(form->ExtEdt), ".log");
  EXPECT_EQ(Text(form->SaveDirEdt), "");
  EXPECT_EQ(form->OpenDialog1.start_folder, "");
  EXPECT_EQ(form->ToolPath, "");
  EXPECT_TRUE(form->FileListBox.empty());
  EXPECT_TRUE(dialogs.boxes.empty());
  // The extension box is disabled by the first activation, not before.
  EXPECT_TRUE(form->ExtEdt->isEnabled());
  form->show();
  EXPECT_FALSE(form->ExtEdt->isEnabled());
}

struct BoolCase {
  const char* value;  // nullptr: key missing
  bool add_msg_no;    // default true
  bool chg_ext;       // default false
};

TEST_F(MainFormTest, EveryBooleanForm) {
  const BoolCase cases[] = {
      {"1", true, true},     {"0", false, false},  {"2", true, true},      {"-1", true, true},
      {"0x0", false, false}, {"0x1", true, true},  {"$A", true, true},     {"yes", true, false},
      {"true", true, false}, {"", true, false},    {nullptr, true, false}, {" 7", true, true},
      {"0X10", true, true},  {"+0", false, false}, {"1x", true, false},
  };
  for (const BoolCase& c : cases) {
    SCOPED_TRACE(c.value == nullptr ? "(missing)" : c.value);
    const std::string line = c.value == nullptr ? "" : std::string("=") + c.value + "\n";
    WriteIni("[CnvSettings]\n" + (c.value ? "AddMsgNo" + line + "ChgExt" + line : "") +
             "Extension=.txt\n");
    auto form = Open();
    EXPECT_EQ(form->AddMsgNumChkBox->isChecked(), c.add_msg_no);
    EXPECT_EQ(form->ChgExtChkBox->isChecked(), c.chg_ext);
  }
}

TEST_F(MainFormTest, SectionsAndKeysAreFoundWhateverTheirCase) {
  WriteIni("[cnvsettings]\nADDMSGNO=0\n[LOGFLD]\nSfv=/out\n");
  auto form = Open();
  EXPECT_FALSE(form->AddMsgNumChkBox->isChecked());
  EXPECT_EQ(Text(form->SaveDirEdt), "/out");
}

TEST_F(MainFormTest, AnEmptyPrefixValueLoadsAnEmptyPrefix) {
  WriteIni("[CnvSettings]\nPrefix=\nUsePrefix=1\n");
  auto form = Open();
  EXPECT_TRUE(form->UsePrefixChkBox->isChecked());
  EXPECT_EQ(Text(form->PrefixEdt), "");
}

TEST_F(MainFormTest, TheLoadedPrefixStandsWhenThePrefixBoxIsOff) {
  WriteIni("[CnvSettings]\nPrefix=abc\nUsePrefix=0\n");
  auto form = Open();
  EXPECT_FALSE(form->UsePrefixChkBox->isChecked());
  EXPECT_EQ(Text(form->PrefixEdt), "abc");
}

TEST_F(MainFormTest, DivEMailOffWithUseEMail4IDOnLoadsCheckedButDisabled) {
  WriteIni("[CnvSettings]\nDivEMail=0\nUseEMail4ID=1\n");
  auto form = OpenShown();
  EXPECT_FALSE(form->HndlSeparateChkBox->isChecked());
  EXPECT_TRUE(form->EAddrIDChkBox->isChecked());
  EXPECT_FALSE(form->EAddrIDChkBox->isEnabled());
  ASSERT_TRUE(form->close());
  EXPECT_NE(ReadFile(Ini()).find("UseEMail4ID=1"), std::string::npos);
  EXPECT_NE(ReadFile(Ini()).find("DivEMail=0"), std::string::npos);
}

TEST_F(MainFormTest, ChgExtWithALogExtensionIsUncheckedAtTheFirstActivation) {
  for (const char* extension : {".LOG", ".log", ".Log"}) {
    SCOPED_TRACE(extension);
    WriteIni(std::string("[CnvSettings]\nChgExt=1\nExtension=") + extension + "\n");
    auto form = Open();
    EXPECT_TRUE(form->ChgExtChkBox->isChecked());
    EXPECT_TRUE(form->ExtEdt->isEnabled());
    form->show();
    EXPECT_FALSE(form->ChgExtChkBox->isChecked());
    EXPECT_FALSE(form->ExtEdt->isEnabled());
    EXPECT_EQ(Text(form->ExtEdt), extension);
    ASSERT_TRUE(form->close());
    EXPECT_NE(ReadFile(Ini()).find("ChgExt=0"), std::string::npos);
  }
}

TEST_F(MainFormTest, ChgExtWithAnotherExtensionStaysOnAndEnabled) {
  WriteIni("[CnvSettings]\nChgExt=1\nExtension=.txt\n");
  auto form = OpenShown();
  EXPECT_TRUE(form->ChgExtChkBox->isChecked());
  EXPECT_TRUE(form->ExtEdt->isEnabled());
}

TEST_F(MainFormTest, FoldersAndViewerComeFromTheirKeys) {
  WriteIni("[LogFld]\ntekuri=/logs/\nsfv=/out/\n[Tool]\nPath=/opt/viewer\n");
  auto form = Open();
  EXPECT_EQ(form->OpenDialog1.start_folder, "/logs/");
  EXPECT_EQ(Text(form->SaveDirEdt), "/out/");
  EXPECT_EQ(form->SaveDialog1.start_folder, "/out");  // the change rule ran while loading
  EXPECT_EQ(form->ToolPath, "/opt/viewer");
  EXPECT_EQ(form->Image1->toolTip(),
            QStringLiteral("ここをクリックすると viewer が起動します。\n"
                           "また、右クリックでバージョン情報を表示します。"));
}

// ---- The command line --------------------------------------------------------------------

TEST_F(MainFormTest, OneArgumentNamesTheSettingsFileInTheProgramsFolder) {
  WriteFile(dir.Path("other.ini"), "[CnvSettings]\nPrefix=xyz\n");
  WriteIni("[CnvSettings]\nPrefix=own\n");
  struct Case {
    std::vector<std::string> arguments;
    std::string settings;
    const char* prefix;
  };
  const Case cases[] = {
      {{"/other.ini"}, dir.Path("other.ini"), "xyz"},
      {{"-other.ini"}, dir.Path("other.ini"), "xyz"},
      {{"xother.ini"}, dir.Path("other.ini"), "xyz"},
      {{"/other.ini", "second"}, Ini(), "own"},
      {{}, Ini(), "own"},
      {{"/missing.ini"}, dir.Path("missing.ini"), "svf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    auto form = Open(c.arguments);
    EXPECT_EQ(form->SettingsPath, c.settings);
    EXPECT_EQ(Text(form->PrefixEdt), c.prefix);
  }
}

// ---- The control rules -------------------------------------------------------------------

TEST_F(MainFormTest, IdBoxFollowsTheHandleBox) {
  auto form = OpenShown();
  form->EAddrIDChkBox->setChecked(true);
  form->HndlSeparateChkBox->setChecked(false);
  EXPECT_FALSE(form->EAddrIDChkBox->isEnabled());
  EXPECT_FALSE(form->EAddrIDChkBox->isChecked());
  form->HndlSeparateChkBox->setChecked(true);
  EXPECT_TRUE(form->EAddrIDChkBox->isEnabled());
  EXPECT_FALSE(form->EAddrIDChkBox->isChecked());
}

TEST_F(MainFormTest, UncheckingThePrefixBoxEmptiesThePrefixForGood) {
  auto form = OpenShown();
  QTest::mouseClick(form->UsePrefixChkBox, Qt::LeftButton);
  EXPECT_FALSE(form->UsePrefixChkBox->isChecked());
  EXPECT_EQ(Text(form->PrefixEdt), "");
  EXPECT_TRUE(form->PrefixEdt->isEnabled());
  QTest::mouseClick(form->UsePrefixChkBox, Qt::LeftButton);
  EXPECT_TRUE(form->UsePrefixChkBox->isChecked());
  EXPECT_EQ(Text(form->PrefixEdt), "");
}

TEST_F(MainFormTest, TheExtensionBoxIsEnabledExactlyWhileItsBoxIsChecked) {
  auto form = OpenShown();
  EXPECT_FALSE(form->ExtEdt->isEnabled());
  form->ChgExtChkBox->setChecked(true);
  EXPECT_TRUE(form->ExtEdt->isEnabled());
  form->ExtEdt->setText(QStringLiteral(".txt"));
  form->ChgExtChkBox->setChecked(false);
  EXPECT_FALSE(form->ExtEdt->isEnabled());
  EXPECT_EQ(Text(form->ExtEdt), ".txt");  // the text stays and is still used
}

TEST_F(MainFormTest, ALogExtensionTypedIsUncheckedAtTheNextActivation) {
  auto form = OpenShown();
  form->ChgExtChkBox->setChecked(true);
  form->ExtEdt->setText(QStringLiteral(".LOG"));
  // A file dialog coming back is no activation.
  form->OpnFileBtnClick();
  EXPECT_TRUE(form->ChgExtChkBox->isChecked());
  EXPECT_TRUE(form->ExtEdt->isEnabled());
  // A message box closing is one.
  form->ExecBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_FALSE(form->ChgExtChkBox->isChecked());
  EXPECT_FALSE(form->ExtEdt->isEnabled());
}

TEST_F(MainFormTest, TheRuleNeverEnablesTheExtensionBox) {
  auto form = OpenShown();
  form->ExtEdt->setText(QStringLiteral(".txt"));
  form->FormActivate();
  EXPECT_FALSE(form->ExtEdt->isEnabled());
}

// ---- The folder box and the dialogs ------------------------------------------------------

TEST_F(MainFormTest, SaveDialogStartFolderFollowsTheFolderBox) {
  auto form = Open();
  const std::pair<const char*, const char*> cases[] = {
      {"/a/b/", "/a/b"}, {"/a/b", "/a/b"}, {"/", "/"}, {"", ""}, {"a//", "a/"}, {"/ログ/", "/ログ"},
  };
  for (const auto& [text, start] : cases) {
    form->SaveDirEdt->setText(QString::fromUtf8(text));
    EXPECT_EQ(form->SaveDialog1.start_folder, start) << text;
  }
}

TEST_F(MainFormTest, ACancelledFolderDialogLeavesTheTypedTextLessItsFinalSlash) {
  auto form = OpenShown();
  form->SaveDirEdt->setText(QStringLiteral("/typed/here/"));
  form->SaveFileBtnClick();
  ASSERT_EQ(dialogs.save_requests.size(), 1u);
  EXPECT_EQ(dialogs.save_requests[0].file_name, "svfDummy.log");
  EXPECT_EQ(dialogs.save_requests[0].start_folder, "/typed/here");
  EXPECT_EQ(Text(form->SaveDirEdt), "/typed/here");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(MainFormTest, AConfirmedFolderDialogSetsTheFolderWithItsSlash) {
  auto form = OpenShown();
  EXPECT_EQ(form->SaveDialog1.file_name, "SVFDummy.log");
  dialogs.save_results.push_back(ScriptedDialogs::Saved("/chosen/folder/svfDummy.log"));
  form->SaveFileBtnClick();
  EXPECT_EQ(Text(form->SaveDirEdt), "/chosen/folder/");
  EXPECT_FALSE(std::filesystem::exists("/chosen/folder/svfDummy.log"));
}

TEST_F(MainFormTest, ChosenFilesFillTheListAndAnEmptyFolderBox) {
  WriteIni("[LogFld]\ntekuri=/start/\n");
  auto form = OpenShown();
  dialogs.open_results.push_back(ScriptedDialogs::Chosen({"/logs/b.log", "/logs/a.log"}));
  form->OpnFileBtnClick();
  ASSERT_EQ(dialogs.open_requests.size(), 1u);
  EXPECT_EQ(dialogs.open_requests[0].start_folder, "/start/");
  using Filters = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(dialogs.open_requests[0].filters,
            (Filters{{"tekuri ログファイル", "*.log"}, {"全てのファイル", "*.*"}}));
  EXPECT_EQ(form->FileListBox, (std::vector<std::string>{"/logs/b.log", "/logs/a.log"}));
  EXPECT_EQ(Text(form->SaveDirEdt), "/logs/");
  // A second choice leaves a folder box that has text alone.
  dialogs.open_results.push_back(ScriptedDialogs::Chosen({"/else/c.log"}));
  form->OpnFileBtnClick();
  EXPECT_EQ(form->FileListBox, (std::vector<std::string>{"/else/c.log"}));
  EXPECT_EQ(Text(form->SaveDirEdt), "/logs/");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(MainFormTest, CancellingTheOpenDialogLeavesNoFileChosen) {
  auto form = OpenShown();
  dialogs.open_results.push_back(ScriptedDialogs::Chosen({"/logs/a.log"}));
  form->OpnFileBtnClick();
  form->OpnFileBtnClick();  // cancelled
  EXPECT_TRUE(form->FileListBox.empty());
  EXPECT_TRUE(dialogs.boxes.empty());
  form->ExecBtnClick();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"先に tekuri ログファイルを指定してください"});
}

TEST_F(MainFormTest, AnOverflowingSelectionShowsTheTooManyFilesError) {
  auto form = OpenShown();
  sorbit::ui::OpenFilesResult overflow;
  overflow.error_code = sorbit::ui::kOpenDialogBufferTooSmall;
  dialogs.open_results.push_back(overflow);
  form->OpnFileBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, "ｴﾗｰ");
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
  EXPECT_EQ(dialogs.boxes[0].buttons, sorbit::MessageButtons::Ok);
  EXPECT_EQ(dialogs.boxes[0].text,
            "選択したファイル数が多すぎるようです。\r\n\r\n一度に選択できるファイル数は\r\n"
            "「ファイル名の長さＸファイル数」\r\nの値に依存します。\r\n"
            "一度に選択するファイル数を減らしてください。");
  EXPECT_TRUE(form->FileListBox.empty());
}

TEST_F(MainFormTest, ChoosingFilesIsWrittenBackAsTheLogFolder) {
  WriteIni("[LogFld]\ntekuri=/loaded/\n");
  {
    auto form = OpenShown();
    ASSERT_TRUE(form->close());
  }
  EXPECT_NE(ReadFile(Ini()).find("tekuri=/loaded/\n"), std::string::npos);
  {
    auto form = OpenShown();
    dialogs.open_results.push_back(ScriptedDialogs::Chosen({"/picked/x.log", "/other/y.log"}));
    form->OpnFileBtnClick();
    ASSERT_TRUE(form->close());
  }
  EXPECT_NE(ReadFile(Ini()).find("tekuri=/picked/\n"), std::string::npos);
}

// ---- Saving ------------------------------------------------------------------------------

TEST_F(MainFormTest, TheFirstCloseWritesANewFileWithAllTenKeys) {
  auto form = OpenShown();
  ASSERT_TRUE(form->close());
  EXPECT_EQ(ReadFile(Ini()),
            "[LogFld]\ntekuri=\nsfv=\n"
            "[CnvSettings]\nAddMsgNo=1\nDivEMail=1\nUseEMail4ID=0\nUsePrefix=1\nChgExt=0\n"
            "Prefix=svf\nExtension=.log\n"
            "[Tool]\nPath=\n");
}

TEST_F(MainFormTest, ClosingKeepsTheOtherContentOfAnExistingFile) {
  WriteIni("; mine\r\n[Other]\r\nkeep=this\r\n[CnvSettings]\r\nPrefix=abc\r\nExtra=1\r\n");
  auto form = OpenShown();
  form->SaveDirEdt->setText(QStringLiteral("/out/"));
  ASSERT_TRUE(form->close());
  const std::string written = ReadFile(Ini());
  EXPECT_EQ(written.rfind("; mine\r\n[Other]\r\nkeep=this\r\n[CnvSettings]\r\nPrefix=abc\r\n", 0),
            0u)
      << written;
  EXPECT_NE(written.find("Extra=1\r\n"), std::string::npos);
  EXPECT_NE(written.find("sfv=/out/"), std::string::npos);
  EXPECT_NE(written.find("Path="), std::string::npos);
}

TEST_F(MainFormTest, AFailingWriteKeepsTheWindowOpenAndCanBeRetried) {
  std::filesystem::create_directory(dir.Path("folder.ini"));
  auto form = OpenShown({"/folder.ini"});
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, kApp);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
  EXPECT_EQ(dialogs.boxes[0].text, dir.Path("folder.ini") + " に書き込めません.");
  // Once the path can be written, the next close saves and succeeds.
  std::filesystem::remove(dir.Path("folder.ini"));
  EXPECT_TRUE(form->close());
  EXPECT_NE(ReadFile(dir.Path("folder.ini")).find("[Tool]"), std::string::npos);
}

// ---- Settings values are bytes ------------------------------------------------------------

// A NUL in a value is a byte like any other: it is loaded, and the close writes it back.
TEST_F(MainFormTest, ANulInAValueNeverTrapsTheClose) {
  const std::string path_line = std::string("Path=/usr/bin/x\0y\n", 18);
  const std::string prefix_line = std::string("Prefix=a\0b\n", 11);
  WriteIni("[Tool]\n" + path_line + "[CnvSettings]\n" + prefix_line);
  auto form = OpenShown();
  EXPECT_EQ(form->ToolPath, std::string("/usr/bin/x\0y", 12));
  ASSERT_TRUE(form->close());
  EXPECT_TRUE(dialogs.boxes.empty());
  const std::string written = ReadFile(Ini());
  EXPECT_NE(written.find(path_line), std::string::npos);
  EXPECT_NE(written.find(prefix_line), std::string::npos);
}

TEST_F(MainFormTest, ANulTypedIntoThePrefixIsWrittenAndTheCloseSucceeds) {
  auto form = OpenShown();
  form->PrefixEdt->setText(QStringLiteral("p") + QChar(u'\0') + QStringLiteral("q"));
  ASSERT_TRUE(form->close());
  EXPECT_NE(ReadFile(Ini()).find(std::string("Prefix=p\0q\n", 11)), std::string::npos);
}

// Shift-JIS bytes (an old settings file, a folder named in Shift-JIS), invalid UTF-8 and the
// bytes of U+FFFD itself: a close that changes nothing leaves the file byte for byte.
TEST_F(MainFormTest, ValuesTheUserDidNotChangeAreWrittenBackByteForByte) {
  const std::string file =
      "[LogFld]\r\ntekuri=/logs/\x82\xA0\x95\x5C/\r\nsfv=/tmp/\x82\xA0\x95\x5C\r\n"
      "[CnvSettings]\r\nAddMsgNo=1\r\nDivEMail=1\r\nUseEMail4ID=0\r\nUsePrefix=1\r\n"
      "ChgExt=1\r\nPrefix=\x82\xA0\xFF\r\nExtension=.\xEF\xBF\xBD\x80\r\n"
      "[Tool]\r\nPath=/opt/\x83\x41/viewer\r\n";
  WriteIni(file);
  auto form = OpenShown();
  ASSERT_TRUE(form->close());
  EXPECT_EQ(ReadFile(Ini()), file);
}

TEST_F(MainFormTest, AValueTheUserChangedIsWrittenInUtf8) {
  WriteIni("[CnvSettings]\nPrefix=\x82\xA0\n");
  auto form = OpenShown();
  form->PrefixEdt->setText(QStringLiteral("新"));
  ASSERT_TRUE(form->close());
  EXPECT_NE(ReadFile(Ini()).find("Prefix=\xE6\x96\xB0\n"), std::string::npos);
}

// ---- The viewer's registry entry ---------------------------------------------------------

class RegistryTest : public MainFormTest {
 protected:
  void SetUp() override {
    saved_ = qgetenv("WINEPREFIX");
    qputenv("WINEPREFIX", QByteArray::fromStdString(dir.Path("")));
  }
  void TearDown() override { qputenv("WINEPREFIX", saved_); }
  void WriteUserReg(std::string_view value_line) const {
    WriteFile(dir.Path("user.reg"), std::string("WINE REGISTRY Version 2\n\n") +
                                        "[Software\\\\NOKU\\\\SHOWPC\\\\File] 1700000000\n" +
                                        std::string(value_line) + "\n");
  }

 private:
  QByteArray saved_;
};

TEST_F(RegistryTest, ATextValueBecomesTheViewer) {
  WriteUserReg("\"SHOWPC\"=\"C:\\\\Program Files\\\\SHOWPC\\\\SHOWPC.EXE\"");
  auto form = Open();
  EXPECT_EQ(form->ToolPath, "C:\\Program Files\\SHOWPC\\SHOWPC.EXE");
  EXPECT_EQ(form->Image1->toolTip(),
            QStringLiteral("ここをクリックすると SHOWPC.EXE が起動します。\n"
                           "また、右クリックでバージョン情報を表示します。"));
  EXPECT_TRUE(dialogs.boxes.empty());
  ASSERT_TRUE(form->close());
  EXPECT_NE(ReadFile(Ini()).find("Path=C:\\Program Files\\SHOWPC\\SHOWPC.EXE"), std::string::npos);
}

TEST_F(RegistryTest, TheSettingsWinOverTheRegistry) {
  WriteUserReg("\"SHOWPC\"=\"C:\\\\SHOWPC.EXE\"");
  WriteIni("[Tool]\nPath=/usr/bin/mine\n");
  auto form = Open();
  EXPECT_EQ(form->ToolPath, "/usr/bin/mine");
}

TEST_F(RegistryTest, ANonTextValueIsAnErrorAndLeavesNoViewerAndNoHint) {
  WriteUserReg("\"SHOWPC\"=dword:00000001");
  auto form = Open();
  EXPECT_EQ(form->ToolPath, "");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, kApp);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
  EXPECT_EQ(dialogs.boxes[0].text, "'SHOWPC' のﾃﾞｰﾀ型が不正です.");
  EXPECT_EQ(form->Image1->toolTip(), QString());
  // The window still works.
  form->show();
  form->ExecBtnClick();
  EXPECT_EQ(dialogs.boxes.size(), 2u);
}

// ---- The conversion run from the window --------------------------------------------------

class RunTest : public MainFormTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.Path("in"));
    std::filesystem::create_directory(dir.Path("out"));
    form = OpenShown();
    form->SetRunningDialog(&progress);
  }
  void Choose(const std::vector<std::string>& paths) {
    dialogs.open_results.push_back(ScriptedDialogs::Chosen(paths));
    form->OpnFileBtnClick();
  }
  std::string In(const std::string& name, std::string_view bytes = kLog) const {
    return Input("in/" + name, bytes);
  }
  std::string Out() const { return dir.Path("out") + "/"; }

  TRunningDlgFrm progress;
  std::unique_ptr<TMainForm> form;
};

TEST_F(RunTest, NoFileChosenAsksForOneInAPlainBox) {
  form->ExecBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, kApp);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::None);
  EXPECT_EQ(dialogs.boxes[0].text, "先に tekuri ログファイルを指定してください");
}

TEST_F(RunTest, ConvertsAndShowsTheSummary) {
  Choose({In("general.log")});
  form->SaveDirEdt->setText(QString::fromStdString(Out()));
  form->ExecBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, kApp);
  EXPECT_EQ(dialogs.boxes[0].text,
            "1 個のファイルを SHOWPC Virtual Format に変換し \r\n" + Out() + " に保存しました");
  EXPECT_TRUE(std::filesystem::exists(Out() + "svfgeneral.log"));
  EXPECT_FALSE(progress.isVisible());
  EXPECT_EQ(progress.Label1->Text(),
            QStringLiteral("general.log\n を変換処理しています...\n\n2 件目"));
  EXPECT_FALSE(form->IsRunning());
}

TEST_F(RunTest, TheSameFolderRuleTurnsThePrefixOnInTheWindow) {
  Choose({In("general.log")});  // the folder box takes the files' folder
  form->UsePrefixChkBox->setChecked(false);
  ASSERT_EQ(Text(form->PrefixEdt), "");
  bool shown_at_warning = true;
  dialogs.on_show = [&](const MessageBoxSpec& box) {
    if (box.title == "警告") shown_at_warning = form->UsePrefixChkBox->isChecked();
  };
  form->ExecBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[0].title, "警告");
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Warning);
  EXPECT_EQ(dialogs.boxes[0].text,
            "変換後のファイル保存先が tekuri ログのある場所と同じで、\r\n"
            "変換後のファイル名も同じになるので、接頭辞「svf」を付けて保存します");
  EXPECT_FALSE(shown_at_warning);  // changed once acknowledged
  EXPECT_TRUE(form->UsePrefixChkBox->isChecked());
  EXPECT_EQ(Text(form->PrefixEdt), "svf");
  EXPECT_TRUE(std::filesystem::exists(dir.Path("in/svfgeneral.log")));
  EXPECT_EQ(ReadFile(dir.Path("in/general.log")), kLog);
}

TEST_F(RunTest, AMissingFolderIsCreatedOnYesAndNothingHappensOnNo) {
  Choose({In("general.log")});
  const std::string target = dir.Path("new");
  form->SaveDirEdt->setText(QString::fromStdString(target));
  dialogs.answers.push_back(sorbit::MessageAnswer::No);
  form->ExecBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, "確認");
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Question);
  EXPECT_EQ(dialogs.boxes[0].buttons, sorbit::MessageButtons::YesNo);
  EXPECT_EQ(dialogs.boxes[0].text, "指定されたフォルダがありませんが、\r\n新しく作成しますか？");
  EXPECT_FALSE(std::filesystem::exists(target));

  dialogs.answers.push_back(sorbit::MessageAnswer::Yes);
  form->ExecBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 3u);
  EXPECT_EQ(dialogs.boxes[2].text,
            "1 個のファイルを SHOWPC Virtual Format に変換し \r\n" + target + " に保存しました");
  EXPECT_TRUE(std::filesystem::exists(target + "/svfgeneral.log"));
}

TEST_F(RunTest, AFailedSaveShowsTheSaveErrorAndNoSummary) {
  Choose({In("general.log")});
  // The output path names a folder, which cannot be written as a file.
  std::filesystem::create_directory(Out() + "svfgeneral.log");
  form->SaveDirEdt->setText(QString::fromStdString(Out()));
  form->ExecBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, "ｴﾗｰ");
  EXPECT_EQ(dialogs.boxes[0].text, "ファイルの保存中にエラーが発生したので、処理を中止します。");
}

TEST_F(RunTest, AnUnreadableInputIsReportedInTheStandardErrorBox) {
  Choose({dir.Path("in/missing.log")});
  form->SaveDirEdt->setText(QString::fromStdString(Out()));
  form->ExecBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, kApp);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
  EXPECT_FALSE(dialogs.boxes[0].text.empty());
  EXPECT_FALSE(progress.isVisible());
  EXPECT_FALSE(form->IsRunning());
}

TEST_F(RunTest, NothingTheUserDoesDuringARunDisturbsIt) {
  Choose({In("a.log"), In("b.log")});
  const std::string other = In("other.log");
  form->SaveDirEdt->setText(QString::fromStdString(Out()));
  bool poked = false, dialog_up = false;
  QTimer::singleShot(0, form.get(), [&] {
    poked = true;
    dialog_up = progress.isVisible();
    EXPECT_TRUE(form->IsRunning());
    form->ExecBtn->click();  // a second run must not start inside the first
    QTest::mouseClick(form->OpnFileBtn, Qt::LeftButton);
    QTest::mouseClick(form->UsePrefixChkBox, Qt::LeftButton);
    QTest::keyClicks(form->SaveDirEdt, "zzz");
    QTest::mouseClick(form->Image1, Qt::RightButton);
    form->FileListBox = {other};
    form->PrefixEdt->setText(QStringLiteral("changed"));
  });
  form->ExecBtnClick();
  EXPECT_TRUE(poked);
  EXPECT_TRUE(dialog_up);
  EXPECT_TRUE(dialogs.open_requests.size() == 1u);  // only the Choose above
  ASSERT_EQ(dialogs.boxes.size(), 1u);              // one summary, no version box
  EXPECT_EQ(dialogs.boxes[0].text,
            "2 個のファイルを SHOWPC Virtual Format に変換し \r\n" + Out() + " に保存しました");
  EXPECT_TRUE(std::filesystem::exists(Out() + "svfa.log"));
  EXPECT_TRUE(std::filesystem::exists(Out() + "svfb.log"));
  EXPECT_FALSE(std::filesystem::exists(Out() + "changedother.log"));
  EXPECT_TRUE(form->UsePrefixChkBox->isChecked());  // the click was dropped
  EXPECT_EQ(Text(form->SaveDirEdt), Out());         // and so were the keys
  // After the run the window takes input again.
  QTest::mouseClick(form->UsePrefixChkBox, Qt::LeftButton);
  EXPECT_FALSE(form->UsePrefixChkBox->isChecked());
}

TEST_F(RunTest, ClosingDuringARunSavesAtOnceAndTheRunFinishes) {
  Choose({In("a.log")});
  form->SaveDirEdt->setText(QString::fromStdString(Out()));
  bool closed = false, saved_at_close = false;
  QTimer::singleShot(0, form.get(), [&] {
    QTest::mouseClick(form->CloseBtn, Qt::LeftButton);  // the one control that takes input
    closed = !form->isVisible();
    saved_at_close = std::filesystem::exists(Ini());
  });
  form->ExecBtnClick();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(saved_at_close);
  EXPECT_TRUE(std::filesystem::exists(Out() + "svfa.log"));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(RunTest, TheProgressDialogIsShownPerFileAndTheWindowActivatedAfter) {
  Choose({In("a.log"), In("b.log")});
  form->SaveDirEdt->setText(QString::fromStdString(Out()));
  form->ChgExtChkBox->setChecked(true);
  form->ExtEdt->setText(QStringLiteral(".LOG"));
  int showings = 0;
  struct ShowCounter : QObject {
    int* count;
    explicit ShowCounter(int* c) : count(c) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Show) ++*count;
      return false;
    }
  } counter(&showings);
  progress.installEventFilter(&counter);
  bool dialog_up_at_summary = true, chg_ext_at_summary = true;
  dialogs.on_show = [&](const MessageBoxSpec&) {
    dialog_up_at_summary = progress.isVisible();
    chg_ext_at_summary = form->ChgExtChkBox->isChecked();
  };
  form->ExecBtnClick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);  // the summary
  EXPECT_EQ(showings, 2);               // once a file
  EXPECT_FALSE(dialog_up_at_summary);
  // The dialog's closing activated the window before the summary was shown.
  EXPECT_FALSE(chg_ext_at_summary);
  EXPECT_TRUE(std::filesystem::exists(Out() + "svfa.LOG"));
}

TEST_F(RunTest, TheDialogIsFirstDrawnWithTheFirstMessagesText) {
  Choose({In("general.log")});
  form->SaveDirEdt->setText(QString::fromStdString(Out()));
  struct Paints : QObject {
    QStringList texts;
    bool eventFilter(QObject* label, QEvent* event) override {
      if (event->type() == QEvent::Paint)
        texts.append(static_cast<sorbit::ui::ProgressLabel*>(label)->Text());
      return false;
    }
  } paints;
  progress.Label1->installEventFilter(&paints);
  form->ExecBtnClick();
  ASSERT_FALSE(paints.texts.isEmpty());
  EXPECT_EQ(paints.texts.front(),
            QStringLiteral("general.log\n を変換処理しています...\n\n1 件目"));
}

// The window writes what the command-line converter writes for the same log and options.
// The run works in the folder the settings name, whatever bytes its name is made of.
TEST_F(RunTest, AFolderNamedInShiftJisIsTheFolderTheOutputsGoTo) {
  const std::string folder = dir.Path("\x82\xA0\x95\x5C");
  std::filesystem::create_directory(folder);
  WriteIni("[LogFld]\nsfv=" + folder + "\n");
  auto shiftjis_form = OpenShown();
  dialogs.open_results.push_back(ScriptedDialogs::Chosen({In("general.log")}));
  shiftjis_form->OpnFileBtnClick();
  shiftjis_form->ExecBtnClick();
  EXPECT_TRUE(std::filesystem::exists(folder + "/svfgeneral.log"));
  ASSERT_FALSE(dialogs.boxes.empty());
  EXPECT_NE(dialogs.boxes.back().text.find(folder), std::string::npos);
}

TEST_F(RunTest, WritesTheSameBytesAsTekuri2svf) {
  std::string log;
  for (int i = 1; i <= 40; ++i) {
    log += "Title : " + std::string(i % 3 ? "Re: " + std::to_string(i / 2) + " reply" : "new") +
           "\r\nName:user" + std::to_string(i) + (i % 2 ? " <u@x.jp>" : "") +
           "\r\nDate : 99/01/02 03:04:05\r\n" + (i % 4 ? "NO: " + std::to_string(i) + "\r\n" : "") +
           "line \x82\xa0 " + std::to_string(i) + "\r\n.\r\n";
  }
  const std::string input = In("board.log", log);
  struct Options {
    bool add_msg_no, div_email, use_email_id;
    const char* prefix;
    const char* extension;
  };
  const Options cases[] = {
      {true, true, false, "svf", ".log"},
      {false, false, false, "", ".txt"},
      {true, true, true, "p_", ".svf"},
      {false, true, true, "x", ""},
  };
  int n = 0;
  for (const Options& c : cases) {
    SCOPED_TRACE(n);
    const std::string window_out = dir.Path("w" + std::to_string(n)) + "/";
    const std::string cli_out = dir.Path("c" + std::to_string(n)) + "/";
    ++n;
    std::filesystem::create_directory(window_out);
    std::filesystem::create_directory(cli_out);
    Choose({input});
    form->SaveDirEdt->setText(QString::fromStdString(window_out));
    form->AddMsgNumChkBox->setChecked(c.add_msg_no);
    form->HndlSeparateChkBox->setChecked(c.div_email);
    form->EAddrIDChkBox->setChecked(c.use_email_id);
    form->PrefixEdt->setText(QString::fromUtf8(c.prefix));
    form->ExtEdt->setText(QString::fromUtf8(c.extension));
    form->ExecBtnClick();

    QStringList arguments = {"-q", "-o",       QString::fromStdString(cli_out), "-p", c.prefix,
                             "-e", c.extension};
    if (!c.add_msg_no) arguments << "--no-msgno";
    if (!c.div_email) arguments << "--keep-email";
    if (c.use_email_id) arguments << "--email-id";
    arguments << QString::fromStdString(input);
    QProcess cli;
    cli.start(QStringLiteral(TEKURI2SVF), arguments);
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();

    const std::string name = std::string(c.prefix) + "board" + c.extension;
    ASSERT_TRUE(std::filesystem::exists(cli_out + name));
    const std::string expected = ReadFile(cli_out + name);
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(ReadFile(window_out + name), expected);
    // The window's matcher found the reply numbers ("Re: 3 reply" of message 7).
    EXPECT_NE(expected.find(",3,0,Re: 3 reply\r\n"), std::string::npos);
  }
}

// ---- The picture: version message --------------------------------------------------------

TEST_F(MainFormTest, TheVersionOfTheBuiltProgramAndOfAFileWithoutOne) {
  auto built = std::make_unique<TMainForm>(std::vector<std::string>{}, SORBIT_PROGRAM, dialogs);
  QTest::mouseClick(built->Image1, Qt::RightButton);
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "Sorbit : Ver.0.9.2.1\r\n\r\nLinux 版: Sorbit 開発チーム (Qt 6 Widgets)");
  const std::string plain = Input("plain.bin", "no version here");
  auto without = std::make_unique<TMainForm>(std::vector<std::string>{}, plain, dialogs);
  QTest::mouseClick(without->Image1, Qt::RightButton);
  ASSERT_EQ(dialogs.boxes.size(), 4u);
  EXPECT_EQ(dialogs.boxes[2].text.rfind("Sorbit : Ver.0.0.0.0\r\n\r\n", 0), 0u);
}

TEST_F(MainFormTest, RightClickShowsTheVersionThenTheThanksWithThePicturesSwapped) {
  auto form = std::make_unique<TMainForm>(std::vector<std::string>{}, SelfPath(), dialogs);
  form->show();
  std::vector<std::pair<bool, bool>> pictures;  // Image1, Image2 visible while each box is up
  dialogs.on_show = [&](const MessageBoxSpec&) {
    pictures.emplace_back(form->Image1->isVisible(), form->Image2->isVisible());
  };
  QTest::mouseClick(form->Image1, Qt::RightButton);
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[0].title, kApp);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::None);
  EXPECT_EQ(dialogs.boxes[0].text, TMainForm::VersionMessage(form->VersionInfo1));
  EXPECT_EQ(dialogs.boxes[0].text.rfind("Sorbit : Ver.0.9.2.1\r\n\r\n", 0), 0u);
  EXPECT_EQ(dialogs.boxes[1].text, TMainForm::kThanksMessage);
  EXPECT_EQ(pictures, (std::vector<std::pair<bool, bool>>{{true, false}, {false, true}}));
  EXPECT_TRUE(form->Image1->isVisible());
  EXPECT_FALSE(form->Image2->isVisible());
  // Twice gives the same.
  QTest::mouseClick(form->Image1, Qt::RightButton);
  ASSERT_EQ(dialogs.boxes.size(), 4u);
  EXPECT_EQ(dialogs.boxes[2].text, dialogs.boxes[0].text);
}

TEST_F(MainFormTest, MiddleButtonAndLeftWithoutViewerDoNothing) {
  auto form = OpenShown();
  ASSERT_EQ(form->ToolPath, "");
  QTest::mouseClick(form->Image1, Qt::MiddleButton);
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
