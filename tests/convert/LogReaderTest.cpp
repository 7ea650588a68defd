#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "convert/FastBytes.h"
#include "convert/LogReader.h"

namespace sorbit {
namespace {

using namespace std::string_literals;
using testing::ReadAll;
using Messages = std::vector<std::vector<std::string>>;

struct ReaderCase {
  const char* name;
  std::string input;
  Messages expected;
};

class LogReaderCases : public ::testing::TestWithParam<ReaderCase> {};

// Every case is read whole and in pieces of 1, 2 and 3 bytes, so a CR at the end of one
// read and its LF at the start of the next split exactly as inside one buffer.
TEST_P(LogReaderCases, ReadsTheBlocks) {
  const ReaderCase& c = GetParam();
  for (std::size_t piece : {std::size_t{1} << 20, std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
    EXPECT_EQ(ReadAll(c.input, piece), c.expected) << "read in pieces of " << piece;
  }
}

// Buffers smaller than the text: every line end, NUL and Ctrl-Z lands at every place
// relative to a refill, with whole reads this time.
TEST_P(LogReaderCases, ReadsTheBlocksWithTinyBuffers) {
  const ReaderCase& c = GetParam();
  for (std::size_t buffer : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}}) {
    EXPECT_EQ(ReadAll(c.input, std::size_t{1} << 20, buffer), c.expected)
        << "buffers of " << buffer;
  }
}

// Hands out blocks from two buffers in turn, as a source that loads one block while the reader
// cuts the other does, and spoils every block it is given back: a reader that still looked at
// a returned block would read the spoilt bytes.
class AlternatingBlocks final : public InputBlockSource {
 public:
  AlternatingBlocks(std::string text, std::size_t capacity)
      : file_(std::move(text)), blocks_{InputBlock(capacity), InputBlock(capacity)} {}
  const InputBlock& Next() override {
    InputBlock& returned = blocks_[current_];
    std::fill_n(returned.bytes.get(), returned.capacity, '.');
    std::fill_n(returned.crs.get(), returned.capacity + 5, 0u);
    returned.size = returned.first_nul = 0;
    current_ ^= 1;
    LoadInputBlock(file_, blocks_[current_]);
    return blocks_[current_];
  }

 private:
  testing::MemoryInputFile file_;
  InputBlock blocks_[2];
  int current_ = 0;
};

Messages ReadFromBlocks(std::string text, std::size_t capacity) {
  LogReader reader(std::make_unique<AlternatingBlocks>(std::move(text), capacity));
  Messages messages;
  LogMessage m;
  while (!reader.AtEnd() && reader.ReadMessage(m)) {
    std::vector<std::string> lines;
    for (std::string_view l : m.Lines()) lines.emplace_back(l);
    messages.push_back(std::move(lines));
  }
  return messages;
}

TEST_P(LogReaderCases, ReadsTheBlocksOfAnAlternatingSource) {
  const ReaderCase& c = GetParam();
  for (std::size_t capacity :
       {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{64}, std::size_t{1} << 20}) {
    EXPECT_EQ(ReadFromBlocks(c.input, capacity), c.expected) << "blocks of " << capacity;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, LogReaderCases,
    ::testing::Values(
        ReaderCase{"EmptyFile", "", {}}, ReaderCase{"OneBlock", "a\r\nb\r\n.\r\n", {{"a", "b"}}},
        ReaderCase{"DotAsVeryLastByte", "a\r\n.", {{"a"}}},
        ReaderCase{"AnyDotLineTerminates", "a\r\n..\r\nb\r\n.word\r\n", {{"a"}, {"b"}}},
        ReaderCase{"EmptyBlock", ".\r\n.\r\n", {{}, {}}},
        ReaderCase{"BlankLineBeforeHeader", "a\r\n.\r\n\r\nb\r\n.\r\n", {{"a"}, {"", "b"}}},
        ReaderCase{"LoneCrEndsLines", "a\rb\r.\rc\r\n.\r\n", {{"a", "b"}, {"c"}}},
        ReaderCase{"LfInsideALine", "a\nb\r\n.\r\n", {{"a\nb"}}},
        ReaderCase{"LfOnlyFileIsOneLine", "a\nb\n.\n", {{"a\nb\n.\n"}}},
        ReaderCase{"CtrlZEndsTheText",
                   "a\r\n.\r\n\x1a"
                   "b\r\n.\r\n",
                   {{"a"}}},
        ReaderCase{"CtrlZInsideALine",
                   "a\r\nbc\x1a"
                   "d\r\n.\r\n",
                   {{"a", "bc"}}},
        ReaderCase{"UnfinishedBlockIsKept", "a\r\n.\r\nb\r\nc", {{"a"}, {"b", "c"}}},
        ReaderCase{"TrailingBlankLinesAreNoMessage", "a\r\n.\r\n\r\n\r\n", {{"a"}}},
        ReaderCase{"UnfinishedBlockWithTextAfterBlank", "a\r\n.\r\n\r\nx", {{"a"}, {"", "x"}}},
        ReaderCase{"NulCutsTheStoredLine", "ab\0cd\r\n\0.\r\n.\r\n"s, {{"ab", ""}}},
        ReaderCase{"CrLfAcrossTheTerminator", "a\r\n.\r\n", {{"a"}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LogReader, KeepsTheFirst4096BytesOfALongLine) {
  const std::string long_line(5000, 'x');
  const Messages messages = ReadAll(long_line + "\r\nnext\r\n.\r\n");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], (std::vector<std::string>{std::string(4096, 'x'), "next"}));
}

TEST(LogReader, ReadsAHugeLineInBoundedMemory) {
  // 64 MiB without a CR: only 4096 bytes of it are ever stored.
  class Endless final : public InputFile {
   public:
    std::size_t Read(char* buffer, std::size_t size) override {
      const std::size_t n = std::min<std::size_t>(size, left_);
      std::fill_n(buffer, n, 'y');
      left_ -= n;
      return n;
    }
    long long Size() const override { return 64 << 20; }
    bool IsSameFile(const std::string&) const override { return false; }

   private:
    std::size_t left_ = std::size_t{64} << 20;
  };
  LogReader reader(std::make_unique<Endless>());
  LogMessage m;
  ASSERT_FALSE(reader.AtEnd());
  ASSERT_TRUE(reader.ReadMessage(m));
  ASSERT_EQ(m.LineCount(), 1u);
  EXPECT_EQ(m.Line(0).size(), kMaxLineBytes);
  EXPECT_EQ(reader.BytesConsumed(), 64ll << 20);
  EXPECT_TRUE(reader.AtEnd());
}

TEST(LogReader, AtEndIsTrueAfterTheLastTerminator) {
  LogReader reader(std::make_unique<testing::MemoryInputFile>("a\r\n.\r\n"));
  LogMessage m;
  ASSERT_FALSE(reader.AtEnd());
  ASSERT_TRUE(reader.ReadMessage(m));
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.BytesConsumed(), 6);
}

// The bytes handed out in whole reads, failing the read numbered `fail_at` (from 1) once.
class FailingOnce final : public InputFile {
 public:
  FailingOnce(std::string bytes, std::size_t fail_at)
      : bytes_(std::move(bytes)), fail_at_(fail_at) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    if (++reads_ == fail_at_) throw FileError{"bad sector"};
    return bytes_.Read(buffer, size);
  }
  long long Size() const override { return bytes_.Size(); }
  bool IsSameFile(const std::string&) const override { return false; }

 private:
  testing::MemoryInputFile bytes_;
  std::size_t reads_ = 0;
  std::size_t fail_at_;
};

// A read that fails in the middle of the text is reported after exactly the messages that
// end before the failed read's bytes, and with the bytes consumed up to there.
TEST(LogReader, AReadErrorComesAfterTheMessagesBeforeIt) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "title " + std::to_string(i) + "\r\nbody\r\n.\r\n";
  ASSERT_EQ(text.size(), 370u);  // six reads of 64 bytes, then the end
  for (std::size_t fail_at = 1; fail_at <= 7; ++fail_at) {
    LogReader reader(std::make_unique<FailingOnce>(text, fail_at), 64);
    const auto failed_read_from = static_cast<long long>(std::min((fail_at - 1) * 64, text.size()));
    std::size_t before_failure = 0;
    LogMessage m;
    bool failed = false;
    try {
      while (!reader.AtEnd() && reader.ReadMessage(m)) ++before_failure;
    } catch (const FileError& error) {
      EXPECT_EQ(error.reason, "bad sector");
      EXPECT_EQ(reader.BytesConsumed(), failed_read_from);
      failed = true;
    }
    EXPECT_TRUE(failed) << "read " << fail_at;
    std::size_t complete = 0;
    for (std::size_t end = 0; (end = text.find(".\r\n", end)) != std::string::npos; end += 3) {
      if (static_cast<long long>(end + 3) <= failed_read_from) ++complete;
    }
    EXPECT_EQ(before_failure, complete) << "read " << fail_at;
  }
}

TEST(LogReader, ReadErrorsReachTheCaller) {
  class Failing final : public InputFile {
   public:
    std::size_t Read(char*, std::size_t) override { throw FileError{"disk on fire"}; }
    long long Size() const override { return 10; }
    bool IsSameFile(const std::string&) const override { return false; }
  };
  LogReader reader(std::make_unique<Failing>());
  EXPECT_THROW(reader.AtEnd(), FileError);
}

struct HeaderCase {
  const char* name;
  std::vector<std::string> lines;
  std::string title, handle, date, time, label, number;
};

class HeaderValues : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderValues, AreCutByBytePosition) {
  const HeaderCase& c = GetParam();
  LogMessage m;
  for (const std::string& l : c.lines) m.AddLine(l);
  EXPECT_EQ(m.Title(), c.title);
  EXPECT_EQ(m.HandleText(), c.handle);
  EXPECT_EQ(m.Date(), c.date);
  EXPECT_EQ(m.Time(), c.time);
  EXPECT_EQ(m.NumberLabel(), c.label);
  EXPECT_EQ(m.NumberText(), c.number);
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, HeaderValues,
    ::testing::Values(
        HeaderCase{"FullHeader",
                   {"Title : Re: 12 hi", "Name:guest <g@x.jp>", "Date : 98/12/31 12:34:56",
                    "NO: 123", "body"},
                   "Re: 12 hi",
                   "guest <g@x.jp>",
                   "98/12/31",
                   "12:34",
                   "NO:",
                   " 123"},
        HeaderCase{"NoLines", {}, "", "", "", "", "", ""},
        HeaderCase{"FewerThanFourLines", {"12345678T", "12345H"}, "T", "H", "", "", "", ""},
        HeaderCase{"EightByteTitleLineIsEmpty", {"12345678"}, "", "", "", "", "", ""},
        HeaderCase{
            "SixteenByteDateLine", {"", "", "1234567DDDDDDDD."}, "", "", "DDDDDDDD", "", "", ""},
        HeaderCase{"ShortTime", {"", "", "1234567DDDDDDDD T"}, "", "", "DDDDDDDD", "T", "", ""},
        HeaderCase{"ShortDate", {"", "", "1234567DD"}, "", "", "DD", "", "", ""},
        HeaderCase{"TwoByteCutsAreBytes",
                   {"\x8C\x8F\x96\xBC  : \x82\xA0"},
                   "\x82\xA0",
                   "",
                   "",
                   "",
                   "",
                   ""}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace sorbit

namespace sorbit {
namespace {

// Random logs with long lines, lone CRs, NULs and a Ctrl-Z now and then: blocks that alternate
// between two buffers give the messages of one buffer read directly.
TEST(LogReader, AlternatingBlocksGiveTheMessagesOfOneBuffer) {
  std::uint64_t seed = 4242;
  auto next = [&seed](std::uint64_t n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return (seed >> 33) % n;
  };
  for (int round = 0; round < 200; ++round) {
    std::string text;
    for (std::uint64_t l = next(300); l > 0; --l) {
      const std::uint64_t kind = next(100);
      if (kind < 10) text += ".";
      if (kind >= 10 && kind < 12) text.append(4000 + next(200), 'L');
      for (std::uint64_t c = next(30); c > 0; --c) {
        const char pool[] = {'a', '\x82', '\xa0', ' ', '\r', '\0', '\n', '\x1a'};
        text.push_back(pool[next(round % 5 == 0 ? 8 : 7)]);
      }
      text += next(10) < 8 ? "\r\n" : "\r";
    }
    const std::size_t capacity = 1 + next(round % 2 == 0 ? 5000 : 70);
    EXPECT_EQ(ReadFromBlocks(text, capacity), ReadAll(text)) << "round " << round;
  }
}

// The CR list against the plain definition, on text dense in CRs (most words of 64 bytes hold
// more than four) and sparse (most hold none), with every offset into the data and every
// length of a last word, so that no alignment is assumed.
TEST(LogReader, CrListAgreesWithTheDefinition) {
  std::uint64_t seed = 99;
  std::string data(64 * 40 + 63, ' ');
  for (std::size_t i = 0; i < data.size(); ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    const unsigned r = static_cast<unsigned>(seed >> 56);
    data[i] = r < (i < data.size() / 2 ? 40u : 1u) ? '\r' : r < 60 ? '\n' : static_cast<char>(r);
  }
  for (std::size_t offset = 0; offset < 64; ++offset) {
    const char* text = data.data() + offset;
    const std::size_t size = data.size() - offset;
    std::vector<std::uint32_t> expected;
    for (std::size_t i = 0; i < size; ++i) {
      if (text[i] == '\r') expected.push_back(static_cast<std::uint32_t>(i));
    }
    std::vector<std::uint32_t> got(size + 4, 7);
    got.resize(static_cast<std::size_t>(ListCarriageReturns(text, size, got.data()) - got.data()));
    EXPECT_EQ(got, expected) << "offset " << offset;
  }
}

}  // namespace
}  // namespace sorbit
