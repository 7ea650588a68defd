// The reading rules of SVF text applied the plainest way, for tests to hold the archive
// library and what is built on it against: every line split first, then each rule in turn.
#pragma once

#include <string>
#include <vector>

namespace sorbit::testing {

struct RefMessage {
  std::string board, id, handle, date, time, no, reply, title;
  std::vector<std::string> body;
  std::size_t offset = 0;
  int parent = -1;
};

inline std::vector<std::string> Split(const std::string& s, char by) {
  std::vector<std::string> parts(1);
  for (char c : s) {
    if (c == by) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

inline std::string Join(const std::vector<std::string>& parts, std::size_t from, std::size_t to,
                        const std::string& by) {
  std::string joined;
  for (std::size_t k = from; k < to; ++k) joined += (k > from ? by : "") + parts[k];
  return joined;
}

inline bool Begins(const std::string& s, const std::string& prefix) {
  return s.rfind(prefix, 0) == 0;
}

// The digits of a number field less blanks and leading zeros; empty when it is no number.
inline std::string NumberOf(const std::string& field) {
  const std::size_t first = field.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const std::string trimmed = field.substr(first, field.find_last_not_of(" \t") - first + 1);
  if (trimmed.find_first_not_of("0123456789") != std::string::npos) return "";
  const std::size_t nonzero = trimmed.find_first_not_of('0');
  return nonzero == std::string::npos ? "0" : trimmed.substr(nonzero);
}

inline std::vector<RefMessage> ReferenceRead(const std::string& text) {
  std::vector<std::string> lines;
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t lf = text.find('\n', at);
    const std::size_t next = lf == std::string::npos ? text.size() : lf + 1;
    std::string line = text.substr(at, (lf == std::string::npos ? text.size() : lf) - at);
    if (lf != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
    starts.push_back(at);
    lines.push_back(line);
    at = next;
  }
  std::vector<std::size_t> message_lines;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (Begins(lines[i], "@@@MSG,") && (i == 0 || lines[i - 1].empty()) &&
        Begins(lines[i + 1], "@@@")) {
      message_lines.push_back(i);
    }
  }
  std::vector<RefMessage> messages;
  for (std::size_t m = 0; m < message_lines.size(); ++m) {
    const std::size_t i = message_lines[m];
    RefMessage msg;
    msg.offset = starts[i];
    const std::vector<std::string> parts = Split(lines[i], ',');
    const std::size_t n = parts.size();
    if (n > 2) msg.board = parts[2];
    if (n > 3) msg.id = parts[3];
    if (n >= 7) {
      msg.handle = Join(parts, 4, n - 2, ",");
      msg.date = parts[n - 2];
      msg.time = parts[n - 1];
    } else {
      if (n > 4) msg.handle = parts[4];
      if (n > 5) msg.date = parts[5];
    }
    const std::vector<std::string> numbers = Split(lines[i + 1].substr(3), ',');
    msg.no = numbers[0];
    if (numbers.size() > 1) msg.reply = numbers[1];
    if (numbers.size() > 3) msg.title = Join(numbers, 3, numbers.size(), ",");
    const std::size_t body_end =
        m + 1 < message_lines.size() ? message_lines[m + 1] - 1 : lines.size();
    for (std::size_t k = i + 2; k < body_end; ++k) msg.body.push_back(lines[k]);
    const std::string reply = NumberOf(msg.reply);
    for (int p = static_cast<int>(messages.size()) - 1; !reply.empty() && p >= 0; --p) {
      if (messages[p].board == msg.board && NumberOf(messages[p].no) == reply) {
        msg.parent = p;
        break;
      }
    }
    messages.push_back(msg);
  }
  return messages;
}

}  // namespace sorbit::testing
