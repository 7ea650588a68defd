// The fields of an SVF message's two header lines and the values read from them: numbers,
// dates and times. Pure functions over byte strings (CP932), shared by the index, the views and
// the export; the rules are those stated in archive/Archive.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sorbit::archive {

// "@@@MSG,0,BOARD,ID,HANDLE,DATE,TIME", cut: views into the line.
struct MsgLineFields {
  std::string_view board, id, handle, date, time;
};
// "@@@NO,REPLY,0,TITLE", cut: views into the line.
struct NumberLineFields {
  std::string_view no, reply, title;
};

inline constexpr std::string_view kMsgLinePrefix = "@@@MSG,";
inline constexpr std::string_view kNumberLinePrefix = "@@@";

// `line` is a message's first header line without its line end; it begins with kMsgLinePrefix.
// After the prefix come a field that is skipped (the constant 0), BOARD and ID, each up to the
// next comma; of the rest, the last two comma-separated fields are DATE and TIME and HANDLE is
// everything before them, commas included. With fewer commas the fields that are there are
// HANDLE, then DATE, in that order; the missing ones are empty.
// A line without the prefix gives empty fields: a mapped file cut short by another program
// reads as zeros where its index saw a header, and the reading goes on to report the cut.
MsgLineFields CutMsgLine(std::string_view line);
// `line` is a message's second header line without its line end; it begins with "@@@". NO and
// REPLY run to the first and second comma, a third field is skipped, and TITLE is everything
// after the third comma. Missing fields are empty; a line without "@@@" gives empty fields.
NumberLineFields CutNumberLine(std::string_view line);

// What a NO or REPLY field holds, less the blanks (spaces and tabs) around it.
enum class NumberKind : std::uint8_t {
  kBlank,   // nothing but blanks, or empty
  kNumber,  // ASCII digits only
  kText,    // anything else
};

// `field` less the blanks (spaces and tabs) around it.
std::string_view WithoutBlanks(std::string_view field);

struct NumberField {
  NumberKind kind = NumberKind::kBlank;
  // kNumber: the digits without leading zeros ("0" for zero). Otherwise the field less its
  // blanks.
  std::string_view digits;
};
NumberField ReadNumberField(std::string_view field);

// The value of a number's significant digits when it fits: at most 19 of them.
inline constexpr std::size_t kMaxExactDigits = 19;
std::optional<std::uint64_t> NumberValue(std::string_view digits);

// A calendar day. Two-digit years 70-99 are 1970-1999, 00-69 are 2000-2069.
struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
};
// "YY/MM/DD" exactly (eight bytes, a day that the calendar has), or nothing.
std::optional<CalendarDate> ReadDate(std::string_view field);
// "HH:MM" exactly (five bytes, 00:00 to 23:59): minutes after midnight, or nothing.
std::optional<int> ReadTime(std::string_view field);

// A message's date and time as one number that sorts as they do: by day, then by time within
// the day, a malformed time after every time of its day; messages with a malformed date after
// every dated one, by time among themselves.
using WhenKey = std::uint32_t;
WhenKey MakeWhenKey(std::string_view date_field, std::string_view time_field);
inline constexpr WhenKey kFirstUndatedKey = 36525u * 1441u;
inline bool HasDate(WhenKey key) { return key < kFirstUndatedKey; }
// What a key holds back.
std::optional<CalendarDate> DateOfKey(WhenKey key);
std::optional<int> MinuteOfKey(WhenKey key);

}  // namespace sorbit::archive
