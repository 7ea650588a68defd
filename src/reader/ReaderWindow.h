// The reader window: SVF files and tekuri logs read as boards, threads and messages.
//
// Left, the boards of every open file (name, message count, date range, and the hits of a
// search); right, the message list of the board shown (reader/MessageListModel.h: thread order,
// or flat and sorted by a column) above the message pane (reader/MessageDocument.h). A search
// bar (Ctrl+F) searches one board or all with a pattern of the pattern library; the list then
// keeps the hits, and the pane highlights the matches, which F3 and Shift+F3 step through.
//
// Work that grows with the files, building an index and searching, runs in steps of a few
// milliseconds on the one UI thread, from a zero-interval timer, so the event loop serves the
// window between steps; once the work has taken about 100 ms the status bar shows its
// progress. The title bar names the file shown and, once it is indexed, its message count
// ("svfgeneral.log — 1,234 件 — sorbit-reader").
//
// The layout is ReaderWindow.ui; the behaviour is here, a handler a control and event. The
// window's size, splitters, columns, view options and the files last opened are kept in an
// INI file (QSettings) given to the constructor.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/Archive.h"
#include "archive/Search.h"
#include "reader/MessageDocument.h"
#include "reader/MessageListModel.h"

namespace Ui {
class ReaderWindow;
}
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSplitter;
class QTableView;
class QTextBrowser;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace sorbit::reader {

class ReaderWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `settings_path`: the INI file that keeps the window's state; empty keeps nothing.
  explicit ReaderWindow(QString settings_path, QWidget* parent = nullptr);
  ~ReaderWindow() override;

  // Opens the files that the command line's arguments name (reader/Arguments.h), after the
  // files open already; the ones that cannot be opened are reported in one box.
  void OpenArguments(const std::vector<std::string>& arguments);
  // Opens files by path, skipping those open already.
  void OpenFiles(const std::vector<std::string>& paths);
  // Opens the files open when the window was last closed that are still there.
  void OpenLastFiles();
  // Closes every file and opens it again, as it is now (F5).
  void ReopenFiles();

  // Whether indexing or a search still has steps to run.
  bool Busy() const;

  // The bar's pattern, switch and choices as they stand: searches (and shows the bar).
  void StartSearch();
  // Ends the search: the list shows every message again, nothing is highlighted.
  void EndSearch();
  // The next or previous match: in the pane, then in the next message with a hit, then on
  // the next board with hits.
  void FindNext();
  void FindPrevious();

  // Moves in the list; the pane shows the message.
  void NextMessage();
  void PreviousMessage();
  // Space: pages down the pane, and at its end goes to the next message.
  void PageOrNext();
  // Follows a link of the pane (a reply, the parent, a "Re: N" reference); false when it
  // leads nowhere (the status bar says why).
  bool FollowLink(const QUrl& link);
  // Back to the message shown before the last link followed.
  void GoBack();

  // The file and message the pane shows; kNone when none.
  const archive::Archive* ShownArchive() const;
  std::uint32_t ShownMessage() const { return shown_message_; }
  // The messages with a hit in the last finished search, of the file with that archive.
  const std::vector<std::uint32_t>* HitsOf(const archive::Archive* archive) const;
  MessageListModel& ListModel() { return model_; }

  // Where the window's error messages go; by default a warning box. Tests take them here.
  std::function<void(const QString& text)> ShowErrorHook;

  // Controls (owned by the window, laid out by ReaderWindow.ui).
  QSplitter* MainSplitter = nullptr;
  QSplitter* RightSplitter = nullptr;
  QTreeWidget* BoardList = nullptr;
  QTableView* MessageList = nullptr;
  QTextBrowser* MessagePane = nullptr;
  QWidget* SearchBar = nullptr;
  QLineEdit* PatternEdt = nullptr;
  QCheckBox* FuzzyChkBox = nullptr;
  QComboBox* FieldCmbBox = nullptr;
  QComboBox* ScopeCmbBox = nullptr;
  QCheckBox* FilterChkBox = nullptr;
  QLabel* HitCountLabel = nullptr;
  QToolButton* PrevHitBtn = nullptr;
  QToolButton* NextHitBtn = nullptr;
  QToolButton* CloseSearchBtn = nullptr;
  QAction* ThreadViewAct = nullptr;
  QAction* FlatViewAct = nullptr;
  QAction* MonospaceAct = nullptr;

 signals:
  // Once: the first board's list is filled and its first message shown, or the window has
  // nothing to show once its files are opened.
  void Ready();
  // After every search, when its hits are listed (or it failed or was stopped).
  void SearchFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct OpenFile;
  struct SearchRun;

  // Handlers.
  void OpenActTriggered();
  void OpenFolderActTriggered();
  void ViewActTriggered(bool threaded);
  void MonospaceActToggled(bool on);
  void BoardListCurrentChanged(QTreeWidgetItem* item);
  void MessageListCurrentChanged(const QModelIndex& current);
  void MessageListHeaderClicked(int column);
  void MessagePaneAnchorClicked(const QUrl& link);
  void FilterChkBoxToggled(bool on);
  void EscapePressed();
  void AboutActTriggered();

  // Work in steps.
  void WorkStep();
  void StartWork();
  void UpdateProgress();
  void FileIndexed(std::size_t file);
  void SearchStep();
  void SearchDone();

  void ShowBoard(std::size_t file, std::uint32_t board);
  void ShowMessage(std::uint32_t message);
  // Shows `message` of the file shown, selecting its row; the board changes when it is
  // another's; a filter that hides it is switched off.
  void GoToMessage(std::uint32_t message, bool remember);
  void SelectRow(int row);
  void ApplyFilter();
  void UpdateTitle();
  void AnnounceReady();
  void UpdateHitCounts();
  void MarkMatch(int match);
  bool StepToHit(bool forward);
  void ReportErrors(const QStringList& lines);
  // Tells once of each file that another program cut short while it was read.
  void TellTruncatedFiles();
  void LoadSettings();
  void SaveSettings();

  std::unique_ptr<Ui::ReaderWindow> ui_;
  QString settings_path_;
  MessageListModel model_;
  std::vector<std::unique_ptr<OpenFile>> files_;
  std::size_t next_to_index_ = 0;  // the files before it are indexed

  std::size_t shown_file_ = SIZE_MAX;
  std::uint32_t shown_board_ = archive::kNone;
  std::uint32_t shown_message_ = archive::kNone;
  std::vector<DocumentSpan> match_spans_;  // the matches in the pane
  int current_match_ = -1;
  // The files and messages shown before links were followed.
  std::vector<std::pair<std::size_t, std::uint32_t>> back_;
  std::unique_ptr<SearchRun> search_;
  std::string last_folder_;  // the file dialogs start here

  QTimer work_timer_;
  QElapsedTimer work_clock_;
  QLabel* progress_label_ = nullptr;
  QProgressBar* progress_bar_ = nullptr;
  bool ready_ = false;
};

}  // namespace sorbit::reader
