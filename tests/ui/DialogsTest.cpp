#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "ScriptedDialogs.h"
#include "convert/TestSupport.h"
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

// Runs `answer` on the modal box or dialog once it is up.
void WhenModalIsUp(std::function<void(QWidget*)> answer) {
  QTimer::singleShot(0, [answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      WhenModalIsUp(answer);  // not up yet
      return;
    }
    answer(modal);
  });
}

void ClickButton(QWidget* box, const QString& text) {
  for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
    if (button->text() == text) return button->click();
  ADD_FAILURE() << "no button " << text.toStdString();
}

TEST(QtDialogsTest, ABoxAnswersWithTheButtonPressed) {
  QtDialogs dialogs;
  const MessageBoxSpec question =
      BoxFor(MessageKind::Confirmation, MessageButtons::YesNo, "q", kApp);
  WhenModalIsUp([](QWidget* box) { ClickButton(box, QStringLiteral("はい(&Y)")); });
  EXPECT_EQ(dialogs.Show(question), MessageAnswer::Yes);
  WhenModalIsUp([](QWidget* box) { ClickButton(box, QStringLiteral("いいえ(&N)")); });
  EXPECT_EQ(dialogs.Show(question), MessageAnswer::No);
  WhenModalIsUp([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(dialogs.Show(question), MessageAnswer::No);
  WhenModalIsUp([](QWidget* box) { ClickButton(box, QStringLiteral("OK")); });
  EXPECT_EQ(dialogs.Show(BoxFor(MessageKind::Plain, MessageButtons::Ok, "x", kApp)),
            MessageAnswer::Ok);
}

TEST(QtDialogsTest, TheOpenDialogReturnsFullPathsOfTheChosenFiles) {
  sorbit::testing::TempDir dir;
  sorbit::testing::WriteFile(dir.Path("a.log"), "x");
  sorbit::testing::WriteFile(dir.Path("b.log"), "y");
  QtDialogs dialogs;
  OpenFilesRequest request;
  request.start_folder = dir.Folder();
  request.filters = {{"tekuri ログファイル", "*.log"}};
  WhenModalIsUp([](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(QStringLiteral("\"a.log\" \"b.log\""));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  const OpenFilesResult chosen = dialogs.OpenFiles(request);
  EXPECT_TRUE(chosen.accepted);
  std::vector<std::string> paths = chosen.paths;
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{dir.Path("a.log"), dir.Path("b.log")}));

  WhenModalIsUp([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  const OpenFilesResult cancelled = dialogs.OpenFiles(request);
  EXPECT_FALSE(cancelled.accepted);
  EXPECT_TRUE(cancelled.paths.empty());
  EXPECT_EQ(cancelled.error_code, 0);
}

TEST(QtDialogsTest, TheSaveDialogAsksBeforeANewNameAndGoesBackOnNo) {
  sorbit::testing::TempDir dir;
  QtDialogs dialogs;
  SaveFileRequest request;
  request.start_folder = dir.Folder();
  request.file_name = "svfDummy.log";
  int prompts = 0;
  // Accept the proposed name; answer the question No, then accept again and answer Yes.
  std::function<void(QWidget*)> step = [&](QWidget* modal) {
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      QMetaObject::invokeMethod(dialog, "accept");
    } else {
      ++prompts;
      ClickButton(modal, prompts == 1 ? QStringLiteral("いいえ(&N)") : QStringLiteral("はい(&Y)"));
    }
    if (prompts < 2) WhenModalIsUp(step);
  };
  WhenModalIsUp(step);
  const SaveFileResult saved = dialogs.SaveFile(request);
  EXPECT_EQ(prompts, 2);
  EXPECT_TRUE(saved.accepted);
  EXPECT_EQ(saved.path, dir.Path("svfDummy.log"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("svfDummy.log")));
}

TEST(QtDialogsTest, FileNamesPassThroughAsUtf8Bytes) {
  const std::string name = "/tmp/ログ フォルダ/$(x) \"q\"";
  EXPECT_EQ(FileNameFromQt(FileNameToQt(name)), name);
}

}  // namespace
}  // namespace sorbit::ui
