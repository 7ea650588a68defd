#include "convert/LogReader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace sorbit {

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr char kCtrlZ = '\x1a';

namespace detail {

#if defined(__SSE2__)
// Sets the words of `bits` for the whole 64-byte blocks of data[0, size); returns how many.
std::size_t MarkWholeWordsSse2(const char* data, std::size_t size, std::uint64_t* bits) {
  const __m128i cr = _mm_set1_epi8(kCR);
  const auto mask16 = [cr](const char* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint64_t>(
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr))));
  };
  std::size_t w = 0;
  for (; (w + 1) * 64 <= size; ++w) {
    const char* p = data + w * 64;
    bits[w] = mask16(p) | mask16(p + 16) << 16 | mask16(p + 32) << 32 | mask16(p + 48) << 48;
  }
  return w;
}
#endif

#if SORBIT_HAVE_AVX2_PATH
bool HaveAvx2() { return __builtin_cpu_supports("avx2"); }

// The same with 32 bytes a compare, for processors that have AVX2 (chosen at run time).
[[gnu::target("avx2")]] std::size_t MarkWholeWordsAvx2(const char* data, std::size_t size,
                                                       std::uint64_t* bits) {
  const __m256i cr = _mm256_set1_epi8(kCR);
  std::size_t w = 0;
  for (; (w + 1) * 64 <= size; ++w) {
    const char* p = data + w * 64;
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const auto low_bits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, cr)));
    const auto high_bits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, cr)));
    bits[w] = std::uint64_t{low_bits} | std::uint64_t{high_bits} << 32;
  }
  return w;
}
#endif

}  // namespace detail

namespace {

// Sets bit i of `bits` (64 to a word) for every CR at data[i]; the bits of the last word
// past `size` are cleared.
void MarkCarriageReturns(const char* data, std::size_t size, std::uint64_t* bits) {
  std::size_t w = 0;
#if SORBIT_HAVE_AVX2_PATH
  static const bool avx2 = detail::HaveAvx2();
  w = avx2 ? detail::MarkWholeWordsAvx2(data, size, bits)
           : detail::MarkWholeWordsSse2(data, size, bits);
#elif defined(__SSE2__)
  w = detail::MarkWholeWordsSse2(data, size, bits);
#endif
  for (; w * 64 < size; ++w) {
    const std::size_t n = std::min<std::size_t>(64, size - w * 64);
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < n; ++i) {
      word |= static_cast<std::uint64_t>(data[w * 64 + i] == kCR) << i;
    }
    bits[w] = word;
  }
  if (size % 64 == 0) bits[size / 64] = 0;
}

}  // namespace

LogMessage::LogMessage(const LogMessage& other) : lines_(other.lines_) { Detach(); }

LogMessage& LogMessage::operator=(const LogMessage& other) {
  if (this != &other) {
    LogMessage copy(other);
    *this = std::move(copy);
  }
  return *this;
}

LogMessage::LogMessage(LogMessage&& other) noexcept
    : lines_(std::move(other.lines_)),
      first_borrowed_(other.first_borrowed_),
      run_starts_(std::move(other.run_starts_)),
      owned_(std::move(other.owned_)) {
  other.Clear();
}

LogMessage& LogMessage::operator=(LogMessage&& other) noexcept {
  lines_ = std::move(other.lines_);
  first_borrowed_ = other.first_borrowed_;
  run_starts_ = std::move(other.run_starts_);
  owned_ = std::move(other.owned_);
  other.Clear();
  return *this;
}

std::size_t LogMessage::CrLfRunEnd(std::size_t index) const {
  // Owned lines are stored without line ends; borrowed lines were marked as they were read.
  if (index < first_borrowed_ || index >= lines_.size()) return index;
  const auto next = std::upper_bound(run_starts_.begin(), run_starts_.end(), index);
  return (next == run_starts_.end() ? lines_.size() : *next) - 1;
}

void LogMessage::Clear() {
  lines_.clear();
  run_starts_.clear();
  owned_.clear();
  first_borrowed_ = 0;
}

void LogMessage::AddLine(std::string_view line) {
  AddBorrowedLine(line);
  Detach();
}

void LogMessage::Detach() {
  std::size_t bytes = 0;
  for (std::size_t i = first_borrowed_; i < lines_.size(); ++i) bytes += lines_[i].size();
  if (bytes > 0) {
    owned_.push_back(std::make_unique_for_overwrite<char[]>(bytes));
    char* at = owned_.back().get();
    for (std::size_t i = first_borrowed_; i < lines_.size(); ++i) {
      if (lines_[i].empty()) {
        lines_[i] = {};
        continue;
      }
      std::memcpy(at, lines_[i].data(), lines_[i].size());
      lines_[i] = std::string_view(at, lines_[i].size());
      at += lines_[i].size();
    }
  } else {
    for (std::size_t i = first_borrowed_; i < lines_.size(); ++i) lines_[i] = {};
  }
  first_borrowed_ = lines_.size();
  run_starts_.clear();
}

LogReader::LogReader(std::unique_ptr<InputFile> file, std::size_t buffer_bytes)
    : file_(std::move(file)),
      buffer_(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(buffer_bytes, 1))),
      buffer_size_(std::max<std::size_t>(buffer_bytes, 1)),
      cr_bits_(std::make_unique_for_overwrite<std::uint64_t[]>(buffer_size_ / 64 + 1)) {}

long long LogReader::FileSize() const { return file_ ? file_->Size() : 0; }

void LogReader::Close() {
  file_.reset();
  text_ended_ = true;
  consumed_ += static_cast<long long>(pos_);
  pos_ = end_ = 0;
}

bool LogReader::Fill() {
  if (pos_ < end_) return true;
  if (text_ended_ || !file_) return false;
  // The buffer is about to be overwritten: the block being read keeps copies of its lines.
  if (filling_ != nullptr) filling_->Detach();
  consumed_ += static_cast<long long>(end_);
  pos_ = end_ = 0;
  std::size_t got = file_->Read(buffer_.get(), buffer_size_);
  if (got == 0) {
    text_ended_ = true;
    return false;
  }
  // Nothing after a Ctrl-Z is ever read: cut the buffer there and stop reading the file.
  const char* stop = static_cast<const char*>(std::memchr(buffer_.get(), kCtrlZ, got));
  if (stop != nullptr) {
    got = static_cast<std::size_t>(stop - buffer_.get());
    text_ended_ = true;
  }
  end_ = got;
  const char* nul = static_cast<const char*>(std::memchr(buffer_.get(), '\0', end_));
  next_nul_ = nul ? static_cast<std::size_t>(nul - buffer_.get()) : end_;
  MarkCarriageReturns(buffer_.get(), end_, cr_bits_.get());
  cr_bits_[end_ / 64] |= std::uint64_t{1} << (end_ % 64);
  return end_ > 0;
}

std::size_t LogReader::NextCr(std::size_t from) const {
  std::size_t w = from / 64;
  std::uint64_t word = cr_bits_[w] & (~std::uint64_t{0} << (from % 64));
  while (word == 0) word = cr_bits_[++w];  // the bit at end_ stops this
  return w * 64 + static_cast<std::size_t>(std::countr_zero(word));
}

bool LogReader::AtEnd() {
  if (!Fill()) return true;
  if (skip_lf_) {
    skip_lf_ = false;
    if (buffer_[pos_] == kLF) {
      ++pos_;
      return !Fill();
    }
  }
  return false;
}

void LogReader::ConsumeLineEnd() {
  ++pos_;  // the CR
  if (pos_ < end_) {
    if (buffer_[pos_] == kLF) ++pos_;
  } else {
    skip_lf_ = true;  // the LF, if any, is at the start of the next buffer
  }
}

bool LogReader::ReadLine(std::string_view& line) {
  if (AtEnd()) return false;
  // Most lines lie whole in the buffer and are short and free of NUL: hand them out as they
  // stand, without copying.
  const std::size_t cr = NextCr(pos_);
  if (cr < end_) {
    const std::size_t length = cr - pos_;
    if (next_nul_ < cr) {
      const char* nul =
          static_cast<const char*>(std::memchr(buffer_.get() + pos_, '\0', end_ - pos_));
      next_nul_ = nul ? static_cast<std::size_t>(nul - buffer_.get()) : end_;
    }
    if (length <= kMaxLineBytes && next_nul_ >= cr) {
      line = std::string_view(buffer_.get() + pos_, length);
      pos_ = cr;
      ConsumeLineEnd();
      return true;
    }
  }
  return ReadLongLine(line);
}

bool LogReader::ReadLongLine(std::string_view& line) {
  line_.clear();
  bool keep = true;  // false once a NUL byte or the length limit has been met
  for (;;) {
    const char* begin = buffer_.get() + pos_;
    const std::size_t cr = NextCr(pos_);
    const std::size_t piece = cr - pos_;
    if (keep) {
      std::size_t take = std::min(piece, kMaxLineBytes - line_.size());
      const char* nul = static_cast<const char*>(std::memchr(begin, '\0', take));
      if (nul != nullptr) {
        take = static_cast<std::size_t>(nul - begin);
        keep = false;
      }
      line_.append(begin, take);
      if (line_.size() == kMaxLineBytes) keep = false;
    }
    pos_ = cr;
    if (cr < end_) {
      ConsumeLineEnd();
      break;
    }
    if (!Fill()) break;  // the text ends inside this line: it is the last one
  }
  line = line_;
  return true;
}

bool LogReader::ReadMessage(LogMessage& message) {
  message.Clear();
  filling_ = &message;
  struct Done {
    LogReader& reader;
    ~Done() { reader.filling_ = nullptr; }
  } done{*this};
  std::string_view line;
  for (;;) {
    // The common lines: each ends with CR LF inside the buffer, is short and holds no NUL.
    // They are taken in a loop of locals, as the stores into the message could otherwise
    // be the reader's own fields for all the compiler knows; every other line goes through
    // ReadLine below.
    if (!skip_lf_ && pos_ < end_) {
      const char* const buffer = buffer_.get();
      const std::uint64_t* const bits = cr_bits_.get();
      // A line is taken here only when its CR ends before `limit`: an LF can follow it in the
      // buffer, and no NUL (next_nul_ is at or after pos_) lies before it.
      const std::size_t limit = std::min(end_ - 1, next_nul_ + 1);
      std::size_t pos = pos_;
      bool joined = false;  // the line follows one of this loop, after its CR LF
      // The CRs still ahead in word w; each one taken is cleared, so the next is the lowest.
      // The LF after a CR is no CR bit, so none of the bits left lies before pos.
      std::size_t w = pos / 64;
      std::uint64_t word = bits[w] & (~std::uint64_t{0} << (pos % 64));
      for (;;) {
        while (word == 0) word = bits[++w];  // the bit at end_ stops this
        const std::size_t cr = w * 64 + static_cast<std::size_t>(std::countr_zero(word));
        if (cr >= limit || buffer[cr + 1] != kLF || cr - pos > kMaxLineBytes) break;
        word &= word - 1;
        if (buffer[pos] == '.') {  // an empty line has its CR here, not a "."
          pos_ = cr + 2;
          return true;
        }
        message.AddBorrowedLine(std::string_view(buffer + pos, cr - pos), joined);
        joined = true;
        pos = cr + 2;
      }
      pos_ = pos;
    }
    if (!ReadLine(line)) break;
    if (!line.empty() && line[0] == '.') return true;
    if (line.data() == line_.data()) {
      message.AddLine(line);  // a long line lives in line_, which the next read reuses
    } else {
      message.AddBorrowedLine(line);
    }
  }
  // The text ended before a terminator: an unfinished block is a message only when it holds
  // some text, so trailing blank lines invent no empty record.
  const std::vector<std::string_view>& lines = message.Lines();
  const bool any_text =
      std::any_of(lines.begin(), lines.end(), [](std::string_view l) { return !l.empty(); });
  if (!any_text) message.Clear();
  return any_text;
}

std::unique_ptr<LogReader> OpenLogReader(FileSystem& fs, const std::string& path) {
  return std::make_unique<LogReader>(fs.OpenInput(path));
}

}  // namespace sorbit
