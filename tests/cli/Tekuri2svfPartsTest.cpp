// The pieces of tekuri2svf's concurrent run, driven directly: the helper that reads an input
// ahead and writes an output behind, the folder expansion and the files converted ahead against
// the engine's one-thread run.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "../convert/TestSupport.h"
#include "FileIo.h"
#include "FilesAhead.h"
#include "InputList.h"
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

// Every message `reader` gives until the end or a read error, whose reason is returned too;
// with `echo`, each message's lines are appended to it as soon as the message is read.
std::pair<Messages, std::string> Drain(LogReader& reader, OutputLines* echo = nullptr) {
  Messages messages;
  LogMessage m;
  try {
    while (!reader.AtEnd() && reader.ReadMessage(m)) {
      std::vector<std::string> lines;
      for (std::string_view l : m.Lines()) {
        lines.emplace_back(l);
        if (echo != nullptr) echo->AppendLine(l);
      }
      messages.push_back(std::move(lines));
    }
  } catch (const FileError& error) {
    return {messages, error.reason};
  }
  return {messages, ""};
}

// The streams of a helper for `input` and `output` (none when null).
FileStreams Helped(InputFile& input, std::unique_ptr<OutputFile> output = nullptr,
                   std::size_t block_bytes = 256) {
  return cli::StartFileIo(input, std::move(output), block_bytes);
}

// Read and written through one helper, a log gives the messages of a direct read, and its
// lines, written back as they are read, the bytes of a direct write.
TEST(FileIo, ReadsWhatADirectReadReadsWhileWriting) {
  for (std::uint64_t seed = 1; seed <= 24; ++seed) {
    const std::string text = RandomText(seed, 400);
    const std::size_t capacity = seed % 3 == 0 ? 1 << 20 : 1 + seed * 37 % 600;
    MemoryInputFile file(text, 1 + seed % 500);
    std::string written;
    FileStreams streams =
        Helped(file, std::make_unique<testing::StringOutputFile>(written), capacity);
    LogReader reader(std::move(streams.blocks));
    OutputLines out(std::move(streams.output));
    const Messages messages = Drain(reader, &out).first;
    out.Commit();
    std::string expected;
    for (const std::vector<std::string>& message : messages) {
      for (const std::string& line : message) expected.append(line).append("\r\n");
    }
    EXPECT_EQ(messages, ReadAll(text)) << "seed " << seed;
    EXPECT_EQ(written, expected) << "seed " << seed;
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

TEST(FileIo, AReadErrorComesWhereTheDirectReadMeetsIt) {
  const std::string text = RandomText(77, 3000);
  for (int good : {0, 1, 2, 5, 17, 60}) {
    LogReader direct(std::make_unique<FailingInput>(text, good), 256);
    FailingInput file(text, good);
    LogReader ahead(Helped(file).blocks);
    const auto expected = Drain(direct);
    ASSERT_EQ(expected.second, "disk gone");
    EXPECT_EQ(Drain(ahead), expected) << good << " good reads";
  }
}

TEST(FileIo, StopsWhenTheReaderLeavesEarly) {
  // Many small blocks still to load: the helper must stop rather than load them all, or hang.
  const std::string text = RandomText(5, 30000);
  for (int i = 0; i < 5; ++i) {
    MemoryInputFile file(text, 64);
    LogReader reader(Helped(file, nullptr, 64).blocks);
    LogMessage m;
    ASSERT_FALSE(reader.AtEnd());
    reader.ReadMessage(m);
    reader.Close();
    EXPECT_TRUE(reader.AtEnd());
  }
}

// Written behind, a file gets the bytes it gets written directly, and a write error reaches
// the builder at the call where a direct write would have thrown it, or a later one.
TEST(FileIo, WritesWhatADirectWriteWritesAndPassesItsErrorOn) {
  class Recording final : public OutputFile {
   public:
    Recording(std::string& bytes, int fail_at) : bytes_(bytes), fail_at_(fail_at) {}
    void Write(std::string_view piece) override {
      if (++writes_ == fail_at_) throw FileError{"disk gone"};
      bytes_.append(piece);
    }
    void Close() override { bytes_ += "<closed>"; }

   private:
    std::string& bytes_;
    int fail_at_;
    int writes_ = 0;
  };
  for (const int fail_at : {0, 1, 3, 6}) {
    std::string direct_bytes, behind_bytes;
    std::string direct_error, behind_error;
    const auto run = [&](std::unique_ptr<OutputFile> file, std::string& error) {
      OutputLines out(std::move(file));
      for (int i = 0; i < 100000; ++i) {
        out.AppendLine(
            std::string(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26)));
      }
      try {
        out.Commit();
      } catch (const FileError& e) {
        error = e.reason;
      }
    };
    run(std::make_unique<Recording>(direct_bytes, fail_at), direct_error);
    MemoryInputFile input("", 1);
    run(Helped(input, std::make_unique<Recording>(behind_bytes, fail_at)).output, behind_error);
    EXPECT_EQ(behind_bytes, direct_bytes) << "failing write " << fail_at;
    EXPECT_EQ(behind_error, direct_error) << "failing write " << fail_at;
    EXPECT_EQ(direct_error.empty(), fail_at == 0);
  }
}

// An output dropped while a piece is still being written behind (its input failed, the run
// ended) waits for that write before its buffers go.
TEST(FileIo, AnOutputDroppedWhileWritingWaitsForTheWrite) {
  class Slow final : public OutputFile {
   public:
    Slow(std::string& bytes, std::atomic<bool>& writing) : bytes_(bytes), writing_(writing) {}
    void Write(std::string_view piece) override {
      writing_ = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      bytes_.append(piece);
    }
    void Close() override {}

   private:
    std::string& bytes_;
    std::atomic<bool>& writing_;
  };
  std::string bytes;
  std::atomic<bool> writing{false};
  {
    MemoryInputFile input("", 1);
    OutputLines out(Helped(input, std::make_unique<Slow>(bytes, writing)).output);
    while (out.Size() <= static_cast<long long>(OutputLines::kBufferBytes)) {
      out.AppendLine(std::string(998, 'x'));
    }
    while (!writing) std::this_thread::yield();
  }
  EXPECT_EQ(bytes.size(), OutputLines::kBufferBytes);
  EXPECT_EQ(bytes.find_first_not_of("x\r\n"), std::string::npos);
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

// ---- Files converted ahead against the one-thread run ----

// Every host call in order, as text. Progress is kept apart: ahead of a file's turn it is
// drawn from what a worker reached, so only its texts can be compared.
class CallRecorder final : public ConversionHost {
 public:
  MessageAnswer answer = MessageAnswer::Yes;
  std::vector<std::string> calls;
  std::vector<std::string> progress;

  MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons,
                            std::string_view text) override {
    calls.push_back("box " + std::to_string(static_cast<int>(kind)) + " " + std::string(text));
    return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
  }
  void ReportError(std::string_view text) override {
    calls.push_back("error " + std::string(text));
  }
  void ProcessEvents() override {}
  void ShowProgress() override { calls.push_back("show"); }
  void SetProgress(const ProgressInfo& p) override {
    EXPECT_TRUE(!calls.empty() && calls.back() == "show") << "progress outside the display";
    progress.push_back(p.Text());
  }
  void CloseProgress() override { calls.push_back("close"); }
  void PrefixTurnedOn(std::string_view prefix) override {
    calls.push_back("prefix " + std::string(prefix));
  }
  void ReportSaveError(std::string_view detail) override {
    calls.push_back("save error " + std::string(detail));
  }
};

// Reads of the inputs whose paths hold `bad` fail after their first piece, on any thread.
class FailingReads final : public testing::ForwardingFileSystem {
 public:
  FailingReads(FileSystem& real, std::string bad) : ForwardingFileSystem(real), bad_(bad) {}
  std::unique_ptr<InputFile> OpenInput(const std::string& path) override {
    std::unique_ptr<InputFile> file = real_.OpenInput(path);
    if (bad_.empty() || path.find(bad_) == std::string::npos) return file;
    return std::make_unique<FailingInput>(std::string(3 << 20, 'x'), 1);
  }

 private:
  std::string bad_;
};

struct Outcome {
  RunOutcome outcome;
  std::vector<std::string> calls;
  std::set<std::string> progress;
  std::map<std::string, std::string> tree;
};

// Runs a conversion in a fresh folder holding `files` (relative name -> bytes), given as inputs
// in their order: "<missing>" is given but not made, "<folder>" is a folder, and a name with
// a leading "!" is made but not given. `output` is the output folder, relative.
Outcome RunFolder(const std::vector<std::pair<std::string, std::string>>& files,
                  const std::string& output, const std::string& prefix, MessageAnswer answer,
                  const std::string& bad_reads, unsigned jobs) {
  TempDir root;
  ConversionOptions options;
  std::filesystem::create_directory(root.Path("in"));
  for (const auto& [name, bytes] : files) {
    const bool given = name[0] != '!';
    const std::string path = root.Path(given ? name : name.substr(1));
    if (bytes == "<folder>") {
      std::filesystem::create_directory(path);
    } else if (bytes != "<missing>") {
      WriteFile(path, bytes);
    }
    if (given) options.InputFiles.push_back(path);
  }
  options.InputFolder = root.Path("in/");
  options.OutputFolder = root.Path(output);
  options.Prefix = prefix;
  platform::PosixFileSystem real;
  FailingReads fs(real, bad_reads);
  CallRecorder host;
  host.answer = answer;
  const auto new_finder = [] {
    return ReplyNumberFinder([](std::string_view title, std::string& reply_no) {
      reply_no = title.substr(0, 2) == "Re" ? "7" : "";
    });
  };
  Outcome result;
  cli::FilesAhead ahead(jobs, new_finder);
  result.outcome = RunConversion(options, host, fs, new_finder(), jobs > 1 ? &ahead : nullptr);
  const auto relative = [&](std::string text) {
    for (std::size_t at; (at = text.find(root.path())) != std::string::npos;)
      text.replace(at, root.path().size(), "<root>");
    return text;
  };
  for (const std::string& call : host.calls) result.calls.push_back(relative(call));
  for (const std::string& text : host.progress) result.progress.insert(text);
  for (const auto& e : std::filesystem::recursive_directory_iterator(root.path())) {
    const std::string name = relative(e.path().string());
    result.tree[name] = e.is_regular_file() ? ReadFile(e.path()) : "<other>";
  }
  return result;
}

// The host calls, their order and the files of a run with files converted ahead are those of
// the one-thread run, on the paths that end it early too; ahead of a turn, progress shows
// only what the one-thread run shows.
TEST(FilesAhead, TellTheHostWhatTheOneThreadRunTells) {
  const std::string log = "Title : Re: 7 a\r\nName:x <m@n.jp>\r\n.\r\nTitle : b\r\n.\r\n";
  std::string big;
  while (big.size() < (3 << 20)) big += log;
  std::vector<std::pair<std::string, std::string>> logs;
  for (int i = 0; i < 7; ++i) logs.emplace_back("in/b" + std::to_string(i) + ".log", log);
  const auto with = [&](std::vector<std::pair<std::string, std::string>> extra, std::size_t at) {
    auto files = logs;
    files.insert(files.begin() + static_cast<long>(at), extra.begin(), extra.end());
    return files;
  };
  constexpr MessageAnswer kYes = MessageAnswer::Yes;
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    std::string output;
    std::string prefix;
    MessageAnswer answer;
    std::string bad_reads;
  } cases[] = {
      {"Converts", with({{"in/big.log", big}}, 2), "out", "svf", kYes, ""},
      {"SameFolderTurnsThePrefixOn", logs, "in/", "", kYes, ""},
      {"MissingFolderCreated", logs, "new", "svf", kYes, ""},
      {"MissingFolderDeclined", logs, "new", "svf", MessageAnswer::No, ""},
      {"FolderCannotBeMade", logs, "no/such", "svf", kYes, ""},
      {"FolderIsAFile", logs, "in/b0.log", "svf", kYes, ""},
      {"MissingInput", with({{"in/gone.log", "<missing>"}}, 3), "out", "svf", kYes, ""},
      {"FolderAsInput", with({{"in/sub.log", "<folder>"}}, 3), "out", "svf", kYes, ""},
      {"ReadErrorInTheMiddle", with({{"in/bad.log", big}}, 4), "out", "svf", kYes, "bad.log"},
      {"SaveFailsOnAFolderInTheWay", with({{"!in/svfb2.log", "<folder>"}}, 0), "in/", "svf", kYes,
       ""},
      {"OutputIsItsInput", logs, "in", "", kYes, ""},
      {"AnInputIsAnEarlierOutput", with({{"in/svfb1.log", log}}, 5), "in/", "svf", kYes, ""},
      {"SameBoardTwice", with({{"in/b1.txt", big}}, 6), "out", "svf", kYes, ""},
  };
  for (const Case& c : cases) {
    const Outcome one = RunFolder(c.files, c.output, c.prefix, c.answer, c.bad_reads, 1);
    for (const unsigned jobs : {2u, 4u, 16u}) {
      const Outcome many = RunFolder(c.files, c.output, c.prefix, c.answer, c.bad_reads, jobs);
      EXPECT_EQ(many.outcome, one.outcome) << c.name << " -j " << jobs;
      EXPECT_EQ(many.calls, one.calls) << c.name << " -j " << jobs;
      EXPECT_EQ(many.tree.size(), one.tree.size()) << c.name << " -j " << jobs;
      for (const auto& [name, bytes] : one.tree) {
        // Backups made during the run carry the time of the run.
        if (name.find("svfb1.") != std::string::npos && !name.ends_with(".log")) continue;
        EXPECT_EQ(many.tree.count(name) ? many.tree.at(name) : "<none>", bytes)
            << c.name << " -j " << jobs << " " << name;
      }
      for (const std::string& text : many.progress) {
        EXPECT_EQ(one.progress.count(text), 1u) << c.name << " -j " << jobs << ": " << text;
      }
    }
  }
}

}  // namespace
}  // namespace sorbit
