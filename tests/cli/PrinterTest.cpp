// sjisgrep's output on its own: UTF-8 text converted a piece at a time must equal the one
// table's conversion of the whole, for any bytes and any length; and after a write fails,
// nothing more may be written, so that the output is a beginning of the full output.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "Grep.h"
#include "Printer.h"
#include "text/Cp932.h"

namespace {

// An output stream into a string whose writes fail, one call or several, from a given call on.
struct Sink {
  std::string data;
  int calls = 0;
  int failFrom = 0;   // 0: never fails
  int failCount = 0;  // how many calls fail from there

  static ssize_t Write(void* cookie, const char* bytes, std::size_t size) {
    auto* sink = static_cast<Sink*>(cookie);
    ++sink->calls;
    if (sink->failFrom != 0 && sink->calls >= sink->failFrom &&
        sink->calls < sink->failFrom + sink->failCount) {
      errno = ENOSPC;
      return -1;
    }
    sink->data.append(bytes, size);
    return static_cast<ssize_t>(size);
  }

  // A stream with a buffer of the given size, so that writes reach the sink often.
  std::FILE* Open(std::size_t size) {
    buffer.resize(size);
    std::FILE* file = fopencookie(this, "w", {nullptr, &Sink::Write, nullptr, nullptr});
    std::setvbuf(file, buffer.data(), _IOFBF, size);
    return file;
  }

  std::vector<char> buffer;
};

std::string Decoded(const std::string& cp932) {
  std::string utf8;
  sorbit::text::AppendCp932AsUtf8(cp932, utf8);
  return utf8;
}

TEST(PrinterTest, Utf8TextInPiecesIsTheWholeTextConverted) {
  std::uint32_t state = 7;
  const auto next = [&state](std::uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % bound;
  };
  // Lead bytes whose pairs decode or not, lone trail-range bytes, ASCII, undecodable bytes:
  // pieces end around 16 KiB, so lengths run past a few of them.
  const unsigned char kBytes[] = {0x82, 0xA0, 0x85, 0x81, 0x40, 0x5C, 0x41, 0x20,
                                  0x80, 0xFF, 0xB1, 0x87, 0x9A, 0xEA, 0xA4, 0xFC};
  for (int round = 0; round < 40; ++round) {
    std::string text;
    const std::uint32_t length = round < 20 ? next(100) : 16000 + next(40000);
    for (std::uint32_t k = 0; k < length; ++k) {
      text += static_cast<char>(kBytes[next(sizeof kBytes)]);
    }
    Sink sink;
    std::FILE* out = sink.Open(4096);
    sjisgrep::Printer printer(out, sjisgrep::TextEncoding::kUtf8, nullptr, false);
    printer.Text(text.data(), text.data() + text.size(), true, false);
    ASSERT_TRUE(printer.Flush());
    std::fclose(out);
    EXPECT_EQ(sink.data, Decoded(text)) << "round " << round;
  }
}

TEST(PrinterTest, LineBufferedWritesEachLineAsItEnds) {
  for (const bool buffered : {false, true}) {
    Sink sink;
    std::FILE* out = sink.Open(1 << 16);
    sjisgrep::Printer printer(out, sjisgrep::TextEncoding::kUtf8, nullptr, false);
    printer.SetLineBuffered(buffered);
    const std::string line = "a line";
    for (int k = 0; k < 3; ++k) {
      printer.Text(line.data(), line.data() + line.size(), true, false);
      printer.EndLine();
      // With --line-buffered each line has reached the sink when it ends.
      EXPECT_EQ(sink.calls, buffered ? k + 1 : 0);
    }
    ASSERT_TRUE(printer.Flush());
    std::fclose(out);
    EXPECT_EQ(sink.data, "a line\na line\na line\n");
  }
}

TEST(PrinterTest, NothingIsWrittenAfterAFailedWrite) {
  sorbit::testing::TempDir dir;
  std::string lines;
  for (int k = 0; k < 3000; ++k) lines += "line " + std::to_string(k) + " of text\n";
  sorbit::testing::WriteFile(dir / "in.txt", lines);
  const std::vector<std::string> args = {"-n", "--encoding=utf-8", "of", dir / "in.txt"};

  Sink whole;
  std::FILE* out = whole.Open(256);
  std::FILE* err = std::tmpfile();
  ASSERT_EQ(sjisgrep::Main(args, out, err), 0);
  std::fclose(out);
  ASSERT_GT(whole.data.size(), 50000u);

  for (int failFrom : {1, 2, 7, 100}) {
    for (int failCount : {1, 3}) {
      Sink sink;
      sink.failFrom = failFrom;
      sink.failCount = failCount;
      std::FILE* broken = sink.Open(256);
      EXPECT_EQ(sjisgrep::Main(args, broken, err), 2);
      std::fclose(broken);
      // A beginning of the full output, without a gap after the failed write.
      EXPECT_EQ(whole.data.compare(0, sink.data.size(), sink.data), 0)
          << "failing from call " << failFrom << ", " << failCount << " calls";
      EXPECT_LT(sink.data.size(), whole.data.size());
    }
  }
  std::fclose(err);
}

}  // namespace
