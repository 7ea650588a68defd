// The archive against a plain reference reading of random SVF files (every line split, every
// rule applied the simple way), the thread tree's properties, and tekuri logs against their
// conversion by tekuri2svf.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "archive/ReferenceReading.h"
#include "archive/Search.h"
#include "cli/RunProgram.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

namespace sorbit::archive {
namespace {

using sorbit::testing::NumberOf;
using sorbit::testing::ReferenceRead;
using sorbit::testing::RefMessage;
using sorbit::testing::Split;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

std::string Utf8(const std::string& cp932) {
  std::string out;
  text::AppendCp932AsUtf8(cp932, out);
  return out;
}

// ---- Random SVF text, dense in what the rules must tell apart. ----

std::string RandomSvf(std::mt19937& random) {
  auto pick = [&random](std::initializer_list<const char*> choices) {
    return std::string(choices.begin()[random() % choices.size()]);
  };
  auto number = [&](int limit) {
    switch (random() % 8) {
      case 0:
        return pick({"", " ", "abc", "1a", "\x82\x50", "-1"});
      case 1:
        return " " + std::to_string(random() % limit) + " ";
      case 2:
        return "00" + std::to_string(random() % limit);
      case 3:
        return std::string("123456789012345678901234567") + pick({"", "8"});
      default:
        return std::to_string(random() % limit);
    }
  };
  const std::string eol = random() % 4 == 0 ? "\n" : "\r\n";
  std::string text = random() % 8 == 0 ? "" : random() % 8 == 0 ? "junk\r\n\r\n" : eol;
  const int messages = static_cast<int>(random() % 40);
  for (int m = 0; m < messages; ++m) {
    if (m > 0) text += random() % 10 == 0 ? "x" + eol : eol;  // sometimes no empty line
    text += "@@@MSG,0," + pick({"general", "talk", "\x8c\x66\x8e\xa6"});
    const int fields = static_cast<int>(random() % 6);
    const char* values[] = {"id", "han,dle", "98/12/31", "12:34", "extra"};
    for (int f = 0; f < 4 && f < fields + 2; ++f) {
      text += ",";
      text += random() % 6 == 0 ? pick({"", "00/02/29", "99/02/29", "24:00", "\x81"}) : values[f];
    }
    if (fields == 5) text += ",more,10/10/10,00:00";
    text += eol + "@@@" + number(20);
    if (random() % 8 != 0) text += "," + number(25) + ",0,Re: " + number(20) + " t,i";
    text += eol;
    const int body = static_cast<int>(random() % 5);
    for (int b = 0; b < body; ++b) {
      text += pick({"", "body", "@@@MSG,0,fake,,h,d,t", "@@@", "\x82\xA0\x82\xA2", "\xFF", "a\rb",
                    "> quoted"}) +
              eol;
    }
  }
  if (random() % 4 == 0 && !text.empty()) text.pop_back();  // a last line without its end
  return text;
}

// Every message once, by walking each board's roots and children; the walk must end.
std::vector<std::uint32_t> WalkTrees(const Archive& archive) {
  std::vector<std::uint32_t> seen;
  std::vector<std::uint32_t> stack;
  for (const BoardInfo& board : archive.Boards()) {
    for (std::uint32_t r = board.first_root; r != kNone; r = archive.Message(r).NextSibling()) {
      stack.push_back(r);
    }
  }
  while (!stack.empty() && seen.size() <= archive.MessageCount()) {
    const std::uint32_t i = stack.back();
    stack.pop_back();
    seen.push_back(i);
    for (std::uint32_t c = archive.Message(i).FirstChild(); c != kNone;
         c = archive.Message(c).NextSibling()) {
      EXPECT_EQ(archive.Message(c).Parent(), i);
      stack.push_back(c);
    }
  }
  return seen;
}

TEST(ArchiveTest, RandomSvfFilesReadAsTheReferenceAndThreadEveryMessageOnce) {
  TempDir dir;
  std::mt19937 random(18);
  int threaded = 0;
  int missing = 0;
  for (int round = 0; round < 400; ++round) {
    const std::string svf = RandomSvf(random);
    const std::string path = dir / ("svf" + std::to_string(round) + ".log");
    WriteFile(path, svf);
    const std::vector<RefMessage> want = ReferenceRead(svf);
    auto archive = Archive::Open(path);
    if (svf.find_first_not_of("\r\n") == std::string::npos ||
        svf.compare(svf.find_first_not_of("\r\n"), 7, "@@@MSG,") != 0) {
      EXPECT_EQ(archive->Kind(), FileKind::kTekuri);
      continue;
    }
    ASSERT_EQ(archive->Kind(), FileKind::kSvf);
    // Small random steps give the same index as one pass.
    while (!archive->IndexStep(1 + random() % 300)) {
    }
    ASSERT_EQ(archive->MessageCount(), want.size()) << ::testing::PrintToString(svf);
    MessageText got;
    RawMessage raw;
    for (std::uint32_t i = 0; i < want.size(); ++i) {
      const RefMessage& w = want[i];
      archive->ReadText(i, got, raw);
      const std::string where = ::testing::PrintToString(svf) + " message " + std::to_string(i);
      EXPECT_EQ(archive->Message(i).Offset(), w.offset) << where;
      EXPECT_EQ(got.board, Utf8(w.board)) << where;
      EXPECT_EQ(got.id, Utf8(w.id)) << where;
      EXPECT_EQ(got.handle, Utf8(w.handle)) << where;
      EXPECT_EQ(got.date, Utf8(w.date)) << where;
      EXPECT_EQ(got.time, Utf8(w.time)) << where;
      EXPECT_EQ(got.no, Utf8(w.no)) << where;
      const std::string no_digits = NumberOf(w.no);
      EXPECT_EQ(archive->Message(i).NoValue(),
                no_digits.empty() || no_digits.size() > kMaxExactDigits
                    ? std::nullopt
                    : std::optional<std::uint64_t>(std::stoull(no_digits)))
          << where;
      EXPECT_EQ(got.reply, Utf8(w.reply)) << where;
      EXPECT_EQ(got.title, Utf8(w.title)) << where;
      std::string body;
      for (std::size_t k = 0; k < w.body.size(); ++k) body += (k ? "\n" : "") + Utf8(w.body[k]);
      EXPECT_EQ(got.body, body) << where;
      // No CP932 code reads as U+FFFD: the view holds one exactly when it is lossy.
      const std::string all = got.board + got.id + got.handle + got.date + got.time + got.no +
                              got.reply + got.title + got.body;
      EXPECT_EQ(got.lossy, all.find("\uFFFD") != std::string::npos) << where;
      EXPECT_EQ(archive->Message(i).Parent(),
                w.parent < 0 ? kNone : static_cast<std::uint32_t>(w.parent))
          << where;
      EXPECT_EQ(archive->Message(i).OriginalMissing(), w.parent < 0 && !NumberOf(w.reply).empty())
          << where;
      const std::string no = NumberOf(w.no);
      EXPECT_EQ(archive->Message(i).NoValue(), no.empty() || no.size() > kMaxExactDigits
                                                   ? std::nullopt
                                                   : std::optional(std::stoull(no)))
          << where;
      threaded += w.parent >= 0;
      missing += archive->Message(i).OriginalMissing();
    }
    std::vector<std::uint32_t> seen = WalkTrees(*archive);
    std::sort(seen.begin(), seen.end());
    std::vector<std::uint32_t> all(archive->MessageCount());
    for (std::uint32_t i = 0; i < all.size(); ++i) all[i] = i;
    EXPECT_EQ(seen, all);
    // Thread order visits each board's messages once each.
    std::size_t visited = 0;
    for (const BoardInfo& board : archive->Boards()) {
      std::set<std::uint32_t> in_order;
      for (std::uint32_t i = board.first_root; i != kNone; i = archive->NextInThreadOrder(i)) {
        ASSERT_TRUE(in_order.insert(i).second);
        EXPECT_EQ(archive->Boards()[archive->Message(i).Board()].name, board.name);
      }
      EXPECT_EQ(in_order.size(), board.message_count);
      visited += in_order.size();
    }
    EXPECT_EQ(visited, want.size());
  }
  EXPECT_GT(threaded, 200);
  EXPECT_GT(missing, 200);
}

// The search finds exactly the messages where the pattern matches the title, the handle or a
// body line taken alone (Find on each), in every mode: the whole-file pass, message by
// message, one board or all, in small steps.
TEST(ArchiveTest, SearchFindsExactlyTheMessagesWhoseFieldsMatch) {
  TempDir dir;
  std::mt19937 random(1812);
  const std::vector<std::string> patterns = {"body",     "han",   "Re: [0-9]+", "[a-e]+y", "あ",
                                             "^b",       "t$",    "^$",         "x*",      "@@@MSG",
                                             "0,R",      "12:34", "fake",       ",",       "y\\r",
                                             "[^a-z]+$", "\\xA0", "q|quot",     "e",       "掲"};
  std::vector<SjisRegExp::TCompiledRegExp> compiled;
  for (const std::string& text : patterns) compiled.push_back(CompileSearchPattern(text, false));
  int hits = 0;
  for (int round = 0; round < 150; ++round) {
    std::string svf = RandomSvf(random);
    if (random() % 5 == 0) svf.insert(svf.size() / 2, std::string(1, '\0'));
    const std::string path = dir / ("s" + std::to_string(round) + ".log");
    WriteFile(path, svf);
    auto archive = Archive::Open(path);
    archive->BuildIndex();
    for (std::size_t p = 0; p < patterns.size(); ++p) {
      const SjisRegExp::TCompiledRegExp& pattern = compiled[p];
      const std::uint8_t fields = static_cast<std::uint8_t>(1 + random() % 7);
      const std::uint32_t board =
          archive->Boards().empty() || random() % 2
              ? kNone
              : static_cast<std::uint32_t>(random() % archive->Boards().size());
      std::vector<std::uint32_t> want;
      RawMessage raw;
      for (std::uint32_t i = 0; i < archive->MessageCount(); ++i) {
        if (board != kNone && archive->Message(i).Board() != board) continue;
        archive->ReadRaw(i, raw);
        // Find reads a zero byte as a character, as the search does.
        bool match = ((fields & kSearchTitle) && pattern.Find(raw.number.title)) ||
                     ((fields & kSearchHandle) && pattern.Find(raw.msg.handle));
        if (fields & kSearchBody) {
          std::vector<std::string> lines = Split(std::string(raw.body), '\n');
          for (std::size_t k = 0; k + 1 < lines.size(); ++k) {  // a CR before an LF goes
            if (!lines[k].empty() && lines[k].back() == '\r') lines[k].pop_back();
          }
          if (lines.back().empty()) lines.pop_back();  // after the last line end
          for (const std::string& line : lines) match = match || pattern.Find(line);
        }
        if (match) want.push_back(i);
      }
      ArchiveSearch search(*archive, pattern, fields, board);
      while (!search.Step(1 + random() % 200)) {
      }
      ASSERT_EQ(search.Hits(), want) << ::testing::PrintToString(svf) << " /" << patterns[p] << "/ "
                                     << int{fields} << " board " << board;
      EXPECT_EQ(SearchArchive(*archive, pattern, fields, board), want);
      hits += static_cast<int>(want.size());
    }
  }
  EXPECT_GT(hits, 5000);
}

TEST(ArchiveTest, MatchesInAMessageStandWhereItsUtf8ViewShowsThem) {
  TempDir dir;
  WriteFile(dir / "m.log",
            "\r\n@@@MSG,0,b,,\x82\xA0Re: 1,98/01/01,00:00\r\n@@@2,1,0,Re: 12 \x82\xA0\r\n"
            "x\r\n\x82\xA0\x82\xA0Re: 3 Re:4\r\n\r\nRe:5");
  auto archive = Archive::Open(dir / "m.log");
  archive->BuildIndex();
  const SjisRegExp::TCompiledRegExp pattern = CompileSearchPattern("Re: ?[0-9]+", false);
  RawMessage raw;
  MessageText text;
  archive->ReadText(0, text, raw);
  const std::vector<TextMatch> found = FindInMessage(*archive, pattern, 0, kSearchAll, raw);
  std::vector<std::string> shown;
  for (const TextMatch& m : found) {
    const std::string& field = m.field == kSearchTitle    ? text.title
                               : m.field == kSearchHandle ? text.handle
                                                          : text.body;
    shown.push_back(std::to_string(m.field) + ":" + field.substr(m.begin, m.end - m.begin));
  }
  EXPECT_EQ(shown,
            (std::vector<std::string>{"1:Re: 12", "2:Re: 1", "4:Re: 3", "4:Re:4", "4:Re:5"}));
  EXPECT_EQ(found[2].begin, std::string("x\nああ").size());
  // As sjisgrep converts a pattern: every code of a character with several, ¥ as 0x5C.
  EXPECT_EQ(PatternToCp932("あ〜∵¥"), "\x82\xA0\x81\x60(\x81\xE6|\x87\x9A|\xFA\x5B)\\\\");
  try {
    PatternToCp932("ab\xC3");
    ADD_FAILURE();
  } catch (const PatternEncodingError& error) {
    EXPECT_EQ(error.Offset(), 2u);
  }
}

// A pattern typed in UTF-8 finds a character whichever of its CP932 codes the log used, and
// "¥" finds the 0x5C byte of a path, as sjisgrep does; the matches are highlighted where the
// UTF-8 view shows them.
TEST(ArchiveTest, SearchFindsEveryCodeOfACharacterAsSjisgrepDoes) {
  TempDir dir;
  const char* bodies[] = {"\x81\xE6", "\x87\x9A", "\xFA\x5B", "C:\\tekuri", "none"};
  std::string svf;
  for (const char* body : bodies) {
    svf += std::string("\r\n@@@MSG,0,b,,h,98/01/01,00:00\r\n@@@1,,0,t\r\n") + body + "\r\n";
  }
  WriteFile(dir / "codes.log", svf);
  auto archive = Archive::Open(dir / "codes.log");
  archive->BuildIndex();
  EXPECT_EQ(SearchArchive(*archive, CompileSearchPattern("∵", false)),
            (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_EQ(SearchArchive(*archive, CompileSearchPattern("[∵x]", false)),
            (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_EQ(SearchArchive(*archive, CompileSearchPattern("C:¥tek", false)),
            (std::vector<std::uint32_t>{3}));
  RawMessage raw;
  const std::vector<TextMatch> found =
      FindInMessage(*archive, CompileSearchPattern("∵", false), 1, kSearchBody, raw);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].end - found[0].begin, std::string("∵").size());
}

TEST(ArchiveTest, FindNumberedTakesTheLatestBeforeElseTheFirstAfter) {
  TempDir dir;
  std::string svf;
  const char* numbers[] = {"5", "7", " 05", "9", "5", "12345678901234567890", "7"};
  for (const char* no : numbers)
    svf += "\r\n@@@MSG,0,b,,h,98/01/01,00:00\r\n@@@" + std::string(no) + ",,0,t\r\n";
  svf += "\r\n@@@MSG,0,other,,h,98/01/01,00:00\r\n@@@5,,0,t\r\n";
  WriteFile(dir / "a.log", svf);
  auto archive = Archive::Open(dir / "a.log");
  archive->BuildIndex();
  const std::uint32_t b = archive->Message(0).Board();
  struct Case {
    const char* digits;
    std::uint32_t from, want;
  };
  const Case cases[] = {
      {"5", 3, 2},    {"005", 2, 0}, {"5", 0, 2},     {"5", kNone, 4},
      {"7", 6, 1},    {"7", 1, 6},   {"8", 3, kNone}, {"12345678901234567890", 0, 5},
      {"x", 3, kNone}};
  for (const Case& c : cases) {
    EXPECT_EQ(archive->FindNumbered(b, c.digits, c.from), c.want) << c.digits << " " << c.from;
  }
  EXPECT_EQ(archive->FindNumbered(archive->Message(7).Board(), "5", kNone), 7u);
}

// The log, converted by tekuri2svf with its default options, reads as the log itself: the
// same messages with the same fields, bodies and threads.
TEST(ArchiveTest, TekuriLogReadsAsItsConversion) {
  TempDir dir;
  std::mt19937 random(2);
  std::string log;
  auto pick = [&random](const std::vector<std::string>& choices) {
    return choices[random() % choices.size()];
  };
  for (int m = 0; m < 300; ++m) {
    if (random() % 20 == 0) log += "\r\n";  // a blank line that shifts the header
    log += "\x8c\x8f\x96\xbc  : " + pick({"hello", "Re: 3 x", "RE>>#12", "re[7]", "Re:Re:1"}) +
           std::to_string(m) + "\r\n";
    log += "\x96\xbc\x91\x4f:" + pick({"taro", "hana <h@example.jp>", "a, b <c>", ""}) + "\r\n";
    log += "\x93\xfa\x95\x74 : " + pick({"98/12/31 12:34:56", "03/01/02 00:00", "bad"}) + "\r\n";
    if (random() % 3 == 0) log += pick({"NO: 12", "no:7", "NO:x"}) + "\r\n";
    const int body = static_cast<int>(random() % 6);
    for (int b = 0; b < body; ++b) {
      log += pick({"", "line", "a\nb", "lone\rcr", "\x82\xA0", "x\x81", "@@@MSG,0,in,,h,d,t",
                   "@@@1,,0,inner", std::string(5000, 'w'), std::string("nul\0byte", 8)}) +
             "\r\n";
    }
    log += pick({".", ". end", ".."}) + "\r\n";
  }
  log += "\r\n\x1a trailing";
  const std::string path = dir / "talk.log";
  WriteFile(path, log);
  const auto converted =
      sorbit::testing::RunProgram({TEKURI2SVF_PATH, "-q", "-o", dir.Folder(), path});
  ASSERT_EQ(converted.status, 0) << converted.err;
  auto tekuri = Archive::Open(path);
  auto svf = Archive::Open(dir / "svftalk.log");
  ASSERT_EQ(tekuri->Kind(), FileKind::kTekuri);
  ASSERT_EQ(svf->Kind(), FileKind::kSvf);
  tekuri->BuildIndex();
  svf->BuildIndex();
  ASSERT_EQ(tekuri->MessageCount(), svf->MessageCount());
  EXPECT_GT(tekuri->MessageCount(), 300u);  // the "@@@MSG" lines inside bodies split messages
  MessageText a, b;
  RawMessage raw;
  for (std::uint32_t i = 0; i < svf->MessageCount(); ++i) {
    tekuri->ReadText(i, a, raw);
    svf->ReadText(i, b, raw);
    const std::string where = "message " + std::to_string(i);
    EXPECT_EQ(a.board, b.board) << where;
    EXPECT_EQ(a.id, b.id) << where;
    EXPECT_EQ(a.handle, b.handle) << where;
    EXPECT_EQ(a.date, b.date) << where;
    EXPECT_EQ(a.time, b.time) << where;
    EXPECT_EQ(a.no, b.no) << where;
    EXPECT_EQ(a.reply, b.reply) << where;
    EXPECT_EQ(a.title, b.title) << where;
    EXPECT_EQ(a.body, b.body) << where;
    EXPECT_EQ(a.lossy, b.lossy) << where;
    EXPECT_EQ(tekuri->Message(i).Parent(), svf->Message(i).Parent()) << where;
    EXPECT_EQ(tekuri->Message(i).When(), svf->Message(i).When()) << where;
    EXPECT_EQ(tekuri->Message(i).OriginalMissing(), svf->Message(i).OriginalMissing()) << where;
  }
  // In any order, with one scratch for both files: the messages of a block are read from the
  // record kept from the last read, and a record of the other file is never taken for it.
  std::vector<std::uint32_t> order(svf->MessageCount());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), random);
  order.insert(order.end(), order.rbegin(), order.rend());
  for (std::uint32_t i : order) {
    tekuri->ReadText(i, a, raw);
    svf->ReadText(i, b, raw);
    ASSERT_EQ(a.title + a.handle + a.body, b.title + b.handle + b.body) << "message " << i;
  }
  ASSERT_EQ(tekuri->Boards().size(), svf->Boards().size());
  EXPECT_EQ(tekuri->Boards()[0].name, "talk");
  for (std::size_t k = 0; k < svf->Boards().size(); ++k) {
    EXPECT_EQ(tekuri->Boards()[k].name, svf->Boards()[k].name);
    EXPECT_EQ(tekuri->Boards()[k].message_count, svf->Boards()[k].message_count);
    EXPECT_EQ(tekuri->Boards()[k].first_root, svf->Boards()[k].first_root);
    EXPECT_EQ(tekuri->Boards()[k].earliest, svf->Boards()[k].earliest);
  }
}

TEST(ArchiveTest, FilesThatCannotBeReadAreErrorsNamingThePath) {
  TempDir dir;
  for (const std::string& path : {dir / "missing.log", dir.path()}) {
    try {
      Archive::Open(path);
      ADD_FAILURE() << path;
    } catch (const ArchiveError& error) {
      EXPECT_NE(error.reason.find(path), std::string::npos) << error.reason;
      EXPECT_EQ(error.error_number, path == dir.path() ? EISDIR : ENOENT);
    }
  }
  WriteFile(dir / "empty.log", "");
  auto empty = Archive::Open(dir / "empty.log");
  empty->BuildIndex();
  EXPECT_EQ(empty->MessageCount(), 0u);
  EXPECT_TRUE(empty->Boards().empty());
}

// Another program rewrites an indexed file in place (the mapping shows its new bytes): every
// message still reads, searches and highlights without a fault, a message whose header lines
// are gone reads as empty, and one that is still there reads as before.
TEST(ArchiveTest, AFileRewrittenUnderItsIndexReadsWithoutAFault) {
  TempDir dir;
  std::mt19937 random(1818);
  const SjisRegExp::TCompiledRegExp pattern = CompileSearchPattern("e|@@@", false);
  int emptied = 0;
  int kept = 0;
  for (int round = 0; round < 60; ++round) {
    const std::string svf = RandomSvf(random);
    const std::string path = dir / "svf.log";
    WriteFile(path, svf);
    auto archive = Archive::Open(path);
    archive->BuildIndex();
    if (archive->Kind() != FileKind::kSvf) continue;
    std::vector<MessageText> before(archive->MessageCount());
    RawMessage raw;
    for (std::uint32_t i = 0; i < archive->MessageCount(); ++i)
      archive->ReadText(i, before[i], raw);
    // Zeros from a random place on, or the bytes moved along by a few.
    std::string changed = svf;
    const std::size_t from = random() % (svf.size() + 1);
    if (round % 2 == 0) {
      std::fill(changed.begin() + static_cast<std::ptrdiff_t>(from), changed.end(), '\0');
    } else {
      changed.insert(from, std::string(1 + random() % 5, 'x'));
      changed.resize(svf.size());
    }
    std::fstream(path, std::ios::in | std::ios::out | std::ios::binary)
        .write(changed.data(), std::ssize(changed));
    MessageText text;
    for (std::uint32_t i = 0; i < archive->MessageCount(); ++i) {
      archive->ReadText(i, text, raw);
      FindInMessage(*archive, pattern, i, kSearchAll, raw);
      const std::size_t end =
          i + 1 < archive->MessageCount() ? archive->Message(i + 1).Offset() : svf.size();
      if (end <= from) {
        EXPECT_EQ(text.title, before[i].title);
        EXPECT_EQ(text.body, before[i].body);
        ++kept;
      } else if (changed.compare(archive->Message(i).Offset(), 7, "@@@MSG,") != 0) {
        EXPECT_EQ(text.title + text.handle + text.body, "");
        ++emptied;
      }
    }
    SearchArchive(*archive, pattern);
  }
  EXPECT_GT(emptied, 20);
  EXPECT_GT(kept, 20);
}

// The same for a log: a block whose body made several messages gives fewer once rewritten, and
// the messages it no longer gives read as empty (in any order of reading).
TEST(ArchiveTest, ALogBlockRewrittenToFewerMessagesReadsWithoutAFault) {
  TempDir dir;
  const std::string path = dir / "talk.log";
  const std::string inner = "\r\n@@@MSG,0,in,,h,98/12/31,12:34\r\n@@@1,,0,inner\r\nbody\r\n";
  const std::string log =
      "\x8c\x8f\x96\xbc  : t\r\n\x96\xbc\x91\x4f:h\r\n" + inner + inner + ".\r\n";
  WriteFile(path, log);
  auto archive = Archive::Open(path);
  archive->BuildIndex();
  ASSERT_EQ(archive->MessageCount(), 3u);
  std::string changed = log;
  for (std::size_t at; (at = changed.find("@@@MSG,0,in")) != std::string::npos;)
    changed[at + 5] = 'X';
  std::fstream(path, std::ios::in | std::ios::out | std::ios::binary)
      .write(changed.data(), std::ssize(changed));
  MessageText text;
  RawMessage raw;
  for (std::uint32_t i : {2u, 1u, 0u, 1u, 2u}) {
    archive->ReadText(i, text, raw);
    EXPECT_EQ(text.title.empty(), i > 0) << i;
  }
}

}  // namespace
}  // namespace sorbit::archive
