// sorbit-export run as a program: on the samples (every message once, in the thread its reply
// number names, checked against a plain reading of their conversion), on hostile input
// (nothing outside the site's folder, nothing unescaped, pages html-tidy passes), on bad
// command lines, on files in the way, and on an input cut short while it is read.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "archive/ReferenceReading.h"
#include "cli/RunProgram.h"
#include "export/JsonLines.h"
#include "support/TempDir.h"

namespace sorbit::testing {
namespace {

namespace fs = std::filesystem;

const std::string kExport = SORBIT_EXPORT_PATH;
const std::string kSamples = SORBIT_SAMPLES;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, lf; (lf = text.find('\n', at)) != std::string::npos; at = lf + 1) {
    lines.push_back(text.substr(at, lf - at));
  }
  return lines;
}

// Every file under `dir`, by path relative to it, with its bytes.
std::map<std::string, std::string> Files(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_directory()) files[fs::relative(entry.path(), dir)] = ReadFile(entry.path());
  }
  return files;
}

// html-tidy's verdict on every page: empty when all pass without a warning.
std::string TidyComplaints(const std::map<std::string, std::string>& files,
                           const std::string& dir) {
  std::string complaints;
  for (const auto& [name, bytes] : files) {
    if (!name.ends_with(".html")) continue;
    const ProgramResult tidy = RunProgram({SORBIT_TIDY, "-errors", "-q", dir + "/" + name});
    if (tidy.status != 0) complaints += name + ": " + tidy.err;
  }
  return complaints;
}

TEST(ExportProgramTest, SamplesAppearOnceInTheThreadsTheirReplyNumbersName) {
  TempDir dir;
  const std::vector<std::string> boards = {"general", "minibbs", "pc98"};
  std::vector<std::string> svfs = {kExport, "--jsonl"};
  for (const std::string& board : boards) svfs.push_back(dir / ("svf" + board + ".log"));
  ASSERT_EQ(RunProgram({TEKURI2SVF_PATH, "-q", "-o", dir.Folder(), kSamples}).status, 0);
  const ProgramResult from_logs = RunProgram({kExport, "--jsonl", kSamples});
  const ProgramResult from_svf = RunProgram(svfs);
  ASSERT_EQ(from_logs.status, 0) << from_logs.err;
  ASSERT_EQ(from_svf.status, 0) << from_svf.err;
  const std::vector<std::string> log_lines = Lines(CanonicalJsonLines(from_logs.out)),
                                 svf_lines = Lines(CanonicalJsonLines(from_svf.out));
  ASSERT_EQ(log_lines.size(), svf_lines.size());

  // The JSON of the SVF files against the plain reading of them; the logs' JSON the same but
  // for "file" and "offset".
  std::size_t line = 0;
  std::map<std::string, std::vector<RefMessage>> reference;
  for (std::size_t f = 0; f < boards.size(); ++f) {
    reference[boards[f]] = ReferenceRead(ReadFile(svfs[f + 2]));
    for (std::size_t i = 0; i < reference[boards[f]].size(); ++i, ++line) {
      const std::string& svf = svf_lines.at(line);
      const std::string& log = log_lines.at(line);
      const RefMessage& want = reference[boards[f]][i];
      EXPECT_TRUE(svf.starts_with("file=s" + svfs[f + 2] + ";offset=#" +
                                  std::to_string(want.offset) + ";index=#" + std::to_string(i) +
                                  ";board=s" + boards[f] + ";"))
          << svf;
      EXPECT_TRUE(log.starts_with("file=s" + kSamples + "/" + boards[f] + ".log;offset=#"));
      EXPECT_EQ(svf.substr(svf.find(";index=")), log.substr(log.find(";index=")));
      const std::string parent = want.parent < 0 ? "n" : "#" + std::to_string(want.parent);
      EXPECT_NE(svf.find(";parent=" + parent + ";"), std::string::npos) << svf;
    }
  }
  EXPECT_EQ(line, svf_lines.size());

  // The site: each message once on the thread pages, on its parent's page with a link to it;
  // once in the board's index; every page tidy.
  const std::string site = dir / "site";
  std::vector<std::string> html = svfs;
  html[1] = "--html", html.insert(html.begin() + 2, site);
  ASSERT_EQ(RunProgram(html).status, 0);
  const std::map<std::string, std::string> files = Files(site);
  EXPECT_EQ(TidyComplaints(files, site), "");
  const std::regex article(R"re(<article class="msg d\d+" id="m(\d+)">([^]*?)</article>)re");
  const std::regex parent_link(R"re(<p class="links">返信先 <a href="([^"]*)#m(\d+)">)re");
  const std::regex listed(R"re(<li><a href="t\d+\.html#m(\d+)">)re");
  for (const std::string& board : boards) {
    std::map<int, int> on_page, in_index;
    int page = 0;
    for (const auto& [name, bytes] : files) {
      if (!name.starts_with(board + "/")) continue;
      for (std::sregex_iterator it(bytes.begin(), bytes.end(), listed), end; it != end; ++it) {
        ++in_index[std::stoi((*it)[1])];
      }
      ++page;
      for (std::sregex_iterator it(bytes.begin(), bytes.end(), article), end; it != end; ++it) {
        const int index = std::stoi((*it)[1]);
        EXPECT_EQ(on_page.count(index), 0u) << board << " message " << index << " twice";
        on_page[index] = page;
        const std::string body = (*it)[2];
        std::smatch link;
        const int want = reference[board].at(index).parent;
        if (std::regex_search(body, link, parent_link)) {
          EXPECT_EQ(std::stoi(link[2]), want) << board << " " << index;
          EXPECT_EQ(link[1], "") << "parent on another page";
        } else {
          EXPECT_EQ(want, -1) << board << " " << index;
        }
      }
    }
    EXPECT_EQ(on_page.size(), reference[board].size()) << board;
    EXPECT_EQ(in_index.size(), reference[board].size()) << board;
    for (const auto& [index, count] : in_index) EXPECT_EQ(count, 1) << board << " " << index;
  }
  // The same input gives the same bytes, also over the first site.
  ASSERT_EQ(RunProgram(html).status, 0);
  EXPECT_EQ(Files(site), files);
}

// The site in the documents is what the export writes today (scripts/render-sample-site.sh).
TEST(ExportProgramTest, TheSampleSiteOfTheDocumentsIsCurrent) {
  TempDir dir;
  ASSERT_EQ(RunProgram({kExport, "-q", "--html", dir / "site", kSamples}).status, 0);
  EXPECT_EQ(Files(dir / "site"), Files(SORBIT_SAMPLE_SITE));
}

TEST(ExportProgramTest, HostileInputStaysInsideTheFolderEscapedAndWhole) {
  TempDir in, out;
  std::string svf;
  const std::vector<std::string> boards = {"..",  ".",       "a/b",     "CON",
                                           "<x>", "General", "general", ""};
  const std::vector<std::string> texts = {
      "<script>alert(1)</script>", "\"q\" 'a'", "a & b", "</a><b>", "Re: 1 </a>",
      std::string("n\0l", 3)};
  for (std::size_t k = 0; k < 40; ++k) {
    const std::string& text = texts[k % texts.size()];
    svf += "\r\n@@@MSG,0," + boards[k % boards.size()] + ",i" + text + "," + text +
           ",98/12/31,12:34\r\n@@@" + std::to_string(k / boards.size() + 1) + "," +
           (k >= boards.size() ? "1" : "") + ",0," + text + "\r\n" + text + "\r\n> " + text +
           "\r\n" + (k == 3 ? std::string(1 << 20, 'w') + "\r\n" : "");
  }
  WriteFile(in / "hostile.log", svf);
  WriteFile(in / "cut.log",
            "\r\n@@@MSG,0,cut,,h,98/12/31,12:34\r\n@@@1,,0,t\r\nbody\r\n\r\n@@@MSG,0,cut,,ha");
  WriteFile(in / "cut2.log", "\r\n@@@MSG,0,cut2,,h,98/12/31,12:34\r\n@@@1,");
  const std::string site = out / "site";
  const ProgramResult result = RunProgram({kExport, "--html", site, "-q", in.path()});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  std::set<std::string> top;
  for (const auto& entry : fs::directory_iterator(out.path())) top.insert(entry.path().filename());
  EXPECT_EQ(top, std::set<std::string>{"site"});
  const std::map<std::string, std::string> files = Files(site);
  std::set<std::string> folders;
  for (const auto& [name, bytes] : files) {
    const fs::path path(name);
    EXPECT_FALSE(fs::is_symlink(site + "/" + name));
    if (path.has_parent_path()) {
      folders.insert(path.parent_path());
      EXPECT_FALSE(path.parent_path().has_parent_path()) << name;
    }
    for (const char* raw : {"<script", "<x>", "</a><b>", "'a'>"}) {
      EXPECT_EQ(bytes.find(raw), std::string::npos) << name << " holds " << raw;
    }
    EXPECT_EQ(bytes.find('\0'), std::string::npos) << name;
  }
  // Ten boards, among them two that differ only in case: ten folders.
  EXPECT_EQ(folders.size(), boards.size() + 2) << ::testing::PrintToString(folders);
  EXPECT_EQ(TidyComplaints(files, site), "");
  bool long_line = false;
  for (const auto& [name, bytes] : files)
    long_line |= bytes.find("\n" + std::string(1 << 20, 'w') + "</pre>") != std::string::npos;
  EXPECT_TRUE(long_line);
  const ProgramResult json = RunProgram({kExport, "--jsonl", in.path()});
  ASSERT_EQ(json.status, 0);
  const std::vector<std::string> objects = Lines(CanonicalJsonLines(json.out));
  EXPECT_EQ(objects.size(), 42u);  // the second message of cut.log lacks its number line
  EXPECT_EQ(std::count(objects.begin(), objects.end(), "invalid"), 0);
}

TEST(ExportProgramTest, CommandLineErrorsAndFilesThatCannotBeReadOrWritten) {
  TempDir dir;
  WriteFile(dir / "in.log", "\r\n@@@MSG,0,b,,h,98/12/31,12:34\r\n@@@1,,0,t\r\nbody\r\n");
  // Each case's arguments, each after a "|".
  for (const char* arguments : {"", "|--text|--jsonl|x", "|--html|d|-o|f|x", "|--jsonl",
                                "|--bogus|x", "|--text|-o", "|--html||x"}) {
    const ProgramResult r = RunProgram(Split(kExport + arguments, '|'));
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_TRUE(r.err.starts_with("sorbit-export: ") &&
                r.err.find("Try 'sorbit-export --help'") != std::string::npos)
        << r.err;
  }
  EXPECT_EQ(RunProgram({kExport, "--version"}).out,
            std::string("sorbit-export (Sorbit) ") + SORBIT_VERSION + "\n");
  EXPECT_TRUE(RunProgram({kExport, "--help"}).out.starts_with("Usage: sorbit-export"));

  // An input that cannot be read: named, and no output file, not even in part.
  const ProgramResult missing =
      RunProgram({kExport, "--jsonl", "-o", dir / "out.jsonl", dir / "in.log", dir / "gone.log"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(dir / "gone.log"), std::string::npos) << missing.err;
  EXPECT_EQ(Files(dir.path()).size(), 1u);
  // A folder without a log, as tekuri2svf takes it: an error, and no site.
  fs::create_directory(dir / "none");
  const ProgramResult none = RunProgram({kExport, "--html", dir / "site", dir / "none"});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("no file whose name ends in \".log\""), std::string::npos) << none.err;
  EXPECT_FALSE(fs::exists(dir / "site"));
  // An output that is one of the inputs would replace it: refused, the input kept.
  const std::string in = ReadFile(dir / "in.log");
  const ProgramResult over =
      RunProgram({kExport, "--jsonl", "-o", dir.path() + "/./in.log", dir / "in.log"});
  EXPECT_EQ(over.status, 1);
  EXPECT_NE(over.err.find("it is the input"), std::string::npos) << over.err;
  EXPECT_EQ(ReadFile(dir / "in.log"), in);
  const ProgramResult full = RunProgram({kExport, "--text", dir / "in.log"}, "", "", "/dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("cannot write standard output"), std::string::npos) << full.err;

  // Files in the way of the site: a page the export did not write, a folder that is a link.
  const std::string site = dir / "site";
  fs::create_directories(site + "/b");
  WriteFile(site + "/index.html", "mine");
  ProgramResult blocked = RunProgram({kExport, "--html", site, dir / "in.log"});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_NE(blocked.err.find(site + "/index.html"), std::string::npos) << blocked.err;
  EXPECT_EQ(Files(site), (std::map<std::string, std::string>{{"index.html", "mine"}}));
  fs::remove(site + "/index.html");
  fs::remove(site + "/b");
  fs::create_directory_symlink(dir.path(), site + "/b");
  blocked = RunProgram({kExport, "--html", site, dir / "in.log"});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(Files(dir.path()).size(), 1u);
  // Over its own site the export writes again; a file of the user's beside its pages stays.
  fs::remove(site + "/b");
  ASSERT_EQ(RunProgram({kExport, "--html", site, dir / "in.log"}).status, 0);
  WriteFile(site + "/b/notes.txt", "mine");
  ASSERT_EQ(RunProgram({kExport, "--html", site, dir / "in.log"}).status, 0);
  EXPECT_EQ(ReadFile(site + "/b/notes.txt"), "mine");
}

// A file that another program shortens while it is being read: the export names it, ends
// with status 1, and writes nothing that was read after the cut: no JSON file, no page, no
// temporary file left behind (the pages written before the cut stay, each whole).
TEST(ExportProgramTest, AnInputCutShortWhileReadIsNamedAndLeavesNothingOfIt) {
  TempDir dir;
  std::string svf;
  for (int n = 0; svf.size() < (40 << 20); ++n) {
    svf += "\r\n@@@MSG,0,b,,handle,98/12/31,12:34\r\n@@@" + std::to_string(n % 1000) +
           ",,0,title\r\n" + std::string(200, 'x') + "\r\n";
  }
  const std::string input = dir / "in.log";
  for (const std::string mode : {"--jsonl", "--html"}) {
    WriteFile(input, svf);
    fs::remove_all(dir / "out");
    fs::create_directory(dir / "out");
    const std::string output = dir / (mode == "--html" ? "out/site" : "out/all.jsonl");
    const pid_t child = ::fork();
    if (child == 0) {
      const int err = ::open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(err, 2);
      const bool html = mode == "--html";
      ::execl(kExport.c_str(), kExport.c_str(), html ? "--html" : "-o", output.c_str(),
              html ? "-q" : "--jsonl", input.c_str(), nullptr);
      ::_exit(127);
    }
    // Once some output is written, the input is cut to nothing.
    bool cut = false;
    for (int wait = 0; wait < 20000 && !cut; ++wait) {
      std::error_code error;
      for (auto it = fs::recursive_directory_iterator(dir / "out", error);
           it != fs::recursive_directory_iterator() && !cut; it.increment(error)) {
        if (it->is_regular_file(error) && it->file_size(error) > 0 && ::kill(child, SIGSTOP) == 0) {
          ::truncate(input.c_str(), 0);
          ::kill(child, SIGCONT);
          cut = true;
        }
      }
      ::usleep(500);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(cut);
    ASSERT_TRUE(WIFEXITED(status)) << mode << ": signal " << WTERMSIG(status) << "\n"
                                   << ReadFile(dir / "stderr");
    EXPECT_EQ(WEXITSTATUS(status), 1) << mode;
    EXPECT_NE(ReadFile(dir / "stderr").find(input + ": the file was cut short"), std::string::npos)
        << ReadFile(dir / "stderr");
    for (const auto& entry : fs::recursive_directory_iterator(dir / "out")) {
      EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
      EXPECT_NE(entry.path().filename(), "all.jsonl");
      if (entry.path().extension() == ".html") {
        EXPECT_EQ(ReadFile(entry.path()).find(std::string(1, '\0')), std::string::npos);
        EXPECT_TRUE(ReadFile(entry.path()).ends_with("</html>\n")) << entry.path();
      }
    }
  }
}

}  // namespace
}  // namespace sorbit::testing
