#include <gtest/gtest.h>

#include <deque>

#include "TestSupport.h"
#include "convert/SvfRecord.h"

namespace sorbit {
namespace {

LogMessage Message(std::vector<std::string> lines) {
  LogMessage m;
  for (const std::string& l : lines) m.AddLine(l);
  return m;
}

TEST(SvfRecord, WorkedExample) {
  const LogMessage m = Message({"Title : Re:12 thanks", "Name:guest <guest@example.jp>",
                                "Date : 98/12/31 12:34:56", "miniBBS", "hello"});
  const SvfRecord r = BuildSvfRecord(m, 7, "general", "12", {true, true, false});
  EXPECT_EQ(r, (SvfRecord{"", "@@@MSG,0,general, ,guest,98/12/31,12:34", "@@@7,12,0,Re:12 thanks",
                          "Title : Re:12 thanks", "Name:guest <guest@example.jp>",
                          "Date : 98/12/31 12:34:56", "miniBBS", "hello"}));
}

struct HeaderCase {
  const char* name;
  std::string handle_line;
  std::string number_line;
  RecordOptions options;
  std::string msg_line;    // expected "@@@MSG,..." line
  std::string number_out;  // expected "@@@..." line
};

class SvfHeaders : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(SvfHeaders, FollowTheOptions) {
  const HeaderCase& c = GetParam();
  const LogMessage m = Message({"12345678T", c.handle_line, "1234567D", c.number_line});
  const SvfRecord r = BuildSvfRecord(m, 3, "b", "", c.options);
  EXPECT_EQ(r.at(1), c.msg_line);
  EXPECT_EQ(r.at(2), c.number_out);
  // Streamed, the same lines.
  testing::StringLines out;
  out.lines.AppendRecord(m, 3, "b", "", c.options);
  EXPECT_EQ(out.Bytes().substr(0, 4 + c.msg_line.size() + c.number_out.size() + 2),
            "\r\n" + c.msg_line + "\r\n" + c.number_out + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Options, SvfHeaders,
                         ::testing::Values(HeaderCase{"DivEMailIdBlank",
                                                      "12345g <a@b>",
                                                      "x",
                                                      {true, true, false},
                                                      "@@@MSG,0,b, ,g,D,",
                                                      "@@@3,,0,T"},
                                           HeaderCase{"DivEMailUseEMail4ID",
                                                      "12345g <a@b>",
                                                      "x",
                                                      {true, true, true},
                                                      "@@@MSG,0,b,a@b,g,D,",
                                                      "@@@3,,0,T"},
                                           HeaderCase{"IdDropsAnyLastByte",
                                                      "12345g <a@b> ",
                                                      "x",
                                                      {true, true, true},
                                                      "@@@MSG,0,b,a@b>,g,D,",
                                                      "@@@3,,0,T"},
                                           HeaderCase{"NothingAfterTheBracket",
                                                      "12345g <",
                                                      "x",
                                                      {true, true, true},
                                                      "@@@MSG,0,b,,g,D,",
                                                      "@@@3,,0,T"},
                                           HeaderCase{"NoAddressGivesEmptyId",
                                                      "12345guest",
                                                      "x",
                                                      {true, true, true},
                                                      "@@@MSG,0,b,,guest,D,",
                                                      "@@@3,,0,T"},
                                           HeaderCase{"DivEMailOffIgnoresUseEMail4ID",
                                                      "12345g <a@b>",
                                                      "x",
                                                      {true, false, true},
                                                      "@@@MSG,0,b,,g <a@b>,D,",
                                                      "@@@3,,0,T"},
                                           HeaderCase{"FirstBlankBracketCounts",
                                                      "12345a <b> <c>",
                                                      "x",
                                                      {true, true, true},
                                                      "@@@MSG,0,b,b> <c,a,D,",
                                                      "@@@3,,0,T"},
                                           HeaderCase{"NumberLabelKeepsItsBlank",
                                                      "12345g",
                                                      "NO: 0042",
                                                      {true, true, false},
                                                      "@@@MSG,0,b,,g,D,",
                                                      "@@@ 0042,,0,T"},
                                           HeaderCase{"NumberLabelIgnoresCase",
                                                      "12345g",
                                                      "nO:9",
                                                      {false, true, false},
                                                      "@@@MSG,0,b,,g,D,",
                                                      "@@@9,,0,T"},
                                           HeaderCase{"NoLabelNoAddMsgNo",
                                                      "12345g",
                                                      "N0:9",
                                                      {false, true, false},
                                                      "@@@MSG,0,b,,g,D,",
                                                      "@@@,,0,T"},
                                           HeaderCase{"CommasPassUnchanged",
                                                      "12345a,b",
                                                      "x",
                                                      {true, true, false},
                                                      "@@@MSG,0,b,,a,b,D,",
                                                      "@@@3,,0,T"}),
                         [](const auto& p) { return std::string(p.param.name); });

// Message numbers across every change in their number of digits, built alone and streamed.
TEST(SvfRecord, MessageNumbersArePlainDecimals) {
  testing::StringLines out;
  std::string expected;
  for (const long long n :
       {1LL, 9LL, 10LL, 99LL, 100LL, 12345LL, 999999999LL, 1000000000LL, 9223372036854775807LL}) {
    const SvfRecord record = BuildSvfRecord(LogMessage(), n, "b", "", {true, true, false});
    EXPECT_EQ(record.at(2), "@@@" + std::to_string(n) + ",,0,");
    out.lines.AppendRecord(LogMessage(), n, "b", "", {true, true, false});
    expected += "\r\n@@@MSG,0,b,,,,\r\n@@@" + std::to_string(n) + ",,0,\r\n";
  }
  EXPECT_EQ(out.Bytes(), expected);
}

TEST(SvfRecord, EmptyBlock) {
  EXPECT_EQ(BuildSvfRecord(LogMessage(), 1, "general", "", {true, true, false}),
            (SvfRecord{"", "@@@MSG,0,general,,,,", "@@@1,,0,"}));
  EXPECT_EQ(BuildSvfRecord(LogMessage(), 1, "general", "", {false, true, false}),
            (SvfRecord{"", "@@@MSG,0,general,,,,", "@@@,,0,"}));
}

TEST(OutputLines, RecordsFollowEachOtherWithCrLf) {
  testing::StringLines out;
  const LogMessage a = Message({"12345678A", "12345x", "", "", "body a"});
  const LogMessage b = Message({"12345678B"});
  out.lines.AppendRecord(a, 1, "g", "", {true, true, false});
  out.lines.AppendRecord(b, 2, "g", "1", {true, true, false});
  EXPECT_EQ(out.Bytes(),
            "\r\n@@@MSG,0,g,,x,,\r\n@@@1,,0,A\r\n12345678A\r\n12345x\r\n\r\n\r\nbody a\r\n"
            "\r\n@@@MSG,0,g,,,,\r\n@@@2,1,0,B\r\n12345678B\r\n");
}

// The header lines are written into the buffer directly when they fit and through the
// general path when they do not: a record that starts at every offset around a buffer's end
// gives the same bytes as the record built line by line.
TEST(OutputLines, AHeaderAcrossABufferEndKeepsItsBytes) {
  const LogMessage m = Message({"Title : Re: 12 a title", "Name:someone <s@x.jp>",
                                "Date : 98/12/31 12:34:56", "NO: 77", "body"});
  const RecordOptions options{true, true, true};
  std::string record;
  for (const std::string& line : BuildSvfRecord(m, 5, "board", "12", options)) {
    record.append(line).append("\r\n");
  }
  constexpr std::size_t kBuffer = OutputLines::kBufferBytes;
  for (std::size_t before = kBuffer - record.size() - 4; before <= kBuffer + 2; ++before) {
    testing::StringLines out;
    if (before >= 2) out.lines.AppendLine(std::string(before - 2, 'f'));
    out.lines.AppendRecord(m, 5, "board", "12", options);
    const std::string expected =
        (before >= 2 ? std::string(before - 2, 'f') + "\r\n" : "") + record;
    ASSERT_EQ(out.Bytes(), expected) << "record after " << before << " bytes";
  }
}

// A file that may still be writing the bytes of its last OutputFile::kPiecesInFlight Writes (a
// write-behind): at every call, the bytes of those Writes must still be what they were, and
// they must add up to the file. The third Write fails when asked to: the failure is kept,
// nothing more reaches the file, and Commit throws it.
class CheckingFile final : public OutputFile {
 public:
  CheckingFile(std::string& bytes, bool fail_third) : bytes_(bytes), fail_third_(fail_third) {}
  ~CheckingFile() override { CheckHeld(); }
  void Write(std::string_view piece) override {
    CheckHeld();
    if (fail_third_ && ++writes_ == 3) throw FileError{"cannot write: disk full"};
    bytes_.append(piece);
    held_.emplace_back(piece, piece);
    if (held_.size() > static_cast<std::size_t>(kPiecesInFlight)) held_.pop_front();
  }
  void Flush() override {
    CheckHeld();
    held_.clear();
  }
  void Close() override {
    CheckHeld();
    EXPECT_FALSE(fail_third_) << "a failed output must not be committed";
  }

 private:
  void CheckHeld() const {
    for (const auto& [piece, copy] : held_) {
      EXPECT_EQ(piece, copy) << "the bytes of a Write changed while it could be in flight";
    }
  }
  std::string& bytes_;
  bool fail_third_;
  int writes_ = 0;
  std::deque<std::pair<std::string_view, std::string>> held_;  // each piece and a copy of it
};

TEST(OutputLines, StreamsThroughItsRingAndKeepsTheFirstFailure) {
  for (const bool fail : {false, true}) {
    std::string written;
    std::string expected;
    OutputLines out(std::make_unique<CheckingFile>(written, fail));
    LogMessage message;
    message.AddLine("Title : Re: 4 x");
    message.AddLine("Name:guest <g@x.jp>");
    message.AddLine(std::string(3000, 'b'));
    testing::StringLines reference;
    for (int i = 1; i <= 2000; ++i) {
      out.AppendRecord(message, i, "board", "4", {});
      reference.lines.AppendRecord(message, i, "board", "4", {});
    }
    expected = reference.Bytes();
    EXPECT_EQ(out.Size(), static_cast<long long>(expected.size()));
    if (!fail) {
      out.Commit();
      EXPECT_EQ(written, expected);
      EXPECT_FALSE(out.Error());
      continue;
    }
    EXPECT_EQ(written, expected.substr(0, 2 * OutputLines::kBufferBytes));
    ASSERT_TRUE(out.Error());
    try {
      out.Commit();
      FAIL() << "a failed output was committed";
    } catch (const FileError& error) {
      EXPECT_EQ(error.reason, "cannot write: disk full");
    }
  }
}

TEST(OutputLines, SpansBuffersWithoutLosingBytes) {
  testing::StringLines out;
  std::string expected;
  for (int i = 0; i < 40000; ++i) {
    const std::string line(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26));
    out.lines.AppendLine(line);
    expected.append(line).append("\r\n");
  }
  EXPECT_GT(expected.size(), 2 * OutputLines::kBufferBytes);
  EXPECT_EQ(out.lines.Size(), static_cast<long long>(expected.size()));
  EXPECT_EQ(out.Bytes(), expected);
}

}  // namespace
}  // namespace sorbit

namespace sorbit {
namespace {

// Random logs of CR LF, lone CR, LF, NUL, Ctrl-Z, long lines and dots, read in random pieces:
// the bytes that OutputLines builds from the reader's borrowed lines, and AppendSvfRecord's,
// must equal the records built line by line from copies of the same messages.
TEST(OutputLines, BorrowedRunsGiveTheSameBytesAsLineByLine) {
  std::uint64_t seed = 12345;
  auto next = [&seed](std::uint64_t n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return (seed >> 33) % n;
  };
  const RecordOptions options{true, true, false};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const std::uint64_t lines = next(200);
    for (std::uint64_t l = 0; l < lines; ++l) {
      const std::uint64_t kind = next(100);
      if (kind < 10) {
        text += ".";
      } else if (kind < 12) {
        text.append(4090 + next(20), 'L');
      } else {
        const std::uint64_t n = next(40);
        for (std::uint64_t c = 0; c < n; ++c) {
          const char pool[] = {'a', 'b', '\x82', '\xa0', ' ', '<', '\0', '\n', '\x1a', ','};
          text.push_back(pool[next(round % 7 == 0 ? 10 : 8)]);
        }
      }
      const std::uint64_t end = next(10);
      text += end < 7 ? "\r\n" : end < 9 ? "\r" : "";
    }
    const std::size_t piece = round % 2 == 0 ? std::size_t{1} << 20 : 1 + next(64);
    LogReader fast(std::make_unique<testing::MemoryInputFile>(text, piece));
    LogReader slow(std::make_unique<testing::MemoryInputFile>(text, piece));
    testing::StringLines out;
    std::string expected, appended;
    LogMessage m, copy;
    long long count = 0;
    while (!fast.AtEnd()) {
      ASSERT_FALSE(slow.AtEnd());
      const bool got = fast.ReadMessage(m);
      ASSERT_EQ(slow.ReadMessage(copy), got);
      if (!got) break;
      ++count;
      out.lines.AppendRecord(m, count, "b", "", options);
      AppendSvfRecord(appended, m, count, "b", "", options);
      const LogMessage owned(copy);  // a copy owns its lines: no borrowed runs
      for (const std::string& line : BuildSvfRecord(owned, count, "b", "", options)) {
        expected.append(line).append("\r\n");
      }
    }
    ASSERT_EQ(out.Bytes(), expected) << "round " << round;
    ASSERT_EQ(appended, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace sorbit
