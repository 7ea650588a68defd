// The archive: the mapping, the index built in steps, threads, lookups and message reading.
#include "archive/Archive.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "archive/SvfText.h"
#include "archive/TekuriRecords.h"
#include "convert/Paths.h"
#include "platform/posix/MappedFile.h"
#include "text/Cp932.h"

namespace sorbit::archive {

namespace {

// Entries are kept in chunks of this many, so that growing the index never copies it (a
// doubling vector would hold the old and the new copy at once).
constexpr std::uint32_t kChunkBits = 16;
constexpr std::uint32_t kChunkSize = 1u << kChunkBits;

std::uint64_t HashDigits(std::string_view digits) {
  std::uint64_t h = 1469598103934665603u;  // FNV-1a
  for (char c : digits) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return h;
}

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdu;
  x ^= x >> 33;
  return x;
}

// A slot of the table of the latest message of each (board, NO) while the index is built. It
// holds the key, so that a probe reads no entry.
struct NumberSlot {
  std::uint64_t number = 0;
  std::uint32_t board = 0;
  std::uint32_t index = kNone;  // kNone: free
};

// The first slot for (board, number): four numbers that differ only in their low two bits share
// a cache line of slots, so that a file numbered 1, 2, 3, ... with replies to recent numbers
// touches few lines; the lines themselves are scattered, so no choice of numbers piles up.
std::size_t FirstSlot(std::uint32_t board, std::uint64_t number, bool is_long) {
  const std::uint64_t line = Mix((number >> 2) ^ (std::uint64_t{board} << 40) ^ (is_long ? 1 : 0));
  return static_cast<std::size_t>((line << 2) | (number & 3));
}

// The kind by the first line that is not empty.
FileKind KindOf(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    if (text[at] == '\n') {
      ++at;
    } else if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
      at += 2;
    } else {
      break;
    }
  }
  return text.compare(at, kMsgLinePrefix.size(), kMsgLinePrefix) == 0 ? FileKind::kSvf
                                                                      : FileKind::kTekuri;
}

}  // namespace

struct Archive::State {
  explicit State(platform::MappedFile mapped) : file(std::move(mapped)), text(file.bytes()) {}

  platform::MappedFile file;
  std::string_view text;
  // Tells this archive's records in a RawMessage from another's, even one at the same address.
  std::uint64_t serial = NextSerial();

  std::vector<std::vector<MessageEntry>> chunks;
  std::uint32_t count = 0;
  std::vector<BoardInfo> boards;
  std::unordered_map<std::string, std::uint32_t> board_ids;
  std::uint32_t last_board = kNone;

  bool indexed = false;
  std::uint64_t scan_pos = 0;  // SVF: the line start where the search for starts goes on
  // While building, the latest message of each (board, NO): most files number their messages
  // 1, 2, 3, ..., so a number below four times its board's count so far is looked up in an
  // array by number, of that board; any other in a hash table (open addressing).
  std::vector<std::vector<std::uint32_t>> latest_by_number;
  std::vector<NumberSlot> latest_numbered;
  std::size_t numbered = 0;
  // NOs of more than kMaxExactDigits significant digits, by message, ascending.
  std::vector<std::pair<std::uint32_t, std::string>> long_numbers;
  // Tekuri: the messages that are not their block's first, with their place in the record.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> split_parts;
  std::unique_ptr<TekuriRecords> tekuri;
  std::string record;

  // Messages with a number NO, by (board, long, number, index); built on the first lookup.
  std::vector<std::uint32_t> by_number;
  bool by_number_built = false;

  MessageEntry& Entry(std::uint32_t i) { return chunks[i >> kChunkBits][i & (kChunkSize - 1)]; }
  static std::uint64_t NextSerial();
  // Tekuri: where the block of message `index` ends (the next block's offset).
  std::uint64_t BlockEnd(std::uint32_t index);

  std::uint32_t BoardId(std::string_view name);
  std::string_view LongDigits(std::uint32_t index) const;
  std::uint32_t FindLatest(std::uint32_t board, std::uint64_t number, bool is_long,
                           std::string_view digits) const;
  void RememberLatest(std::uint32_t index);
  void PutLatest(std::uint32_t index);  // into the hash table
  void AddMessage(std::string_view msg_line, std::string_view number_line, std::uint64_t offset,
                  std::uint32_t part);
  void AddRecordMessages(std::string_view svf, std::uint64_t block_offset);
  void Finish();
};

std::uint64_t Archive::State::NextSerial() {
  static std::atomic<std::uint64_t> serial{0};
  return ++serial;
}

std::uint64_t Archive::State::BlockEnd(std::uint32_t index) {
  const std::uint64_t offset = Entry(index).offset_;
  // Most blocks hold one message: the next one starts the next block.
  if (index + 1 < count && Entry(index + 1).offset_ > offset) return Entry(index + 1).offset_;
  std::uint32_t low = index + 1;
  std::uint32_t high = count;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    if (Entry(middle).offset_ > offset) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return low < count ? Entry(low).offset_ : text.size();
}

std::uint32_t Archive::State::BoardId(std::string_view name) {
  // Most files hold one board: its name is compared before any lookup.
  if (last_board != kNone && boards[last_board].name == name) return last_board;
  auto [it, added] = board_ids.try_emplace(std::string(name), static_cast<std::uint32_t>(0));
  if (added) {
    it->second = static_cast<std::uint32_t>(boards.size());
    boards.push_back(BoardInfo{std::string(name)});
  }
  last_board = it->second;
  return last_board;
}

std::string_view Archive::State::LongDigits(std::uint32_t index) const {
  const auto it = std::lower_bound(
      long_numbers.begin(), long_numbers.end(), index,
      [](const std::pair<std::uint32_t, std::string>& p, std::uint32_t i) { return p.first < i; });
  assert(it != long_numbers.end() && it->first == index);
  return it->second;
}

std::uint32_t Archive::State::FindLatest(std::uint32_t board, std::uint64_t number, bool is_long,
                                         std::string_view digits) const {
  // A number is put in the array once the array's bound has passed it, and the bound only
  // grows: the array, when it holds the number, holds its latest message.
  if (!is_long && board < latest_by_number.size() && number < latest_by_number[board].size() &&
      latest_by_number[board][number] != kNone) {
    return latest_by_number[board][number];
  }
  if (latest_numbered.empty()) return kNone;
  const std::size_t mask = latest_numbered.size() - 1;
  for (std::size_t slot = FirstSlot(board, number, is_long) & mask;; slot = (slot + 1) & mask) {
    const NumberSlot& found = latest_numbered[slot];
    if (found.index == kNone) return kNone;
    if (found.board == board && found.number == number &&
        ((const_cast<State*>(this)->Entry(found.index).flags_ & MessageEntry::kLongNumber) != 0) ==
            is_long &&
        (!is_long || LongDigits(found.index) == digits)) {
      return found.index;
    }
  }
}

void Archive::State::RememberLatest(std::uint32_t index) {
  const MessageEntry& message = Entry(index);
  if ((message.flags_ & MessageEntry::kLongNumber) == 0 &&
      message.number_ < 4 * std::uint64_t{boards[message.board_].message_count} + 16) {
    if (latest_by_number.size() <= message.board_) latest_by_number.resize(message.board_ + 1);
    std::vector<std::uint32_t>& board_numbers = latest_by_number[message.board_];
    if (board_numbers.size() <= message.number_) {
      board_numbers.resize(static_cast<std::size_t>(message.number_) + 1, kNone);
    }
    board_numbers[static_cast<std::size_t>(message.number_)] = index;
    return;
  }
  if ((numbered + 1) * 2 > latest_numbered.size()) {
    // Keeps the table at most half full; a rehash puts every message back.
    std::vector<NumberSlot> old = std::move(latest_numbered);
    latest_numbered.assign(std::max<std::size_t>(1024, old.size() * 2), NumberSlot{});
    numbered = 0;
    for (const NumberSlot& slot : old) {
      if (slot.index != kNone) PutLatest(slot.index);
    }
  }
  PutLatest(index);
}

void Archive::State::PutLatest(std::uint32_t index) {
  const MessageEntry& e = Entry(index);
  const bool is_long = (e.flags_ & MessageEntry::kLongNumber) != 0;
  const std::string_view digits = is_long ? LongDigits(index) : std::string_view();
  const std::size_t mask = latest_numbered.size() - 1;
  for (std::size_t slot = FirstSlot(e.board_, e.number_, is_long) & mask;;
       slot = (slot + 1) & mask) {
    NumberSlot& found = latest_numbered[slot];
    if (found.index == kNone) {
      found = NumberSlot{e.number_, e.board_, index};
      ++numbered;
      return;
    }
    if (found.board == e.board_ && found.number == e.number_ &&
        ((Entry(found.index).flags_ & MessageEntry::kLongNumber) != 0) == is_long &&
        (!is_long || LongDigits(found.index) == digits)) {
      found.index = index;  // the later one is the latest
      return;
    }
  }
}

void Archive::State::AddMessage(std::string_view msg_line, std::string_view number_line,
                                std::uint64_t offset, std::uint32_t part) {
  const std::uint32_t index = count;
  if (count == kNone - 1) return;  // more messages than the index can number: the rest is unread
  if ((index & (kChunkSize - 1)) == 0) {
    chunks.emplace_back();
    chunks.back().reserve(kChunkSize);
  }
  MessageEntry e;
  e.offset_ = offset;
  const MsgLineFields msg = CutMsgLine(msg_line);
  const NumberLineFields number = CutNumberLine(number_line);
  if (std::memchr(msg_line.data(), 0, msg_line.size()) != nullptr ||
      std::memchr(number_line.data(), 0, number_line.size()) != nullptr) {
    e.flags_ |= MessageEntry::kHeaderNul;
  }
  if (part > 0) {
    e.flags_ |= MessageEntry::kSplitPart;
    split_parts.emplace_back(index, part);
  }
  e.board_ = BoardId(msg.board);
  e.when_ = MakeWhenKey(msg.date, msg.time);
  const NumberField no = ReadNumberField(number.no);
  e.flags_ |= static_cast<std::uint8_t>(no.kind);
  if (no.kind == NumberKind::kNumber) {
    if (const std::optional<std::uint64_t> value = NumberValue(no.digits)) {
      e.number_ = *value;
    } else {
      e.number_ = HashDigits(no.digits);
      e.flags_ |= MessageEntry::kLongNumber;
      long_numbers.emplace_back(index, std::string(no.digits));
    }
  }
  const NumberField reply = ReadNumberField(number.reply);
  e.flags_ |= static_cast<std::uint8_t>(static_cast<std::uint8_t>(reply.kind) << 2);
  if (reply.kind == NumberKind::kNumber) {
    const std::optional<std::uint64_t> value = NumberValue(reply.digits);
    e.parent_ = value ? FindLatest(e.board_, *value, false, reply.digits)
                      : FindLatest(e.board_, HashDigits(reply.digits), true, reply.digits);
    if (e.parent_ == kNone) e.flags_ |= MessageEntry::kOriginalMissing;
  }
  chunks.back().push_back(e);
  ++count;
  if (no.kind == NumberKind::kNumber) RememberLatest(index);

  BoardInfo& board = boards[e.board_];
  ++board.message_count;
  if (HasDate(e.when_)) {
    if (board.earliest == kNone || e.when_ < Entry(board.earliest).when_) board.earliest = index;
    if (board.latest == kNone || e.when_ >= Entry(board.latest).when_) board.latest = index;
  }
}

void Archive::State::AddRecordMessages(std::string_view svf, std::uint64_t block_offset) {
  std::uint32_t part = 0;
  for (std::size_t at = FindMessageStart(svf, 0, svf.size()); at != std::string_view::npos;) {
    const MessageBounds bounds = ReadMessageBounds(svf, at);
    AddMessage(svf.substr(at, bounds.msg_line_end - at),
               svf.substr(bounds.number_line, bounds.number_line_end - bounds.number_line),
               block_offset, part++);
    at = FindMessageStart(svf, bounds.body, svf.size());
  }
}

void Archive::State::Finish() {
  // Children and roots linked in file order: walking backwards, each message goes in front.
  for (std::uint32_t i = count; i-- > 0;) {
    MessageEntry& e = Entry(i);
    std::uint32_t& first =
        e.parent_ == kNone ? boards[e.board_].first_root : Entry(e.parent_).first_child_;
    e.next_sibling_ = first;
    first = i;
  }
  std::vector<NumberSlot>().swap(latest_numbered);
  std::vector<std::vector<std::uint32_t>>().swap(latest_by_number);
  numbered = 0;
  tekuri.reset();
  std::string().swap(record);
  indexed = true;
}

Archive::Archive(std::string path, std::unique_ptr<State> state)
    : path_(std::move(path)), state_(std::move(state)) {
  kind_ = KindOf(state_->text);
  if (kind_ == FileKind::kTekuri) {
    state_->tekuri = std::make_unique<TekuriRecords>(state_->text, BoardName(path_));
  }
}

Archive::~Archive() = default;

std::unique_ptr<Archive> Archive::Open(const std::string& path) {
  int error = 0;
  std::optional<platform::MappedFile> file = platform::MappedFile::Open(path, error);
  if (!file) throw ArchiveError{"cannot read " + path + ": " + std::strerror(error), error};
  auto state = std::make_unique<State>(std::move(*file));
  return std::unique_ptr<Archive>(new Archive(path, std::move(state)));
}

std::uint64_t Archive::FileSize() const { return state_->text.size(); }
std::string_view Archive::Bytes() const { return state_->text; }
bool Archive::FileTruncated() const { return state_->file.Truncated(); }
bool Archive::Indexed() const { return state_->indexed; }
std::uint32_t Archive::MessageCount() const { return state_->count; }
const std::vector<BoardInfo>& Archive::Boards() const { return state_->boards; }

const MessageEntry& Archive::Message(std::uint32_t index) const {
  assert(index < state_->count);
  return state_->Entry(index);
}

std::uint64_t Archive::BytesIndexed() const {
  if (state_->indexed) return state_->text.size();
  return kind_ == FileKind::kSvf ? state_->scan_pos : state_->tekuri->BytesRead();
}

bool Archive::IndexStep(std::size_t bytes) {
  State& s = *state_;
  if (s.indexed) return true;
  if (bytes == 0) bytes = 1;
  const std::string_view text = s.text;
  if (kind_ == FileKind::kSvf) {
    const std::size_t limit = s.scan_pos + std::min<std::uint64_t>(bytes, text.size() - s.scan_pos);
    s.file.WillRead(s.scan_pos, limit - s.scan_pos);
    while (true) {
      const std::size_t at = FindMessageStart(text, s.scan_pos, limit);
      if (at == std::string_view::npos) {
        // Goes on at the first line start at or after the limit.
        if (s.scan_pos < limit) {
          if (limit >= text.size() || text[limit - 1] == '\n') {
            s.scan_pos = limit;
          } else {
            const void* lf = std::memchr(text.data() + limit, '\n', text.size() - limit);
            s.scan_pos =
                lf == nullptr
                    ? text.size()
                    : static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) + 1;
          }
        }
        break;
      }
      const MessageBounds bounds = ReadMessageBounds(text, at);
      s.AddMessage(text.substr(at, bounds.msg_line_end - at),
                   text.substr(bounds.number_line, bounds.number_line_end - bounds.number_line), at,
                   0);
      s.scan_pos = bounds.body;
    }
    if (s.scan_pos >= text.size()) s.Finish();
  } else {
    const std::uint64_t stop = s.tekuri->BytesRead() + bytes;
    std::uint64_t block_offset = 0;
    bool more = true;
    while (s.tekuri->BytesRead() < stop && (more = s.tekuri->Next(s.record, block_offset))) {
      s.AddRecordMessages(s.record, block_offset);
    }
    if (!more) s.Finish();
  }
  return s.indexed;
}

void Archive::BuildIndex(const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
  while (!IndexStep()) {
    if (progress) progress(BytesIndexed(), FileSize());
  }
  if (progress) progress(FileSize(), FileSize());
}

std::uint32_t Archive::NextInThreadOrder(std::uint32_t index) const {
  const MessageEntry& e = Message(index);
  if (e.first_child_ != kNone) return e.first_child_;
  for (std::uint32_t i = index; i != kNone; i = Message(i).parent_) {
    if (Message(i).next_sibling_ != kNone) return Message(i).next_sibling_;
  }
  return kNone;
}

std::uint32_t Archive::ThreadRoot(std::uint32_t index) const {
  while (Message(index).parent_ != kNone) index = Message(index).parent_;
  return index;
}

std::uint32_t Archive::FindNumbered(std::uint32_t board, std::string_view digits,
                                    std::uint32_t from) const {
  State& s = *state_;
  const NumberField field = ReadNumberField(digits);
  if (field.kind != NumberKind::kNumber) return kNone;
  const std::optional<std::uint64_t> value = NumberValue(field.digits);
  const bool is_long = !value;
  const std::uint64_t number = value ? *value : HashDigits(field.digits);
  auto key = [&s](std::uint32_t i) {
    const MessageEntry& e = s.Entry(i);
    return std::make_tuple(e.board_, (e.flags_ & MessageEntry::kLongNumber) != 0, e.number_, i);
  };
  if (!s.by_number_built) {
    for (std::uint32_t i = 0; i < s.count; ++i) {
      if (s.Entry(i).NoKind() == NumberKind::kNumber) s.by_number.push_back(i);
    }
    std::sort(s.by_number.begin(), s.by_number.end(),
              [&key](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    s.by_number_built = true;
  }
  const auto wanted = std::make_tuple(board, is_long, number);
  auto first = std::lower_bound(
      s.by_number.begin(), s.by_number.end(), wanted, [&key](std::uint32_t i, const auto& w) {
        const auto k = key(i);
        return std::make_tuple(std::get<0>(k), std::get<1>(k), std::get<2>(k)) < w;
      });
  std::uint32_t before = kNone;
  for (auto it = first; it != s.by_number.end(); ++it) {
    const auto k = key(*it);
    if (std::make_tuple(std::get<0>(k), std::get<1>(k), std::get<2>(k)) != wanted) break;
    if (is_long && s.LongDigits(*it) != field.digits) continue;
    if (*it < from) {
      before = *it;
    } else if (*it > from) {
      return before != kNone ? before : *it;
    }
  }
  return before;
}

void Archive::ReadRaw(std::uint32_t index, RawMessage& raw) const {
  State& s = *state_;
  const MessageEntry& e = Message(index);
  std::string_view text = s.text;
  std::size_t at = e.offset_;
  std::size_t body_end = 0;
  if (kind_ == FileKind::kTekuri) {
    std::uint32_t part = 0;
    const auto split =
        std::upper_bound(s.split_parts.begin(), s.split_parts.end(), index,
                         [](std::uint32_t i, const std::pair<std::uint32_t, std::uint32_t>& p) {
                           return i < p.first;
                         });
    const auto splits_so_far = static_cast<std::uint32_t>(split - s.split_parts.begin());
    if ((e.flags_ & MessageEntry::kSplitPart) != 0) part = std::prev(split)->second;
    if (raw.storage_archive != s.serial || raw.storage_block != e.offset_) {
      if (!s.tekuri) s.tekuri = std::make_unique<TekuriRecords>(s.text, BoardName(path_));
      s.tekuri->RecordAt(e.offset_, s.BlockEnd(index),
                         static_cast<long long>(index) + 1 - splits_so_far, raw.storage);
      raw.storage_archive = s.serial;
      raw.storage_block = e.offset_;
      raw.storage_part = kNone;
    }
    text = raw.storage;
    // A block may hold many messages: each is found from the one read before, when it can.
    if (raw.storage_part > part) {
      raw.storage_part = 0;
      raw.storage_part_at = FindMessageStart(text, 0, text.size());
    }
    at = raw.storage_part_at;
    for (; raw.storage_part < part && HeaderLinesAt(text, at); ++raw.storage_part) {
      at = FindMessageStart(text, ReadMessageBounds(text, at).body, text.size());
    }
    raw.storage_part_at = at;
  }
  if (!HeaderLinesAt(text, at)) {
    // Another program changed the file under its index: nothing of this message is left (a
    // block of a log may now give fewer messages).
    raw.msg_line = raw.number_line = raw.body = std::string_view();
    raw.msg = MsgLineFields{};
    raw.number = NumberLineFields{};
    return;
  }
  const MessageBounds bounds = ReadMessageBounds(text, at);
  if (kind_ == FileKind::kSvf && index + 1 < s.count) {
    body_end = BodyEnd(text, Message(index + 1).offset_);
  } else {
    body_end = BodyEnd(text, FindMessageStart(text, bounds.body, text.size()));
  }
  body_end = std::max(body_end, bounds.body);  // a changed file, again
  raw.msg_line = text.substr(at, bounds.msg_line_end - at);
  raw.number_line = text.substr(bounds.number_line, bounds.number_line_end - bounds.number_line);
  raw.msg = CutMsgLine(raw.msg_line);
  raw.number = CutNumberLine(raw.number_line);
  raw.body = text.substr(bounds.body, body_end - bounds.body);
}

void Archive::ReadText(std::uint32_t index, MessageText& text, RawMessage& raw) const {
  ReadRaw(index, raw);
  bool whole = true;
  const std::pair<std::string*, std::string_view> fields[] = {
      {&text.board, raw.msg.board},    {&text.id, raw.msg.id},
      {&text.handle, raw.msg.handle},  {&text.date, raw.msg.date},
      {&text.time, raw.msg.time},      {&text.no, raw.number.no},
      {&text.reply, raw.number.reply}, {&text.title, raw.number.title}};
  for (const auto& [out, bytes] : fields) {
    out->clear();
    whole &= AppendFieldAsUtf8(bytes, *out);
  }
  text.body.clear();
  whole &= AppendBodyAsUtf8(raw.body, text.body);
  text.lossy = !whole;
}

std::size_t Archive::IndexBytes() const {
  const State& s = *state_;
  std::size_t bytes = 0;
  for (const auto& chunk : s.chunks) bytes += chunk.capacity() * sizeof(MessageEntry);
  for (const BoardInfo& board : s.boards) bytes += sizeof board + board.name.capacity();
  for (const auto& [index, digits] : s.long_numbers) bytes += sizeof index + digits.capacity();
  bytes += s.split_parts.capacity() * sizeof s.split_parts[0];
  bytes += s.by_number.capacity() * sizeof(std::uint32_t);
  return bytes;
}

std::string_view WithoutFinalLineEnd(std::string_view body) {
  if (body.ends_with("\r\n")) return body.substr(0, body.size() - 2);
  if (body.ends_with('\n')) return body.substr(0, body.size() - 1);
  return body;
}

bool AppendFieldAsUtf8(std::string_view bytes, std::string& out) {
  return text::AppendCp932AsUtf8(bytes, out);
}

bool AppendBodyAsUtf8(std::string_view body, std::string& out) {
  const std::size_t start = out.size();
  const bool whole = text::AppendCp932AsUtf8(body, out);
  // Line ends become "\n": a CR before an LF is dropped (a CR byte never belongs to a
  // two-byte character, so the decoded text has it where the bytes had it).
  char* const first = out.data() + start;
  char* const last = out.data() + out.size();
  char* to = first;
  for (char* from = first; from != last;) {
    char* cr = static_cast<char*>(std::memchr(from, '\r', static_cast<std::size_t>(last - from)));
    if (cr == nullptr) cr = last;
    std::memmove(to, from, static_cast<std::size_t>(cr - from));
    to += cr - from;
    from = cr;
    if (from == last) break;
    if (from + 1 != last && from[1] == '\n') {
      ++from;  // the CR of a line end
    } else {
      *to++ = *from++;
    }
  }
  out.resize(static_cast<std::size_t>(to - out.data()));
  if (out.size() > start && out.back() == '\n') out.pop_back();
  return whole;
}

}  // namespace sorbit::archive
