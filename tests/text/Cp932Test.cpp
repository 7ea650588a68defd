// The CP932 table against the C library's iconv, code by code and over random texts.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "text/Cp932.h"

namespace sorbit::text {
namespace {

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts `in` alone: errno (0 on success), and what was written.
  int Convert(std::string_view in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in_ptr = const_cast<char*>(in.data());
    std::size_t in_left = in.size();
    out.assign(4 * in.size() + 16, '\0');
    char* out_ptr = out.data();
    std::size_t out_left = out.size();
    const std::size_t result = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
    const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
    out.resize(out.size() - out_left);
    return error;
  }

  // The loop sjisgrep ran before the table: convert, and where iconv stops, write U+FFFD for
  // that one byte and go on after it.
  std::string DecodeLoop(std::string_view in, bool& lossy) {
    std::string result;
    lossy = false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in_ptr = const_cast<char*>(in.data());
    std::size_t in_left = in.size();
    std::string out(4 * in.size() + 16, '\0');
    while (true) {
      char* out_ptr = out.data();
      std::size_t out_left = out.size();
      const std::size_t r = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      result.append(out.data(), out.size() - out_left);
      if (r != static_cast<std::size_t>(-1) || in_left == 0) break;
      result += "\xEF\xBF\xBD";
      lossy = true;
      ++in_ptr;
      --in_left;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return result;
  }

 private:
  iconv_t cd_;
};

std::string Decode(std::string_view cp932, bool& lossy) {
  std::string out = "kept:";
  lossy = !AppendCp932AsUtf8(cp932, out);
  EXPECT_EQ(out.substr(0, 5), "kept:");  // appends, never replaces
  return out.substr(5);
}

char32_t OnlyCodePoint(const std::string& utf8) {
  char32_t code_point = kNoCodePoint;
  const std::size_t length = ReadUtf8Char(utf8, 0, code_point);
  return length == utf8.size() ? code_point : kNoCodePoint;
}

std::string CodeBytes(Cp932Code code) {
  std::string bytes;
  if (code >= 0x100) bytes += static_cast<char>(code >> 8);
  bytes += static_cast<char>(code & 0xFF);
  return bytes;
}

// Every single byte and every two-byte code decodes as iconv decodes it, alone and as a code.
TEST(Cp932Test, EveryCodeDecodesAsIconvDoes) {
  Iconv iconv("UTF-8", "CP932");
  int decodable = 0;
  for (unsigned code = 0; code <= 0xFFFF; ++code) {
    if (code >= 0x100 && !IsCp932LeadByte(static_cast<unsigned char>(code >> 8))) continue;
    const std::string bytes = CodeBytes(static_cast<Cp932Code>(code));
    std::string want;
    const bool whole = iconv.Convert(bytes, want) == 0;
    const char32_t want_code_point = whole ? OnlyCodePoint(want) : kNoCodePoint;
    ASSERT_EQ(Cp932CodePoint(static_cast<Cp932Code>(code)), want_code_point) << std::hex << code;
    bool want_lossy = false;
    const std::string loop = iconv.DecodeLoop(bytes, want_lossy);
    bool lossy = false;
    ASSERT_EQ(Decode(bytes, lossy), loop) << std::hex << code;
    ASSERT_EQ(lossy, want_lossy) << std::hex << code;
    decodable += whole;
  }
  EXPECT_EQ(decodable, 191 + 9604);  // what glibc's CP932 decodes
}

// Random texts, dense in lead bytes, trail bytes and undecodable bytes, short and long (the
// decoder works in blocks of 64 bytes), decode as the iconv loop does them, with the same lossy
// flag. Every fourth long text is mostly ASCII and kana with one bad byte, or none.
TEST(Cp932Test, RandomTextsDecodeAsTheIconvLoop) {
  Iconv iconv("UTF-8", "CP932");
  std::mt19937 random(932);
  const unsigned char kinds[] = {'a',  '\r', '\n', 0x5C, 0x7E, 0x80, 0x81, 0x87, 0x9F, 0xA0, 0xA1,
                                 0xDF, 0xE0, 0xED, 0xEE, 0xF0, 0xFA, 0xFC, 0xFD, 0xFF, 0x40, 0x7F};
  const std::string clean[] = {"a", "\r\n", "\x82\xA0", "\x88\x9F", "\xB1", "\xFA\x5C", "  "};
  int lossy_texts = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    if (round % 4 == 3) {
      while (text.size() < 300) text += clean[random() % std::size(clean)];
      if (random() % 2) text[random() % text.size()] = static_cast<char>(kinds[random() % 22]);
    } else {
      text.resize(random() % (round % 2 ? 40 : 400));
      for (char& c : text) {
        c = static_cast<char>(random() % 3 == 0 ? random() % 256 : kinds[random() % sizeof kinds]);
      }
    }
    bool want_lossy = false;
    const std::string want = iconv.DecodeLoop(text, want_lossy);
    bool lossy = false;
    ASSERT_EQ(Decode(text, lossy), want) << ::testing::PrintToString(text);
    ASSERT_EQ(lossy, want_lossy);
    lossy_texts += lossy;
  }
  EXPECT_GT(lossy_texts, 5000);
  EXPECT_LT(lossy_texts, 18000);
}

// The buffer form gives the same bytes and keeps a lossy flag that was already set.
TEST(Cp932Test, DecodeIntoKeepsTheLossyFlagOfEarlierTexts) {
  const std::string text = "\x82\xA0 abc \x83\x41";
  std::vector<char> buffer(Cp932DecodeRoom(text.size()));
  bool lossy = true;
  char* end = DecodeCp932Into(text.data(), text.size(), buffer.data(), lossy);
  EXPECT_EQ(std::string(buffer.data(), end), "あ abc ア");
  EXPECT_TRUE(lossy);
  lossy = false;
  end = DecodeCp932Into("\xFF", 1, buffer.data(), lossy);
  EXPECT_EQ(std::string(buffer.data(), end), "\uFFFD");
  EXPECT_TRUE(lossy);
}

// For every code point: the first code is what iconv's encoder writes, and the others are
// exactly the remaining codes that decode to the code point.
TEST(Cp932Test, EveryCodePointEncodesAsIconvDoesWithEveryCodeThatDecodesToIt) {
  std::vector<std::vector<Cp932Code>> decoders_by_bmp(0x10000);
  for (unsigned code = 0; code <= 0xFFFF; ++code) {
    const char32_t code_point = Cp932CodePoint(static_cast<Cp932Code>(code));
    if (code_point != kNoCodePoint) {
      ASSERT_LT(code_point, 0x10000u);
      decoders_by_bmp[code_point].push_back(static_cast<Cp932Code>(code));
    }
  }
  Iconv to_cp932("CP932", "UTF-8");
  Iconv to_utf8("UTF-8", "UTF-32LE");
  int several = 0;
  for (char32_t code_point = 0; code_point <= 0x10FFFF; ++code_point) {
    if (code_point >= 0xD800 && code_point <= 0xDFFF) continue;
    const char wide[4] = {static_cast<char>(code_point), static_cast<char>(code_point >> 8),
                          static_cast<char>(code_point >> 16), 0};
    std::string utf8;
    ASSERT_EQ(to_utf8.Convert(std::string_view(wide, 4), utf8), 0);
    std::string written;
    std::vector<Cp932Code> want;
    if (to_cp932.Convert(utf8, written) == 0 && !written.empty()) {
      ASSERT_LE(written.size(), 2u);
      want.push_back(written.size() == 1 ? static_cast<unsigned char>(written[0])
                                         : static_cast<unsigned char>(written[0]) << 8 |
                                               static_cast<unsigned char>(written[1]));
    }
    if (code_point < 0x10000) {
      for (Cp932Code code : decoders_by_bmp[code_point]) {
        if (std::find(want.begin(), want.end(), code) == want.end()) want.push_back(code);
      }
    }
    const std::span<const Cp932Code> codes = Cp932CodesOf(code_point);
    ASSERT_EQ(std::vector<Cp932Code>(codes.begin(), codes.end()), want)
        << std::hex << static_cast<unsigned>(code_point);
    several += codes.size() > 1;
  }
  EXPECT_EQ(several, 396);
}

// The characters with two codes that PC-98-era logs use: each code reads as the character and
// a pattern character finds every one of them.
TEST(Cp932Test, CharactersWithSeveralCodesListThemAll) {
  struct Case {
    const char* utf8;
    std::vector<Cp932Code> contains;
  };
  const Case cases[] = {
      {"∵", {0x81E6, 0x879A}}, {"纊", {0xFA5C, 0xED40}}, {"￢", {0x81CA, 0xEEF9}},
      {"～", {0x8160}},        {"〜", {0x8160}},         {"¥", {0x5C}},
  };
  for (const Case& c : cases) {
    char32_t code_point = kNoCodePoint;
    ReadUtf8Char(c.utf8, 0, code_point);
    const std::span<const Cp932Code> codes = Cp932CodesOf(code_point);
    EXPECT_EQ(codes.front(), c.contains.front()) << c.utf8;
    for (Cp932Code code : c.contains) {
      EXPECT_NE(std::find(codes.begin(), codes.end(), code), codes.end()) << c.utf8;
    }
  }
}

// ReadUtf8Char takes exactly what iconv's UTF-8 decoder takes, one character at a time.
TEST(Cp932Test, Utf8CharactersAreReadAsIconvReadsThem) {
  Iconv to_wide("UTF-32LE", "UTF-8");
  std::mt19937 random(8);
  const unsigned char kinds[] = {0x00, 0x41, 0x7F, 0x80, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
                                 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0x9F, 0xA0};
  for (int round = 0; round < 200000; ++round) {
    std::string text(1 + random() % 4, '\0');
    for (char& c : text) {
      c = static_cast<char>(random() % 2 ? random() % 256 : kinds[random() % sizeof kinds]);
    }
    char32_t code_point = kNoCodePoint;
    const std::size_t length = ReadUtf8Char(text, 0, code_point);
    // iconv on the first `length` bytes alone must give one character; on one byte less, or
    // for a refused start, it must fail.
    std::string wide;
    if (length > 0) {
      ASSERT_EQ(to_wide.Convert(text.substr(0, length), wide), 0) << ::testing::PrintToString(text);
      ASSERT_EQ(wide.size(), 4u);
      char32_t want = 0;
      std::memcpy(&want, wide.data(), 4);
      ASSERT_EQ(code_point, want);
    } else {
      for (std::size_t n = 1; n <= text.size(); ++n) {
        const int error = to_wide.Convert(text.substr(0, n), wide);
        ASSERT_TRUE(error != 0 || wide.size() != 4) << ::testing::PrintToString(text);
      }
    }
  }
}

TEST(Cp932Test, EncodingMapsOffsetsAndStopsAtTheFirstFailure) {
  struct Case {
    std::string utf8;
    std::string cp932;
    std::vector<std::size_t> offsets;  // on success
    std::size_t fail_offset;           // npos: succeeds
    char32_t fail_code_point;
  };
  const std::size_t kOk = std::string::npos;
  const Case cases[] = {
      {"aあ¥", "a\x82\xA0\x5C", {0, 1, 1, 4, 6}, kOk, 0},
      {"", "", {0}, kOk, 0},
      {"ab\xE3\x81", "ab", {}, 2, kNoCodePoint},  // cut short
      {"x\xC0\xAFy", "x", {}, 1, kNoCodePoint},   // overlong "/"
      {"é!", "", {}, 0, U'é'},                    // no CP932 form
      {"〜\xF0\x9F\x98\x80", "\x81\x60", {}, 3, U'\U0001F600'},
  };
  for (const Case& c : cases) {
    std::string cp932;
    std::vector<std::size_t> offsets;
    const auto failure = EncodeUtf8AsCp932(c.utf8, cp932, &offsets);
    EXPECT_EQ(cp932, c.cp932) << c.utf8;
    if (c.fail_offset == kOk) {
      EXPECT_FALSE(failure.has_value()) << c.utf8;
      EXPECT_EQ(offsets, c.offsets) << c.utf8;
    } else {
      ASSERT_TRUE(failure.has_value()) << c.utf8;
      EXPECT_EQ(failure->offset, c.fail_offset) << c.utf8;
      EXPECT_EQ(failure->code_point, c.fail_code_point) << c.utf8;
    }
  }
}

}  // namespace
}  // namespace sorbit::text
