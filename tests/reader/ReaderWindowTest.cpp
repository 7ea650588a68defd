// The reader window on the offscreen platform, driven as a user drives it: the samples
// converted and opened, boards and messages selected, a search, references followed, the keys,
// errors and the remembered state.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "cli/RunProgram.h"
#include "platform/posix/TruncationGuard.h"
#include "reader/ReaderWindow.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

namespace sorbit::reader {
namespace {

using archive::kNone;
using sorbit::testing::ReadFile;
using sorbit::testing::RunProgram;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

const std::vector<std::string> kSamples = {"general", "minibbs", "pc98"};

// The samples converted by tekuri2svf into `out` (svfgeneral.log, ...).
void ConvertSamples(const std::string& out) {
  std::vector<std::string> argv = {TEKURI2SVF_PATH, "-q", "-o", out + "/"};
  for (const std::string& name : kSamples) argv.push_back(SAMPLES_DIR "/" + name + ".log");
  ASSERT_EQ(RunProgram(argv).status, 0);
}

// Until the window has opened its files and finished its work.
void WaitIdle(ReaderWindow& window) {
  for (int i = 0; i < 20000 && window.Busy(); ++i) QTest::qWait(1);
  ASSERT_FALSE(window.Busy());
  QCoreApplication::processEvents();
}

// The NO and REPLY of each message of a converted file, read the plainest way: every empty
// line, "@@@MSG," line and "@@@NO,REPLY,0,TITLE" line in a row is a message.
struct PlainMessage {
  std::string no, reply;
};
std::vector<PlainMessage> ReadPlain(const std::string& path) {
  const std::string text = ReadFile(path);
  std::vector<PlainMessage> messages;
  for (std::size_t at = text.find("\r\n@@@MSG,"); at != std::string::npos;
       at = text.find("\r\n@@@MSG,", at + 1)) {
    const std::size_t numbers = text.find("\r\n", at + 2) + 2;
    if ((at > 0 && text.compare(at - 2, 2, "\r\n") != 0) || text.compare(numbers, 3, "@@@") != 0) {
      continue;
    }
    const std::size_t c1 = text.find(',', numbers), c2 = text.find(',', c1 + 1);
    messages.push_back(
        {text.substr(numbers + 3, c1 - numbers - 3), text.substr(c1 + 1, c2 - c1 - 1)});
  }
  return messages;
}

int AsNumber(const std::string& field) {
  const std::size_t first = field.find_first_not_of(' ');
  return first == std::string::npos ? -1 : std::stoi(field.substr(first));
}

class ReaderWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ConvertSamples(svf.path()); }

  // A window on the converted samples, its first board shown.
  std::unique_ptr<ReaderWindow> OpenSamples(const QString& settings = {}) {
    auto window = std::make_unique<ReaderWindow>(settings);
    window->ShowErrorHook = [this](const QString& text) { errors << text; };
    QSignalSpy ready(window.get(), &ReaderWindow::Ready);
    window->show();
    // Keys and shortcuts go to the active window only (a real X server says so).
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->OpenArguments({svf.path()});
    EXPECT_TRUE(ready.count() > 0 || ready.wait(10000));
    WaitIdle(*window);
    return window;
  }

  // The rows of the list as messages.
  static std::vector<std::uint32_t> Rows(ReaderWindow& window) {
    std::vector<std::uint32_t> rows;
    for (int r = 0; r < window.ListModel().rowCount(); ++r) {
      rows.push_back(window.ListModel().MessageAt(r));
    }
    return rows;
  }

  static void SelectBoard(ReaderWindow& window, const QString& name) {
    const QList<QTreeWidgetItem*> items = window.BoardList->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    window.BoardList->setCurrentItem(items[0]);
  }

  static std::string Title(const archive::Archive& archive, std::uint32_t message) {
    archive::MessageText text;
    archive::RawMessage raw;
    archive.ReadText(message, text, raw);
    return text.title;
  }

  // Every link of the pane, by its text.
  static std::map<QString, QUrl> Links(const ReaderWindow& window) {
    std::map<QString, QUrl> links;
    for (QTextBlock block = window.MessagePane->document()->begin(); block.isValid();
         block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (it.fragment().charFormat().isAnchor()) {
          links[it.fragment().text()] = QUrl(it.fragment().charFormat().anchorHref());
        }
      }
    }
    return links;
  }

  TempDir svf;
  QStringList errors;
};

// Every message of every sample appears once, under the message its reply number names: the
// tree the list draws (rows in thread order, each with its depth) against the reply numbers
// read from the converted files. The logs opened as they are read as their conversions.
TEST_F(ReaderWindowTest, TheConvertedSamplesListEveryMessageOnceInItsThread) {
  auto window = OpenSamples();
  ASSERT_EQ(window->BoardList->topLevelItemCount(), 3);
  EXPECT_TRUE(errors.isEmpty());
  std::map<std::string, std::vector<std::string>> listed_numbers;  // board -> NOs, as listed
  int replies = 0;
  for (const std::string& name : kSamples) {
    SelectBoard(*window, QString::fromStdString(name));
    const archive::Archive& archive = *window->ShownArchive();
    const std::vector<PlainMessage> plain = ReadPlain(svf / ("svf" + name + ".log"));
    ASSERT_EQ(archive.MessageCount(), plain.size());
    EXPECT_EQ(window->windowTitle().toStdString(),
              "svf" + name + ".log — " + std::to_string(plain.size()) + " 件 — sorbit-reader");
    const std::vector<std::uint32_t> rows = Rows(*window);
    EXPECT_EQ(std::set<std::uint32_t>(rows.begin(), rows.end()).size(), plain.size());
    ASSERT_EQ(rows.size(), plain.size());
    std::vector<std::uint32_t> ancestors;  // the path to the row before
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      const int depth = window->ListModel()
                            .index(r, MessageListModel::kTitle)
                            .data(MessageListModel::kDepthRole)
                            .toInt();
      ASSERT_LE(depth, static_cast<int>(ancestors.size()));
      ancestors.resize(static_cast<std::size_t>(depth));
      const std::uint32_t m = rows[static_cast<std::size_t>(r)];
      // The latest earlier message of the board with the reply's number, as numbers.
      int want = -1;
      for (int p = static_cast<int>(m) - 1; !plain[m].reply.empty() && p >= 0; --p) {
        if (AsNumber(plain[p].no) == AsNumber(plain[m].reply)) {
          want = p;
          break;
        }
      }
      EXPECT_EQ(depth == 0 ? -1 : static_cast<int>(ancestors.back()), want)
          << name << " NO " << plain[m].no;
      replies += want >= 0;
      ancestors.push_back(m);
      listed_numbers[name].push_back(plain[m].no);
    }
  }
  EXPECT_GT(replies, 5);

  // The tekuri logs themselves: the same boards, messages and trees.
  ReaderWindow logs{QString()};
  logs.OpenArguments(
      {SAMPLES_DIR "/general.log", SAMPLES_DIR "/minibbs.log", SAMPLES_DIR "/pc98.log"});
  WaitIdle(logs);
  for (const std::string& name : kSamples) {
    SelectBoard(logs, QString::fromStdString(name));
    archive::RawMessage raw;
    std::vector<std::string> numbers;
    for (std::uint32_t m : Rows(logs)) {
      logs.ShownArchive()->ReadRaw(m, raw);
      numbers.emplace_back(raw.number.no);
    }
    EXPECT_EQ(numbers, listed_numbers[name]) << name;
  }
}

TEST_F(ReaderWindowTest, SelectsSearchesHighlightsAndFollowsReferences) {
  auto window = OpenSamples();
  SelectBoard(*window, QStringLiteral("general"));
  const archive::Archive& archive = *window->ShownArchive();
  // The reply "Re: 4 ..." (NO 5): its reference and its parent link both lead to NO 4.
  int reply_row = -1;
  for (int r = 0; r < window->ListModel().rowCount(); ++r) {
    if (Title(archive, window->ListModel().MessageAt(r)).rfind("Re: 4 ", 0) == 0) reply_row = r;
  }
  ASSERT_GE(reply_row, 0);
  window->MessageList->setCurrentIndex(window->ListModel().index(reply_row, 1));
  const std::uint32_t reply = window->ShownMessage();
  EXPECT_TRUE(
      window->MessagePane->toPlainText().contains(QString::fromStdString(Title(archive, reply))));
  const std::map<QString, QUrl> links = Links(*window);
  ASSERT_EQ(links.count(QStringLiteral("Re: 4")), 1u);
  ASSERT_TRUE(window->FollowLink(links.at(QStringLiteral("Re: 4"))));
  const std::uint32_t original = window->ShownMessage();
  EXPECT_EQ(archive.Message(reply).Parent(), original);
  EXPECT_EQ(window->ListModel().MessageAt(window->MessageList->currentIndex().row()), original);
  // The original links back to its reply; Back returns.
  const std::map<QString, QUrl> back_links = Links(*window);
  ASSERT_EQ(back_links.count(QStringLiteral("No. 5")), 1u);
  window->GoBack();
  EXPECT_EQ(window->ShownMessage(), reply);
  ASSERT_TRUE(window->FollowLink(back_links.at(QStringLiteral("No. 5"))));
  EXPECT_EQ(window->ShownMessage(), reply);
  EXPECT_FALSE(window->FollowLink(QUrl(QStringLiteral("sorbit-reference:999"))));
  // Back returns to the file where the link was followed, from another file's board.
  ASSERT_TRUE(window->FollowLink(links.at(QStringLiteral("Re: 4"))));
  SelectBoard(*window, QStringLiteral("pc98"));
  window->GoBack();
  EXPECT_EQ(window->ShownArchive(), &archive);
  EXPECT_EQ(window->ShownMessage(), reply);
  EXPECT_EQ(window->BoardList->currentItem()->text(0), QStringLiteral("general"));

  // A search over every board: the list keeps this board's hits, each board counts its own,
  // and the hits are exactly the messages whose title, handle or body holds the text.
  window->findChild<QAction*>(QStringLiteral("FindAct"))->trigger();
  EXPECT_TRUE(window->SearchBar->isVisible());
  window->PatternEdt->setText(QStringLiteral("BBS"));
  window->ScopeCmbBox->setCurrentIndex(1);
  QSignalSpy finished(window.get(), &ReaderWindow::SearchFinished);
  QTest::keyClick(window->PatternEdt, Qt::Key_Return);
  ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
  std::size_t total = 0;
  for (int i = 0; i < window->BoardList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = window->BoardList->topLevelItem(i);
    SelectBoard(*window, item->text(0));
    const archive::Archive& shown = *window->ShownArchive();
    std::vector<std::uint32_t> want;
    archive::MessageText text;
    archive::RawMessage raw;
    for (std::uint32_t m = 0; m < shown.MessageCount(); ++m) {
      shown.ReadText(m, text, raw);
      if ((text.title + "\n" + text.handle + "\n" + text.body).find("BBS") != std::string::npos) {
        want.push_back(m);
      }
    }
    std::vector<std::uint32_t> got = Rows(*window);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want) << item->text(0).toStdString();
    EXPECT_EQ(item->text(3), QString::number(want.size()));
    total += want.size();
  }
  EXPECT_EQ(window->HitCountLabel->text().section(QLatin1Char(' '), 0, 0), QString::number(total));

  // F3 steps through the highlighted matches of a message, then on to the next hit.
  SelectBoard(*window, QStringLiteral("general"));
  window->MessageList->setCurrentIndex(window->ListModel().index(0, 1));
  const std::uint32_t first = window->ShownMessage();
  std::set<QString> marked;
  int steps = 0;
  while (window->ShownMessage() == first && steps++ < 50) {
    window->FindNext();
    const QTextCursor cursor = window->MessagePane->extraSelections().value(0).cursor;
    if (window->ShownMessage() == first) marked.insert(cursor.selectedText());
  }
  EXPECT_EQ(marked, std::set<QString>{QStringLiteral("BBS")});
  EXPECT_EQ(window->MessageList->currentIndex().row(), 1);
  window->FindPrevious();
  EXPECT_EQ(window->ShownMessage(), first);

  // Esc ends the search: every message is listed again.
  QTest::keyClick(window->PatternEdt, Qt::Key_Escape);
  EXPECT_FALSE(window->SearchBar->isVisible());
  EXPECT_EQ(static_cast<std::size_t>(window->ListModel().rowCount()), archive.MessageCount());
  EXPECT_EQ(window->ShownMessage(), first);
}

TEST_F(ReaderWindowTest, KeysMoveThroughTheListAndThePane) {
  auto window = OpenSamples();
  SelectBoard(*window, QStringLiteral("general"));
  window->MessageList->setFocus();
  window->MessageList->setCurrentIndex(window->ListModel().index(0, 1));
  QTest::keyClick(window->MessageList, Qt::Key_N);
  QTest::keyClick(window->MessageList, Qt::Key_N);
  EXPECT_EQ(window->MessageList->currentIndex().row(), 2);
  QTest::keyClick(window->MessageList, Qt::Key_P);
  EXPECT_EQ(window->MessageList->currentIndex().row(), 1);
  EXPECT_EQ(window->ShownMessage(), window->ListModel().MessageAt(1));
  // Space pages through a message too long for the pane, then goes on to the next.
  window->MessagePane->setFixedHeight(80);
  QCoreApplication::processEvents();
  QScrollBar* bar = window->MessagePane->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  int pages = 0;
  while (window->MessageList->currentIndex().row() == 1 && pages++ < 100) {
    QTest::keyClick(window->MessagePane, Qt::Key_Space);
  }
  EXPECT_GT(pages, 1);
  EXPECT_EQ(window->MessageList->currentIndex().row(), 2);
  EXPECT_EQ(bar->value(), 0);
  // Enter on the list gives the pane the keys; Esc gives them back.
  window->MessageList->setFocus();
  QTest::keyClick(window->MessageList, Qt::Key_Return);
  EXPECT_TRUE(window->MessagePane->hasFocus());
  QTest::keyClick(window->MessagePane, Qt::Key_Escape);
  EXPECT_TRUE(window->MessageList->hasFocus());
  // Typing in the search bar stays text.
  window->findChild<QAction*>(QStringLiteral("FindAct"))->trigger();
  QTest::keyClicks(window->PatternEdt, QStringLiteral("n p"));
  EXPECT_EQ(window->PatternEdt->text(), QStringLiteral("n p"));
  EXPECT_EQ(window->MessageList->currentIndex().row(), 2);
}

TEST_F(ReaderWindowTest, FilesThatCannotBeOpenedAreNamedWithTheirReasons) {
  TempDir empty;
  ReaderWindow window{QString()};
  window.ShowErrorHook = [this](const QString& text) { errors << text; };
  window.OpenArguments(
      {svf / "missing.log", empty.path(), svf / "nothing*.log", svf / "svfpc98.log"});
  WaitIdle(window);
  ASSERT_EQ(errors.size(), 1);
  for (const auto& [path, reason] :
       {std::pair{svf / "missing.log", "ファイルまたはフォルダがありません"},
        {empty.path(), "名前が .log で終わるファイルがありません"},
        {svf / "nothing*.log", "一致するファイルがありません"}}) {
    EXPECT_TRUE(errors[0].contains(QString::fromStdString(path + ": " + reason))) << path;
  }
  EXPECT_EQ(window.BoardList->topLevelItemCount(), 1);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("svfpc98.log — 11 件 — sorbit-reader"));
}

// The index is built in steps with the event loop served in between, and the window
// remembers its size, view and files in its INI file.
TEST_F(ReaderWindowTest, IndexesInStepsAndRemembersItsStateAndFiles) {
  // Big enough for several steps: the samples' messages repeated.
  const std::string one = ReadFile(svf / "svfgeneral.log");
  std::string big;
  while (big.size() < 3 * archive::Archive::kDefaultStepBytes) big += one;
  WriteFile(svf / "svfbig.log", big);
  TempDir config;
  const QString ini = QString::fromStdString(config / "sorbit/reader.ini");
  {
    ReaderWindow window(ini);
    window.show();
    bool busy_between_steps = false;
    QTimer::singleShot(0, &window, [&] { busy_between_steps = window.Busy(); });
    window.OpenFiles({svf / "svfbig.log", svf / "svfpc98.log"});
    WaitIdle(window);
    EXPECT_TRUE(busy_between_steps);
    window.resize(777, 555);
    window.FlatViewAct->trigger();
    window.close();
  }
  ReaderWindow again(ini);
  again.OpenLastFiles();
  WaitIdle(again);
  EXPECT_EQ(again.size(), QSize(777, 555));
  EXPECT_TRUE(again.FlatViewAct->isChecked());
  ASSERT_EQ(again.BoardList->topLevelItemCount(), 2);
  EXPECT_EQ(again.BoardList->topLevelItem(1)->toolTip(0).toStdString(), svf / "svfpc98.log");
}

// Another program cuts a file short while the reader has it open: the messages that were in
// the lost part read as empty instead of ending the reader, the window says which file it was,
// once, and F5 reads the file again as it now is.
TEST_F(ReaderWindowTest, AFileCutShortWhileOpenIsToldOfOnceAndReopened) {
  platform::InstallTruncationGuard();
  const std::string one = ReadFile(svf / "svfgeneral.log");
  std::string big;
  while (big.size() < 64 * 1024) big += one;
  const std::string path = svf / "svfcut.log";
  WriteFile(path, big);
  auto window = std::make_unique<ReaderWindow>(QString());
  window->ShowErrorHook = [this](const QString& text) { errors << text; };
  window->show();
  window->OpenFiles({path});
  WaitIdle(*window);
  const std::uint32_t last = window->ShownArchive()->MessageCount() - 1;
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(one.size())), 0);
  window->MessageList->setCurrentIndex(
      window->ListModel().index(window->ListModel().RowOf(last), 1));
  EXPECT_EQ(window->ShownMessage(), last);
  EXPECT_TRUE(window->ShownArchive()->FileTruncated());
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains(QString::fromStdString(path)));
  window->MessageList->setCurrentIndex(
      window->ListModel().index(window->ListModel().RowOf(last - 1), 1));
  EXPECT_EQ(errors.size(), 1);
  window->findChild<QAction*>(QStringLiteral("ReopenAct"))->trigger();
  WaitIdle(*window);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("svfcut.log — 16 件 — sorbit-reader"));
  EXPECT_FALSE(window->ShownArchive()->FileTruncated());
}

}  // namespace
}  // namespace sorbit::reader
