// tekuri2svf -j N against -j 1: the same folders, converted once with one thread and once with
// several, must end with the same files, backups, standard output, standard error and exit
// status, also when a file in the middle cannot be read or saved.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <regex>

#include "RunProgram.h"

namespace sorbit {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunProgram;
using testing::TempDir;
using testing::WriteFile;

const std::string kProgram = TEKURI2SVF_PATH;

// Every file the run starts with carries this time, so that the backups of files that existed
// before the run have the same names in both runs.
constexpr time_t kOldTime = 981173106;  // 2001-02-03

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t operator()(std::uint64_t n) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return (state_ >> 33) % n;
  }

 private:
  std::uint64_t state_;
};

// A log of `messages` random messages: titles with and without reply references, handles
// with and without addresses, numbered and unnumbered, Shift-JIS bodies.
std::string RandomLog(Random& random, int messages) {
  std::string log;
  for (int m = 0; m < messages; ++m) {
    log += "Title : ";
    log += random(3) == 0 ? "Re: " + std::to_string(random(500)) : "\x82\xa0 topic";
    log += "\r\nName:h" + std::to_string(random(50)) + (random(2) ? " <a@b.jp>" : "") + "\r\n";
    log += "Date : 98/12/31 12:34:56\r\n";
    if (random(2)) log += "NO: " + std::to_string(m + 1) + "\r\n";
    for (std::uint64_t l = random(12); l > 0; --l) {
      log.append(random(70), static_cast<char>('a' + random(26)));
      log += random(4) == 0 ? "\x93\xfa\x96\x7b\r\n" : "\r\n";
    }
    log += ".\r\n";
  }
  return log;
}

// The folders a run starts from, relative to a fresh root, and its arguments.
struct Scene {
  std::map<std::string, std::string> files;  // path -> bytes
  std::map<std::string, std::string> links;  // path -> target
  std::vector<std::string> args;
};

struct Result {
  int status = -1;
  std::string out, err;
  std::map<std::string, std::string> tree;  // every path under the root -> bytes or link
  bool operator==(const Result&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Result& r) {
  os << "status " << r.status << "\nstdout: " << r.out << "\nstderr: " << r.err << "\n";
  for (const auto& [path, bytes] : r.tree) os << "  " << path << " (" << bytes.size() << ")\n";
  return os;
}

Result RunScene(const Scene& scene, unsigned jobs) {
  TempDir root;
  for (const auto& [path, bytes] : scene.files) {
    fs::create_directories(fs::path(root.Path(path)).parent_path());
    WriteFile(root.Path(path), bytes);
    const struct timespec times[2] = {{kOldTime, 0}, {kOldTime, 0}};
    ::utimensat(AT_FDCWD, root.Path(path).c_str(), times, 0);
  }
  for (const auto& [path, target] : scene.links) {
    fs::create_directories(fs::path(root.Path(path)).parent_path());
    fs::create_symlink(target, root.Path(path));
  }
  std::vector<std::string> args{kProgram, "-y", "-j", std::to_string(jobs)};
  args.insert(args.end(), scene.args.begin(), scene.args.end());
  const testing::ProgramResult run = RunProgram(args, root.Folder());

  Result result;
  result.status = run.status;
  // The two runs have different roots, and backups of files written during the run are
  // stamped with the time of the run.
  const std::regex root_path(
      std::regex_replace(root.Folder(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)"));
  const std::regex new_stamp(R"(\.(?!010203040506)[0-9]{12})");
  result.out = std::regex_replace(run.out, root_path, "<root>/");
  result.err = std::regex_replace(run.err, root_path, "<root>/");
  for (const auto& entry : fs::recursive_directory_iterator(root.Folder())) {
    std::string name =
        std::regex_replace(fs::relative(entry.path(), root.Folder()).string(), new_stamp, ".<now>");
    if (entry.is_symlink()) {
      result.tree[name] = "-> " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_regular_file()) {
      result.tree[name] = ReadFile(entry.path().string());
    } else {
      result.tree[name] = "<folder>";
    }
  }
  return result;
}

// Runs `scene` with one thread and with several; all must agree. Returns the one-thread run.
Result ExpectJobsAgree(const Scene& scene) {
  const Result one = RunScene(scene, 1);
  for (unsigned jobs : {2u, 3u, 8u}) {
    EXPECT_EQ(RunScene(scene, jobs), one) << "-j " << jobs;
  }
  return one;
}

Scene Logs(int count, std::uint64_t seed) {
  Random random(seed);
  Scene scene;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "in/board-%02d.log", i);
    scene.files[name] = RandomLog(random, static_cast<int>(random(60)));
  }
  return scene;
}

TEST(Tekuri2svfJobs, ManyFilesFromAFolder) {
  Scene scene = Logs(40, 1);
  scene.files["in/empty.log"] = "";
  scene.files["in/crs.LOG"] = "a\rb\r.\rc\r.\r";
  scene.files["in/notes.txt"] = "not a log";
  // An output to back up, whose dated backup name is taken already.
  scene.files["out/svfboard-03.log"] = "old output";
  scene.files["out/svfboard-03.010203040506"] = "older backup";
  scene.args = {"-o", "out/", "in", "in/notes.txt"};
  const Result one = ExpectJobsAgree(scene);
  EXPECT_EQ(one.status, 0) << one;
  EXPECT_EQ(one.tree.at("out/svfboard-03.010203040506_2"), "old output");
  EXPECT_EQ(one.tree.count("out/svfnotes.txt"), 0u);  // LOGFILE names it: board "notes"
  EXPECT_EQ(one.tree.count("out/svfnotes.log"), 1u);
}

TEST(Tekuri2svfJobs, SameBoardTwiceKeepsTheFirstAsBackup) {
  Scene scene = Logs(12, 2);
  scene.files["in/general.log"] = "Title : one\r\n.\r\n";
  scene.files["in/general.txt"] = "Title : two\r\n.\r\n";
  scene.args = {"-o",
                "out/",
                "in/board-00.log",
                "in/general.log",
                "in/board-01.log",
                "in/general.txt",
                "in/board-02.log",
                "in/board-03.log"};
  const Result one = ExpectJobsAgree(scene);
  EXPECT_EQ(one.status, 0) << one;
  EXPECT_NE(one.tree.at("out/svfgeneral.log").find("Title : two"), std::string::npos);
  EXPECT_NE(one.tree.at("out/svfgeneral.<now>").find("Title : one"), std::string::npos);
}

TEST(Tekuri2svfJobs, AnInputThatAnEarlierFileWritesIsReadAfterIt) {
  Scene scene = Logs(6, 3);
  scene.files["out/svfboard-01.log"] = "Title : stale\r\n.\r\n";
  // The third file is the first one's output: at its turn it holds the first one's records.
  scene.args = {"-o",
                "out/",
                "-p",
                "svf",
                "in/board-01.log",
                "in/board-02.log",
                "out/svfboard-01.log",
                "in/board-03.log"};
  const Result one = ExpectJobsAgree(scene);
  EXPECT_EQ(one.status, 0) << one;
  EXPECT_EQ(one.tree.count("out/svfsvfboard-01.log"), 1u);
  EXPECT_EQ(one.tree.at("out/svfsvfboard-01.log").find("stale"), std::string::npos);
}

TEST(Tekuri2svfJobs, AnUnreadableFileEndsTheRunAtItsTurn) {
  for (const char* bad : {"in/missing.log", "in/dangling.log"}) {
    Scene scene = Logs(20, 4);
    scene.links["in/dangling.log"] = "gone.log";
    scene.args = {"-o", "out/"};
    for (int i = 0; i < 20; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "in/board-%02d.log", i);
      scene.args.push_back(name);
      if (i == 9) scene.args.push_back(bad);
    }
    const Result one = ExpectJobsAgree(scene);
    EXPECT_EQ(one.status, 1) << one;
    EXPECT_EQ(one.out, "");
    EXPECT_NE(one.err.find(bad), std::string::npos) << one.err;
    EXPECT_EQ(one.tree.count("out/svfboard-09.log"), 1u);
    EXPECT_EQ(one.tree.count("out/svfboard-10.log"), 0u);
  }
}

TEST(Tekuri2svfJobs, ASaveErrorEndsTheRunWithNoLaterFileSaved) {
  Scene scene = Logs(24, 5);
  scene.links["out/svfboard-11.log"] = "/dev/full";
  scene.files["out/svfboard-15.log/inside"] = "";  // a folder where an output goes
  scene.args = {"-o", "out/", "in"};
  const Result one = ExpectJobsAgree(scene);
  EXPECT_EQ(one.status, 1) << one;
  EXPECT_EQ(one.out, "");
  EXPECT_EQ(one.tree.count("out/svfboard-10.log"), 1u);
  EXPECT_EQ(one.tree.count("out/svfboard-12.log"), 0u);
}

TEST(Tekuri2svfJobs, AnOutputNamingItsInputFailsTheSave) {
  Scene scene = Logs(8, 6);
  Random random(7);
  for (const char* name : {"extra/a.log", "extra/b.log", "extra/c.log"}) {
    scene.files[name] = RandomLog(random, 5);
  }
  // No prefix into the input's own folder, named without its final "/" so that the
  // same-folder rule does not apply: board-04's output path is its input.
  scene.args = {"-o",         "in", "-p", "", "extra/a.log", "extra/b.log", "in/board-04.log",
                "extra/c.log"};
  const Result one = ExpectJobsAgree(scene);
  EXPECT_EQ(one.status, 1) << one;
  EXPECT_EQ(one.tree.at("in/board-04.log"), scene.files.at("in/board-04.log"));
  EXPECT_EQ(one.tree.count("in/b.log"), 1u);
  EXPECT_EQ(one.tree.count("in/c.log"), 0u);
}

}  // namespace
}  // namespace sorbit
