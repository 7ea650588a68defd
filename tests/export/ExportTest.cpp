// The export's pieces against readings of their own: JSON lines parsed by an independent
// reader and held against a plain reading of the SVF text and the archive's UTF-8 view;
// pieces against the whole; escaped text read back; folder names against the C library's
// case mapping; page layouts against their stated rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "archive/ReferenceReading.h"
#include "archive/References.h"
#include "export/Escape.h"
#include "export/FolderNames.h"
#include "export/JsonLines.h"
#include "export/MessageLines.h"
#include "export/PieceDecoder.h"
#include "export/SiteLayout.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

namespace sorbit::exporter {
namespace {

using archive::Archive;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

std::string Utf8(std::string_view cp932) {
  std::string out;
  text::AppendCp932AsUtf8(cp932, out);
  return out;
}

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Text dense in what escaping and decoding must get right.
std::string Hostile(std::mt19937& random, int parts) {
  using namespace std::literals;
  static constexpr std::string_view kParts[] = {
      "\"",       "\\",    "<script>", "</a>",     "&amp;",   "&",    "'",    "\x01",
      "\x1f",     "\x7f",  "\t",       "\r",       "\b\f",    "\0"sv, "\x81", "\x82\xA0",
      "\x88\x9F", "\xFF",  "\xB1",     "Re: 3",    "re>>#12", "RE[",  "7",    " ",
      ",",        "plain", "\x81\x84", "\x81\x60", "\\u0041"};
  std::string s;
  for (int k = 0; k < parts; ++k) s += kParts[random() % std::size(kParts)];
  return s;
}

std::string RandomSvf(std::mt19937& random) {
  std::string svf;
  const int messages = 1 + static_cast<int>(random() % 12);
  auto field = [&] {
    return random() % 3 == 0 ? std::string() : Hostile(random, 1 + random() % 4);
  };
  for (int m = 0; m < messages; ++m) {
    static const char* const kDates[] = {"98/12/31", "00/02/29", "99/02/29", "69/01/01", "9/1/1"};
    static const char* const kNumbers[] = {"", " ", " 12", "012", "0", "3", "x1", "1 2"};
    svf += "\r\n@@@MSG,0," + field() + "," + field() + "," + field() + "," +
           (random() % 2 ? kDates[random() % 5] : field()) + "," + field() + "\r\n@@@" +
           kNumbers[random() % 8] + "," + kNumbers[random() % 8] + ",0," + field() + "\r\n";
    const int lines = static_cast<int>(random() % 5);
    for (int l = 0; l < lines; ++l) {
      svf += random() % 40 == 0 ? std::string(70000, "a\x82"[random() % 2])
                                : Hostile(random, random() % 6);
      svf += random() % 5 == 0 ? "\n" : "\r\n";
    }
  }
  return svf;
}

TEST(ExportTest, JsonLinesParseAndAgreeWithAPlainReadingAndTheTextView) {
  TempDir dir;
  std::mt19937 random(19);
  int lossy = 0, numbers = 0, parents = 0;
  std::string json, want_json;
  for (int round = 0; round < 100; ++round) {
    const std::string svf = RandomSvf(random);
    const std::string path = dir / ("b" + std::to_string(round) + ".log");
    WriteFile(path, svf);
    const std::vector<testing::RefMessage> want = testing::ReferenceRead(svf);
    auto archive = Archive::Open(path);
    archive->BuildIndex();
    ASSERT_EQ(archive->MessageCount(), want.size());
    std::string text, want_text;
    for (auto [format, into] : {std::pair{LineFormat::kJson, &json}, {LineFormat::kText, &text}}) {
      StringSink sink(*into);
      OutputBuffer out(sink);
      WriteMessageLines(*archive, path, format, out);
      ASSERT_EQ(out.Flush(), 0);
    }
    auto number = [&numbers](const std::string& field) {
      const std::string n = testing::NumberOf(field);
      numbers += !n.empty();
      return !n.empty() ? "#" + n : Trim(field).empty() ? "n" : "s" + Utf8(field);
    };
    for (std::uint32_t i = 0; i < want.size(); ++i) {
      const testing::RefMessage& w = want[i];
      std::string body;
      for (std::size_t k = 0; k < w.body.size(); ++k) body += (k ? "\n" : "") + Utf8(w.body[k]);
      const std::string& d = w.date;
      const std::string date = archive::ReadDate(d)
                                   ? (d < "70" ? "20" : "19") + d.substr(0, 2) + "-" +
                                         d.substr(3, 2) + "-" + d.substr(6, 2)
                                   : Utf8(d);
      // No CP932 code reads as U+FFFD: the message holds one exactly when it is lossy.
      const std::string all = Utf8(w.board) + Utf8(w.id) + Utf8(w.handle) + Utf8(w.date) +
                              Utf8(w.time) + Utf8(w.no) + Utf8(w.reply) + Utf8(w.title) + body;
      const bool lossy_message = all.find("\uFFFD") != std::string::npos;
      lossy += lossy_message;
      parents += w.parent >= 0;
      want_json +=
          testing::OneLine("file=s" + path + ";offset=#" + std::to_string(w.offset) + ";index=#" +
                           std::to_string(i) + ";board=s" + Utf8(w.board) + ";no=" + number(w.no) +
                           ";reply=" + number(w.reply) +
                           ";parent=" + (w.parent < 0 ? "n" : "#" + std::to_string(w.parent)) +
                           ";date=s" + date + ";time=s" + Utf8(w.time) + ";handle=s" +
                           Utf8(w.handle) + ";id=s" + Utf8(w.id) + ";title=s" + Utf8(w.title) +
                           ";body=s" + body + ";lossy=b" + (lossy_message ? "1;" : "0;")) +
          "\n";
      want_text += Utf8(w.board) + " #" + Utf8(Trim(w.no)) +
                   (Trim(w.reply).empty() ? "" : " > #" + Utf8(Trim(w.reply))) + " | " +
                   Utf8(w.date) + " " + Utf8(w.time) + " | " + Utf8(w.handle) +
                   (Trim(w.id).empty() ? "" : " <" + Utf8(Trim(w.id)) + ">") + " | " +
                   Utf8(w.title) + "\n" + body + (body.empty() ? "\n" : "\n\n");
    }
    EXPECT_EQ(text, want_text);
  }
  EXPECT_EQ(testing::CanonicalJsonLines(json), want_json);
  EXPECT_GT(lossy, 50);
  EXPECT_GT(numbers, 100);
  EXPECT_GT(parents, 20);
}

TEST(ExportTest, PiecesDecodeAsTheWholeAndKeepReferencesWhole) {
  std::mt19937 random(64);
  for (int round = 0; round < 12; ++round) {
    // Long texts in which line ends and the other safe cuts are rare or missing.
    // The fourth kind has a CR LF just across the first piece's longest end, with no safe
    // cut before it.
    const int kind = round % 4;
    std::string cp932 = kind == 3 ? std::string(PieceDecoder::kPieceBytes - 1, 'a') + "\r\n" : "";
    while (cp932.size() < 150000 + random() % 100000) {
      const int r = static_cast<int>(random() % 1000);
      if (kind == 0 && r < 2) {
        cp932 += "\r\n";
      } else if (kind != 2 && r < 4) {
        cp932 += ",";
      } else if (r < 30) {
        cp932 += "Re: " + std::to_string(random() % 100);
      } else {
        static const char* const kChars[] = {"\x82\xA0", "\x81",     "\x85\x40", "a",
                                             "\xFC\xFC", "\x88\x9F", "\xA6"};
        cp932 += kChars[random() % 7];
      }
    }
    PieceDecoder decoder;
    std::string joined;
    std::vector<std::string> references;
    bool lossy = false;
    std::string_view rest = cp932;
    while (!rest.empty()) {
      const std::size_t size = PieceDecoder::FirstPieceSize(rest);
      ASSERT_GT(size, 0u);
      ASSERT_LE(size, PieceDecoder::kPieceBytes);
      ASSERT_FALSE(rest[size - 1] == '\r' && size < rest.size() && rest[size] == '\n');
      rest.remove_prefix(size);
    }
    decoder.Decode(cp932, lossy, [&](std::string_view piece) {
      joined += piece;
      for (const archive::Reference& r : archive::FindReferences(piece)) {
        references.emplace_back(piece.substr(r.begin, r.end - r.begin));
      }
    });
    std::string whole;
    EXPECT_EQ(!text::AppendCp932AsUtf8(cp932, whole), lossy);
    ASSERT_EQ(joined, whole) << "round " << round;
    if (kind != 2) {
      std::vector<std::string> want;
      for (const archive::Reference& r : archive::FindReferences(whole)) {
        want.emplace_back(whole.substr(r.begin, r.end - r.begin));
      }
      EXPECT_EQ(references, want) << "round " << round;
    }
  }
}

TEST(ExportTest, EscapedHtmlReadsBack) {
  std::mt19937 random(7);
  for (int round = 0; round < 600; ++round) {
    const std::string utf8 = Utf8(Hostile(random, static_cast<int>(random() % 40)));
    std::string html;
    {
      StringSink sink(html);
      OutputBuffer out(sink);
      AppendHtmlEscaped(utf8, out);
      out.Flush();
    }
    // Read back: entities, and Control Pictures for the control bytes (the text holds none
    // of those symbols itself).
    std::string back;
    for (std::size_t i = 0; i < html.size();) {
      const char c = html[i];
      ASSERT_TRUE(c != '<' && c != '>' && c != '"' && c != '\x7f' &&
                  (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n'))
          << html;
      bool matched = false;
      for (const auto& [entity, plain] :
           {std::pair{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}}) {
        if (html.compare(i, std::strlen(entity), entity) == 0) {
          back += plain, i += std::strlen(entity), matched = true;
        }
      }
      ASSERT_TRUE(matched || c != '&') << html;
      if (!matched && html.compare(i, 2, "\xE2\x90") == 0) {
        const int code = static_cast<unsigned char>(html[i + 2]) - 0x80;
        back += static_cast<char>(code == 0x21 ? 0x7F : code), i += 3, matched = true;
      }
      if (!matched) back += html[i++];
    }
    EXPECT_EQ(back, utf8);
  }
}

TEST(ExportTest, FolderNamesAreSafeDistinctAndTheSameInEveryCase) {
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  std::mt19937 random(5);
  std::vector<std::string> boards = {
      "..",        ".",       "a/b",        "a\\b",         "CON",          "con",
      "Lpt1",      "<x>",     "",           "General",      "general",      "GENERAL",
      "general-2", "nul.txt", "index.html", "\xEF\xBC\xA1", "\xEF\xBD\x81", std::string(200, 'x')};
  // Characters with and without case, separators, blanks, bytes that are no UTF-8.
  const std::vector<std::string> chars = testing::Split(
      "A|a|/|.| |-|\xCE\x91|\xCE\xB1|\xD0\x96|\xD0\xB6|\xE2\x85\xA0|\xE2\x85\xB0|\xEF\xBC\xA1|"
      "\xEF\xBD\x81|\xE6\x8E\xB2|\xFF|\xE3\x80\x80|\x01|:|?",
      '|');
  // Every character that CP932 holds, as a board of its own.
  for (unsigned code = 0; code <= 0xFFFF; ++code) {
    if (text::Cp932CodePoint(static_cast<text::Cp932Code>(code)) == text::kNoCodePoint) continue;
    const char pair[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    boards.push_back(Utf8(code > 0xFF ? std::string_view(pair, 2) : std::string_view(pair + 1, 1)));
  }
  for (int b = 0; b < 3000; ++b) {
    std::string name;
    for (int k = static_cast<int>(random() % 4); k >= 0; --k)
      name += chars[random() % chars.size()];
    boards.push_back(name);
  }
  const std::vector<std::string> folders = DistinctFolderNames(boards);
  ASSERT_EQ(folders.size(), boards.size());
  std::set<std::wstring> folded;
  for (const std::string& folder : folders) {
    EXPECT_TRUE(folder != "." && folder != ".." && !folder.empty() && folder.size() <= 64)
        << folder;
    std::mbstate_t state{};
    std::wstring wide;
    for (std::size_t at = 0; at < folder.size();) {
      wchar_t c = 0;
      const std::size_t n = std::mbrtowc(&c, folder.data() + at, folder.size() - at, &state);
      ASSERT_TRUE(n > 0 && n <= 4) << "not UTF-8: " << folder;
      at += n;
      if (c < 0x80) {
        EXPECT_TRUE(std::iswlower(c) || std::iswdigit(c) || c == '-' || c == '_') << folder;
      }
      EXPECT_EQ(std::towlower(static_cast<wint_t>(c)), static_cast<wint_t>(c)) << folder;
      wide += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    EXPECT_TRUE(folded.insert(wide).second) << "two folders differ only in case: " << folder;
    for (const char* device : {"con", "prn", "aux", "nul", "com1", "lpt1"})
      EXPECT_NE(folder, device);
  }
  std::setlocale(LC_CTYPE, "C");
}

// A random archive of many threads: replies to recent and to old numbers, chains, numbers
// out of order and missing.
std::string ManyThreads(std::mt19937& random, int messages, int boards) {
  std::string svf;
  for (int m = 1; m <= messages; ++m) {
    const int no = random() % 50 == 0 ? m + 100000 : m;
    std::string reply;
    if (random() % 3 == 0)
      reply = std::to_string(m - 1 - static_cast<int>(random() % std::min(m, 5)));
    if (random() % 40 == 0) reply = std::to_string(random() % (m + 1));
    svf += "\r\n@@@MSG,0,b" + std::to_string(random() % boards) + ",,h,98/01/01,00:00\r\n@@@" +
           (random() % 30 == 0 ? std::string("x") : std::to_string(no)) + "," + reply + ",0,t\r\n";
  }
  return svf;
}

TEST(ExportTest, LayoutsPutEachMessageOnOnePageInWholeThreadsInNumberOrder) {
  TempDir dir;
  std::mt19937 random(3);
  int grouped = 0, split = 0;
  // Small boards, boards of more than a thousand threads, a board of more than one index page.
  for (const auto& [messages, boards] : {std::pair{50, 2}, {4200, 2}, {6500, 1}}) {
    const std::string path = dir / ("m" + std::to_string(messages) + ".log");
    WriteFile(path, ManyThreads(random, messages, boards));
    const std::vector<testing::RefMessage> want = testing::ReferenceRead(testing::ReadFile(path));
    auto archive = Archive::Open(path);
    archive->BuildIndex();
    std::vector<std::uint32_t> page_of(archive->MessageCount(), archive::kNone);
    for (std::uint32_t b = 0; b < archive->Boards().size(); ++b) {
      const BoardLayout layout = LayOutBoard(*archive, b, page_of);
      grouped += layout.PageCount() < layout.threads.size();
      split += layout.IndexPageCount() > 1;
      // The threads: the board's roots by the plain reading, by number, then without one.
      std::vector<std::pair<std::string, std::uint32_t>> roots;
      std::map<std::uint32_t, std::uint32_t> thread_of;  // message -> its root
      for (std::uint32_t i = 0; i < want.size(); ++i) {
        if (archive->Boards()[b].name != want[i].board) continue;
        thread_of[i] =
            want[i].parent < 0 ? i : thread_of.at(static_cast<std::uint32_t>(want[i].parent));
        const std::string n = testing::NumberOf(want[i].no);
        if (want[i].parent < 0)
          roots.emplace_back(n.empty() ? "~" : std::string(20 - n.size(), '0') + n, i);
      }
      std::stable_sort(roots.begin(), roots.end(),
                       [](const auto& x, const auto& y) { return x.first < y.first; });
      ASSERT_EQ(layout.threads.size(), roots.size());
      for (std::size_t t = 0; t < roots.size(); ++t) EXPECT_EQ(layout.threads[t], roots[t].second);
      std::map<std::uint32_t, std::uint32_t> page_of_thread;
      for (std::uint32_t page = 0; page < layout.PageCount(); ++page) {
        const std::uint32_t first = layout.page_first[page], end = layout.page_first[page + 1];
        std::uint32_t size = 0;
        for (std::uint32_t t = first; t < end; ++t)
          size += layout.thread_sizes[t], page_of_thread[layout.threads[t]] = page;
        if (roots.size() <= kOneThreadAPageLimit) {
          EXPECT_EQ(end - first, 1u);
        }
        EXPECT_TRUE(end - first <= kThreadsAPage && (size <= kMessagesAPage || end - first == 1));
        EXPECT_LE(layout.index_first[layout.IndexPageOf(page)], page);
        EXPECT_GT(layout.index_first[layout.IndexPageOf(page) + 1], page);
      }
      EXPECT_EQ(layout.page_first.back(), roots.size());
      for (const auto& [message, root] : thread_of)
        ASSERT_EQ(page_of[message], page_of_thread.at(root));
      std::uint32_t counted = 0;
      for (std::uint32_t s : layout.thread_sizes) counted += s;
      EXPECT_EQ(counted, thread_of.size());
      EXPECT_EQ(layout.index_first.back(), layout.PageCount());
      for (std::uint32_t j = 0; j < layout.IndexPageCount(); ++j) {
        std::uint32_t listed = 0;
        for (std::uint32_t p = layout.index_first[j]; p < layout.index_first[j + 1]; ++p) {
          for (std::uint32_t t = layout.page_first[p]; t < layout.page_first[p + 1]; ++t)
            listed += layout.thread_sizes[t];
        }
        EXPECT_TRUE(listed <= kIndexMessagesAPage ||
                    layout.index_first[j + 1] - layout.index_first[j] == 1);
      }
    }
  }
  EXPECT_GT(grouped, 0);
  EXPECT_GT(split, 0);
}

}  // namespace
}  // namespace sorbit::exporter
