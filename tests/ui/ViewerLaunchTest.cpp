// The left button on the picture starts the viewer: stand-in programs record the arguments
// they were started with.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "ScriptedDialogs.h"
#include "convert/TestSupport.h"
#include "ui/Main/Main.h"

namespace {

using sorbit::testing::ReadFile;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;
using sorbit::ui::testing::ScriptedDialogs;

// A program that writes each of its arguments, in brackets, one a line, to <itself>.args.
constexpr char kRecorder[] =
    "#!/bin/sh\n"
    "out=\"$0.args\"\n"
    ": > \"$out.tmp\"\n"
    "for a in \"$@\"; do printf '[%s]\\n' \"$a\" >> \"$out.tmp\"; done\n"
    "/bin/mv \"$out.tmp\" \"$out\"\n";

class ViewerLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.Path("bin"));
    MakeRecorder(dir.Path("bin/wine"));
    saved_path_ = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(dir.Path("bin")) + ":" + saved_path_);
  }
  void TearDown() override { qputenv("PATH", saved_path_); }

  static void MakeRecorder(const std::string& path) {
    WriteFile(path, kRecorder);
    ::chmod(path.c_str(), 0755);
  }
  // The arguments a recorder was started with; waits for the started program to finish.
  static std::optional<std::string> ArgumentsOf(const std::string& program) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
      if (std::filesystem::exists(program + ".args")) return ReadFile(program + ".args");
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
  }

  // A Windows program at a Linux path must exist for wine to be asked to run it.
  static std::string WindowsProgram(const std::string& path) {
    WriteFile(path, "MZ");
    return path;
  }
  std::unique_ptr<TMainForm> OpenWithViewer(const std::string& tool) {
    WriteFile(dir.Path("sorbit.ini"), "[Tool]\nPath=" + tool + "\n");
    auto form =
        std::make_unique<TMainForm>(std::vector<std::string>{}, dir.Path("sorbit"), dialogs);
    form->show();
    return form;
  }

  TempDir dir;
  ScriptedDialogs dialogs;

 private:
  QByteArray saved_path_;
};

// "/a/b" in Wine's form, as the stand-in wine receives it.
std::string Wine(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

TEST_F(ViewerLaunchTest, ShowpcGetsTheOutputPatternInAnyLetterCase) {
  for (const char* name : {"SHOWPC.EXE", "showpc.exe", "ShowPc.Exe"}) {
    SCOPED_TRACE(name);
    const std::string tool = WindowsProgram(dir.Path(name));
    auto form = OpenWithViewer(tool);
    EXPECT_EQ(
        form->Image1->toolTip(),
        QString::fromUtf8("ここをクリックすると ") + QString::fromUtf8(name) +
            QStringLiteral(" が起動します。\nまた、右クリックでバージョン情報を表示します。"));
    form->SaveDirEdt->setText(QStringLiteral("/data/out"));
    form->PrefixEdt->setText(QStringLiteral("svf"));
    form->ExtEdt->setText(QStringLiteral(".log"));
    std::filesystem::remove(dir.Path("bin/wine.args"));
    QTest::mouseClick(form->Image1, Qt::LeftButton);
    const auto arguments = ArgumentsOf(dir.Path("bin/wine"));
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments, "[" + tool + "]\n[ " + Wine("/data/out") + "\\svf*.log]\n");
    EXPECT_TRUE(dialogs.boxes.empty());
  }
}

TEST_F(ViewerLaunchTest, AFolderEndingInASeparatorGivesItTwiceAndAnEmptyPrefixNone) {
  const std::string tool = WindowsProgram(dir.Path("SHOWPC.EXE"));
  auto form = OpenWithViewer(tool);
  form->SaveDirEdt->setText(QStringLiteral("/data/out/"));
  form->PrefixEdt->clear();
  form->ExtEdt->setText(QStringLiteral(".txt"));
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  const auto arguments = ArgumentsOf(dir.Path("bin/wine"));
  ASSERT_TRUE(arguments.has_value());
  EXPECT_EQ(*arguments, "[" + tool + "]\n[ Z:\\data\\out\\\\*.txt]\n");
}

TEST_F(ViewerLaunchTest, NoShellReadsTheFolderText) {
  const std::string tool = WindowsProgram(dir.Path("SHOWPC.EXE"));
  auto form = OpenWithViewer(tool);
  const std::string folder =
      dir.Path("a b") + "/$(touch " + dir.Path("pwned") + ") 'q' \"d\" `x`;|&";
  form->SaveDirEdt->setText(QString::fromStdString(folder));
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  const auto arguments = ArgumentsOf(dir.Path("bin/wine"));
  ASSERT_TRUE(arguments.has_value());
  EXPECT_EQ(*arguments, "[" + tool + "]\n[ " + Wine(folder) + "\\svf*.log]\n");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("pwned")));
}

TEST_F(ViewerLaunchTest, AnyOtherViewerIsStartedWithoutParameters) {
  const std::string tool = dir.Path("viewer");
  MakeRecorder(tool);
  auto form = OpenWithViewer(tool);
  form->SaveDirEdt->setText(QStringLiteral("/data/out"));
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  const auto arguments = ArgumentsOf(tool);
  ASSERT_TRUE(arguments.has_value());
  EXPECT_EQ(*arguments, "");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ViewerLaunchTest, AMissingProgramGivesTheFailureMessage) {
  const std::string tool = dir.Path("no-such-viewer");
  auto form = OpenWithViewer(tool);
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, "tekuri Log to SVF Converter");
  EXPECT_EQ(dialogs.boxes[0].icon, sorbit::ui::BoxIcon::None);
  EXPECT_EQ(dialogs.boxes[0].text, tool + " を起動できませんでした");
}

TEST_F(ViewerLaunchTest, AWindowsViewerWithoutWineGivesTheFailureMessage) {
  std::filesystem::remove(dir.Path("bin/wine"));
  const QByteArray saved = qgetenv("PATH");
  qputenv("PATH", QByteArray::fromStdString(dir.Path("bin")));
  const std::string tool = "C:\\SHOWPC\\SHOWPC.EXE";
  auto form = OpenWithViewer(tool);
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  qputenv("PATH", saved);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, tool + " を起動できませんでした");
}

TEST_F(ViewerLaunchTest, AWindowsPathFromTheRegistryIsRecognisedAsShowpc) {
  const std::string tool = "C:\\Program Files\\SHOWPC\\showpc.exe";
  auto form = OpenWithViewer(tool);
  form->SaveDirEdt->setText(QStringLiteral("/o"));
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  const auto arguments = ArgumentsOf(dir.Path("bin/wine"));
  ASSERT_TRUE(arguments.has_value());
  EXPECT_EQ(*arguments, "[" + tool + "]\n[ Z:\\o\\svf*.log]\n");
}

// ---- Without a viewer: the reader ----------------------------------------------------------

TEST_F(ViewerLaunchTest, WithoutAViewerTheReaderBesideTheProgramOpensTheOutputFiles) {
  MakeRecorder(dir.Path("sorbit-reader"));
  auto form = std::make_unique<TMainForm>(std::vector<std::string>{}, dir.Path("sorbit"), dialogs);
  form->show();
  EXPECT_EQ(form->ToolPath, "");
  EXPECT_EQ(form->Image1->toolTip(),
            QStringLiteral("ここをクリックすると sorbit-reader が起動します。\n"
                           "また、右クリックでバージョン情報を表示します。"));
  const struct {
    const char* folder;
    const char* prefix;
    const char* pattern;
  } cases[] = {{"/data/out", "svf", "/data/out/svf*.log"},
               {"/data/out/", "svf", "/data/out/svf*.log"},
               {"/data/出力 a", "", "/data/出力 a/*.log"},
               {"", "svf", "svf*.log"}};
  for (const auto& c : cases) {
    form->SaveDirEdt->setText(QString::fromUtf8(c.folder));
    form->PrefixEdt->setText(QString::fromUtf8(c.prefix));
    std::filesystem::remove(dir.Path("sorbit-reader.args"));
    QTest::mouseClick(form->Image1, Qt::LeftButton);
    const auto arguments = ArgumentsOf(dir.Path("sorbit-reader"));
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments, std::string("[") + c.pattern + "]\n");
  }
  EXPECT_TRUE(dialogs.boxes.empty());
  // The reader is never written into the settings: a viewer found later still wins.
  form->FormClose();
  EXPECT_NE(ReadFile(dir.Path("sorbit.ini")).find("Path=\n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.Path("sorbit.ini")).find("sorbit-reader"), std::string::npos);
}

TEST_F(ViewerLaunchTest, WithoutAViewerTheReaderOnPathIsStartedAndAFailureIsReported) {
  std::filesystem::create_directory(dir.Path("app"));
  MakeRecorder(dir.Path("bin/sorbit-reader"));
  auto form =
      std::make_unique<TMainForm>(std::vector<std::string>{}, dir.Path("app/sorbit"), dialogs);
  form->SaveDirEdt->setText(QStringLiteral("/o"));
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  const auto arguments = ArgumentsOf(dir.Path("bin/sorbit-reader"));
  ASSERT_TRUE(arguments.has_value());
  EXPECT_EQ(*arguments, "[/o/svf*.log]\n");
  // Gone since the window was made: the launch fails with the viewer's message.
  std::filesystem::remove(dir.Path("bin/sorbit-reader"));
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, dir.Path("bin/sorbit-reader") + " を起動できませんでした");
}

TEST_F(ViewerLaunchTest, ANamedViewerWinsOverTheReader) {
  MakeRecorder(dir.Path("sorbit-reader"));
  const std::string tool = dir.Path("viewer");
  MakeRecorder(tool);
  auto form = OpenWithViewer(tool);
  EXPECT_EQ(form->ReaderPath, "");
  QTest::mouseClick(form->Image1, Qt::LeftButton);
  ASSERT_TRUE(ArgumentsOf(tool).has_value());
  EXPECT_FALSE(std::filesystem::exists(dir.Path("sorbit-reader.args")));
}

}  // namespace
