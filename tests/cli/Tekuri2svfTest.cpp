// Drives the real tekuri2svf binary: arguments, exit status, texts and output bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <regex>

#include "RunProgram.h"

namespace sorbit {
namespace {

using testing::ReadFile;
using testing::RunProgram;
using testing::TempDir;
using testing::WriteFile;

const std::string kProgram = TEKURI2SVF_PATH;

const std::string kLog =
    "Title : Re: 5 one\r\nName:guest <g@x.jp>\r\nDate : 98/12/31 12:34:56\r\nmini\r\nbody\r\n.\r\n";

std::string Svf(const std::string& board, const std::string& id, const std::string& handle,
                const std::string& msgno) {
  return "\r\n@@@MSG,0," + board + "," + id + "," + handle + ",98/12/31,12:34\r\n@@@" + msgno +
         ",5,0,Re: 5 one\r\n" + kLog.substr(0, kLog.size() - 3);
}

// kLog repeated until it holds at least `bytes` bytes.
std::string LogOfAtLeast(std::size_t bytes) {
  std::string log;
  while (log.size() < bytes) log += kLog;
  return log;
}

TEST(Tekuri2svf, HelpAndVersion) {
  const auto help = RunProgram({kProgram, "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: tekuri2svf [OPTIONS] LOGFILE...\n", 0), 0u);
  for (const char* option : {"--output-dir", "--prefix", "--extension", "--no-msgno",
                             "--keep-email", "--email-id", "--yes", "--quiet", "--jobs"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  const auto version = RunProgram({kProgram, "--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tekuri2svf (Sorbit) " SORBIT_VERSION "\n");
}

TEST(Tekuri2svf, UsageErrorsExitWithTwo) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{kProgram},
                                               {kProgram, "--bogus", "x.log"},
                                               {kProgram, "-o"},
                                               {kProgram, "-z", "x.log"}}) {
    const auto r = RunProgram(args);
    EXPECT_EQ(r.status, 2) << args.back();
    EXPECT_EQ(r.err.rfind("tekuri2svf: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
}

TEST(Tekuri2svf, OptionErrorsNameTheArgumentAtFault) {
  const struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"-o", "../o7", "-dash.log"}, "invalid option -- 'd'"},
      {{"x.log", "-zq"}, "invalid option -- 'z'"},
      {{"-qz", "x.log"}, "invalid option -- 'z'"},
      {{"--bogus", "x.log"}, "unrecognized option '--bogus'"},
      {{"--bogus=1", "x.log"}, "unrecognized option '--bogus=1'"},
      {{"--e", "x", "x.log"}, "option '--e' is ambiguous"},
      {{"--yes=1", "x.log"}, "option '--yes' doesn't allow an argument"},
      {{"-qo"}, "option requires an argument -- 'o'"},
      {{"x.log", "--output-dir"}, "option '--output-dir' requires an argument"},
      {{"-j", "0", "x.log"}, "invalid number of jobs: '0'"},
      {{"--jobs=2x", "x.log"}, "invalid number of jobs: '2x'"},
      {{"-j", "", "x.log"}, "invalid number of jobs: ''"},
      {{"-j", "1025", "x.log"}, "invalid number of jobs: '1025'"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{kProgram};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = RunProgram(args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.err,
              "tekuri2svf: " + c.message + "\nTry 'tekuri2svf --help' for more information.\n");
  }
}

TEST(Tekuri2svf, EmptyOutputFolderIsAUsageError) {
  TempDir in;
  // A name of its own, so that a run that did write below the root is noticed and undone.
  const std::string board = "h13-empty-o-" + std::to_string(::getpid());
  WriteFile(in.Path(board + ".log"), kLog);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{kProgram, "-y", "-o", "", in.Path(board + ".log")},
        {kProgram, "-y", "--output-dir=", in.Path(board + ".log")}}) {
    const auto r = RunProgram(args);
    const bool written = std::filesystem::remove("/svf" + board + ".log");
    EXPECT_FALSE(written);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "tekuri2svf: the output folder is empty (-o . names the current one)\n"
              "Try 'tekuri2svf --help' for more information.\n");
    EXPECT_EQ(r.out, "");
  }
}

TEST(Tekuri2svf, UnwritableStandardOutputIsAnError) {
  TempDir in, out;
  WriteFile(in.Path("general.log"), kLog);
  const auto r =
      RunProgram({kProgram, "-o", out.Folder(), in.Path("general.log")}, "", "", "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tekuri2svf: write error: No space left on device\n");
  // The conversion itself was done.
  EXPECT_EQ(ReadFile(out.Path("svfgeneral.log")), Svf("general", " ", "guest", "1"));

  for (const char* option : {"--help", "--version"}) {
    const auto info = RunProgram({kProgram, option}, "", "", "/dev/full");
    EXPECT_EQ(info.status, 1) << option;
    EXPECT_EQ(info.err, "tekuri2svf: write error: No space left on device\n") << option;
  }
}

TEST(Tekuri2svf, RemovedWorkingFolderIsReportedNotLoopedOn) {
  TempDir gone, io;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int err = ::open(io.Path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err < 0 || ::dup2(err, 2) < 0 || ::chdir(gone.Folder().c_str()) != 0 ||
        ::rmdir(gone.Folder().c_str()) != 0) {
      ::_exit(126);
    }
    ::alarm(10);  // a program that never gives up is stopped here, and the test fails
    ::execl(kProgram.c_str(), kProgram.c_str(), "general.log", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int wstatus = 0;
  ASSERT_EQ(::waitpid(pid, &wstatus, 0), pid);
  ASSERT_TRUE(WIFEXITED(wstatus)) << "ended by signal " << WTERMSIG(wstatus);
  EXPECT_EQ(WEXITSTATUS(wstatus), 1);
  EXPECT_EQ(ReadFile(io.Path("stderr")).rfind("tekuri2svf: cannot find the current folder: ", 0),
            0u)
      << ReadFile(io.Path("stderr"));
}

TEST(Tekuri2svf, ConvertsIntoTheOutputFolder) {
  TempDir in, out;
  WriteFile(in.Path("general.log"), kLog);
  const auto r = RunProgram({kProgram, "-o", out.Folder(), in.Path("general.log")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1 個のファイルを SHOWPC Virtual Format に変換し \n" + out.Folder() +
                       " に保存しました\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFile(out.Path("svfgeneral.log")), Svf("general", " ", "guest", "1"));
}

TEST(Tekuri2svf, OptionsReachTheRecords) {
  TempDir in, out;
  WriteFile(in.Path("b.log.log"), kLog);
  struct Case {
    std::vector<std::string> options;
    std::string file, id, handle, msgno;
  } cases[] = {
      {{}, "svfb.log.log", " ", "guest", "1"},
      {{"--no-msgno"}, "svfb.log.log", " ", "guest", ""},
      {{"--email-id"}, "svfb.log.log", "g@x.jp", "guest", "1"},
      {{"--keep-email", "--email-id"}, "svfb.log.log", "", "guest <g@x.jp>", "1"},
      {{"-p", "x_", "-e", ".svf"}, "x_b.log.svf", " ", "guest", "1"},
      {{"--prefix=", "--extension=.txt"}, "b.log.txt", " ", "guest", "1"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{kProgram, "-q", "--output-dir", out.Folder()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(in.Path("b.log.log"));
    const auto r = RunProgram(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out.Path(c.file)), Svf("b.log", c.id, c.handle, c.msgno)) << c.file;
    std::filesystem::remove(out.Path(c.file));
  }
}

TEST(Tekuri2svf, RelativePathsAreMadeAbsoluteAndNameTheInputFolder) {
  TempDir in;
  WriteFile(in.Path("general.log"), kLog);
  const auto r = RunProgram({kProgram, "general.log"}, in.Folder());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\n" + in.Folder() + " に保存しました"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(in.Path("svfgeneral.log")), Svf("general", " ", "guest", "1"));
}

TEST(Tekuri2svf, SameFolderWithoutPrefixWarnsAndUsesSvf) {
  TempDir in;
  WriteFile(in.Path("general.log"), kLog);
  const auto r = RunProgram({kProgram, "-p", "", in.Path("general.log")});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("tekuri2svf: 変換後のファイル保存先が tekuri ログのある場所と同じで、\n"
                       "変換後のファイル名も同じになるので、接頭辞「svf」を付けて保存します\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(in.Path("general.log")), kLog);
  EXPECT_EQ(ReadFile(in.Path("svfgeneral.log")), Svf("general", " ", "guest", "1"));
}

TEST(Tekuri2svf, MissingFolderWithoutTerminalIsNotCreated) {
  TempDir in;
  WriteFile(in.Path("general.log"), kLog);
  const auto r = RunProgram({kProgram, "-o", in.Path("new"), in.Path("general.log")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("指定されたフォルダがありませんが、\n新しく作成しますか？"),
            std::string::npos);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(std::filesystem::exists(in.Path("new")));
}

TEST(Tekuri2svf, YesCreatesTheMissingFolder) {
  TempDir in;
  WriteFile(in.Path("general.log"), kLog);
  const auto r = RunProgram({kProgram, "-y", "-o", in.Path("new"), in.Path("general.log")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(in.Path("new/svfgeneral.log")), Svf("general", " ", "guest", "1"));
}

TEST(Tekuri2svf, AFolderStandsForItsLogsInNameOrder) {
  TempDir in, out;
  // "a.Log" sorts before "a.log" ("L" is 0x4C, "l" 0x6C); both are board "a", so the second
  // one's output wins and the first one's becomes its backup.
  WriteFile(in.Path("a.Log"), "Title : first\r\n.\r\n");
  WriteFile(in.Path("a.log"), "Title : second\r\n.\r\n");
  WriteFile(in.Path("b.LOG"), kLog);
  WriteFile(in.Path("c.txt"), kLog);
  std::filesystem::create_directory(in.Path("d.log"));
  for (const char* jobs : {"1", "4"}) {
    const auto r = RunProgram({kProgram, "-j", jobs, "-o", out.Folder(), in.Folder()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3 個のファイルを SHOWPC Virtual Format に変換し \n" + out.Folder() +
                         " に保存しました\n");
    EXPECT_NE(ReadFile(out.Path("svfa.log")).find("Title : second"), std::string::npos);
    EXPECT_EQ(ReadFile(out.Path("svfb.log")), Svf("b", " ", "guest", "1"));
    EXPECT_FALSE(std::filesystem::exists(out.Path("svfc.log")));
    EXPECT_FALSE(std::filesystem::exists(out.Path("svfd.log")));
    std::size_t backups = 0;
    for (const auto& e : std::filesystem::directory_iterator(out.Folder())) {
      if (e.path().filename().string().starts_with("svfa.")) ++backups;
    }
    EXPECT_GE(backups, 2u) << "-j " << jobs;  // svfa.log and the first one's backup
    std::filesystem::remove_all(out.Folder());
    std::filesystem::create_directory(out.Folder());
  }
}

TEST(Tekuri2svf, AFolderWithoutLogsIsNoInput) {
  TempDir in;
  WriteFile(in.Path("notes.txt"), kLog);
  const auto r = RunProgram({kProgram, in.Folder()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tekuri2svf: no file whose name ends in \".log\" in " + in.Folder() + "\n");
  EXPECT_EQ(r.out, "");
  const auto two = RunProgram({kProgram, in.Folder(), in.Folder()});
  EXPECT_EQ(two.status, 1);
  EXPECT_EQ(two.err, "tekuri2svf: no file whose name ends in \".log\" in the folders given\n");
}

TEST(Tekuri2svf, ReadAndSaveErrorsExitWithOne) {
  TempDir in, out;
  const auto missing = RunProgram({kProgram, "-o", out.Folder(), in.Path("none.log")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(in.Path("none.log")), std::string::npos);
  EXPECT_EQ(missing.out, "");

  WriteFile(in.Path("general.log"), kLog);
  std::filesystem::create_symlink("/dev/full", out.Path("svfgeneral.log"));
  const auto full = RunProgram({kProgram, "-o", out.Folder(), in.Path("general.log")});
  EXPECT_EQ(full.status, 1);
  // The save error's own text, after a line that names the file and what is wrong with it.
  EXPECT_EQ(full.err,
            "tekuri2svf: cannot write " + out.Folder() +
                "/svfgeneral.log: not a regular file\n"
                "tekuri2svf: ファイルの保存中にエラーが発生したので、処理を中止します。\n");
}

// A full disk under a real run: a 64 KiB tmpfs, mounted in a mount namespace of the child's
// own (unshare), holds an earlier output; the new one does not fit. Skipped where mounting is
// not allowed.
TEST(Tekuri2svf, FullDiskKeepsTheOldOutputUnderItsBackupNameAndSaysWhy) {
  TempDir in, out;
  WriteFile(in.Path("general.log"), LogOfAtLeast((1 << 20)));
  const std::string script =
      "mount -t tmpfs -o size=64k tmpfs \"$1\" 2>/dev/null || exit 77\n"
      "printf previous > \"$1/svfgeneral.log\"\n"
      "touch -d '2001-09-09 01:46:40' \"$1/svfgeneral.log\"\n"
      "\"$2\" -o \"$1\" \"$3\"\n"
      "echo \"status $?\"\n"
      "ls -A \"$1\"\n"
      "cat \"$1/svfgeneral.010909014640\"\n";
  const auto run =
      RunProgram({"/usr/bin/env", "TZ=UTC", "unshare", "-m", "--propagation", "private", "sh", "-c",
                  script, "sh", out.path(), kProgram, in.Path("general.log")});
  if (run.status == 77 || run.status == 1)
    GTEST_SKIP() << "no tmpfs mount allowed here: " << run.err;
  EXPECT_EQ(run.out, "status 1\nsvfgeneral.010909014640\nprevious");
  EXPECT_EQ(run.err,
            "tekuri2svf: cannot write " + out.path() +
                "/svfgeneral.log: No space left on device\n"
                "tekuri2svf: ファイルの保存中にエラーが発生したので、処理を中止します。\n");
}

// Names in a folder, hidden ones included.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Killed while it writes, tekuri2svf never leaves a truncated file under the output's name:
// the bytes go to a hidden temporary file that is renamed into place only once it is whole.
// A signal that can be caught also takes the temporary file away; after SIGKILL it stays.
// The kill comes as soon as anything appears in the output folder.
TEST(Tekuri2svf, KilledWhileWritingLeavesNoTruncatedOutput) {
  TempDir in, out;
  WriteFile(in.Path("general.log"), LogOfAtLeast((8 << 20)));
  const auto whole =
      RunProgram({kProgram, "-q", "-o", out.Path("whole"), "-y", in.Path("general.log")});
  ASSERT_EQ(whole.status, 0);
  const auto whole_size = std::filesystem::file_size(out.Path("whole/svfgeneral.log"));
#if defined(__SANITIZE_THREAD__)
  // ThreadSanitizer's runtime takes a SIGPIPE as a synchronous signal and runs the handler
  // at once, wherever the program is; how the run then ends varies with the load, so the
  // release and ASan builds test that signal.
  const std::initializer_list<int> signals{SIGKILL, SIGTERM, SIGINT, SIGHUP, SIGXFSZ};
#else
  const std::initializer_list<int> signals{SIGKILL, SIGTERM, SIGINT, SIGHUP, SIGXFSZ, SIGPIPE};
#endif
  for (const int signal : signals) {
    const std::string folder = out.Path("o" + std::to_string(signal));
    std::filesystem::create_directory(folder);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 1);
      ::dup2(null, 2);
      const rlimit no_core{0, 0};
      ::setrlimit(RLIMIT_CORE, &no_core);
      ::signal(SIGPIPE, SIG_DFL);  // a closed pipe of standard error or output
      ::execl(kProgram.c_str(), kProgram.c_str(), "-q", "-o", folder.c_str(),
              in.Path("general.log").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::filesystem::is_empty(folder) && std::chrono::steady_clock::now() < deadline) {
    }
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    // Whole, or not there at all.
    if (std::filesystem::exists(folder + "/svfgeneral.log")) {
      EXPECT_EQ(std::filesystem::file_size(folder + "/svfgeneral.log"), whole_size)
          << "signal " << signal;
    } else if (signal != SIGKILL) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "signal " << signal;
      EXPECT_TRUE(std::filesystem::is_empty(folder)) << "signal " << signal;
    }
  }
}

// A file-size limit stops the write with SIGXFSZ from the kernel: the program ends by it, the
// earlier output stays under its own name and nothing else is left.
TEST(Tekuri2svf, FileSizeLimitLeavesTheOldOutputAlone) {
  TempDir in, out;
  WriteFile(in.Path("general.log"), LogOfAtLeast(4 << 20));
  WriteFile(out.Path("svfgeneral.log"), "previous");
  const auto r = RunProgram({"/usr/bin/prlimit", "--fsize=1000000", "--core=0", kProgram, "-q",
                             "-j", "1", "-o", out.path(), in.Path("general.log")});
  EXPECT_EQ(r.status, -1) << "ended by SIGXFSZ";
  EXPECT_EQ(NamesIn(out.path()), std::vector<std::string>{"svfgeneral.log"});
  EXPECT_EQ(ReadFile(out.Path("svfgeneral.log")), "previous");
}

// The folders and files of a run, readable by every user, and its outputs compared.
struct Scene {
  TempDir in, out;
  Scene() {
    for (int i = 0; i < 5; ++i) WriteFile(in.Path("b" + std::to_string(i) + ".log"), kLog);
    WriteFile(in.Path("big.log"), LogOfAtLeast(3 << 20));
    ::chmod(in.path().c_str(), 0755);
    for (const auto& e : std::filesystem::directory_iterator(in.path()))
      ::chmod(e.path().c_str(), 0644);
    ::chmod(out.path().c_str(), 0777);
    WriteFile(out.Path("svfb1.log"), "previous");
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, out.Path("svfb1.log").c_str(), times, 0);
  }
  // Everything under the output folder, by name relative to it, with the size and a hash of
  // its bytes; the stamps of backups made during the run carry its time, and read "<stamp>".
  std::map<std::string, std::string> Outputs() const {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(out.path())) {
      const std::string name =
          std::regex_replace(std::filesystem::relative(e.path(), out.path()).string(),
                             std::regex(R"(\.[0-9]{12})"), ".<stamp>");
      const std::string bytes = ReadFile(e.path().string());
      files[name] = e.is_regular_file() ? std::to_string(bytes.size()) + " bytes, hash " +
                                              std::to_string(std::hash<std::string>{}(bytes))
                                        : "<folder>";
    }
    return files;
  }
};

// A signal that comes during a file-system call makes it fail with EINTR: each such call is
// made again, and the run ends as an undisturbed one.
TEST(Tekuri2svf, InterruptedCallsAreMadeAgain) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's runtime must come first among the preloaded libraries";
#endif
  for (const char* jobs : {"1", "3"}) {
    Scene plain, interrupted;
    const auto args = [&](const Scene& s) {
      // A folder to make, a folder to read, an output to back up (b1 comes twice).
      return std::vector<std::string>{
          kProgram, "-j", jobs, "-y", "-o", s.out.Path("new"), s.in.path(), s.in.Path("b1.log")};
    };
    const auto expected = RunProgram(args(plain));
    std::vector<std::string> preloaded{"/usr/bin/env",
                                       std::string("LD_PRELOAD=") + EINTR_INTERPOSER_PATH};
    for (const std::string& a : args(interrupted)) preloaded.push_back(a);
    const auto r = RunProgram(preloaded);
    ASSERT_EQ(expected.status, 0) << expected.err;
    EXPECT_EQ(r.status, 0) << "-j " << jobs << ": " << r.err;
    EXPECT_EQ(r.err, expected.err);
    EXPECT_EQ(r.out.size(), expected.out.size());
    EXPECT_EQ(interrupted.Outputs(), plain.Outputs());
  }
}

// Where no helper thread can be started (a plain user allowed one process), the run goes on
// with one thread and gives what it gives otherwise.
TEST(Tekuri2svf, WithoutThreadsTheRunGoesOnWithOne) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's runtime starts threads of its own";
#endif
  if (!std::filesystem::exists("/usr/bin/prlimit") || !std::filesystem::exists("/usr/bin/setpriv"))
    GTEST_SKIP() << "no prlimit or setpriv";
  for (const char* jobs : {"4", "2"}) {
    Scene plain, limited;
    // Four jobs for six files use workers; two for one file use the helper that reads and writes.
    const auto args = [&](const Scene& s) {
      std::vector<std::string> a{kProgram, "-j", jobs, "-o", s.out.path()};
      a.push_back(std::string(jobs) == "4" ? s.in.path() : s.in.Path("big.log"));
      return a;
    };
    const auto expected = RunProgram(args(plain));
    std::vector<std::string> one_process{"/usr/bin/prlimit", "--nproc=1"};
    if (::geteuid() == 0) {
      one_process.insert(one_process.begin(),
                         {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    for (const std::string& a : args(limited)) one_process.push_back(a);
    const auto r = RunProgram(one_process);
    ASSERT_EQ(expected.status, 0) << expected.err;
    EXPECT_EQ(r.status, 0) << "-j " << jobs << ": " << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(limited.Outputs(), plain.Outputs());
  }
}

// Each file's buffers come from the memory the files before it gave back: the page faults of a
// run do not grow with its number of files.
TEST(Tekuri2svf, MemoryIsReusedFromFileToFile) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's allocator";
#endif
  const std::string log = LogOfAtLeast(600'000);  // fills both output buffers
  const auto faults = [&](int files, const char* jobs) {
    TempDir in, out;
    for (int i = 0; i < files; ++i) WriteFile(in.Path("b" + std::to_string(i) + ".log"), log);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 1);
      ::execl(kProgram.c_str(), kProgram.c_str(), "-q", "-j", jobs, "-o", out.path().c_str(),
              in.path().c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    EXPECT_EQ(::wait4(pid, &status, 0, &usage), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return usage.ru_minflt;
  };
  for (const char* jobs : {"1", "2"}) {
    const long few = faults(5, jobs), many = faults(25, jobs);
    // A file that mapped its buffers afresh would fault some 300 times.
    EXPECT_LT(many - few, 20 * 50) << few << " faults for 5 files, " << many << " for 25";
  }
}

// When memory runs out (a block of ten million lines under a 150 MB address-space limit),
// the run ends with a message that names the file, exit status 1, and nothing lost.
TEST(Tekuri2svf, OutOfMemoryIsAReportedReadError) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's runtime reserves more address space than the limit";
#endif
  TempDir in, out;
  std::string lines;
  for (int i = 0; i < 10'000'000; ++i) lines += "\r\n";
  WriteFile(in.Path("huge.log"), "Title : no terminator\r\n" + lines);
  WriteFile(out.Path("svfhuge.log"), "previous");
  for (const char* jobs : {"1", "2"}) {
    const auto r = RunProgram({"/usr/bin/prlimit", "--as=150000000", kProgram, "-q", "-j", jobs,
                               "-o", out.path(), in.Path("huge.log")});
    EXPECT_EQ(r.status, 1) << "-j " << jobs;
    EXPECT_EQ(r.err, "tekuri2svf: " + in.Path("huge.log") +
                         " を読み込めませんでした。\nnot enough memory\n");
    EXPECT_EQ(NamesIn(out.path()), std::vector<std::string>{"svfhuge.log"});
    EXPECT_EQ(ReadFile(out.Path("svfhuge.log")), "previous");
  }
}

}  // namespace
}  // namespace sorbit
