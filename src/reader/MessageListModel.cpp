// The message list's model: rows, texts decoded on demand, sorting and the hit filter.
#include "reader/MessageListModel.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <utility>

namespace sorbit::reader {

namespace {

QString FromCp932(std::string_view bytes) {
  std::string utf8;
  archive::AppendFieldAsUtf8(bytes, utf8);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

MessageListModel::MessageListModel(QObject* parent) : QAbstractTableModel(parent) {}

void MessageListModel::ShowBoard(const archive::Archive* archive, std::uint32_t board) {
  beginResetModel();
  archive_ = archive;
  board_ = board;
  hits_.reset();
  for (CachedRow& slot : cache_) slot.message = archive::kNone;
  Rebuild(true);
  endResetModel();
}

void MessageListModel::Clear() {
  beginResetModel();
  archive_ = nullptr;
  board_ = archive::kNone;
  hits_.reset();
  filtered_.reset();
  std::vector<std::uint32_t>().swap(board_rows_);
  for (CachedRow& slot : cache_) slot.message = archive::kNone;
  endResetModel();
}

void MessageListModel::SetOrder(RowOrder order, bool descending) {
  if (order == RowOrder::kThread) descending = false;
  if (order == order_ && descending == descending_) return;
  beginResetModel();
  order_ = order;
  descending_ = descending;
  Rebuild(true);
  endResetModel();
}

void MessageListModel::SetFilter(std::optional<std::vector<std::uint32_t>> hits) {
  if (!hits && !hits_) return;
  beginResetModel();
  hits_ = std::move(hits);
  Rebuild(false);
  endResetModel();
}

void MessageListModel::Rebuild(bool reorder) {
  filtered_.reset();
  if (archive_ == nullptr) {
    std::vector<std::uint32_t>().swap(board_rows_);
    return;
  }
  if (reorder) {
    std::vector<std::uint32_t>().swap(board_rows_);
    board_rows_ = OrderRows(*archive_, board_, order_, descending_);
  }
  if (hits_) filtered_ = KeepHits(board_rows_, *hits_, archive_->MessageCount());
}

int MessageListModel::RowOf(std::uint32_t message) const {
  const std::vector<std::uint32_t>& rows = Rows();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r] == message) return static_cast<int>(r);
  }
  return -1;
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(Rows().size());
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

const MessageListModel::CachedRow& MessageListModel::Texts(std::uint32_t message) const {
  CachedRow& slot = cache_[message % kCacheSize];
  if (slot.message == message) return slot;
  archive_->ReadRaw(message, raw_);
  slot.texts[kNo] = FromCp932(raw_.number.no);
  slot.texts[kTitle] = FromCp932(raw_.number.title);
  slot.texts[kHandle] = FromCp932(raw_.msg.handle);
  slot.texts[kId] = FromCp932(raw_.msg.id);
  slot.texts[kDate] = FromCp932(raw_.msg.date);
  if (!raw_.msg.time.empty()) slot.texts[kDate] += QLatin1Char(' ') + FromCp932(raw_.msg.time);
  slot.message = message;
  return slot;
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.parent().isValid() || index.row() >= rowCount() ||
      index.column() >= kColumnCount) {
    return {};
  }
  const std::uint32_t message = MessageAt(index.row());
  switch (role) {
    case Qt::DisplayRole:
      return Texts(message).texts[static_cast<std::size_t>(index.column())];
    case Qt::ToolTipRole:
      if (index.column() == kTitle && archive_->Message(message).OriginalMissing()) {
        return QStringLiteral("返信先の発言はこのログにありません");
      }
      return {};
    case Qt::FontRole:
      // A reply whose original is not in the log stands as a thread of its own: in italics.
      if (index.column() == kTitle && archive_->Message(message).OriginalMissing()) {
        QFont font;
        font.setItalic(true);
        return font;
      }
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == kNo) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    case kMessageRole:
      return message;
    case kDepthRole:
      return order_ == RowOrder::kThread ? QVariant(ThreadDepth(*archive_, message)) : QVariant(-1);
    default:
      return {};
  }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= kColumnCount) {
    return {};
  }
  static const char* const kTitles[kColumnCount] = {"No.", "題名", "ハンドル", "ID", "日付"};
  return QString::fromUtf8(kTitles[section]);
}

RowOrder MessageListModel::OrderOfColumn(int column) {
  switch (column) {
    case kTitle:
      return RowOrder::kTitle;
    case kHandle:
      return RowOrder::kHandle;
    case kId:
      return RowOrder::kId;
    case kDate:
      return RowOrder::kDate;
    default:
      return RowOrder::kNumber;
  }
}

void MessageListModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= kColumnCount) return;
  SetOrder(OrderOfColumn(column), order == Qt::DescendingOrder);
}

}  // namespace sorbit::reader
