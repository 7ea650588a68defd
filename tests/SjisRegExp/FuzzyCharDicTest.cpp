// The fuzzy-character table: every group's words, in order, checked against the character
// codes that the table is meant to hold; and the comma-text reader that splits the rows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "SjisRegExp/FuzzyCharDic.h"

namespace SjisRegExp {
namespace {

// Row n's words as character codes: words separated by blanks, the characters of a word of
// several characters joined by "+", a two-byte character as four hex digits, a single-byte
// one as two.
const char* const kExpectedCodes[kFuzzyCharDicRowCount] = {
    "8260 8281 41 61",                                                                       // 0
    "8261 8282 42 62",                                                                       // 1
    "8262 8283 43 63",                                                                       // 2
    "8263 8284 44 64",                                                                       // 3
    "8264 8285 45 65",                                                                       // 4
    "8265 8286 46 66",                                                                       // 5
    "8266 8287 47 67",                                                                       // 6
    "8267 8288 48 68",                                                                       // 7
    "8268 8289 49 69",                                                                       // 8
    "8269 828A 4A 6A",                                                                       // 9
    "826A 828B 4B 6B",                                                                       // 10
    "826B 828C 4C 6C",                                                                       // 11
    "826C 828D 4D 6D",                                                                       // 12
    "826D 828E 4E 6E",                                                                       // 13
    "826E 828F 4F 6F",                                                                       // 14
    "826F 8290 50 70",                                                                       // 15
    "8270 8291 51 71",                                                                       // 16
    "8271 8292 52 72",                                                                       // 17
    "8272 8293 53 73",                                                                       // 18
    "8273 8294 54 74",                                                                       // 19
    "8274 8295 55 75",                                                                       // 20
    "8275 8296 56 76",                                                                       // 21
    "8276 8297 57 77",                                                                       // 22
    "8277 8298 58 78",                                                                       // 23
    "8278 8299 59 79",                                                                       // 24
    "8279 829A 5A 7A",                                                                       // 25
    "30 824F 97EB",                                                                          // 26
    "31 8250 88EA 8740 8754 88EB",                                                           // 27
    "32 8251 93F1 8741 8755 93F3",                                                           // 28
    "33 8252 8E4F 8742 8756 8E51",                                                           // 29
    "34 8253 8E6C 8743 8757",                                                                // 30
    "35 8254 8CDC 8744 8758 8CDE",                                                           // 31
    "36 8255 985A 8745 8759",                                                                // 32
    "37 8256 8EB5 8746 875A",                                                                // 33
    "38 8257 94AA 8747 875B",                                                                // 34
    "39 8258 8BE3 8748 875C",                                                                // 35
    "8140 20",                                                                               // 36
    "21 8149",                                                                               // 37
    "22 8168",                                                                               // 38
    "23 8194",                                                                               // 39
    "24 8190",                                                                               // 40
    "25 8193",                                                                               // 41
    "26 8195",                                                                               // 42
    "27 8166",                                                                               // 43
    "28 8169",                                                                               // 44
    "29 816A",                                                                               // 45
    "2A 8196",                                                                               // 46
    "2B 817B",                                                                               // 47
    "815B 8160 B0",                                                                          // 48
    "2D 815B 817C 8160 B0",                                                                  // 49
    "A5 8145",                                                                               // 50
    "2F 815E",                                                                               // 51
    "3A 8146",                                                                               // 52
    "3B 8147",                                                                               // 53
    "3C 8183",                                                                               // 54
    "3D 8181",                                                                               // 55
    "3E 8184",                                                                               // 56
    "3F 8148",                                                                               // 57
    "40 8197",                                                                               // 58
    "5B 816D 816B",                                                                          // 59
    "5C 818F",                                                                               // 60
    "5D 816E 816C",                                                                          // 61
    "5E 814F",                                                                               // 62
    "5F 8151",                                                                               // 63
    "7B 816F",                                                                               // 64
    "7C 8162",                                                                               // 65
    "7D 8170",                                                                               // 66
    "7E 8150",                                                                               // 67
    "2C A4 8141 8143",                                                                       // 68
    "A1 2E 8142 8144",                                                                       // 69
    "8175 8177 A2",                                                                          // 70
    "8176 8178 A3",                                                                          // 71
    "82F1 8393 DD",                                                                          // 72
    "82AA 834B B6+DE 82A9+814A 834A+814A",                                                   // 73
    "82AC 834D B7+DE 82AB+814A 834C+814A",                                                   // 74
    "82AE 834F B8+DE 82AD+814A 834E+814A",                                                   // 75
    "82B0 8351 B9+DE 82AF+814A 8350+814A",                                                   // 76
    "82B2 8353 BA+DE 82B1+814A 8352+814A",                                                   // 77
    "82B4 8355 BB+DE 82B3+814A 8354+814A",                                                   // 78
    "82B6 8357 BC+DE 82B5+814A 8356+814A 82C0 8361 C1+DE 82BF+814A 8360+814A",               // 79
    "82B8 8359 BD+DE 8358+814A 8358+814A 82C3 8364 C2+DE 82C2+814A 8363+814A",               // 80
    "82BA 835B BE+DE 82B9+814A 835A+814A",                                                   // 81
    "82BC 835D BF+DE 82BB+814A 835C+814A",                                                   // 82
    "82BE 835F C0+DE 82BD+814A 835E+814A",                                                   // 83
    "82C5 8366 C3+DE 82C4+814A 8365+814A",                                                   // 84
    "82C7 8368 C4+DE 82C6+814A 8367+814A",                                                   // 85
    "82CE 836F CA+DE 82CD+814A 836E+814A 8394+8340 82A4+814A+829F 8345+814A+8340 B3+DE+A7",  // 86
    "82D1 8372 CB+DE 82D0+814A 8371+814A 8394+8342 82A4+814A+82A1 8345+814A+8342 B3+DE+A8",  // 87
    "82D4 8375 CC+DE 82D3+814A 8374+814A 8394 8345+814A 82A4+814A B3+DE",                    // 88
    "82D7 8378 CD+DE 82D6+814A 8377+814A 8394+8346 82A4+814A+82A5 8345+814A+8346 B3+DE+AA",  // 89
    "82DA 837B CE+DE 82D9+814A 837A+814A 8394+8348 82A4+814A+82A7 8345+814A+8348 B3+DE+AB",  // 90
    "82CF 8370 CA+DF 82CD+814B 836E+814B",                                                   // 91
    "82D2 8373 CB+DF 82D0+814B 8371+814B",                                                   // 92
    "82D5 8376 CC+DF 82D3+814B 8374+814B",                                                   // 93
    "82D8 8379 CD+DF 82D6+814B 8377+814B",                                                   // 94
    "82DB 837C CE+DF 82D9+814B 837A+814B",                                                   // 95
    "82A0 8341 B1 829F 8340 A7",                                                             // 96
    "82A2 8343 B2 82A1 8342 A8",                                                             // 97
    "82A4 8345 B3 82A3 8344 A9",                                                             // 98
    "82A6 8347 B4 82A5 8346 AA",                                                             // 99
    "82A8 8349 B5 82A7 8348 AB",                                                             // 100
    "82A9 834A B6",                                                                          // 101
    "82AB 834C B7",                                                                          // 102
    "82AD 834E B8",                                                                          // 103
    "82AF 8350 B9",                                                                          // 104
    "82B1 8352 BA",                                                                          // 105
    "82B3 8354 BB",                                                                          // 106
    "82B5 8356 BC",                                                                          // 107
    "82B7 8358 BD",                                                                          // 108
    "82B9 835A BE",                                                                          // 109
    "82BB 835C BF",                                                                          // 110
    "82BD 835E C0",                                                                          // 111
    "82BF 8360 C1",                                                                          // 112
    "82C2 8363 C2 82C1 8362 AF",                                                             // 113
    "82C4 8365 C3",                                                                          // 114
    "82C6 8367 C4",                                                                          // 115
    "82C8 8369 C5",                                                                          // 116
    "82C9 836A C6",                                                                          // 117
    "82CA 836B C7",                                                                          // 118
    "82CB 836C C8",                                                                          // 119
    "82CC 836D C9",                                                                          // 120
    "82CD 836E CA",                                                                          // 121
    "82D0 8371 CB",                                                                          // 122
    "82D3 8374 CC",                                                                          // 123
    "82D6 8377 CD",                                                                          // 124
    "82D9 837A CE",                                                                          // 125
    "82DC 837D CF",                                                                          // 126
    "82DD 837E D0",                                                                          // 127
    "82DE 8380 D1",                                                                          // 128
    "82DF 8381 D2",                                                                          // 129
    "82E0 8382 D3",                                                                          // 130
    "82E2 8384 D4 82E1 8383 AC",                                                             // 131
    "82E4 8386 D5 82E3 8385 AD",                                                             // 132
    "82E6 8388 D6 82E5 8387 AE",                                                             // 133
    "82E7 8389 D7",                                                                          // 134
    "82E8 838A D8",                                                                          // 135
    "82E9 838B D9",                                                                          // 136
    "82EA 838C DA",                                                                          // 137
    "82EB 838D DB",                                                                          // 138
    "82ED 838F DC 82A4+829F 8345+8340 B3+A7",                                                // 139
    "8390 82EE 82A4+82A1 8345+8342 B3+A8",                                                   // 140
    "8391 82EF 82A4+82A5 8345+8346 B3+AA",                                                   // 141
    "82F0 8392 A6 82A4+82A7 8345+8348 B3+AB",                                                // 142
    "DE 814A",                                                                               // 143
    "DF 814B",                                                                               // 144
};

// Turns "B6+DE 82A9+814A" into the words {"\xB6\xDE", "\x82\xA9\x81\x4A"}.
Group WordsFromCodes(std::string_view codes) {
  Group words;
  std::istringstream in{std::string(codes)};
  std::string item;
  while (in >> item) {
    Word word;
    std::istringstream parts(item);
    std::string part;
    while (std::getline(parts, part, '+')) {
      EXPECT_TRUE(part.size() == 2 || part.size() == 4) << "bad code " << part;
      const unsigned long code = std::strtoul(part.c_str(), nullptr, 16);
      if (part.size() == 4) word += static_cast<char>(code >> 8);
      word += static_cast<char>(code & 0xFF);
    }
    words.push_back(word);
  }
  return words;
}

std::string Hex(const Group& words) {
  std::string text;
  for (const Word& word : words) {
    if (!text.empty()) text += ' ';
    for (unsigned char byte : word) {
      static const char digits[] = "0123456789ABCDEF";
      text += digits[byte >> 4];
      text += digits[byte & 15];
    }
  }
  return text;
}

TEST(FuzzyCharDicTest, HasOneGroupPerRow) {
  EXPECT_EQ(FuzzyCharDic().size(), 145u);
  EXPECT_EQ(FuzzyCharDicRows.size(), 145u);
}

TEST(FuzzyCharDicTest, EveryGroupHoldsItsWordsInOrder) {
  const Dictionary& dictionary = FuzzyCharDic();
  ASSERT_EQ(dictionary.size(), kFuzzyCharDicRowCount);
  for (std::size_t row = 0; row < kFuzzyCharDicRowCount; ++row) {
    const Group expected = WordsFromCodes(kExpectedCodes[row]);
    EXPECT_EQ(Hex(dictionary[row]), Hex(expected)) << "row " << row;
  }
}

TEST(FuzzyCharDicTest, NoWordIsEmpty) {
  for (std::size_t row = 0; row < kFuzzyCharDicRowCount; ++row)
    for (const Word& word : FuzzyCharDic()[row]) EXPECT_FALSE(word.empty()) << "row " << row;
}

TEST(FuzzyCharDicTest, StoredRowsKeepTheirQuotingAndTrailingComma) {
  EXPECT_EQ(FuzzyCharDicRows[36], "\"\x81\x40\",\" \"");
  EXPECT_EQ(FuzzyCharDicRows[38], "\"\"\"\",\x81\x68");
  EXPECT_EQ(FuzzyCharDicRows[68], "\",\",\xA4,\x81\x41,\x81\x43");
  EXPECT_EQ(FuzzyCharDicRows[48], "\x81\x5B,\x81\x60,\xB0,");
}

TEST(FuzzyCharDicTest, SeparatorsAreWordsWhereQuoted) {
  EXPECT_EQ(FuzzyCharDic()[36], (Group{"\x81\x40", " "}));
  EXPECT_EQ(FuzzyCharDic()[38], (Group{"\"", "\x81\x68"}));
  EXPECT_EQ(FuzzyCharDic()[68].front(), ",");
  EXPECT_EQ(FuzzyCharDic()[48].size(), 3u);
}

TEST(FuzzyCharDicTest, RowEightyHoldsItsDoubledWord) {
  const Group& group = FuzzyCharDic()[80];
  ASSERT_EQ(group.size(), 10u);
  EXPECT_EQ(group[3], "\x83\x58\x81\x4A");
  EXPECT_EQ(group[4], group[3]);
}

TEST(FuzzyCharDicTest, TheSameTableServesEveryCaller) {
  EXPECT_EQ(&FuzzyCharDic(), &FuzzyCharDic());
}

struct CommaTextCase {
  const char* name;
  std::string_view row;
  Group words;
};

class ReadCommaTextTest : public testing::TestWithParam<CommaTextCase> {};

TEST_P(ReadCommaTextTest, SplitsTheRow) {
  EXPECT_EQ(ReadCommaText(GetParam().row), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ReadCommaTextTest,
    testing::Values(CommaTextCase{"Empty", "", {}}, CommaTextCase{"OnlyBlanks", " \t\r\n", {}},
                    CommaTextCase{"Plain", "a,b,c", {"a", "b", "c"}},
                    CommaTextCase{"BlanksAroundItems", "  a , b,\tc  ", {"a", "b", "c"}},
                    CommaTextCase{"BlankSeparatesItems", "a b", {"a", "b"}},
                    CommaTextCase{"TrailingCommaAddsNothing", "a,b,", {"a", "b"}},
                    CommaTextCase{"DoubleCommaAddsEmptyWord", "a,,b", {"a", "", "b"}},
                    CommaTextCase{"LeadingCommaAddsEmptyWord", ",a", {"", "a"}},
                    CommaTextCase{"QuotedHoldsCommaAndBlank", "\"a, b\",c", {"a, b", "c"}},
                    CommaTextCase{"DoubledQuoteIsOneQuote", "\"\"\"\",x", {"\"", "x"}},
                    CommaTextCase{"QuoteInsideQuoted", "\"a\"\"b\"", {"a\"b"}},
                    CommaTextCase{"EmptyQuoted", "\"\",a", {"", "a"}},
                    CommaTextCase{"UnclosedQuoteRunsToEnd", "\"ab,c", {"ab,c"}},
                    CommaTextCase{"TextAfterClosingQuoteIsNextItem", "\"a\"b,c", {"a", "b", "c"}},
                    CommaTextCase{"QuoteInsidePlainItemIsOrdinary", "a\"b", {"a\"b"}},
                    CommaTextCase{"ControlCharactersAreBlanks",
                                  "\x01"
                                  "a\x1F,\x02"
                                  "b",
                                  {"a", "b"}},
                    CommaTextCase{"TwoByteCharactersStayWhole",
                                  "\x82\xA0\x82\xA2,\x83\x41",
                                  {"\x82\xA0\x82\xA2", "\x83\x41"}},
                    // 0x81 0x2C is not valid Shift-JIS, but the reader must still take the pair as
                    // one character rather than split at the comma byte.
                    CommaTextCase{"TrailByteIsNeverAComma", "\x81,a,b", {"\x81,a", "b"}},
                    CommaTextCase{"TrailByteIsNeverAQuote", "\"\x81\"\",x", {"\x81\"", "x"}},
                    CommaTextCase{"TrailByteIsNeverABlank", "\x81 a", {"\x81 a"}},
                    CommaTextCase{"LoneLeadByteAtEnd", "a,\x82", {"a", "\x82"}},
                    CommaTextCase{"ZeroByteEndsRow", std::string_view("a,b\0,c", 6), {"a", "b"}}),
    [](const testing::TestParamInfo<CommaTextCase>& param) {
      return std::string(param.param.name);
    });

}  // namespace
}  // namespace SjisRegExp
