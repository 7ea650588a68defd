#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "../support/Unprivileged.h"
#include "TestSupport.h"
#include "convert/ConversionRun.h"
#include "convert/Paths.h"
#include "platform/filesystem/PosixFileSystem.h"

namespace sorbit {
namespace {

using testing::ReadFile;
using testing::RecordingHost;
using testing::ShownMessage;
using testing::TempDir;
using testing::WriteFile;

const std::string kLog =
    "Title : Re: 5 one\r\nName:guest <g@x.jp>\r\nDate : 98/12/31 12:34:56\r\nNO: 10\r\nbody 1\r\n"
    ".\r\n"
    "Title : two\r\nName:host\r\nDate : 99/01/02 03:04:05\r\nminiBBS\r\n.\r\n";

// The SVF bytes of kLog with the default options and no reply numbers.
std::string SvfOf(const std::string& board) {
  return "\r\n@@@MSG,0," + board + ", ,guest,98/12/31,12:34\r\n@@@ 10,,0,Re: 5 one\r\n" +
         "Title : Re: 5 one\r\nName:guest <g@x.jp>\r\nDate : 98/12/31 12:34:56\r\nNO: 10\r\n" +
         "body 1\r\n\r\n@@@MSG,0," + board + ",,host,99/01/02,03:04\r\n@@@2,,0,two\r\n" +
         "Title : two\r\nName:host\r\nDate : 99/01/02 03:04:05\r\nminiBBS\r\n";
}
const std::string kSvf = SvfOf("general");

class ConversionRunTest : public ::testing::Test {
 protected:
  ConversionOptions Options(std::vector<std::string> files) {
    ConversionOptions o;
    o.InputFiles = std::move(files);
    o.InputFolder = in.Folder();
    o.OutputFolder = out.Folder();
    return o;
  }
  std::string Input(const std::string& name, std::string_view bytes = kLog) {
    const std::string path = in.Path(name);
    WriteFile(path, bytes);
    return path;
  }
  std::vector<std::string> OutNames() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out.Path("")))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static void SetMtime(const std::string& path, time_t t) {
    const struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }

  TempDir in, out;
  RecordingHost host;
  platform::PosixFileSystem fs;
};

TEST_F(ConversionRunTest, ConvertsAndSummarises) {
  ConversionOptions o = Options({Input("general.log")});
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::Finished);
  EXPECT_EQ(ReadFile(out.Path("svfgeneral.log")), kSvf);
  EXPECT_EQ(host.progress,
            (std::vector<std::string>{"general.log\r\n を変換処理しています...\r\n\r\n1 件目",
                                      "general.log\r\n を変換処理しています...\r\n\r\n2 件目"}));
  EXPECT_EQ(host.event_passes, 2);
  EXPECT_EQ(host.shows, 1);
  EXPECT_EQ(host.closes, 1);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], (ShownMessage{MessageKind::Plain, MessageButtons::Ok,
                                            "1 個のファイルを SHOWPC Virtual Format に変換し \r\n" +
                                                out.Folder() + " に保存しました"}));
}

TEST_F(ConversionRunTest, ReplyNumbersComeFromTheFinder) {
  ConversionOptions o = Options({Input("general.log")});
  std::vector<std::string> titles;
  auto finder = [&](std::string_view title, std::string& reply_no) {
    titles.emplace_back(title);
    reply_no = titles.size() == 1 ? "77" : "";
  };
  EXPECT_EQ(RunConversion(o, host, fs, finder), RunOutcome::Finished);
  EXPECT_EQ(titles, (std::vector<std::string>{"Re: 5 one", "two"}));
  const std::string svf = ReadFile(out.Path("svfgeneral.log"));
  EXPECT_NE(svf.find("@@@ 10,77,0,Re: 5 one\r\n"), std::string::npos);
  EXPECT_NE(svf.find(",,0,two\r\n"), std::string::npos) << "the second number replaces the first";
}

TEST_F(ConversionRunTest, NoInputFileShowsOnlyTheMessage) {
  ConversionOptions o = Options({});
  o.OutputFolder = out.Path("missing");
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::NoInputFiles);
  EXPECT_EQ(host.messages,
            (std::vector<ShownMessage>{{MessageKind::Plain, MessageButtons::Ok,
                                        "先に tekuri ログファイルを指定してください"}}));
  EXPECT_FALSE(std::filesystem::exists(out.Path("missing")));
}

TEST_F(ConversionRunTest, SameFolderWithoutPrefixTurnsThePrefixOn) {
  for (const char* extension : {".log", ".LOG", ".Log"}) {
    RecordingHost h;
    ConversionOptions o = Options({Input("general.log")});
    o.OutputFolder = in.Folder();
    o.UsePrefix = false;
    o.Prefix = "";
    o.Extension = extension;
    EXPECT_EQ(RunConversion(o, h, fs), RunOutcome::Finished);
    ASSERT_EQ(h.messages.size(), 2u);
    EXPECT_EQ(h.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(h.messages[0].text,
              "変換後のファイル保存先が tekuri ログのある場所と同じで、\r\n"
              "変換後のファイル名も同じになるので、接頭辞「svf」を付けて保存します");
    EXPECT_EQ(h.prefix_changes, (std::vector<std::string>{"svf"}));
    EXPECT_TRUE(o.UsePrefix);
    EXPECT_EQ(o.Prefix, "svf");
    EXPECT_EQ(ReadFile(in.Path(std::string("svfgeneral") + extension)), kSvf);
    EXPECT_EQ(ReadFile(in.Path("general.log")), kLog);
  }
}

TEST_F(ConversionRunTest, SameFolderWithOtherExtensionWritesBesideTheInput) {
  ConversionOptions o = Options({Input("general.log")});
  o.OutputFolder = in.Folder();
  o.Prefix = "";
  o.Extension = ".txt";
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::Finished);
  EXPECT_TRUE(host.prefix_changes.empty());
  EXPECT_EQ(ReadFile(in.Path("general.txt")), kSvf);
}

TEST_F(ConversionRunTest, MissingFolderIsCreatedOnYes) {
  ConversionOptions o = Options({Input("general.log")});
  o.OutputFolder = out.Path("new");
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::Finished);
  EXPECT_EQ(host.messages.front(),
            (ShownMessage{MessageKind::Confirmation, MessageButtons::YesNo,
                          "指定されたフォルダがありませんが、\r\n新しく作成しますか？"}));
  EXPECT_EQ(ReadFile(out.Path("new/svfgeneral.log")), kSvf);
}

TEST_F(ConversionRunTest, MissingFolderAnsweredNoEndsSilently) {
  ConversionOptions o = Options({Input("general.log")});
  o.OutputFolder = out.Path("new");
  host.answer = MessageAnswer::No;
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::FolderDeclined);
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(out.Path("new")));
  EXPECT_EQ(host.shows, 0);
}

TEST_F(ConversionRunTest, FolderThatCannotBeCreatedFailsTheSave) {
  ConversionOptions o = Options({Input("general.log")});
  o.OutputFolder = out.Path("no/such/parent");
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::SaveFailed);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1],
            (ShownMessage{MessageKind::Error, MessageButtons::Ok,
                          "ファイルの保存中にエラーが発生したので、処理を中止します。"}));
}

TEST_F(ConversionRunTest, EmptyInputGivesAnEmptyOutputAndBacksUpTheOld) {
  ConversionOptions o = Options({Input("empty.log", "")});
  WriteFile(out.Path("svfempty.log"), "old");
  SetMtime(out.Path("svfempty.log"), 946684801);  // an odd second
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::Finished);
  EXPECT_EQ(ReadFile(out.Path("svfempty.log")), "");
  const std::string stamp = TimeStamp(platform::ToLocalTime(946684800));
  EXPECT_EQ(ReadFile(out.Path("svfempty." + stamp)), "old");
  EXPECT_EQ(stamp.size(), 12u);
  EXPECT_EQ((stamp[11] - '0') % 2, 0);
}

TEST_F(ConversionRunTest, SameBoardTwiceBacksUpTheFirstOutput) {
  ConversionOptions o = Options({Input("general.log"), Input("general.txt", ".\r\n")});
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::Finished);
  const std::vector<std::string> names = OutNames();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], "svfgeneral.log");
  EXPECT_EQ(ReadFile(out.Path(names[0])), kSvf);
  EXPECT_EQ(ReadFile(out.Path("svfgeneral.log")), "\r\n@@@MSG,0,general,,,,\r\n@@@1,,0,\r\n");
  EXPECT_EQ(host.messages.back().text.substr(0, 2), "2 ");
}

TEST_F(ConversionRunTest, TakenBackupNameMovesToTheNextFreeName) {
  ConversionOptions o = Options({Input("general.log")});
  WriteFile(out.Path("svfgeneral.log"), "previous");
  SetMtime(out.Path("svfgeneral.log"), 1000000000);
  const std::string dated = "svfgeneral." + TimeStamp(platform::ToLocalTime(1000000000));
  WriteFile(out.Path(dated), "older backup");
  WriteFile(out.Path(dated + "_2"), "even older");
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::Finished);
  EXPECT_EQ(ReadFile(out.Path(dated)), "older backup");
  EXPECT_EQ(ReadFile(out.Path(dated + "_2")), "even older");
  EXPECT_EQ(ReadFile(out.Path(dated + "_3")), "previous");
  EXPECT_EQ(ReadFile(out.Path("svfgeneral.log")), kSvf);
}

TEST_F(ConversionRunTest, BackupOfANameWithoutDotAppendsTheStamp) {
  ConversionOptions o = Options({Input("board")});
  o.Extension = "";
  o.Prefix = "x";
  // "board" is five bytes: its board name is "b".
  WriteFile(out.Path("xb"), "old");
  SetMtime(out.Path("xb"), 1000000000);
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::Finished);
  EXPECT_EQ(ReadFile(out.Path("xb." + TimeStamp(platform::ToLocalTime(1000000000)))), "old");
}

TEST_F(ConversionRunTest, OutputNamingTheInputFailsAndLeavesTheInput) {
  ConversionOptions o = Options({Input("general.log")});
  // The folder typed without its final "/" escapes the same-folder rule.
  o.OutputFolder = in.Path("");
  o.OutputFolder.pop_back();
  o.Prefix = "";
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::SaveFailed);
  EXPECT_EQ(host.messages.back().kind, MessageKind::Error);
  EXPECT_EQ(ReadFile(in.Path("general.log")), kLog);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(in.Path("")), {}), 1);
}

TEST_F(ConversionRunTest, FullDiskStopsTheRunAndKeepsEarlierOutputs) {
  ConversionOptions o = Options({Input("first.log"), Input("second.log"), Input("third.log")});
  // Not a regular file, so no backup is made; every write to it fails with ENOSPC.
  std::filesystem::create_symlink("/dev/full", out.Path("svfsecond.log"));
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::SaveFailed);
  EXPECT_EQ(host.messages.back().text,
            "ファイルの保存中にエラーが発生したので、処理を中止します。");
  EXPECT_EQ(host.messages.size(), 1u);  // no summary
  EXPECT_FALSE(ReadFile(out.Path("svffirst.log")).empty());
  EXPECT_FALSE(std::filesystem::exists(out.Path("svfthird.log")));
}

TEST_F(ConversionRunTest, UnreadableInputIsReportedAndEndsTheRun) {
  ConversionOptions o = Options({Input("first.log"), in.Path("missing.log"), Input("third.log")});
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::ReadFailed);
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_NE(host.errors[0].find(in.Path("missing.log")), std::string::npos);
  EXPECT_NE(host.errors[0].find("No such file"), std::string::npos);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ReadFile(out.Path("svffirst.log")), SvfOf("first"));
  EXPECT_FALSE(std::filesystem::exists(out.Path("svfmissing.log")));
  EXPECT_FALSE(std::filesystem::exists(out.Path("svfthird.log")));
}

// A file system whose writes fail after the backup has been made: the previous output
// must survive under its backup name.
class FailingWrites final : public testing::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::unique_ptr<OutputFile> CreateOutput(const std::string&) override {
    class NoSpace final : public OutputFile {
     public:
      void Write(std::string_view) override { throw FileError{"No space left"}; }
      void Close() override {}
    };
    return std::make_unique<NoSpace>();
  }
};

TEST_F(ConversionRunTest, FailedWriteKeepsThePreviousOutputAsBackup) {
  ConversionOptions o = Options({Input("general.log")});
  WriteFile(out.Path("svfgeneral.log"), "previous");
  FailingWrites failing(fs);
  EXPECT_EQ(RunConversion(o, host, failing), RunOutcome::SaveFailed);
  const std::vector<std::string> names = OutNames();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(ReadFile(out.Path(names[0])), "previous");
  EXPECT_NE(names[0], "svfgeneral.log");
}

TEST_F(ConversionRunTest, EmptyOutputFolderAsksAndWritesBelowTheRoot) {
  // An empty folder is no directory: the question comes, and the output path starts with "/".
  class Recorder final : public FileSystem {
   public:
    std::vector<std::string> created;
    bool IsRegularFile(const std::string&) override { return false; }
    bool IsDirectory(const std::string& p) override { return !p.empty(); }
    bool Exists(const std::string&) override { return false; }
    LocalTime ModificationTime(const std::string&) override { return {}; }
    void CreateDirectory(const std::string&) override {}
    bool RenameNoReplace(const std::string&, const std::string&) override { return true; }
    std::unique_ptr<InputFile> OpenInput(const std::string&) override {
      return std::make_unique<testing::MemoryInputFile>(".\r\n");
    }
    std::unique_ptr<OutputFile> CreateOutput(const std::string& p) override {
      created.push_back(p);
      throw FileError{"read-only"};
    }
  } recorder;
  ConversionOptions o = Options({"/logs/general.log"});
  o.OutputFolder = "";
  EXPECT_EQ(RunConversion(o, host, recorder), RunOutcome::SaveFailed);
  EXPECT_EQ(host.messages.front().kind, MessageKind::Confirmation);
  EXPECT_EQ(recorder.created, (std::vector<std::string>{"/svfgeneral.log"}));
}

// ---- Save errors: which file and why; nothing truncated under an output's name ----

TEST_F(ConversionRunTest, FifoAtTheOutputPathIsASaveErrorFoundWithoutBlocking) {
  ConversionOptions o = Options({Input("general.log")});
  ASSERT_EQ(::mkfifo(out.Path("svfgeneral.log").c_str(), 0600), 0);
  // No reader or writer ever comes: opening the FIFO would wait for ever.
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::SaveFailed);
  EXPECT_EQ(host.save_errors, std::vector<std::string>{"cannot write " + out.Folder() +
                                                       "/svfgeneral.log: not a regular file"});
  EXPECT_EQ(host.messages, (std::vector<ShownMessage>{{MessageKind::Error, MessageButtons::Ok,
                                                       std::string(run_text::kSaveFailed)}}));
  EXPECT_EQ(OutNames(), std::vector<std::string>{"svfgeneral.log"});  // the FIFO, untouched
}

TEST_F(ConversionRunTest, DeviceAtTheOutputPathIsASaveError) {
  ConversionOptions o = Options({Input("general.log")});
  std::filesystem::create_symlink("/dev/null", out.Path("svfgeneral.log"));
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::SaveFailed);
  ASSERT_EQ(host.save_errors.size(), 1u);
  EXPECT_NE(host.save_errors[0].find("not a regular file"), std::string::npos);
}

TEST_F(ConversionRunTest, OutputFolderThatIsAFileIsSaidToBeOne) {
  const std::string file = out.Path("not-a-folder");
  WriteFile(file, "x");
  ConversionOptions o = Options({Input("general.log")});
  o.OutputFolder = file;
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::SaveFailed);
  // No offer to create it: the save error at once, with what is wrong.
  EXPECT_EQ(host.messages, (std::vector<ShownMessage>{{MessageKind::Error, MessageButtons::Ok,
                                                       std::string(run_text::kSaveFailed)}}));
  EXPECT_EQ(host.save_errors,
            std::vector<std::string>{"cannot save into " + file + ": it is a file, not a folder"});
  EXPECT_EQ(ReadFile(file), "x");
}

// A folder that could not be made is what the first save reports, with the system's reason
// for it.
TEST_F(ConversionRunTest, SaveErrorNamesTheFileAndTheReason) {
  ConversionOptions o = Options({Input("general.log")});
  o.OutputFolder = out.Path("missing/deeper");
  EXPECT_EQ(RunConversion(o, host, fs), RunOutcome::SaveFailed);
  EXPECT_EQ(host.save_errors,
            std::vector<std::string>{"cannot create the folder " + o.OutputFolder +
                                     ": No such file or directory"});
}

// What the system could not look at is said with its own reason, never taken for "nothing
// there", "not a regular file" or "a file".
TEST_F(ConversionRunTest, PathsThatCannotBeLookedAtAreSaveErrorsWithTheirReason) {
  std::filesystem::create_symlink("svfgeneral.log", out.Path("svfgeneral.log"));  // a loop
  std::filesystem::create_symlink("loop", out.Path("loop"));
  std::filesystem::create_symlink("nowhere", out.Path("dangling"));
  const struct {
    std::string folder;
    std::string reason;
  } cases[] = {
      {out.path(),
       "cannot access " + out.Path("svfgeneral.log") + ": Too many levels of symbolic links"},
      {out.Path("loop"),
       "cannot access " + out.Path("loop") + ": Too many levels of symbolic links"},
      {out.Path("dangling"), "cannot save into " + out.Path("dangling") + ": it is not a folder"},
  };
  for (const auto& c : cases) {
    RecordingHost h;
    ConversionOptions o = Options({Input("general.log")});
    o.OutputFolder = c.folder;
    EXPECT_EQ(RunConversion(o, h, fs), RunOutcome::SaveFailed) << c.folder;
    EXPECT_EQ(h.save_errors, std::vector<std::string>{c.reason});
    EXPECT_EQ(h.messages.size(), 1u) << "no question, only the save error";
  }
  EXPECT_EQ(OutNames(), (std::vector<std::string>{"dangling", "loop", "svfgeneral.log"}));
}

// A folder that cannot be made fails the first save with the reason the system gave for it.
TEST_F(ConversionRunTest, FolderRefusedFailsTheSaveWithItsOwnReason) {
  const std::string input = Input("general.log");
  ::chmod(in.path().c_str(), 0755);
  ::chmod(input.c_str(), 0644);
  ::chmod(out.path().c_str(), 0755);
  std::filesystem::create_directory(out.Path("locked"));
  ::chmod(out.Path("locked").c_str(), 0555);
  const std::string folder = out.Path("locked/new");
  EXPECT_TRUE(testing::RunUnprivileged([&] {
    RecordingHost h;
    ConversionOptions o = Options({input});
    o.OutputFolder = folder;
    return RunConversion(o, h, fs) == RunOutcome::SaveFailed &&
           h.save_errors == std::vector<std::string>{"cannot create the folder " + folder +
                                                     ": Permission denied"};
  }));
}

// An input cut short while it is read ends the run with a read error, as one that cannot be
// read at all does: no output with a garbled last record.
TEST_F(ConversionRunTest, InputCutShortWhileItIsReadIsAReadError) {
  class ShrinkingInputs final : public testing::ForwardingFileSystem {
   public:
    using ForwardingFileSystem::ForwardingFileSystem;
    std::unique_ptr<InputFile> OpenInput(const std::string& path) override {
      class Shrinking final : public InputFile {
       public:
        Shrinking(std::unique_ptr<InputFile> real, std::string path)
            : real_(std::move(real)), path_(std::move(path)) {}
        std::size_t Read(char* buffer, std::size_t size) override {
          const std::size_t got = real_->Read(buffer, size);
          if (!cut_) {
            cut_ = true;
            EXPECT_EQ(::truncate(path_.c_str(), real_->Size() / 2), 0);
          }
          return got;
        }
        long long Size() const override { return real_->Size(); }
        bool IsSameFile(const std::string& p) const override { return real_->IsSameFile(p); }

       private:
        std::unique_ptr<InputFile> real_;
        std::string path_;
        bool cut_ = false;
      };
      return std::make_unique<Shrinking>(real_.OpenInput(path), path);
    }
  } shrinking(fs);
  std::string big;
  while (big.size() < (3 << 20)) big += kLog;
  ConversionOptions o = Options({Input("general.log", big)});
  EXPECT_EQ(RunConversion(o, host, shrinking), RunOutcome::ReadFailed);
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_NE(host.errors[0].find(in.Path("general.log")), std::string::npos);
  EXPECT_NE(host.errors[0].find("became shorter"), std::string::npos) << host.errors[0];
  EXPECT_TRUE(OutNames().empty());
}

// The real file system with one fault put in: a write or the final commit fails. Whatever
// fails, the previous output stays under its backup name, nothing is under the output's name
// and no temporary file is left.
class FaultyOutputs final : public testing::ForwardingFileSystem {
 public:
  enum class Fault { FirstWrite, SecondWrite, Close };
  FaultyOutputs(FileSystem& real, Fault fault) : ForwardingFileSystem(real), fault_(fault) {}
  std::unique_ptr<OutputFile> CreateOutput(const std::string& p) override {
    class Faulty final : public OutputFile {
     public:
      Faulty(std::unique_ptr<OutputFile> real, Fault fault)
          : real_(std::move(real)), fault_(fault) {}
      void Write(std::string_view bytes) override {
        ++writes_;
        if ((fault_ == Fault::FirstWrite && writes_ == 1) ||
            (fault_ == Fault::SecondWrite && writes_ == 2))
          throw FileError{"cannot write: No space left on device"};
        // Half of the bytes reach the temporary file first, as on a disk that fills up.
        real_->Write(bytes.substr(0, bytes.size() / 2));
        real_->Write(bytes.substr(bytes.size() / 2));
      }
      void Close() override {
        if (fault_ == Fault::Close) throw FileError{"cannot write: Input/output error"};
        real_->Close();
      }

     private:
      std::unique_ptr<OutputFile> real_;
      Fault fault_;
      int writes_ = 0;
    };
    return std::make_unique<Faulty>(real_.CreateOutput(p), fault_);
  }

 private:
  Fault fault_;
};

TEST_F(ConversionRunTest, EveryFailedSaveLeavesTheOldOutputUnderItsBackupNameOnly) {
  // Enough messages for the output to be handed over in more than one piece.
  std::string big;
  while (big.size() < (3 << 20)) big += kLog;
  for (const auto fault : {FaultyOutputs::Fault::FirstWrite, FaultyOutputs::Fault::SecondWrite,
                           FaultyOutputs::Fault::Close}) {
    TempDir folder;
    ConversionOptions o = Options({Input("general.log", big)});
    o.OutputFolder = folder.Folder();
    WriteFile(folder.Path("svfgeneral.log"), "previous");
    SetMtime(folder.Path("svfgeneral.log"), 1000000000);
    const std::string backup = BackupName(folder.Path("svfgeneral.log"),
                                          fs.ModificationTime(folder.Path("svfgeneral.log")));
    RecordingHost faulty_host;
    FaultyOutputs faulty(fs, fault);
    EXPECT_EQ(RunConversion(o, faulty_host, faulty), RunOutcome::SaveFailed);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder.path()))
      names.push_back(e.path().string());
    EXPECT_EQ(names, std::vector<std::string>{backup}) << "fault " << static_cast<int>(fault);
    EXPECT_EQ(ReadFile(backup), "previous");
    EXPECT_EQ(faulty_host.save_errors.size(), 1u);
    EXPECT_EQ(faulty_host.messages.back().text, run_text::kSaveFailed);
  }
}

// A real full disk: a small tmpfs, mounted in a mount namespace of a child process of its
// own, so that nothing of it outlives the test. Where mounting is not allowed, skipped.
TEST_F(ConversionRunTest, FullDiskLeavesTheOldOutputUnderItsBackupNameAndNothingElse) {
  std::string big;
  while (big.size() < (1 << 20)) big += kLog;
  const std::string input = Input("general.log", big);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", out.path().c_str(), "tmpfs", 0, "size=64k") != 0)
      ::_exit(77);
    WriteFile(out.Path("svfgeneral.log"), "previous");
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    if (::utimensat(AT_FDCWD, out.Path("svfgeneral.log").c_str(), times, 0) != 0) ::_exit(2);
    const std::string backup =
        BackupName(out.Path("svfgeneral.log"), fs.ModificationTime(out.Path("svfgeneral.log")));
    ConversionOptions o = Options({input});
    RecordingHost child_host;
    if (RunConversion(o, child_host, fs) != RunOutcome::SaveFailed) ::_exit(3);
    if (child_host.save_errors !=
        std::vector<std::string>{"cannot write " + out.Folder() +
                                 "/svfgeneral.log: No space left on device"})
      ::_exit(4);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out.path()))
      names.push_back(e.path().string());
    if (names != std::vector<std::string>{backup}) ::_exit(5);
    if (ReadFile(backup) != "previous") ::_exit(6);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no tmpfs mount allowed here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "see the exit codes in the child";
}

}  // namespace
}  // namespace sorbit
