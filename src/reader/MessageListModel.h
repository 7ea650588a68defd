// The message list's model: the rows of one board (reader/MessageRows.h) as a table of five
// columns, No, Title, Handle, ID and Date, read from the archive when a row is drawn.
//
// The model holds the row order and nothing else a row (and, while a search filters the list,
// the rows kept); a row's texts are decoded when the view asks for them and kept in a small
// cache of recently drawn rows, so a board of any size costs 4 bytes a message here. In thread
// order the Title column's kDepthRole tells how deep the row stands in its thread, and the view's
// delegate indents it by that.
//
// Invariants: board_rows_ is a permutation of the board's messages in order_; filtered_, when
// there is one, is the subsequence of it whose messages are in hits_; the archive outlives the
// model or is taken away with Clear() first.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "archive/Archive.h"
#include "reader/MessageRows.h"

namespace sorbit::reader {

class MessageListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kNo, kTitle, kHandle, kId, kDate, kColumnCount };
  // The row's message number in the archive (uint).
  static constexpr int kMessageRole = Qt::UserRole + 1;
  // Thread order: the row's depth in its thread (uint); -1 in the flat orders.
  static constexpr int kDepthRole = Qt::UserRole + 2;

  explicit MessageListModel(QObject* parent = nullptr);

  // Lists the messages of `board`, whose archive's index is complete, in the current order,
  // without a filter.
  void ShowBoard(const archive::Archive* archive, std::uint32_t board);
  void Clear();
  // The order of the rows; descending applies to the flat orders.
  void SetOrder(RowOrder order, bool descending = false);
  RowOrder Order() const { return order_; }
  bool Descending() const { return descending_; }
  // Keeps only the messages in `hits` (ascending message numbers of the archive); nullopt
  // lists every message of the board again.
  void SetFilter(std::optional<std::vector<std::uint32_t>> hits);
  bool Filtered() const { return filtered_.has_value(); }

  const archive::Archive* Archive() const { return archive_; }
  std::uint32_t Board() const { return board_; }
  std::uint32_t MessageAt(int row) const { return Rows()[static_cast<std::size_t>(row)]; }
  // The row that lists `message`, or -1.
  int RowOf(std::uint32_t message) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Flat orders by the No, Date, Handle, Title or ID column (the view's header calls this).
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  // The flat order a column sorts by.
  static RowOrder OrderOfColumn(int column);

 private:
  struct CachedRow {
    std::uint32_t message = archive::kNone;
    std::array<QString, kColumnCount> texts;
  };
  const CachedRow& Texts(std::uint32_t message) const;
  const std::vector<std::uint32_t>& Rows() const { return filtered_ ? *filtered_ : board_rows_; }
  // Orders the board's rows anew (`reorder`) and filters them again.
  void Rebuild(bool reorder);

  const archive::Archive* archive_ = nullptr;
  std::uint32_t board_ = archive::kNone;
  RowOrder order_ = RowOrder::kThread;
  bool descending_ = false;
  std::optional<std::vector<std::uint32_t>> hits_;
  std::vector<std::uint32_t> board_rows_;
  std::optional<std::vector<std::uint32_t>> filtered_;

  static constexpr std::size_t kCacheSize = 256;  // a few screens of rows
  mutable std::array<CachedRow, kCacheSize> cache_;
  mutable archive::RawMessage raw_;
};

}  // namespace sorbit::reader
