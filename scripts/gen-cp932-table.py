#!/usr/bin/env python3
"""Writes src/text/Cp932Table.h: the CP932 <-> Unicode tables, taken from the C library's
iconv ("CP932", glibc), so that the project's one table agrees with the converter that
sjisgrep and the peers use.

Regenerate (on a glibc system) and check the result in:

    python3 scripts/gen-cp932-table.py > src/text/Cp932Table.h
    clang-format -i src/text/Cp932Table.h

The text tests compare every code of the table with iconv again at test time.
"""
import ctypes
import ctypes.util
import errno
import sys

libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_char_p),
                       ctypes.POINTER(ctypes.c_size_t), ctypes.POINTER(ctypes.c_char_p),
                       ctypes.POINTER(ctypes.c_size_t)]
FAILED = ctypes.c_size_t(-1).value


def convert(cd, data):
    """(errno or 0, bytes consumed, bytes produced) of one iconv call on `data` alone."""
    in_buf = ctypes.create_string_buffer(data, len(data))
    out_buf = ctypes.create_string_buffer(16)
    in_ptr = ctypes.cast(in_buf, ctypes.c_char_p)
    in_left = ctypes.c_size_t(len(data))
    out_ptr = ctypes.cast(out_buf, ctypes.c_char_p)
    out_left = ctypes.c_size_t(16)
    libc.iconv(cd, None, None, None, None)
    result = libc.iconv(cd, ctypes.byref(in_ptr), ctypes.byref(in_left), ctypes.byref(out_ptr),
                        ctypes.byref(out_left))
    error = ctypes.get_errno() if result == FAILED else 0
    return error, len(data) - in_left.value, out_buf.raw[:16 - out_left.value]


def open_cd(to, fr):
    cd = libc.iconv_open(to, fr)
    if cd is None or cd == FAILED:
        sys.exit(f"iconv cannot convert from {fr.decode()} to {to.decode()}")
    return cd


def one_code_point(utf8, what):
    text = utf8.decode("utf-8")
    if len(text) != 1 or ord(text) > 0xFFFE:
        sys.exit(f"{what} decodes to {text!r}: the table holds one BMP character a code")
    return ord(text)


LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
NONE = 0xFFFF

decoder = open_cd(b"UTF-8", b"CP932")
single = []
for b in range(256):
    error, _, out = convert(decoder, bytes([b]))
    if error == 0:
        single.append(one_code_point(out, f"byte {b:#04x}"))
    elif error == errno.EINVAL:
        if b not in LEADS:
            sys.exit(f"iconv takes byte {b:#04x} for a lead byte")
        single.append(NONE)
    else:
        single.append(NONE)
if [b for b in range(256) if single[b] == NONE and convert(decoder, bytes([b]))[0] == errno.EINVAL] != LEADS:
    sys.exit("iconv's lead bytes are not 0x81-0x9F and 0xE0-0xFC")

double = []
for lead in LEADS:
    row = []
    for trail in range(256):
        error, used, out = convert(decoder, bytes([lead, trail]))
        if error == 0 and used == 2:
            row.append(one_code_point(out, f"code {lead:02X}{trail:02X}"))
        elif error == errno.EILSEQ:
            row.append(NONE)
        else:
            sys.exit(f"code {lead:02X}{trail:02X}: iconv says {error}, {used} bytes")
    double.append(row)

# Every code a code point decodes from, and the code iconv's encoder writes for it.
decodes_from = {}
for b in range(256):
    if single[b] != NONE:
        decodes_from.setdefault(single[b], []).append(b)
for i, lead in enumerate(LEADS):
    for trail in range(256):
        if double[i][trail] != NONE:
            decodes_from.setdefault(double[i][trail], []).append(lead << 8 | trail)

encoder = open_cd(b"CP932", b"UTF-8")
picks = {}
dropped = []
for cp in range(0x110000):
    if 0xD800 <= cp <= 0xDFFF:
        continue
    error, _, out = convert(encoder, chr(cp).encode("utf-8"))
    if error == 0:
        if len(out) == 0:
            dropped.append(cp)  # iconv writes nothing for it: no CP932 form
        elif len(out) == 1:
            picks[cp] = out[0]
        elif len(out) == 2:
            picks[cp] = out[0] << 8 | out[1]
        else:
            sys.exit(f"U+{cp:04X} encodes to {out!r}")

encode_points = []
encode_codes = []
for cp in sorted(set(picks) | set(decodes_from)):
    codes = sorted(decodes_from.get(cp, []))
    if cp in picks:
        codes = [picks[cp]] + [c for c in codes if c != picks[cp]]
    encode_points.extend([cp] * len(codes))
    encode_codes.extend(codes)


def rows(values, width, fmt):
    return "\n".join("    " + " ".join(fmt.format(v) + "," for v in values[i:i + width])
                     for i in range(0, len(values), width))


print(f"""// CP932 <-> Unicode tables, generated from the C library's iconv ("CP932") by
// scripts/gen-cp932-table.py: do not edit; regenerate (the script says how).
//
// kCp932Single: the code point of each single byte; kCp932None for the lead bytes and the bytes
// that do not decode. kCp932Double: a row per lead byte (0x81-0x9F, then 0xE0-0xFC), the code
// point of each lead-trail pair, kCp932None where the pair does not decode.
// kCp932EncodeCodePoints and kCp932EncodeCodes: every (code point, CP932 code) pair, sorted by
// code point; a code point's first pair holds the code iconv writes for it, the rest the other
// codes that decode to it, ascending.
#pragma once

#include <cstdint>

namespace sorbit::text::detail {{

inline constexpr char16_t kCp932None = 0xFFFF;
inline constexpr int kCp932LeadRows = {len(LEADS)};

inline constexpr char16_t kCp932Single[256] = {{
{rows(single, 8, "0x{:04X}")}
}};

inline constexpr char16_t kCp932Double[kCp932LeadRows][256] = {{""")
for i, lead in enumerate(LEADS):
    print(f"    // lead 0x{lead:02X}\n    {{\n{rows(double[i], 8, '0x{:04X}')}\n    }},")
print(f"""}};

inline constexpr int kCp932EncodePairs = {len(encode_codes)};

inline constexpr char32_t kCp932EncodeCodePoints[kCp932EncodePairs] = {{
{rows(encode_points, 8, "0x{:04X}")}
}};

inline constexpr std::uint16_t kCp932EncodeCodes[kCp932EncodePairs] = {{
{rows(encode_codes, 8, "0x{:04X}")}
}};

}}  // namespace sorbit::text::detail""")
multi = sum(1 for cp in decodes_from if len(decodes_from[cp]) > 1)
only_encoded = sum(1 for cp in picks if cp not in decodes_from)
print(f"{sum(v != NONE for v in single)} single bytes, "
      f"{sum(v != NONE for row in double for v in row)} pairs, {multi} code points with several "
      f"codes, {only_encoded} encoded only, {len(dropped)} written as nothing "
      f"({', '.join(f'U+{cp:04X}' for cp in dropped[:4])}...)", file=sys.stderr)
