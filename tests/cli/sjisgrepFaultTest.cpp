// sjisgrep under faults a user meets: a system without iconv's conversion modules, memory too
// short to hold a long line three times over, output that cannot be written. Each must end
// as the manual says (exit status 2 with a message), never with an abort.
#include <gtest/gtest.h>

#include <string>

#include "SjisgrepShell.h"

namespace {

using sorbit::testing::RunShell;
using sorbit::testing::ShellQuote;
using sorbit::testing::ShellResult;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

class SjisgrepFaultTest : public testing::Test {
 protected:
  ShellResult Run(const std::string& command) { return RunShell(files_.Path(""), command, io_); }

  TempDir files_;
  TempDir io_;
};

TEST_F(SjisgrepFaultTest, NeedsNoConversionModule) {
  WriteFile(files_.Path("a.log"), "x \x82\xA0\r\n");
  // The sanitizers' runtime would complain that the stand-in is loaded before it.
  const std::string preload =
      "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" + ShellQuote(NO_ICONV_PATH) + " ";
  for (const char* locale : {"LC_ALL=C ", "LC_ALL=C.UTF-8 "}) {
    const ShellResult r = Run(preload + locale + ShellQuote(SJISGREP_PATH) + " -w x a.log");
    EXPECT_EQ(r.status, 0) << locale << r.err;
    EXPECT_EQ(r.err, "") << locale;
  }
  EXPECT_EQ(Run(preload + "LC_ALL=C.UTF-8 " + ShellQuote(SJISGREP_PATH) + " -o あ a.log").out,
            "あ\n");
}

#if defined(__SANITIZE_ADDRESS__)
#define SJISGREP_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SJISGREP_ASAN 1
#endif
#endif

TEST_F(SjisgrepFaultTest, PrintsALongLineInLittleMemory) {
#ifdef SJISGREP_ASAN
  GTEST_SKIP() << "address space limits do not mix with AddressSanitizer";
#else
  // 30 MB in one line with 100 MB of address space: room to hold the line, not to convert it
  // whole.
  const ShellResult r = Run(
      "head -c 30000000 /dev/zero | tr '\\0' a > long.txt; (ulimit -v 100000; LC_ALL=C.UTF-8 " +
      ShellQuote(SJISGREP_PATH) + " a long.txt > out.txt; echo \"status $?\"); wc -c < out.txt");
  EXPECT_EQ(r.out, "status 0\n30000001\n");
  EXPECT_EQ(r.err, "");
#endif
}

TEST_F(SjisgrepFaultTest, HelpAndVersionSayWhyTheyCannotBeWritten) {
  for (const char* option : {"--version", "--help"}) {
    const ShellResult r = Run(ShellQuote(SJISGREP_PATH) + " " + option + " > /dev/full");
    EXPECT_EQ(r.status, 2) << option;
    EXPECT_EQ(r.err, "sjisgrep: write error: No space left on device\n") << option;
  }
}

}  // namespace
