// Numbers, dates against the C++ calendar, and the "Re: N" finder against the
// pattern library running the converter's reply pattern.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "SjisRegExp/SjisRegExp.h"
#include "archive/Fields.h"
#include "archive/References.h"
#include "convert/ReplyNo.h"

namespace sorbit::archive {
namespace {

TEST(FieldsTest, NumbersAreDigitsLessTheirBlanks) {
  struct Case {
    const char* field;
    NumberKind kind;
    const char* digits;
  };
  const Case cases[] = {
      {"12", NumberKind::kNumber, "12"},
      {" 12", NumberKind::kNumber, "12"},
      {"012", NumberKind::kNumber, "12"},
      {"\t0 ", NumberKind::kNumber, "0"},
      {"000", NumberKind::kNumber, "0"},
      {"", NumberKind::kBlank, ""},
      {"  \t", NumberKind::kBlank, ""},
      {"1 2", NumberKind::kText, "1 2"},
      {"-1", NumberKind::kText, "-1"},
      {"\x82\x50", NumberKind::kText, "\x82\x50"},
      {" 12a ", NumberKind::kText, "12a"},
      {"\x81\x40"
       "1",
       NumberKind::kText,
       "\x81\x40"
       "1"},
  };
  for (const Case& c : cases) {
    const NumberField got = ReadNumberField(c.field);
    EXPECT_EQ(got.kind, c.kind) << c.field;
    EXPECT_EQ(got.digits, c.digits) << c.field;
  }
  EXPECT_EQ(NumberValue("18446744073709551615"), std::nullopt);  // 20 digits
  EXPECT_EQ(NumberValue("9999999999999999999"), 9999999999999999999u);
}

// Every "YY/MM/DD" with YY 00-99, MM 00-13 and DD 00-32 is a date exactly when the C++
// calendar has that day, and every key sorts as (day, minute) and gives them back.
// A mapped file cut short reads as zeros where its index saw header lines.
TEST(FieldsTest, HeaderLinesThatAreNoLongerThereGiveEmptyFields) {
  for (const std::string& line : {std::string(40, '\0'), std::string(), std::string("@@"),
                                  std::string("@@@MS"), std::string("x@@@MSG,0,b,i,h,d,t")}) {
    const MsgLineFields msg = CutMsgLine(line);
    EXPECT_TRUE(msg.board.empty() && msg.id.empty() && msg.handle.empty() && msg.date.empty() &&
                msg.time.empty())
        << line.size();
    if (line.starts_with("@@@")) continue;
    const NumberLineFields number = CutNumberLine(line);
    EXPECT_TRUE(number.no.empty() && number.reply.empty() && number.title.empty()) << line.size();
  }
}

TEST(FieldsTest, DatesAndTimesAgreeWithTheCalendarAndSortAsTheyDo) {
  using namespace std::chrono;
  std::mt19937 random(70);
  WhenKey previous = 0;
  sys_days previous_day{};
  int previous_minute = -1;
  int dates = 0;
  for (int yy = 0; yy < 100; ++yy) {
    const int year_number = yy >= 70 ? 1900 + yy : 2000 + yy;
    for (int mm = 0; mm <= 13; ++mm) {
      for (int dd = 0; dd <= 32; ++dd) {
        char text[32];
        std::snprintf(text, sizeof text, "%02d/%02d/%02d", yy, mm, dd);
        const year_month_day ymd{year{year_number}, month{static_cast<unsigned>(mm)},
                                 day{static_cast<unsigned>(dd)}};
        const std::optional<CalendarDate> got = ReadDate(text);
        ASSERT_EQ(got.has_value(), ymd.ok()) << text;
        if (!got) continue;
        ++dates;
        EXPECT_EQ(got->year, year_number);
        const int minute = static_cast<int>(random() % 1441);  // 1440: a malformed time
        char time_text[32];
        std::snprintf(time_text, sizeof time_text, "%02d:%02d", minute / 60, minute % 60);
        const WhenKey key = MakeWhenKey(text, minute < 1440 ? time_text : "24:00");
        EXPECT_TRUE(HasDate(key));
        const std::optional<CalendarDate> back = DateOfKey(key);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(year_month_day(year{back->year}, month{static_cast<unsigned>(back->month)},
                                 day{static_cast<unsigned>(back->day)}),
                  ymd);
        EXPECT_EQ(MinuteOfKey(key), minute < 1440 ? std::optional<int>(minute) : std::nullopt);
        // The order of keys is the order of (day, minute), whatever order they come in.
        const sys_days this_day{ymd};
        if (previous_minute >= 0) {
          const bool less =
              this_day < previous_day || (this_day == previous_day && minute < previous_minute);
          EXPECT_EQ(key < previous, less) << text;
        }
        previous = key;
        previous_day = this_day;
        previous_minute = minute;
      }
    }
  }
  EXPECT_EQ(dates, 36525);
  // Malformed dates sort after every dated key, by their time.
  const WhenKey undated = MakeWhenKey("98-12-31", "00:01");
  EXPECT_FALSE(HasDate(undated));
  EXPECT_GT(undated, MakeWhenKey("69/12/31", "23:59"));
  EXPECT_LT(undated, MakeWhenKey("", "00:02"));
  EXPECT_EQ(MinuteOfKey(undated), 1);
  for (const char* time : {"24:00", "12:60", "1:23", "12:345", "ab:cd", "12-34", ""}) {
    EXPECT_EQ(ReadTime(time), std::nullopt) << time;
  }
  for (const char* date : {"98/1/31", "98/12/31 ", "1998/12/31", "98/12/3a", ""}) {
    EXPECT_EQ(ReadDate(date), std::nullopt) << date;
  }
}

// FindReferences gives exactly the successive leftmost-longest matches of the converter's
// reply pattern, as the pattern library finds them, on texts dense in near misses.
TEST(FieldsTest, ReferencesAreTheReplyPatternsSuccessiveMatches) {
  SjisRegExp::TAWKStr matcher;
  matcher.SetRegExp(kReplyPattern);
  std::mt19937 random(12);
  const char* pieces[] = {"R", "r",  "e", "E",  " ", ":",  ">", "[", "#",
                          "1", "23", "x", "Re", "a", "\n", "]", "0"};
  int found = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int n = static_cast<int>(random() % 16);
    for (int k = 0; k < n; ++k) text += pieces[random() % std::size(pieces)];
    std::vector<Reference> want;
    for (std::size_t from = 0; from < text.size();) {
      int start = 0;
      int length = 0;
      if (matcher.Match(std::string_view(text).substr(from), start, length) == 0) break;
      const std::size_t begin = from + static_cast<std::size_t>(start) - 1;
      const std::size_t end = begin + static_cast<std::size_t>(length);
      std::size_t digits = end;
      while (digits > begin && text[digits - 1] >= '0' && text[digits - 1] <= '9') --digits;
      want.push_back(Reference{begin, end, std::string_view(text).substr(digits, end - digits)});
      from = end;
    }
    const std::vector<Reference> got = FindReferences(text);
    ASSERT_EQ(got.size(), want.size()) << text;
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k].begin, want[k].begin) << text;
      EXPECT_EQ(got[k].end, want[k].end) << text;
      EXPECT_EQ(got[k].digits, want[k].digits) << text;
    }
    found += static_cast<int>(got.size());
  }
  EXPECT_GT(found, 300);
}

}  // namespace
}  // namespace sorbit::archive
