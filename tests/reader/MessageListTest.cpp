// The message list over random archives, against a reference worked out from the messages as
// they were written: every order lists the board's messages once each, thread order is the
// depth-first walk of the reply tree with the right depths, the flat orders sort by the field's
// text as a reader would, the filter keeps exactly the hits; and the model stays a consistent
// QAbstractItemModel through all of it (QAbstractItemModelTester).
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QtGlobal>
#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "archive/Archive.h"
#include "reader/MessageListModel.h"
#include "reader/MessageRows.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

namespace sorbit::reader {
namespace {

using archive::Archive;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

struct Written {
  std::string board, id, handle, date, time, no, reply, title;
  // How the date and time sort, known when they were made: well-formed first, by year, month,
  // day and minute; a malformed time after every time of its day; malformed dates last.
  std::tuple<int, int, int, int, int> when;
};

// Digits of a number field less blanks and leading zeros; empty when it is no number.
std::string Digits(const std::string& field) {
  const std::size_t first = field.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const std::string trimmed = field.substr(first, field.find_last_not_of(" \t") - first + 1);
  if (trimmed.find_first_not_of("0123456789") != std::string::npos) return "";
  const std::size_t nonzero = trimmed.find_first_not_of('0');
  return nonzero == std::string::npos ? "0" : trimmed.substr(nonzero);
}

std::string RandomArchive(std::mt19937& random, std::vector<Written>& written) {
  auto pick = [&random](std::initializer_list<const char*> choices) {
    return std::string(choices.begin()[random() % choices.size()]);
  };
  std::string text = "\r\n";
  const int count = 1 + static_cast<int>(random() % 60);
  for (int m = 0; m < count; ++m) {
    Written w;
    w.board = pick({"general", "pc98", "\x8c\x66\x8e\xa6"});
    w.id = pick({"", " ", "u1", "u0"});
    w.handle = pick({"tanaka", "guest", "\x83\x51\x83\x58\x83\x67", "", "a,b", "Tanaka"});
    w.title = pick({"hello", "Re: 3 x", "\x82\xa0", "", "zz", "a"});
    switch (random() % 6) {
      case 0:
        w.no = pick({"", " ", "abc", "12345678901234567890123", "00000000000000000000001"});
        break;
      case 1:
        w.no = " " + std::to_string(random() % 30) + " ";
        break;
      default:
        w.no = std::to_string(m + 1 - static_cast<int>(random() % 3));
    }
    w.reply = random() % 2 ? std::to_string(random() % (m + 3))
                           : pick({"", " ", "x", "0", "99999999999999999999999"});
    const int year = static_cast<int>(random() % 100), month = 1 + static_cast<int>(random() % 12),
              day = 1 + static_cast<int>(random() % 28), minute = static_cast<int>(random() % 1440);
    char field[16];
    std::snprintf(field, sizeof field, "%02d/%02d/%02d", year, month, day);
    w.date = field;
    w.when = {0, year + (year >= 70 ? 1900 : 2000), month, day, minute};
    if (random() % 8 == 0) {  // not a day of the calendar, or not a date at all
      w.date = pick({"", "98/1/1", "99/02/29", "98/13/01", "xx/yy/zz"});
      w.when = {1, 0, 0, 0, minute};
    } else if (random() % 16 == 0) {
      w.date = "00/02/29";
      w.when = {0, 2000, 2, 29, minute};
    }
    std::snprintf(field, sizeof field, "%02d:%02d", minute / 60, minute % 60);
    w.time = field;
    if (random() % 8 == 0) {
      w.time = pick({"", "1:2", "24:00"});
      std::get<4>(w.when) = 1440;
    }
    if (m > 0) text += "\r\n";
    text += "@@@MSG,0," + w.board + "," + w.id + "," + w.handle + "," + w.date + "," + w.time +
            "\r\n@@@" + w.no + "," + w.reply + ",0," + w.title + "\r\nbody\r\n";
    written.push_back(w);
  }
  return text;
}

// The reference: parents by the rule, then each order the plain way.
struct Reference {
  std::vector<Written> messages;
  std::vector<int> parent;

  explicit Reference(std::vector<Written> w) : messages(std::move(w)), parent(messages.size(), -1) {
    for (std::size_t i = 0; i < messages.size(); ++i) {
      const std::string reply = Digits(messages[i].reply);
      for (int p = static_cast<int>(i) - 1; !reply.empty() && p >= 0; --p) {
        if (messages[p].board == messages[i].board && Digits(messages[p].no) == reply) {
          parent[i] = p;
          break;
        }
      }
    }
  }

  std::vector<std::uint32_t> OfBoard(const std::string& board) const {
    std::vector<std::uint32_t> rows;
    for (std::uint32_t i = 0; i < messages.size(); ++i) {
      if (messages[i].board == board) rows.push_back(i);
    }
    return rows;
  }

  std::vector<std::uint32_t> ThreadOrder(const std::string& board) const {
    std::vector<std::uint32_t> rows;
    std::function<void(int)> walk = [&](int m) {
      rows.push_back(static_cast<std::uint32_t>(m));
      for (std::size_t c = 0; c < messages.size(); ++c) {
        if (parent[c] == m) walk(static_cast<int>(c));
      }
    };
    for (std::uint32_t i : OfBoard(board)) {
      if (parent[i] < 0) walk(static_cast<int>(i));
    }
    return rows;
  }

  int Depth(std::uint32_t m) const {
    int depth = 0;
    for (int p = parent[m]; p >= 0; p = parent[p]) ++depth;
    return depth;
  }

  // Sorted as the reader is asked to: by value, date or bytes; equal keys in file order.
  std::vector<std::uint32_t> Sorted(const std::string& board, RowOrder order,
                                    bool descending) const {
    std::vector<std::uint32_t> rows = OfBoard(board);
    auto number_key = [this](std::uint32_t i) {
      const std::string d = Digits(messages[i].no);
      const int rank = d.empty() ? 2 : d.size() > 19 ? 1 : 0;
      return std::make_tuple(rank, rank == 0 ? d.size() : 0, rank == 0 ? d : std::string());
    };
    auto text_key = [this, order](std::uint32_t i) {
      return order == RowOrder::kHandle  ? messages[i].handle
             : order == RowOrder::kTitle ? messages[i].title
                                         : messages[i].id;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](std::uint32_t a, std::uint32_t b) {
      switch (order) {
        case RowOrder::kNumber:
          return number_key(a) < number_key(b);
        case RowOrder::kDate:
          return messages[a].when < messages[b].when;
        default:
          return text_key(a) < text_key(b);
      }
    });
    if (descending) std::reverse(rows.begin(), rows.end());
    return rows;
  }
};

std::string Utf8(const std::string& cp932) {
  std::string out;
  text::AppendCp932AsUtf8(cp932, out);
  return out;
}

// Qt's model tester reports through qWarning in this mode; any such report fails the test.
int model_failures = 0;
void CountModelFailures(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtDebugMsg && type != QtInfoMsg && text.contains(QLatin1String("FAIL"))) {
    ++model_failures;
    ADD_FAILURE() << text.toStdString();
  }
}

TEST(MessageListTest, EveryOrderAndFilterListsTheBoardAsTheReferenceDoes) {
  TempDir dir;
  std::mt19937 random(1803);
  const QtMessageHandler previous = qInstallMessageHandler(CountModelFailures);
  MessageListModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
  int replies = 0;
  for (int round = 0; round < 60; ++round) {
    std::vector<Written> written;
    const std::string path = dir / ("a" + std::to_string(round) + ".log");
    WriteFile(path, RandomArchive(random, written));
    const Reference ref(written);
    auto archive = Archive::Open(path);
    archive->BuildIndex();
    ASSERT_EQ(archive->MessageCount(), written.size());
    for (std::uint32_t b = 0; b < archive->Boards().size(); ++b) {
      const std::string board = archive->Boards()[b].name;
      model.ShowBoard(archive.get(), b);
      model.SetOrder(RowOrder::kThread);
      const std::vector<std::uint32_t> thread = ref.ThreadOrder(board);
      ASSERT_EQ(model.rowCount(), static_cast<int>(thread.size()));
      for (int r = 0; r < model.rowCount(); ++r) {
        const std::uint32_t m = thread[static_cast<std::size_t>(r)];
        EXPECT_EQ(model.MessageAt(r), m);
        EXPECT_EQ(model.index(r, MessageListModel::kTitle).data(MessageListModel::kDepthRole),
                  ref.Depth(m));
        EXPECT_EQ(model.index(r, MessageListModel::kHandle).data().toString().toStdString(),
                  Utf8(written[m].handle));
        EXPECT_EQ(model.index(r, MessageListModel::kDate).data().toString().toStdString(),
                  Utf8(written[m].date) + (written[m].time.empty() ? "" : " " + written[m].time));
        replies += ref.Depth(m) > 0;
      }
      for (RowOrder order : {RowOrder::kNumber, RowOrder::kDate, RowOrder::kHandle,
                             RowOrder::kTitle, RowOrder::kId}) {
        for (bool descending : {false, true}) {
          model.SetOrder(order, descending);
          std::vector<std::uint32_t> got;
          for (int r = 0; r < model.rowCount(); ++r) got.push_back(model.MessageAt(r));
          EXPECT_EQ(got, ref.Sorted(board, order, descending))
              << "order " << static_cast<int>(order) << (descending ? " descending" : "");
          EXPECT_EQ(model.index(0, 0).data(MessageListModel::kDepthRole), -1);
        }
      }
      // A filter keeps the hits of this board in the order shown; other boards' are ignored.
      std::vector<std::uint32_t> hits;
      for (std::uint32_t i = 0; i < written.size(); ++i) {
        if (random() % 3 == 0) hits.push_back(i);
      }
      for (RowOrder order : {RowOrder::kThread, RowOrder::kDate}) {
        model.SetOrder(order);
        std::vector<std::uint32_t> want;
        for (std::uint32_t m :
             order == RowOrder::kThread ? thread : ref.Sorted(board, order, false)) {
          if (std::binary_search(hits.begin(), hits.end(), m)) want.push_back(m);
        }
        model.SetFilter(hits);
        std::vector<std::uint32_t> got;
        for (int r = 0; r < model.rowCount(); ++r) got.push_back(model.MessageAt(r));
        EXPECT_EQ(got, want);
        for (std::uint32_t m : want) EXPECT_GE(model.RowOf(m), 0);
        model.SetFilter(std::nullopt);
        EXPECT_EQ(model.rowCount(), static_cast<int>(thread.size()));
      }
    }
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
  }
  qInstallMessageHandler(previous);
  EXPECT_EQ(model_failures, 0);
  EXPECT_GT(replies, 100);
}

}  // namespace
}  // namespace sorbit::reader
