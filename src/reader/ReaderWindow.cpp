// The reader window's behaviour: opening files, indexing and searching in steps, the board
// list, the message list and pane, links, keys and the remembered state.
#include "reader/ReaderWindow.h"

#include <sys/stat.h>

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "convert/Paths.h"
#include "platform/services/ProgramFile.h"
#include "reader/Arguments.h"
#include "reader/ErrorText.h"
#include "text/Cp932.h"
#include "ui_ReaderWindow.h"

namespace sorbit::reader {

namespace {

using archive::kNone;

constexpr int kFileRole = Qt::UserRole + 1;   // board list: the file's place in files_
constexpr int kBoardRole = Qt::UserRole + 2;  // board list: the board, or kNone (no messages)
constexpr int kHitsColumn = 3;
// Work that has run this long shows its progress.
constexpr qint64 kProgressAfterMs = 100;

QString FormatCount(std::uint64_t count) {
  std::string digits = std::to_string(count);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return QString::fromStdString(digits);
}

QString FieldText(std::string_view cp932) {
  std::string utf8;
  archive::AppendFieldAsUtf8(cp932, utf8);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString DateText(const archive::Archive& archive, std::uint32_t message) {
  const std::optional<archive::CalendarDate> date =
      archive::DateOfKey(archive.Message(message).When());
  if (!date) return {};
  return QString::asprintf("%04d/%02d/%02d", date->year, date->month, date->day);
}

std::string AbsolutePath(const std::string& path) {
  if (path.starts_with('/')) return path;
  return QFile::encodeName(QDir::currentPath()).toStdString() + "/" + path;
}

// The Title column in thread order: each reply indented by its depth, so that the list reads
// as the thread's tree; a deep chain stops growing at kMaxIndent.
class ThreadDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const int depth = index.data(MessageListModel::kDepthRole).toInt();
    if (depth <= 0) return;
    constexpr int kMaxIndent = 16;
    option->text = QString(std::min(depth, kMaxIndent) - 1, QChar(0x3000)) +
                   (depth > kMaxIndent ? QStringLiteral("…└ ") : QStringLiteral("└ ")) +
                   option->text;
  }
};

}  // namespace

struct ReaderWindow::OpenFile {
  std::string path;
  std::unique_ptr<archive::Archive> archive;
  dev_t device = 0;  // the file's identity, so that it is opened once
  ino_t inode = 0;
  bool truncation_told = false;
};

struct ReaderWindow::SearchRun {
  SearchRun(SjisRegExp::TCompiledRegExp compiled, std::uint8_t search_fields)
      : pattern(std::move(compiled)), fields(search_fields) {}
  SjisRegExp::TCompiledRegExp pattern;
  std::uint8_t fields;
  // One board (`file`, `board`) or, with board kNone, every board of every file.
  std::size_t file = SIZE_MAX;
  std::uint32_t board = kNone;
  std::size_t next_file = 0;
  std::unique_ptr<archive::ArchiveSearch> running;
  std::vector<std::vector<std::uint32_t>> hits;  // by file
  bool done = false;

  bool AllBoards() const { return board == kNone; }
  bool Covers(std::size_t f) const { return AllBoards() || f == file; }
  bool Covers(std::size_t f, std::uint32_t b) const {
    return AllBoards() || (f == file && b == board);
  }
  // The hits of board `b` of file `f` once the search is done, or null when it did not search
  // there (also a file opened after it).
  const std::vector<std::uint32_t>* HitsIn(std::size_t f, std::uint32_t b) const {
    return done && b != kNone && Covers(f, b) && f < hits.size() ? &hits[f] : nullptr;
  }
};

ReaderWindow::ReaderWindow(QString settings_path, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::ReaderWindow>()),
      settings_path_(std::move(settings_path)) {
  ui_->setupUi(this);
  MainSplitter = ui_->MainSplitter;
  RightSplitter = ui_->RightSplitter;
  BoardList = ui_->BoardList;
  MessageList = ui_->MessageList;
  MessagePane = ui_->MessagePane;
  SearchBar = ui_->SearchBar;
  PatternEdt = ui_->PatternEdt;
  FuzzyChkBox = ui_->FuzzyChkBox;
  FieldCmbBox = ui_->FieldCmbBox;
  ScopeCmbBox = ui_->ScopeCmbBox;
  FilterChkBox = ui_->FilterChkBox;
  HitCountLabel = ui_->HitCountLabel;
  PrevHitBtn = ui_->PrevHitBtn;
  NextHitBtn = ui_->NextHitBtn;
  CloseSearchBtn = ui_->CloseSearchBtn;
  ThreadViewAct = ui_->ThreadViewAct;
  FlatViewAct = ui_->FlatViewAct;
  MonospaceAct = ui_->MonospaceAct;

  SearchBar->hide();
  BoardList->setColumnHidden(kHitsColumn, true);
  BoardList->header()->setStretchLastSection(false);
  MessageList->setModel(&model_);
  MessageList->setItemDelegateForColumn(MessageListModel::kTitle, new ThreadDelegate(MessageList));
  // Every row is one line of one height: the view then lays out a board of any size at once.
  QHeaderView* rows = MessageList->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(MessageList->fontMetrics().height() + 6);
  QHeaderView* columns = MessageList->horizontalHeader();
  const int widths[MessageListModel::kColumnCount] = {60, 330, 120, 80, 120};
  for (int c = 0; c < MessageListModel::kColumnCount; ++c) columns->resizeSection(c, widths[c]);
  columns->setStretchLastSection(false);
  columns->setSectionResizeMode(MessageListModel::kTitle, QHeaderView::Stretch);
  MainSplitter->setSizes({300, 660});
  RightSplitter->setSizes({300, 380});

  progress_label_ = new QLabel(this);
  progress_bar_ = new QProgressBar(this);
  progress_bar_->setRange(0, 1000);
  progress_bar_->setMaximumWidth(200);
  statusBar()->addPermanentWidget(progress_label_);
  statusBar()->addPermanentWidget(progress_bar_);
  progress_label_->hide();
  progress_bar_->hide();

  // The reading keys act in the lists and the pane only, so that a space or a letter typed
  // in the search bar stays text and a space on a check box still toggles it.
  for (QAction* action :
       {ui_->NextMessageAct, ui_->PrevMessageAct, ui_->PageOrNextAct, ui_->ParentAct}) {
    action->setShortcutContext(Qt::WidgetShortcut);
    for (QWidget* widget : {static_cast<QWidget*>(BoardList), static_cast<QWidget*>(MessageList),
                            static_cast<QWidget*>(MessagePane)}) {
      widget->addAction(action);
    }
  }
  auto* escape = new QAction(this);
  escape->setShortcut(Qt::Key_Escape);
  addAction(escape);

  auto* view_group = new QActionGroup(this);
  view_group->addAction(ThreadViewAct);
  view_group->addAction(FlatViewAct);

  work_timer_.setInterval(0);
  connect(&work_timer_, &QTimer::timeout, this, &ReaderWindow::WorkStep);
  connect(escape, &QAction::triggered, this, &ReaderWindow::EscapePressed);
  connect(ui_->OpenAct, &QAction::triggered, this, &ReaderWindow::OpenActTriggered);
  connect(ui_->OpenFolderAct, &QAction::triggered, this, &ReaderWindow::OpenFolderActTriggered);
  connect(ui_->ReopenAct, &QAction::triggered, this, &ReaderWindow::ReopenFiles);
  connect(ui_->QuitAct, &QAction::triggered, this, &QWidget::close);
  connect(ThreadViewAct, &QAction::triggered, this, [this] { ViewActTriggered(true); });
  connect(FlatViewAct, &QAction::triggered, this, [this] { ViewActTriggered(false); });
  connect(MonospaceAct, &QAction::toggled, this, &ReaderWindow::MonospaceActToggled);
  connect(ui_->NextMessageAct, &QAction::triggered, this, &ReaderWindow::NextMessage);
  connect(ui_->PrevMessageAct, &QAction::triggered, this, &ReaderWindow::PreviousMessage);
  connect(ui_->PageOrNextAct, &QAction::triggered, this, &ReaderWindow::PageOrNext);
  connect(ui_->ParentAct, &QAction::triggered, this, [this] {
    const archive::Archive* shown = ShownArchive();
    if (shown != nullptr && shown_message_ != kNone &&
        shown->Message(shown_message_).Parent() != kNone) {
      GoToMessage(shown->Message(shown_message_).Parent(), true);
    }
  });
  connect(ui_->BackAct, &QAction::triggered, this, &ReaderWindow::GoBack);
  connect(ui_->FindAct, &QAction::triggered, this, [this] {
    SearchBar->show();
    PatternEdt->setFocus();
    PatternEdt->selectAll();
  });
  connect(ui_->FindNextAct, &QAction::triggered, this, &ReaderWindow::FindNext);
  connect(ui_->FindPrevAct, &QAction::triggered, this, &ReaderWindow::FindPrevious);
  connect(ui_->AboutAct, &QAction::triggered, this, &ReaderWindow::AboutActTriggered);
  connect(PatternEdt, &QLineEdit::returnPressed, this, &ReaderWindow::StartSearch);
  connect(NextHitBtn, &QToolButton::clicked, this, &ReaderWindow::FindNext);
  connect(PrevHitBtn, &QToolButton::clicked, this, &ReaderWindow::FindPrevious);
  connect(CloseSearchBtn, &QToolButton::clicked, this, [this] {
    EndSearch();
    SearchBar->hide();
    MessageList->setFocus();
  });
  connect(FilterChkBox, &QCheckBox::toggled, this, &ReaderWindow::FilterChkBoxToggled);
  connect(BoardList, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { BoardListCurrentChanged(item); });
  connect(BoardList, &QTreeWidget::itemActivated, this, [this] { MessageList->setFocus(); });
  connect(MessageList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { MessageListCurrentChanged(current); });
  connect(MessageList, &QTableView::activated, this, [this] { MessagePane->setFocus(); });
  connect(columns, &QHeaderView::sectionClicked, this, &ReaderWindow::MessageListHeaderClicked);
  connect(MessagePane, &QTextBrowser::anchorClicked, this, &ReaderWindow::MessagePaneAnchorClicked);

  LoadSettings();
  UpdateTitle();
}

ReaderWindow::~ReaderWindow() {
  // The model and the search refer to the archives: they go first.
  search_.reset();
  model_.Clear();
}

// ---- Opening files ------------------------------------------------------------------------

void ReaderWindow::OpenArguments(const std::vector<std::string>& arguments) {
  const ExpandedArguments expanded = ExpandArguments(arguments);
  QStringList problems;
  for (const ArgumentProblem& problem : expanded.problems) problems << ProblemText(problem);
  OpenFiles(expanded.files);
  ReportErrors(problems);
}

void ReaderWindow::OpenFiles(const std::vector<std::string>& paths) {
  QStringList problems;
  for (const std::string& path : paths) {
    struct stat status = {};
    const bool known = ::stat(path.c_str(), &status) == 0;
    if (known && std::any_of(files_.begin(), files_.end(), [&status](const auto& file) {
          return file->device == status.st_dev && file->inode == status.st_ino;
        })) {
      continue;  // open already, under this name or another
    }
    try {
      auto file = std::make_unique<OpenFile>();
      file->path = path;
      file->archive = archive::Archive::Open(path);
      if (known) {
        file->device = status.st_dev;
        file->inode = status.st_ino;
      }
      files_.push_back(std::move(file));
    } catch (const archive::ArchiveError& error) {
      problems << PathText(path) + QStringLiteral(": ") + ReasonText(error.error_number);
    }
  }
  if (!paths.empty()) last_folder_ = std::string(FolderPart(AbsolutePath(paths.front())));
  StartWork();
  UpdateTitle();
  ReportErrors(problems);
}

void ReaderWindow::ReopenFiles() {
  std::vector<std::string> paths;
  for (const auto& file : files_) paths.push_back(file->path);
  search_.reset();
  UpdateHitCounts();
  HitCountLabel->clear();
  model_.Clear();
  {
    const QSignalBlocker blocker(BoardList);
    BoardList->clear();
  }
  files_.clear();
  next_to_index_ = 0;
  shown_file_ = SIZE_MAX;
  shown_board_ = kNone;
  shown_message_ = kNone;
  back_.clear();
  match_spans_.clear();
  current_match_ = -1;
  MessagePane->clear();
  OpenFiles(paths);
}

void ReaderWindow::TellTruncatedFiles() {
  QStringList cut;
  for (const auto& file : files_) {
    if (!file->truncation_told && file->archive->FileTruncated()) {
      file->truncation_told = true;
      cut << PathText(file->path);
    }
  }
  if (cut.isEmpty()) return;
  const QString text = QStringLiteral(
                           "次のファイルは、読んでいる間にほかのプログラムによって短くされました。"
                           "なくなった部分は空として表示されます。"
                           "「開き直す」(F5) で読み直してください。\n\n") +
                       cut.join('\n');
  if (ShowErrorHook) {
    ShowErrorHook(text);
  } else {
    QMessageBox::warning(this, QStringLiteral("sorbit-reader"), text);
  }
}

void ReaderWindow::OpenLastFiles() {
  QSettings settings(settings_path_, QSettings::IniFormat);
  std::vector<std::string> paths;
  for (const QVariant& path : settings.value(QStringLiteral("files/open")).toList()) {
    const std::string bytes = path.toByteArray().toStdString();
    if (QFileInfo(PathText(bytes)).isFile()) paths.push_back(bytes);
  }
  OpenFiles(paths);
}

void ReaderWindow::ReportErrors(const QStringList& lines) {
  if (lines.isEmpty()) return;
  const QString text = QStringLiteral("次のファイルを開けませんでした。\n\n") + lines.join('\n');
  if (ShowErrorHook) {
    ShowErrorHook(text);
  } else {
    QMessageBox::warning(this, QStringLiteral("sorbit-reader"), text);
  }
}

void ReaderWindow::OpenActTriggered() {
  const QStringList chosen = QFileDialog::getOpenFileNames(
      this, QStringLiteral("ログを開く"), PathText(last_folder_),
      QStringLiteral("SVF ファイル・tekuri ログ (*.log *.LOG);;すべてのファイル (*)"));
  std::vector<std::string> paths;
  for (const QString& path : chosen) paths.push_back(QFile::encodeName(path).toStdString());
  OpenFiles(paths);
}

void ReaderWindow::OpenFolderActTriggered() {
  const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("フォルダを開く"),
                                                           PathText(last_folder_));
  if (folder.isEmpty()) return;
  OpenArguments({QFile::encodeName(folder).toStdString()});
}

// ---- Work in steps ------------------------------------------------------------------------

bool ReaderWindow::Busy() const {
  return next_to_index_ < files_.size() || (search_ && !search_->done);
}

void ReaderWindow::StartWork() {
  if (work_timer_.isActive()) return;
  work_clock_.start();
  work_timer_.start();
}

void ReaderWindow::WorkStep() {
  if (next_to_index_ < files_.size()) {
    const std::size_t file = next_to_index_;
    if (files_[file]->archive->IndexStep()) {
      ++next_to_index_;
      FileIndexed(file);
    }
  } else if (search_ && !search_->done) {
    SearchStep();
  }
  TellTruncatedFiles();
  if (Busy()) {
    UpdateProgress();
    return;
  }
  work_timer_.stop();
  progress_label_->hide();
  progress_bar_->hide();
  if (shown_file_ == SIZE_MAX) AnnounceReady();
}

void ReaderWindow::UpdateProgress() {
  if (work_clock_.elapsed() < kProgressAfterMs) return;
  const bool indexing = next_to_index_ < files_.size();
  const std::size_t file = indexing ? next_to_index_ : search_->next_file;
  if (file >= files_.size()) return;
  const archive::Archive& archive = *files_[file]->archive;
  const std::uint64_t done =
      indexing ? archive.BytesIndexed()
               : (search_->running ? search_->running->BytesSearched() : std::uint64_t{0});
  const QString name = PathText(std::string(FileNamePart(files_[file]->path)));
  progress_label_->setText(
      (indexing ? QStringLiteral("索引を作成しています: ") : QStringLiteral("検索しています: ")) +
      name + QStringLiteral(" (%1/%2)").arg(file + 1).arg(files_.size()));
  progress_bar_->setValue(
      archive.FileSize() == 0 ? 1000 : static_cast<int>(done * 1000 / archive.FileSize()));
  progress_label_->show();
  progress_bar_->show();
}

void ReaderWindow::FileIndexed(std::size_t file) {
  const archive::Archive& archive = *files_[file]->archive;
  const QString file_name = PathText(std::string(FileNamePart(files_[file]->path)));
  QTreeWidgetItem* first = nullptr;
  auto add_item = [&](const QString& name, std::uint32_t board) {
    auto* item = new QTreeWidgetItem(BoardList);
    item->setText(0, name.isEmpty() ? file_name : name);
    item->setToolTip(0, PathText(files_[file]->path));
    item->setData(0, kFileRole, static_cast<qulonglong>(file));
    item->setData(0, kBoardRole, board);
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(kHitsColumn, Qt::AlignRight | Qt::AlignVCenter);
    if (board == kNone) {
      item->setText(1, QStringLiteral("0"));
    } else {
      const archive::BoardInfo& info = archive.Boards()[board];
      item->setText(1, FormatCount(info.message_count));
      if (info.earliest != kNone) {
        item->setText(2, DateText(archive, info.earliest) + QStringLiteral("〜") +
                             DateText(archive, info.latest));
      }
    }
    if (first == nullptr) first = item;
  };
  if (archive.Boards().empty()) add_item(file_name, kNone);
  for (std::uint32_t b = 0; b < archive.Boards().size(); ++b) {
    add_item(FieldText(archive.Boards()[b].name), b);
  }
  for (int c = 0; c < 3; ++c) BoardList->resizeColumnToContents(c);
  if (shown_file_ == SIZE_MAX) BoardList->setCurrentItem(first);
}

// ---- Boards and messages ------------------------------------------------------------------

const archive::Archive* ReaderWindow::ShownArchive() const {
  return shown_file_ < files_.size() ? files_[shown_file_]->archive.get() : nullptr;
}

void ReaderWindow::BoardListCurrentChanged(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  const auto file = static_cast<std::size_t>(item->data(0, kFileRole).toULongLong());
  const std::uint32_t board = item->data(0, kBoardRole).toUInt();
  if (file == shown_file_ && board == shown_board_) return;
  ShowBoard(file, board);
}

void ReaderWindow::ShowBoard(std::size_t file, std::uint32_t board) {
  if (search_ && !search_->AllBoards() && !search_->Covers(file, board)) EndSearch();
  shown_file_ = file;
  shown_board_ = board;
  shown_message_ = kNone;
  const archive::Archive& archive = *files_[file]->archive;
  if (board == kNone) {
    model_.Clear();
  } else {
    model_.ShowBoard(&archive, board);
  }
  ApplyFilter();
  for (int i = 0; i < BoardList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = BoardList->topLevelItem(i);
    if (item->data(0, kFileRole).toULongLong() == file &&
        item->data(0, kBoardRole).toUInt() == board && BoardList->currentItem() != item) {
      const QSignalBlocker blocker(BoardList);
      BoardList->setCurrentItem(item);
    }
  }
  UpdateTitle();
  AnnounceReady();
}

void ReaderWindow::AnnounceReady() {
  if (ready_) return;
  ready_ = true;
  // Once the list and the pane have been drawn.
  QTimer::singleShot(0, this, [this] {
    MessageList->viewport()->repaint();
    MessagePane->viewport()->repaint();
    emit Ready();
  });
}

void ReaderWindow::ApplyFilter() {
  const std::uint32_t keep = shown_message_;
  const std::vector<std::uint32_t>* hits =
      search_ && FilterChkBox->isChecked() && model_.Archive() != nullptr
          ? search_->HitsIn(shown_file_, shown_board_)
          : nullptr;
  model_.SetFilter(hits != nullptr ? std::optional(*hits) : std::nullopt);
  const int row = keep == kNone ? -1 : model_.RowOf(keep);
  SelectRow(row >= 0 ? row : 0);
}

void ReaderWindow::SelectRow(int row) {
  if (row < 0 || row >= model_.rowCount()) {
    shown_message_ = kNone;
    match_spans_.clear();
    current_match_ = -1;
    MessagePane->clear();
    return;
  }
  const QModelIndex index = model_.index(row, MessageListModel::kTitle);
  MessageList->setCurrentIndex(index);
  MessageList->scrollTo(index);
  if (shown_message_ != model_.MessageAt(row)) ShowMessage(model_.MessageAt(row));
}

void ReaderWindow::MessageListCurrentChanged(const QModelIndex& current) {
  if (!current.isValid() || current.row() >= model_.rowCount()) return;
  const std::uint32_t message = model_.MessageAt(current.row());
  if (message != shown_message_) ShowMessage(message);
}

void ReaderWindow::ShowMessage(std::uint32_t message) {
  const archive::Archive& archive = *ShownArchive();
  shown_message_ = message;
  std::vector<archive::TextMatch> matches;
  const std::vector<std::uint32_t>* hits =
      search_ ? search_->HitsIn(shown_file_, shown_board_) : nullptr;
  if (hits != nullptr && std::binary_search(hits->begin(), hits->end(), message)) {
    archive::RawMessage raw;
    matches = archive::FindInMessage(archive, search_->pattern, message, search_->fields, raw);
  }
  match_spans_ = FillMessageDocument(*MessagePane->document(), archive, message, matches);
  current_match_ = -1;
  MessagePane->setExtraSelections({});
  MessagePane->verticalScrollBar()->setValue(0);
  TellTruncatedFiles();
  const int row = MessageList->currentIndex().row();
  statusBar()->showMessage(QStringLiteral("%1 / %2 件目")
                               .arg(row + 1)
                               .arg(FormatCount(static_cast<std::uint64_t>(model_.rowCount()))));
}

void ReaderWindow::NextMessage() {
  const int row = MessageList->currentIndex().row();
  if (row + 1 < model_.rowCount()) SelectRow(row + 1);
}

void ReaderWindow::PreviousMessage() {
  const int row = MessageList->currentIndex().row();
  if (row > 0) SelectRow(row - 1);
}

void ReaderWindow::PageOrNext() {
  QScrollBar* bar = MessagePane->verticalScrollBar();
  if (bar->value() < bar->maximum()) {
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  } else {
    NextMessage();
  }
}

void ReaderWindow::GoToMessage(std::uint32_t message, bool remember) {
  const archive::Archive* archive = ShownArchive();
  if (archive == nullptr || message >= archive->MessageCount()) return;
  if (remember && shown_message_ != kNone) back_.emplace_back(shown_file_, shown_message_);
  const std::uint32_t board = archive->Message(message).Board();
  if (board != shown_board_) ShowBoard(shown_file_, board);
  if (model_.RowOf(message) < 0 && model_.Filtered()) {
    FilterChkBox->setChecked(false);  // shows every message again
    statusBar()->showMessage(QStringLiteral("一致のみの表示を解除しました"), 5000);
  }
  SelectRow(model_.RowOf(message));
}

void ReaderWindow::GoBack() {
  if (back_.empty()) return;
  const auto [file, message] = back_.back();
  back_.pop_back();
  // The board list may have shown another file's board since.
  if (file != shown_file_) ShowBoard(file, files_[file]->archive->Message(message).Board());
  GoToMessage(message, false);
}

bool ReaderWindow::FollowLink(const QUrl& link) {
  const archive::Archive* archive = ShownArchive();
  if (archive == nullptr || shown_message_ == kNone) return false;
  bool number = false;
  if (link.scheme() == QLatin1String(kMessageScheme)) {
    const std::uint32_t message = link.path().toUInt(&number);
    if (!number || message >= archive->MessageCount()) return false;
    GoToMessage(message, true);
    return true;
  }
  if (link.scheme() == QLatin1String(kReferenceScheme)) {
    const std::string digits = link.path().toStdString();
    const std::uint32_t target =
        archive->FindNumbered(archive->Message(shown_message_).Board(), digits, shown_message_);
    if (target == kNone) {
      statusBar()->showMessage(
          QStringLiteral("No. %1 の発言はこのログにありません").arg(link.path()), 5000);
      return false;
    }
    GoToMessage(target, true);
    return true;
  }
  return false;
}

void ReaderWindow::MessagePaneAnchorClicked(const QUrl& link) { FollowLink(link); }

// ---- The list's order and the view options ------------------------------------------------

void ReaderWindow::ViewActTriggered(bool threaded) {
  ThreadViewAct->setChecked(threaded);
  FlatViewAct->setChecked(!threaded);
  QHeaderView* header = MessageList->horizontalHeader();
  header->setSortIndicatorShown(!threaded);
  const std::uint32_t keep = shown_message_;
  if (threaded) {
    model_.SetOrder(RowOrder::kThread);
  } else {
    model_.SetOrder(RowOrder::kNumber);
    header->setSortIndicator(MessageListModel::kNo, Qt::AscendingOrder);
  }
  const int row = keep == kNone ? -1 : model_.RowOf(keep);
  SelectRow(row >= 0 ? row : 0);
}

void ReaderWindow::MessageListHeaderClicked(int column) {
  if (ThreadViewAct->isChecked()) return;
  QHeaderView* header = MessageList->horizontalHeader();
  const RowOrder order = MessageListModel::OrderOfColumn(column);
  const bool descending = model_.Order() == order && !model_.Descending();
  const std::uint32_t keep = shown_message_;
  model_.SetOrder(order, descending);
  header->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  const int row = keep == kNone ? -1 : model_.RowOf(keep);
  SelectRow(row >= 0 ? row : 0);
}

void ReaderWindow::MonospaceActToggled(bool on) {
  QFont font = MessagePane->font();
  if (on) {
    font.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                      QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
  }
  MessagePane->document()->setDefaultFont(on ? font : MessagePane->font());
  if (shown_message_ != kNone) ShowMessage(shown_message_);
}

// ---- Search -------------------------------------------------------------------------------

void ReaderWindow::StartSearch() {
  SearchBar->show();
  const std::string text = PatternEdt->text().toStdString();
  if (text.empty()) {
    EndSearch();
    return;
  }
  static constexpr std::uint8_t kFields[] = {archive::kSearchAll, archive::kSearchTitle,
                                             archive::kSearchHandle, archive::kSearchBody};
  std::unique_ptr<SearchRun> run;
  try {
    run = std::make_unique<SearchRun>(archive::CompileSearchPattern(text, FuzzyChkBox->isChecked()),
                                      kFields[std::clamp(FieldCmbBox->currentIndex(), 0, 3)]);
  } catch (const archive::PatternEncodingError& error) {
    char32_t ignored = 0;
    const std::size_t length = text::ReadUtf8Char(text, error.Offset(), ignored);
    HitCountLabel->setText(length == 0
                               ? QStringLiteral("パターンが UTF-8 ではありません")
                               : QStringLiteral("「%1」は Shift-JIS にない文字です")
                                     .arg(QString::fromUtf8(text.substr(error.Offset(), length))));
    EndSearch();
    emit SearchFinished();
    return;
  } catch (const SjisRegExp::ERegExpParser& error) {
    HitCountLabel->setText(QStringLiteral("パターンの誤り: ") + QString::fromUtf8(error.what()));
    EndSearch();
    emit SearchFinished();
    return;
  }
  if (ScopeCmbBox->currentIndex() == 0) {
    if (shown_file_ >= files_.size() || shown_board_ == kNone) {
      HitCountLabel->setText(QStringLiteral("探す掲示板がありません"));
      emit SearchFinished();
      return;
    }
    run->file = shown_file_;
    run->board = shown_board_;
  }
  EndSearch();
  search_ = std::move(run);
  search_->hits.resize(files_.size());
  HitCountLabel->setText(QStringLiteral("検索しています..."));
  work_clock_.restart();
  StartWork();
}

void ReaderWindow::SearchStep() {
  SearchRun& run = *search_;
  while (run.next_file < files_.size() && !run.Covers(run.next_file)) ++run.next_file;
  if (run.next_file >= files_.size()) {
    SearchDone();
    return;
  }
  if (run.next_file >= next_to_index_) return;  // its index comes first
  if (!run.running) {
    run.running = std::make_unique<archive::ArchiveSearch>(*files_[run.next_file]->archive,
                                                           run.pattern, run.fields, run.board);
  }
  if (run.running->Step()) {
    if (run.hits.size() < files_.size()) run.hits.resize(files_.size());
    run.hits[run.next_file] = run.running->Hits();
    run.running.reset();
    ++run.next_file;
  }
}

void ReaderWindow::SearchDone() {
  SearchRun& run = *search_;
  run.done = true;
  run.hits.resize(files_.size());
  std::size_t total = 0;
  for (const auto& hits : run.hits) total += hits.size();
  UpdateHitCounts();
  ApplyFilter();
  if (shown_message_ != kNone) ShowMessage(shown_message_);
  if (total == 0) {
    HitCountLabel->setText(QStringLiteral("見つかりません"));
  } else if (run.AllBoards() && run.HitsIn(shown_file_, shown_board_) != nullptr) {
    std::size_t here = 0;
    for (std::uint32_t i : *run.HitsIn(shown_file_, shown_board_)) {
      here += files_[shown_file_]->archive->Message(i).Board() == shown_board_;
    }
    HitCountLabel->setText(
        QStringLiteral("%1 件 (この掲示板 %2 件)").arg(FormatCount(total), FormatCount(here)));
  } else {
    HitCountLabel->setText(QStringLiteral("%1 件").arg(FormatCount(total)));
  }
  emit SearchFinished();
}

void ReaderWindow::UpdateHitCounts() {
  BoardList->setColumnHidden(kHitsColumn, !search_ || !search_->done);
  if (!search_ || !search_->done) return;
  for (int i = 0; i < BoardList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = BoardList->topLevelItem(i);
    const auto file = static_cast<std::size_t>(item->data(0, kFileRole).toULongLong());
    const std::uint32_t board = item->data(0, kBoardRole).toUInt();
    const std::vector<std::uint32_t>* hits = search_->HitsIn(file, board);
    std::size_t count = 0;
    if (hits != nullptr) {
      for (std::uint32_t m : *hits) count += files_[file]->archive->Message(m).Board() == board;
    }
    item->setText(kHitsColumn, hits != nullptr ? FormatCount(count) : QString());
  }
  BoardList->resizeColumnToContents(kHitsColumn);
}

void ReaderWindow::EndSearch() {
  if (!search_) return;
  search_.reset();
  UpdateHitCounts();
  ApplyFilter();
  if (shown_message_ != kNone) ShowMessage(shown_message_);
}

void ReaderWindow::FilterChkBoxToggled(bool) {
  if (search_ && search_->done) ApplyFilter();
}

const std::vector<std::uint32_t>* ReaderWindow::HitsOf(const archive::Archive* archive) const {
  if (!search_ || !search_->done) return nullptr;
  for (std::size_t f = 0; f < files_.size() && f < search_->hits.size(); ++f) {
    if (files_[f]->archive.get() == archive && search_->Covers(f)) return &search_->hits[f];
  }
  return nullptr;
}

void ReaderWindow::MarkMatch(int match) {
  current_match_ = match;
  const DocumentSpan span = match_spans_[static_cast<std::size_t>(match)];
  QTextCursor cursor(MessagePane->document());
  cursor.setPosition(span.begin);
  cursor.setPosition(span.end, QTextCursor::KeepAnchor);
  QTextEdit::ExtraSelection current;
  current.cursor = cursor;
  current.format.setBackground(QColor(0xFF, 0x98, 0x00));
  MessagePane->setExtraSelections({current});
  QTextCursor caret = cursor;
  caret.clearSelection();
  MessagePane->setTextCursor(caret);
  MessagePane->ensureCursorVisible();
}

void ReaderWindow::FindNext() {
  if (!search_ || !search_->done) {
    ui_->FindAct->trigger();
    return;
  }
  if (current_match_ + 1 < static_cast<int>(match_spans_.size())) {
    MarkMatch(current_match_ + 1);
    return;
  }
  StepToHit(true);
}

void ReaderWindow::FindPrevious() {
  if (!search_ || !search_->done) {
    ui_->FindAct->trigger();
    return;
  }
  if (current_match_ > 0) {
    MarkMatch(current_match_ - 1);
    return;
  }
  StepToHit(false);
}

// The next (or previous) message with a hit, in the list's order; past the board's last, the
// next board with hits in the board list's order, round to where it started.
bool ReaderWindow::StepToHit(bool forward) {
  auto is_hit = [this](std::size_t file, std::uint32_t board, std::uint32_t message) {
    const std::vector<std::uint32_t>* hits = search_->HitsIn(file, board);
    return hits != nullptr && std::binary_search(hits->begin(), hits->end(), message);
  };
  auto mark_first = [this, forward] {
    if (!match_spans_.empty()) MarkMatch(forward ? 0 : static_cast<int>(match_spans_.size()) - 1);
  };
  const int step = forward ? 1 : -1;
  if (search_->HitsIn(shown_file_, shown_board_) != nullptr) {
    for (int row = MessageList->currentIndex().row() + step; row >= 0 && row < model_.rowCount();
         row += step) {
      if (is_hit(shown_file_, shown_board_, model_.MessageAt(row))) {
        SelectRow(row);
        mark_first();
        return true;
      }
    }
  }
  // The other boards, in the board list's order, then this one again from its other end.
  const int boards = BoardList->topLevelItemCount();
  const int here = std::max(0, BoardList->indexOfTopLevelItem(BoardList->currentItem()));
  for (int k = 1; k <= boards; ++k) {
    QTreeWidgetItem* item = BoardList->topLevelItem(((here + step * k) % boards + boards) % boards);
    const auto file = static_cast<std::size_t>(item->data(0, kFileRole).toULongLong());
    const std::uint32_t board = item->data(0, kBoardRole).toUInt();
    const std::vector<std::uint32_t>* hits = search_->HitsIn(file, board);
    if (hits == nullptr) continue;
    const archive::Archive& archive = *files_[file]->archive;
    if (std::none_of(hits->begin(), hits->end(),
                     [&](std::uint32_t m) { return archive.Message(m).Board() == board; })) {
      continue;
    }
    if (file != shown_file_ || board != shown_board_) ShowBoard(file, board);
    for (int r = 0; r < model_.rowCount(); ++r) {
      const int row = forward ? r : model_.rowCount() - 1 - r;
      if (is_hit(file, board, model_.MessageAt(row))) {
        SelectRow(row);
        mark_first();
        if (k == boards) {
          statusBar()->showMessage(
              forward ? QStringLiteral("先頭に戻りました") : QStringLiteral("末尾に戻りました"),
              3000);
        }
        return true;
      }
    }
  }
  return false;
}

// ---- Keys, title, settings ----------------------------------------------------------------

void ReaderWindow::EscapePressed() {
  if (search_ && !search_->done) {
    search_.reset();
    HitCountLabel->setText(QStringLiteral("検索を中止しました"));
    emit SearchFinished();
    return;
  }
  if (SearchBar->isVisible()) {
    EndSearch();
    HitCountLabel->clear();
    SearchBar->hide();
    MessageList->setFocus();
    return;
  }
  if (MessagePane->hasFocus()) MessageList->setFocus();
}

void ReaderWindow::UpdateTitle() {
  QString title;
  std::size_t file = shown_file_;
  if (file >= files_.size() && next_to_index_ < files_.size()) file = next_to_index_;
  if (file < files_.size()) {
    const archive::Archive& archive = *files_[file]->archive;
    title = PathText(std::string(FileNamePart(files_[file]->path)));
    if (file == shown_file_) {
      if (archive.Boards().size() > 1) {
        title += QStringLiteral(": ") + FieldText(archive.Boards()[shown_board_].name);
      }
      const std::uint32_t count =
          shown_board_ == kNone ? 0 : archive.Boards()[shown_board_].message_count;
      title += QStringLiteral(" — ") + FormatCount(count) + QStringLiteral(" 件");
    }
    title += QStringLiteral(" — ");
  }
  setWindowTitle(title + QStringLiteral("sorbit-reader"));
}

void ReaderWindow::AboutActTriggered() {
  QMessageBox::about(this, QStringLiteral("sorbit-reader について"),
                     QStringLiteral("sorbit-reader %1\n\n"
                                    "Sorbit の書き出した SVF ファイルと tekuri のログを、"
                                    "掲示板、スレッド、メッセージとして読むためのビューアです。")
                         .arg(QStringLiteral(SORBIT_VERSION)));
}

void ReaderWindow::LoadSettings() {
  if (settings_path_.isEmpty()) return;
  QSettings settings(settings_path_, QSettings::IniFormat);
  restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
  MainSplitter->restoreState(settings.value(QStringLiteral("window/boards")).toByteArray());
  RightSplitter->restoreState(settings.value(QStringLiteral("window/pane")).toByteArray());
  MessageList->horizontalHeader()->restoreState(
      settings.value(QStringLiteral("list/columns")).toByteArray());
  MonospaceAct->setChecked(settings.value(QStringLiteral("view/monospace"), false).toBool());
  if (!settings.value(QStringLiteral("view/threads"), true).toBool()) ViewActTriggered(false);
  FuzzyChkBox->setChecked(settings.value(QStringLiteral("search/fuzzy"), false).toBool());
  FieldCmbBox->setCurrentIndex(settings.value(QStringLiteral("search/field"), 0).toInt());
  ScopeCmbBox->setCurrentIndex(settings.value(QStringLiteral("search/scope"), 0).toInt());
  FilterChkBox->setChecked(settings.value(QStringLiteral("search/hitsOnly"), true).toBool());
  last_folder_ = settings.value(QStringLiteral("files/folder")).toByteArray().toStdString();
}

void ReaderWindow::SaveSettings() {
  if (settings_path_.isEmpty()) return;
  platform::MakeSettingsFolder(
      std::string(FolderPart(QFile::encodeName(settings_path_).toStdString())));
  QSettings settings(settings_path_, QSettings::IniFormat);
  settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
  settings.setValue(QStringLiteral("window/boards"), MainSplitter->saveState());
  settings.setValue(QStringLiteral("window/pane"), RightSplitter->saveState());
  settings.setValue(QStringLiteral("list/columns"), MessageList->horizontalHeader()->saveState());
  settings.setValue(QStringLiteral("view/monospace"), MonospaceAct->isChecked());
  settings.setValue(QStringLiteral("view/threads"), ThreadViewAct->isChecked());
  settings.setValue(QStringLiteral("search/fuzzy"), FuzzyChkBox->isChecked());
  settings.setValue(QStringLiteral("search/field"), FieldCmbBox->currentIndex());
  settings.setValue(QStringLiteral("search/scope"), ScopeCmbBox->currentIndex());
  settings.setValue(QStringLiteral("search/hitsOnly"), FilterChkBox->isChecked());
  settings.setValue(QStringLiteral("files/folder"), QByteArray::fromStdString(last_folder_));
  QVariantList open;
  for (const auto& file : files_) {
    open << QByteArray::fromStdString(AbsolutePath(file->path));
  }
  settings.setValue(QStringLiteral("files/open"), open);
}

void ReaderWindow::closeEvent(QCloseEvent* event) {
  SaveSettings();
  QMainWindow::closeEvent(event);
}

}  // namespace sorbit::reader
