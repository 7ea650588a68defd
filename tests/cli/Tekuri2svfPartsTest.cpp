// The pieces of tekuri2svf's concurrent run, driven directly: the read-ahead block source,
// output memory prepared ahead, the folder expansion and the ordered run against the engine's
// one-thread run.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <thread>

#include "../convert/TestSupport.h"
#include "InputList.h"
#include "MemoryReuse.h"
#include "OrderedRun.h"
#include "PreparedChunks.h"
#include "ReadAhead.h"
#include "platform/filesystem/PosixFileSystem.h"

namespace sorbit {
namespace {

using testing::MemoryInputFile;
using testing::ReadAll;
using testing::ReadFile;
using testing::RecordingHost;
using testing::TempDir;
using testing::WriteFile;
using Messages = std::vector<std::vector<std::string>>;

std::string RandomText(std::uint64_t seed, int lines) {
  std::string text;
  for (int l = 0; l < lines; ++l) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    const std::uint64_t r = seed >> 33;
    if (r % 9 == 0) text += ".";
    if (r % 97 == 0) text.append(4100, 'L');
    const char pool[] = {'a', '\x82', '\xa0', ' ', '\r', '\0', '\n'};
    for (std::uint64_t c = r % 23; c > 0; --c) text.push_back(pool[(r >> (c % 20)) % 7]);
    text += r % 5 == 0 ? "\r" : "\r\n";
  }
  return text;
}

// Every message `reader` gives until the end or a read error, whose reason is returned too.
std::pair<Messages, std::string> Drain(LogReader& reader) {
  Messages messages;
  LogMessage m;
  try {
    while (!reader.AtEnd() && reader.ReadMessage(m)) {
      std::vector<std::string> lines;
      for (std::string_view l : m.Lines()) lines.emplace_back(l);
      messages.push_back(std::move(lines));
    }
  } catch (const FileError& error) {
    return {messages, error.reason};
  }
  return {messages, ""};
}

TEST(ReadAheadBlocks, GiveTheMessagesOfADirectRead) {
  for (std::uint64_t seed = 1; seed <= 24; ++seed) {
    const std::string text = RandomText(seed, 400);
    const std::size_t capacity = seed % 3 == 0 ? 1 << 20 : 1 + seed * 37 % 600;
    LogReader reader(std::make_unique<cli::ReadAheadBlocks>(
        std::make_unique<MemoryInputFile>(text, 1 + seed % 500), capacity));
    EXPECT_EQ(Drain(reader).first, ReadAll(text)) << "seed " << seed;
  }
}

// Gives `good` pieces of its text (300 bytes at most each), then fails every read.
class FailingInput final : public InputFile {
 public:
  FailingInput(std::string text, int good) : input_(std::move(text), 300), good_(good) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    if (good_-- <= 0) throw FileError{"disk gone"};
    return input_.Read(buffer, size);
  }
  long long Size() const override { return input_.Size(); }
  bool IsSameFile(const std::string&) const override { return false; }

 private:
  MemoryInputFile input_;
  int good_;
};

TEST(ReadAheadBlocks, AReadErrorComesWhereTheDirectReadMeetsIt) {
  const std::string text = RandomText(77, 3000);
  for (int good : {0, 1, 2, 5, 17, 60}) {
    LogReader direct(std::make_unique<FailingInput>(text, good), 256);
    LogReader ahead(
        std::make_unique<cli::ReadAheadBlocks>(std::make_unique<FailingInput>(text, good), 256));
    const auto expected = Drain(direct);
    ASSERT_EQ(expected.second, "disk gone");
    EXPECT_EQ(Drain(ahead), expected) << good << " good reads";
  }
}

TEST(ReadAheadBlocks, StopWhenTheReaderLeavesEarly) {
  // Many small blocks still to load: the helper must stop rather than load them all, or hang.
  const std::string text = RandomText(5, 30000);
  for (int i = 0; i < 5; ++i) {
    LogReader reader(
        std::make_unique<cli::ReadAheadBlocks>(std::make_unique<MemoryInputFile>(text, 64), 64));
    LogMessage m;
    ASSERT_FALSE(reader.AtEnd());
    reader.ReadMessage(m);
    reader.Close();
    EXPECT_EQ(reader.File(), nullptr);
  }
}

TEST(PreparedChunks, FeedSeveralBuildersAtOnce) {
  static std::atomic<int> prepared{0};
  cli::PreparedChunks chunks([](char* bytes, std::size_t size) {
    std::fill_n(bytes, size, '\x55');  // what a preparer leaves is overwritten
    prepared.fetch_add(1);
  });
  std::vector<std::string> got(4), expected(4);
  // Every output lives until the end: a chunk freed by a builder that has finished may
  // rightly come back as another builder's fresh chunk.
  std::vector<std::unique_ptr<OutputLines>> outs;
  for (int t = 0; t < 4; ++t) outs.push_back(std::make_unique<OutputLines>(chunks));
  {
    std::vector<std::thread> builders;
    for (int t = 0; t < 4; ++t) {
      builders.emplace_back([&, t] {
        OutputLines& out = *outs[static_cast<std::size_t>(t)];
        OutputLines plain;
        for (int i = 0; i < 9000; ++i) {
          const std::string line(static_cast<std::size_t>((i * 7 + t) % 301), 'a' + t);
          out.AppendLine(line);
          plain.AppendLine(line);
        }
        got[t] = out.ToString();
        expected[t] = plain.ToString();
      });
    }
    for (std::thread& b : builders) b.join();
  }
  std::set<const char*> distinct;
  std::size_t total = 0;
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(got[t], expected[t]) << "builder " << t;
    for (std::string_view c : outs[static_cast<std::size_t>(t)]->Chunks()) {
      distinct.insert(c.data());
      ++total;
    }
  }
  EXPECT_EQ(distinct.size(), total);  // no chunk handed out twice
  EXPECT_GE(prepared.load(), static_cast<int>(total));
}

TEST(InputList, LogExtensionInAnyLetterCase) {
  for (const char* name : {"a.log", "b.LOG", "c.Log", ".log", "x.lOg"}) {
    EXPECT_TRUE(cli::HasLogExtension(name)) << name;
  }
  for (const char* name : {"a.txt", "log", "a.logx", "a_log", "a.lo", "", "a.l0g"}) {
    EXPECT_FALSE(cli::HasLogExtension(name)) << name;
  }
}

TEST(InputList, AFolderGivesItsLogsInByteOrder) {
  TempDir dir;
  for (const char* name : {"b.log", "a.log", "a.Log", "B.LOG", "\x82\xa0.log", "z.txt", "~.log"}) {
    WriteFile(dir.Path(name), "x");
  }
  std::filesystem::create_directory(dir.Path("sub.log"));
  WriteFile(dir.Path("sub.log/inner.log"), "x");
  ASSERT_EQ(::mkfifo(dir.Path("pipe.log").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.Path("gone"), dir.Path("dangling.log"));
  std::filesystem::create_symlink(dir.Path("a.log"), dir.Path("link.log"));
  const std::string folder = dir.Path("");  // with its final "/"
  const std::string no_slash = folder.substr(0, folder.size() - 1);
  const std::vector<std::string> expected = {
      folder + "B.LOG",        folder + "a.Log",    folder + "a.log", folder + "b.log",
      folder + "dangling.log", folder + "link.log", folder + "~.log", folder + "\x82\xa0.log"};
  EXPECT_EQ(cli::ExpandFolders({folder}), expected);
  EXPECT_EQ(cli::ExpandFolders({no_slash}), expected);
  // Files stay where they are given, folders are replaced in place.
  const std::vector<std::string> mixed =
      cli::ExpandFolders({folder + "z.txt", no_slash, folder + "none.log"});
  ASSERT_EQ(mixed.size(), expected.size() + 2);
  EXPECT_EQ(mixed.front(), folder + "z.txt");
  EXPECT_EQ(mixed.back(), folder + "none.log");
}

long MinorFaults() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Freed 1 MiB blocks (input buffers, output chunks) come back for the next file without a
// page fault per page. Sanitizers bring their own allocator, which takes no such advice.
TEST(MemoryReuse, FreedChunksAreReusedWithoutFaults) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's allocator";
#endif
  cli::KeepFreedMemoryForReuse();
  // One file's worth: eight chunks, filled, then all freed after the save.
  const auto file = [] {
    std::vector<std::unique_ptr<char[]>> chunks;
    for (int c = 0; c < 8; ++c) {
      chunks.push_back(std::make_unique_for_overwrite<char[]>(OutputLines::kChunkBytes));
      std::fill_n(chunks.back().get(), OutputLines::kChunkBytes, 'x');
    }
    return chunks.back()[0];
  };
  file();
  const long before = MinorFaults();
  char sum = 0;
  for (int i = 0; i < 10; ++i) sum = static_cast<char>(sum + file());
  const long faults = MinorFaults() - before;
  EXPECT_EQ(sum, static_cast<char>('x' * 10));
  // Memory mapped afresh for each file would fault 8 times 256 pages a file.
  EXPECT_LT(faults, 8 * 256) << faults << " faults for 10 files";
}

// The ordered run against the engine's own: the same host calls that show anything, the same
// files, for the checks before the files and for an ordinary run.
TEST(OrderedRun, TellsTheHostWhatTheOneThreadRunTells) {
  const std::string log = "Title : Re: 7 a\r\nName:x <m@n.jp>\r\n.\r\nTitle : b\r\n.\r\n";
  struct Case {
    const char* name;
    std::string output;  // relative to the input folder
    std::string prefix;
    MessageAnswer answer;
  } cases[] = {
      {"SameFolderTurnsThePrefixOn", "", "", MessageAnswer::Yes},
      {"MissingFolderCreated", "new", "svf", MessageAnswer::Yes},
      {"MissingFolderDeclined", "new", "svf", MessageAnswer::No},
  };
  for (const Case& c : cases) {
    std::vector<RecordingHost> hosts(2);
    std::vector<std::map<std::string, std::string>> trees(2);
    std::vector<RunOutcome> outcomes(2);
    for (int run = 0; run < 2; ++run) {
      TempDir in;
      ConversionOptions options;
      for (int i = 0; i < 7; ++i) {
        const std::string path = in.Path("b" + std::to_string(i) + ".log");
        WriteFile(path, log);
        options.InputFiles.push_back(path);
      }
      options.InputFolder = in.Folder();
      options.OutputFolder = c.output.empty() ? in.Folder() : in.Path(c.output);
      options.Prefix = c.prefix;
      hosts[run].answer = c.answer;
      platform::PosixFileSystem fs;
      const auto new_finder = [] {
        return ReplyNumberFinder([](std::string_view title, std::string& reply_no) {
          reply_no = title.substr(0, 2) == "Re" ? "7" : "";
        });
      };
      outcomes[run] = run == 0
                          ? RunConversion(options, hosts[run], fs, new_finder())
                          : cli::RunInOrder(options, hosts[run], fs, {4, true, true}, new_finder);
      for (const auto& e : std::filesystem::recursive_directory_iterator(in.Folder())) {
        if (e.is_regular_file()) {
          trees[run][std::filesystem::relative(e.path(), in.Folder())] = ReadFile(e.path());
        }
      }
      // The paths in the messages name each run's own folder.
      for (auto& m : hosts[run].messages) {
        const std::size_t at = m.text.find(in.Folder());
        if (at != std::string::npos) m.text.replace(at, in.Folder().size(), "<in>/");
      }
    }
    EXPECT_EQ(outcomes[1], outcomes[0]) << c.name;
    EXPECT_EQ(hosts[1].messages, hosts[0].messages) << c.name;
    EXPECT_EQ(hosts[1].errors, hosts[0].errors) << c.name;
    EXPECT_EQ(hosts[1].prefix_changes, hosts[0].prefix_changes) << c.name;
    EXPECT_EQ(hosts[1].shows, hosts[0].shows) << c.name;
    EXPECT_EQ(hosts[1].closes, hosts[0].closes) << c.name;
    EXPECT_EQ(trees[1], trees[0]) << c.name;
  }
}

}  // namespace
}  // namespace sorbit
