// Building a version block at compile time, in the layout of a Windows VS_VERSIONINFO
// resource, so that the program file carries its version the way the version reader
// (Version.h) expects it.
//
// Layout: a tree of nodes, all little-endian and 32-bit aligned. Each node is
//   uint16 wLength        bytes of the node, its children included
//   uint16 wValueLength   bytes of the value (for text values: UTF-16 units, NUL included)
//   uint16 wType          0 binary value, 1 text value
//   UTF-16 key, NUL-terminated, padded to 4 bytes
//   value, padded to 4 bytes
//   children
// The root "VS_VERSION_INFO" holds the VS_FIXEDFILEINFO as its value, then a
// "StringFileInfo" node with one string table ("041103a4": Japanese, code page 932) of
// version texts, and a "VarFileInfo" node with the "Translation" pair.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace sorbit::platform::version_block {

struct Text {
  std::string_view name;
  std::string_view value;  // ASCII
};

struct Definition {
  uint16_t file_version[4];
  uint16_t product_version[4];
  uint16_t language;   // 0x0411 Japanese
  uint16_t code_page;  // 932
  std::initializer_list<Text> texts;
};

inline constexpr std::size_t kCapacity = 4096;

class Builder {
 public:
  constexpr explicit Builder(const Definition& d) {
    std::size_t root = Begin("VS_VERSION_INFO", 52, 0);
    const uint32_t fixed[13] = {0xFEEF04BD,
                                0x00010000,
                                Pack(d.file_version[0], d.file_version[1]),
                                Pack(d.file_version[2], d.file_version[3]),
                                Pack(d.product_version[0], d.product_version[1]),
                                Pack(d.product_version[2], d.product_version[3]),
                                0x3F,     // file flags mask
                                0,        // file flags
                                0x40004,  // VOS_NT_WINDOWS32
                                1,        // VFT_APP
                                0,
                                0,
                                0};
    for (uint32_t v : fixed) Put32(v);
    Align();

    std::size_t string_info = Begin("StringFileInfo", 0, 1);
    char table_key[9] = {};
    HexKey(table_key, d.language, d.code_page);
    std::size_t table = Begin(std::string_view(table_key, 8), 0, 1);
    for (const Text& text : d.texts) {
      std::size_t node = Begin(text.name, static_cast<uint16_t>(text.value.size() + 1), 1);
      PutUtf16(text.value);
      Align();
      End(node);
    }
    End(table);
    End(string_info);

    std::size_t var_info = Begin("VarFileInfo", 0, 1);
    std::size_t translation = Begin("Translation", 4, 0);
    Put16(d.language);
    Put16(d.code_page);
    End(translation);
    End(var_info);
    End(root);
  }

  constexpr std::size_t size() const { return size_; }
  constexpr uint8_t operator[](std::size_t i) const { return bytes_[i]; }

 private:
  static constexpr uint32_t Pack(uint16_t high, uint16_t low) {
    return (static_cast<uint32_t>(high) << 16) | low;
  }
  static constexpr void HexKey(char* out, uint16_t language, uint16_t code_page) {
    constexpr char kDigits[] = "0123456789abcdef";
    uint32_t both = Pack(language, code_page);
    for (int i = 7; i >= 0; --i) {
      out[i] = kDigits[both & 0xF];
      both >>= 4;
    }
  }
  constexpr void Put8(uint8_t v) {
    if (size_ >= kCapacity) throw "version block too large";  // stops the compilation
    bytes_[size_++] = v;
  }
  constexpr void Put16(uint16_t v) {
    Put8(static_cast<uint8_t>(v & 0xFF));
    Put8(static_cast<uint8_t>(v >> 8));
  }
  constexpr void Put32(uint32_t v) {
    Put16(static_cast<uint16_t>(v & 0xFFFF));
    Put16(static_cast<uint16_t>(v >> 16));
  }
  constexpr void PutUtf16(std::string_view ascii) {
    for (char c : ascii) {
      if (static_cast<unsigned char>(c) > 0x7F) throw "version texts must be ASCII";
      Put16(static_cast<uint16_t>(c));
    }
    Put16(0);
  }
  constexpr void Align() {
    while (size_ % 4 != 0) Put8(0);
  }
  constexpr std::size_t Begin(std::string_view key, uint16_t value_length, uint16_t type) {
    Align();
    std::size_t start = size_;
    Put16(0);  // wLength, set by End
    Put16(value_length);
    Put16(type);
    PutUtf16(key);
    Align();
    return start;
  }
  constexpr void End(std::size_t start) {
    std::size_t length = size_ - start;
    bytes_[start] = static_cast<uint8_t>(length & 0xFF);
    bytes_[start + 1] = static_cast<uint8_t>(length >> 8);
  }

  std::array<uint8_t, kCapacity> bytes_{};
  std::size_t size_ = 0;
};

// The block of `Builder` cut to its size, ready to be placed in the version section.
template <std::size_t N>
constexpr std::array<uint8_t, N> Trim(const Builder& built) {
  std::array<uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = built[i];
  return out;
}

}  // namespace sorbit::platform::version_block
