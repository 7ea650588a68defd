#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ScriptedDialogs.h"
#include "ui/Dialogs/QtDialogs.h"

namespace sorbit::ui {
namespace {

constexpr char kApp[] = "tekuri Log to SVF Converter";

struct KindCase {
  MessageKind kind;
  const char* title;
  BoxIcon icon;
};

TEST(DialogsTest, EachKindHasItsTitleAndIcon) {
  const KindCase cases[] = {
      {MessageKind::Plain, kApp, BoxIcon::None},
      {MessageKind::Warning, "警告", BoxIcon::Warning},
      {MessageKind::Error, "ｴﾗｰ", BoxIcon::Error},
      {MessageKind::Information, "情報", BoxIcon::Information},
      {MessageKind::Confirmation, "確認", BoxIcon::Question},
  };
  for (const KindCase& c : cases) {
    const MessageBoxSpec box = BoxFor(c.kind, MessageButtons::YesNo, "text", kApp);
    EXPECT_EQ(box.title, c.title);
    EXPECT_EQ(box.icon, c.icon) << c.title;
    EXPECT_EQ(box.buttons, MessageButtons::YesNo);
    EXPECT_EQ(box.text, "text");
  }
}

TEST(DialogsTest, StandardErrorAddsAFullStopAfterCharactersThatSortAfterIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"disk full", "disk full."},
      {"ends.", "ends."},
      {"ends!", "ends!"},   // "!" sorts before "."
      {"ends,", "ends,"},   // "," too
      {"ends/", "ends/."},  // "/" after
      {"ends 1", "ends 1."},
      {"", ""},
      {"/tmp/a.ini に書き込めません", "/tmp/a.ini に書き込めません."},  // a multibyte last char
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(StandardErrorText(text), shown) << text;
}

TEST(DialogsTest, ShowErrorIsTheApplicationTitledErrorBoxWithOk) {
  testing::ScriptedDialogs dialogs;
  dialogs.ShowError("bad thing", kApp);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, kApp);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
  EXPECT_EQ(dialogs.boxes[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(dialogs.boxes[0].text, "bad thing.");
}

QStringList ButtonTexts(const QMessageBox& box) {
  QStringList texts;
  for (QAbstractButton* button : box.buttons()) texts << button->text();
  texts.sort();
  return texts;
}

TEST(QtDialogsTest, OkBoxHasOneOkButtonTitleIconAndLineBreaks) {
  MessageBoxSpec wanted = BoxFor(MessageKind::Warning, MessageButtons::Ok, "one\r\ntwo", kApp);
  const auto box = QtDialogs::BuildBox(wanted, nullptr);
  EXPECT_EQ(box->windowTitle(), QStringLiteral("警告"));
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->text(), QStringLiteral("one\ntwo"));
  EXPECT_EQ(box->textFormat(), Qt::PlainText);
  EXPECT_EQ(ButtonTexts(*box), QStringList{QStringLiteral("OK")});
}

TEST(QtDialogsTest, YesNoBoxLabelsItsButtonsAndDefaultsToYes) {
  MessageBoxSpec wanted = BoxFor(MessageKind::Confirmation, MessageButtons::YesNo, "q", kApp);
  const auto box = QtDialogs::BuildBox(wanted, nullptr);
  EXPECT_EQ(box->windowTitle(), QStringLiteral("確認"));
  EXPECT_EQ(box->icon(), QMessageBox::Question);
  EXPECT_EQ(ButtonTexts(*box),
            (QStringList{QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}));
  ASSERT_NE(box->defaultButton(), nullptr);
  EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("はい(&Y)"));
  ASSERT_NE(box->escapeButton(), nullptr);
  EXPECT_EQ(box->escapeButton()->text(), QStringLiteral("いいえ(&N)"));
}

TEST(QtDialogsTest, PlainAndErrorIcons) {
  EXPECT_EQ(QtDialogs::BuildBox(BoxFor(MessageKind::Plain, MessageButtons::Ok, "x", kApp), nullptr)
                ->icon(),
            QMessageBox::NoIcon);
  EXPECT_EQ(QtDialogs::BuildBox(BoxFor(MessageKind::Error, MessageButtons::Ok, "x", kApp), nullptr)
                ->icon(),
            QMessageBox::Critical);
  EXPECT_EQ(
      QtDialogs::BuildBox(BoxFor(MessageKind::Information, MessageButtons::Ok, "x", kApp), nullptr)
          ->icon(),
      QMessageBox::Information);
}

TEST(QtDialogsTest, MarkupInATextIsShownAsItStands) {
  const auto box = QtDialogs::BuildBox(
      BoxFor(MessageKind::Plain, MessageButtons::Ok, "<b>/tmp/a&b</b>", kApp), nullptr);
  EXPECT_EQ(box->text(), QStringLiteral("<b>/tmp/a&b</b>"));
  EXPECT_EQ(box->textFormat(), Qt::PlainText);
}

TEST(QtDialogsTest, OpenDialogIsNonNativeMultiSelectWithTheFiltersInOrder) {
  OpenFilesRequest request;
  request.start_folder = "/tmp";
  request.filters = {{"tekuri ログファイル", "*.log"}, {"全てのファイル", "*.*"}};
  const auto dialog = QtDialogs::BuildOpenDialog(request, nullptr);
  EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(dialog->nameFilters(), (QStringList{QStringLiteral("tekuri ログファイル (*.log)"),
                                                QStringLiteral("全てのファイル (*.*)")}));
  EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("tekuri ログファイル (*.log)"));
  EXPECT_EQ(dialog->directory().absolutePath(), QStringLiteral("/tmp"));
  EXPECT_EQ(dialog->labelText(QFileDialog::Reject), QStringLiteral("ｷｬﾝｾﾙ"));
}

TEST(QtDialogsTest, SaveDialogProposesTheNameAndNeverAsksToOverwrite) {
  SaveFileRequest request;
  request.start_folder = "/tmp";
  request.file_name = "svfDummy.log";
  const auto dialog = QtDialogs::BuildSaveDialog(request, nullptr);
  EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog->labelText(QFileDialog::Accept), QStringLiteral("保存(&S)"));
  EXPECT_EQ(dialog->labelText(QFileDialog::Reject), QStringLiteral("ｷｬﾝｾﾙ"));
  EXPECT_EQ(dialog->directory().absolutePath(), QStringLiteral("/tmp"));
  ASSERT_FALSE(dialog->selectedFiles().isEmpty());
  EXPECT_EQ(QFileInfo(dialog->selectedFiles().front()).fileName(), QStringLiteral("svfDummy.log"));
}

TEST(QtDialogsTest, SavingUnderANameThatDoesNotExistIsConfirmedFirst) {
  const MessageBoxSpec box = QtDialogs::CreatePromptFor("/out/svfDummy.log");
  EXPECT_EQ(box.buttons, MessageButtons::YesNo);
  EXPECT_EQ(box.icon, BoxIcon::Question);
  EXPECT_EQ(box.title, "名前を付けて保存");
  EXPECT_EQ(box.text.rfind("/out/svfDummy.log\r\n", 0), 0u);
}

TEST(QtDialogsTest, FileNamesPassThroughAsUtf8Bytes) {
  const std::string name = "/tmp/ログ フォルダ/$(x) \"q\"";
  EXPECT_EQ(FileNameFromQt(FileNameToQt(name)), name);
}

}  // namespace
}  // namespace sorbit::ui
