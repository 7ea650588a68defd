// Header-line fields, numbers, dates and times.
#include "archive/Fields.h"

#include <cassert>

namespace sorbit::archive {

namespace {

constexpr int kDaysInKeyRange = 36525;        // 1970-01-01 to 2069-12-31
constexpr std::uint32_t kMinuteSlots = 1441;  // 0-1439, and 1440 for a malformed time
constexpr WhenKey kUndatedBase = kFirstUndatedKey;
static_assert(kUndatedBase == static_cast<WhenKey>(kDaysInKeyRange) * kMinuteSlots);

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int TwoDigits(std::string_view s, std::size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); }

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 (the civil-calendar count of days, proleptic Gregorian).
int DaysFromEpoch(const CalendarDate& date) {
  const int y = date.year - (date.month <= 2 ? 1 : 0);
  const int era = y / 400;
  const int year_of_era = y - era * 400;
  const int month_index = (date.month + 9) % 12;  // March is 0
  const int day_of_year = (153 * month_index + 2) / 5 + date.day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

CalendarDate DateFromEpoch(int days) {
  days += 719468;
  const int era = days / 146097;
  const int day_of_era = days - era * 146097;
  const int year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int month_index = (5 * day_of_year + 2) / 153;
  CalendarDate date;
  date.day = day_of_year - (153 * month_index + 2) / 5 + 1;
  date.month = month_index < 10 ? month_index + 3 : month_index - 9;
  date.year = year_of_era + era * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

}  // namespace

MsgLineFields CutMsgLine(std::string_view line) {
  if (!line.starts_with(kMsgLinePrefix)) return {};
  std::string_view rest = line.substr(kMsgLinePrefix.size());
  // Takes the field up to the next comma off the front of `rest`; false when there is no comma.
  auto take = [&rest](std::string_view& field) {
    const std::size_t comma = rest.find(',');
    field = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    return comma != std::string_view::npos;
  };
  MsgLineFields fields;
  std::string_view skipped;
  if (!take(skipped) || !take(fields.board) || !take(fields.id)) return fields;
  const std::size_t last = rest.rfind(',');
  if (last == std::string_view::npos) {
    fields.handle = rest;
    return fields;
  }
  const std::size_t before_last = last == 0 ? std::string_view::npos : rest.rfind(',', last - 1);
  if (before_last == std::string_view::npos) {
    fields.handle = rest.substr(0, last);
    fields.date = rest.substr(last + 1);
    return fields;
  }
  fields.handle = rest.substr(0, before_last);
  fields.date = rest.substr(before_last + 1, last - before_last - 1);
  fields.time = rest.substr(last + 1);
  return fields;
}

NumberLineFields CutNumberLine(std::string_view line) {
  if (!line.starts_with(kNumberLinePrefix)) return {};
  std::string_view rest = line.substr(kNumberLinePrefix.size());
  NumberLineFields fields;
  std::string_view* const parts[] = {&fields.no, &fields.reply, nullptr};
  for (std::string_view* part : parts) {
    const std::size_t comma = rest.find(',');
    if (part != nullptr) *part = rest.substr(0, comma);
    if (comma == std::string_view::npos) return fields;
    rest = rest.substr(comma + 1);
  }
  fields.title = rest;
  return fields;
}

std::string_view WithoutBlanks(std::string_view field) {
  while (!field.empty() && IsBlank(field.front())) field.remove_prefix(1);
  while (!field.empty() && IsBlank(field.back())) field.remove_suffix(1);
  return field;
}

NumberField ReadNumberField(std::string_view field) {
  field = WithoutBlanks(field);
  NumberField result;
  result.digits = field;
  if (field.empty()) return result;
  for (char c : field) {
    if (!IsDigit(c)) {
      result.kind = NumberKind::kText;
      return result;
    }
  }
  result.kind = NumberKind::kNumber;
  const std::size_t first = field.find_first_not_of('0');
  result.digits =
      first == std::string_view::npos ? field.substr(field.size() - 1) : field.substr(first);
  return result;
}

std::optional<std::uint64_t> NumberValue(std::string_view digits) {
  if (digits.empty() || digits.size() > kMaxExactDigits) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

std::optional<CalendarDate> ReadDate(std::string_view field) {
  if (field.size() != 8 || field[2] != '/' || field[5] != '/') return std::nullopt;
  for (std::size_t at : {0, 1, 3, 4, 6, 7}) {
    if (!IsDigit(field[at])) return std::nullopt;
  }
  const int yy = TwoDigits(field, 0);
  CalendarDate date{yy >= 70 ? 1900 + yy : 2000 + yy, TwoDigits(field, 3), TwoDigits(field, 6)};
  if (date.month < 1 || date.month > 12) return std::nullopt;
  if (date.day < 1 || date.day > DaysInMonth(date.year, date.month)) return std::nullopt;
  return date;
}

std::optional<int> ReadTime(std::string_view field) {
  if (field.size() != 5 || field[2] != ':') return std::nullopt;
  for (std::size_t at : {0, 1, 3, 4}) {
    if (!IsDigit(field[at])) return std::nullopt;
  }
  const int hours = TwoDigits(field, 0);
  const int minutes = TwoDigits(field, 3);
  if (hours > 23 || minutes > 59) return std::nullopt;
  return hours * 60 + minutes;
}

WhenKey MakeWhenKey(std::string_view date_field, std::string_view time_field) {
  const std::optional<int> minute = ReadTime(time_field);
  const WhenKey slot = minute ? static_cast<WhenKey>(*minute) : kMinuteSlots - 1;
  const std::optional<CalendarDate> date = ReadDate(date_field);
  if (!date) return kUndatedBase + slot;
  const int days = DaysFromEpoch(*date);
  assert(days >= 0 && days < kDaysInKeyRange);
  return static_cast<WhenKey>(days) * kMinuteSlots + slot;
}

std::optional<CalendarDate> DateOfKey(WhenKey key) {
  if (key >= kUndatedBase) return std::nullopt;
  return DateFromEpoch(static_cast<int>(key / kMinuteSlots));
}

std::optional<int> MinuteOfKey(WhenKey key) {
  const WhenKey slot = key % kMinuteSlots;
  if (slot == kMinuteSlots - 1 || key >= kUndatedBase + kMinuteSlots) return std::nullopt;
  return static_cast<int>(slot);
}

}  // namespace sorbit::archive
