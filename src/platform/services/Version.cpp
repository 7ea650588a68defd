// Reading the version block back: the ELF section that holds it, then its nodes, each length
// and offset checked against the bytes read.
#include "platform/services/Version.h"

#include <elf.h>

#include <cstring>

#include "platform/posix/PosixFile.h"

namespace sorbit::platform {
namespace {

// A block larger than this is not ours (ours is well under 1 KiB).
constexpr uint64_t kMaxBlockSize = 64 * 1024;
// Section tables beyond this are not read (real programs have a few dozen sections).
constexpr uint64_t kMaxSections = 65536;

// A regular file opened for reading at offsets, its size known.
class File {
 public:
  explicit File(const std::string& path) {
    int error = 0;
    if (std::optional<OpenedFile> opened = OpenRegularFile(path, error)) {
      size_ = static_cast<uint64_t>(opened->status.st_size);
      fd_ = std::move(opened->fd);
    }
  }
  bool ok() const { return fd_.valid(); }

  // Reads exactly `length` bytes at `offset`; false when they are not all in the file.
  bool ReadAt(uint64_t offset, void* out, uint64_t length) const {
    if (offset > size_ || length > size_ - offset) return false;
    std::size_t got = 0;
    return ReadFullAt(fd_.get(), out, length, static_cast<long long>(offset), got) == 0 &&
           got == length;
  }

 private:
  FileDescriptor fd_;
  uint64_t size_ = 0;
};

// Finds the version section of an ELF64 little-endian file: its offset and size.
bool FindVersionSection(const File& file, uint64_t& offset, uint64_t& size) {
  Elf64_Ehdr header;
  if (!file.ReadAt(0, &header, sizeof header)) return false;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_ident[EI_DATA] != ELFDATA2LSB || header.e_shentsize != sizeof(Elf64_Shdr) ||
      header.e_shoff == 0) {
    return false;
  }
  uint64_t count = header.e_shnum;
  uint64_t names_index = header.e_shstrndx;
  if (count == 0 || names_index == SHN_XINDEX) {
    // Many sections: the real numbers are kept in section 0.
    Elf64_Shdr first;
    if (!file.ReadAt(header.e_shoff, &first, sizeof first)) return false;
    if (count == 0) count = first.sh_size;
    if (names_index == SHN_XINDEX) names_index = first.sh_link;
  }
  if (count == 0 || count > kMaxSections || names_index >= count) return false;

  std::vector<Elf64_Shdr> sections(count);
  if (!file.ReadAt(header.e_shoff, sections.data(), count * sizeof(Elf64_Shdr))) return false;
  const Elf64_Shdr& names = sections[names_index];
  if (names.sh_type != SHT_STRTAB || names.sh_size > 16 * 1024 * 1024) return false;
  std::string name_table(names.sh_size, '\0');
  if (!file.ReadAt(names.sh_offset, name_table.data(), names.sh_size)) return false;

  for (const Elf64_Shdr& section : sections) {
    if (section.sh_name >= name_table.size() || section.sh_type == SHT_NOBITS) continue;
    std::string_view name(name_table.c_str() + section.sh_name);
    if (name != kVersionSectionName) continue;
    offset = section.sh_offset;
    size = section.sh_size;
    return true;
  }
  return false;
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint64_t Align4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

// One node of the block (see VersionBlock.h), checked to lie inside [begin, end).
struct Node {
  uint64_t begin = 0;
  uint64_t end = 0;  // begin + wLength
  uint16_t value_length = 0;
  uint16_t type = 0;
  std::u16string key;
  uint64_t value = 0;     // offset of the value
  uint64_t children = 0;  // offset of the first child
};

std::optional<Node> ReadNode(const std::vector<uint8_t>& data, uint64_t begin, uint64_t limit) {
  if (begin + 6 > limit || limit > data.size()) return std::nullopt;
  Node node;
  node.begin = begin;
  uint16_t length = Get16(&data[begin]);
  node.value_length = Get16(&data[begin + 2]);
  node.type = Get16(&data[begin + 4]);
  if (length < 6 || begin + length > limit) return std::nullopt;
  node.end = begin + length;
  uint64_t pos = begin + 6;
  for (;;) {
    if (pos + 2 > node.end) return std::nullopt;
    char16_t c = static_cast<char16_t>(Get16(&data[pos]));
    pos += 2;
    if (c == 0) break;
    node.key.push_back(c);
  }
  node.value = Align4(pos);
  uint64_t value_bytes = node.type == 1 ? uint64_t{node.value_length} * 2 : node.value_length;
  if (node.value > node.end || value_bytes > node.end - node.value) return std::nullopt;
  node.children = Align4(node.value + value_bytes);
  return node;
}

std::u16string Key(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The root node with a valid fixed block, or nullopt.
std::optional<Node> ReadRoot(const std::vector<uint8_t>& data) {
  std::optional<Node> root = ReadNode(data, 0, data.size());
  if (!root || root->key != Key("VS_VERSION_INFO") || root->type != 0 ||
      root->value_length != sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  uint32_t signature = 0;
  std::memcpy(&signature, &data[root->value], sizeof signature);
  if (signature != kFixedFileInfoSignature) return std::nullopt;
  return root;
}

// The child of `parent` called `key` (or the first child when `key` is empty).
std::optional<Node> FindChild(const std::vector<uint8_t>& data, const Node& parent,
                              std::u16string_view key) {
  uint64_t pos = parent.children;
  while (pos + 6 <= parent.end) {
    std::optional<Node> child = ReadNode(data, pos, parent.end);
    if (!child) return std::nullopt;
    if (key.empty() || child->key == key) return child;
    pos = Align4(child->end);
  }
  return std::nullopt;
}

void AppendUtf8(std::string& out, char16_t unit) {
  uint32_t c = unit;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Reads the block of `path`: its bytes, checked to be a valid block.
std::optional<std::vector<uint8_t>> ReadBlock(const std::string& path) {
  File file(path);
  if (!file.ok()) return std::nullopt;
  uint64_t offset = 0;
  uint64_t size = 0;
  if (!FindVersionSection(file, offset, size) || size < 6) return std::nullopt;
  uint8_t head[2];
  if (!file.ReadAt(offset, head, 2)) return std::nullopt;
  uint64_t length = Get16(head);
  if (length < 6 || length > size || length > kMaxBlockSize) return std::nullopt;
  std::vector<uint8_t> block(length);
  if (!file.ReadAt(offset, block.data(), length)) return std::nullopt;
  if (!ReadRoot(block)) return std::nullopt;
  return block;
}

}  // namespace

uint32_t GetFileVersionInfoSize(const std::string& path) {
  std::optional<std::vector<uint8_t>> block = ReadBlock(path);
  return block ? static_cast<uint32_t>(block->size()) : 0;
}

bool GetFileVersionInfo(const std::string& path, uint32_t size, std::vector<uint8_t>& data) {
  std::optional<std::vector<uint8_t>> block = ReadBlock(path);
  if (!block || size == 0) return false;
  if (block->size() > size) block->resize(size);
  data = std::move(*block);
  return true;
}

const VS_FIXEDFILEINFO* VerQueryValue(const std::vector<uint8_t>& data,
                                      std::string_view sub_block) {
  if (sub_block != "\\") return nullptr;
  std::optional<Node> root = ReadRoot(data);
  if (!root) return nullptr;
  // The value sits 4-byte aligned in storage from operator new, which is aligned for any
  // object; VS_FIXEDFILEINFO is an implicit-lifetime type made of 32-bit fields.
  return reinterpret_cast<const VS_FIXEDFILEINFO*>(data.data() + root->value);
}

std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data, std::string_view name) {
  std::optional<Node> root = ReadRoot(data);
  if (!root) return std::nullopt;
  std::optional<Node> info = FindChild(data, *root, Key("StringFileInfo"));
  if (!info) return std::nullopt;
  std::optional<Node> table = FindChild(data, *info, u"");
  if (!table) return std::nullopt;
  std::optional<Node> text = FindChild(data, *table, Key(name));
  if (!text || text->type != 1) return std::nullopt;
  std::string out;
  for (uint64_t i = 0; i < text->value_length; ++i) {
    char16_t unit = static_cast<char16_t>(Get16(&data[text->value + 2 * i]));
    if (unit == 0) break;
    AppendUtf8(out, unit);
  }
  return out;
}

}  // namespace sorbit::platform
