// Big-endian encoding of the numbers of an SDIF file, and small text helpers.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace lumbra_detail {

inline std::uint32_t LoadBE32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

inline std::uint64_t LoadBE64(const unsigned char* p) {
  return (std::uint64_t{LoadBE32(p)} << 32) | LoadBE32(p + 4);
}

inline void StoreBE32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

inline void StoreBE64(unsigned char* p, std::uint64_t v) {
  StoreBE32(p, static_cast<std::uint32_t>(v >> 32));
  StoreBE32(p + 4, static_cast<std::uint32_t>(v));
}

inline double LoadBEDouble(const unsigned char* p) {
  return std::bit_cast<double>(LoadBE64(p));
}

inline void StoreBEDouble(unsigned char* p, double v) {
  StoreBE64(p, std::bit_cast<std::uint64_t>(v));
}

// Reverses, in place, the byte order of n elements of elem_size bytes when the host is
// little-endian (file order <-> host order). Elements of one byte are left alone.
inline void SwapElements(unsigned char* p, std::size_t n, std::size_t elem_size) {
  if constexpr (std::endian::native == std::endian::big) return;
  switch (elem_size) {
    case 2:
      for (std::size_t i = 0; i < n; ++i, p += 2) {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        v = __builtin_bswap16(v);
        std::memcpy(p, &v, 2);
      }
      break;
    case 4:
      for (std::size_t i = 0; i < n; ++i, p += 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        v = __builtin_bswap32(v);
        std::memcpy(p, &v, 4);
      }
      break;
    case 8:
      for (std::size_t i = 0; i < n; ++i, p += 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        v = __builtin_bswap64(v);
        std::memcpy(p, &v, 8);
      }
      break;
    default:
      break;
  }
}

// Padding that brings n bytes to a multiple of 8.
constexpr std::int64_t Padding8(std::int64_t n) {
  return (8 - n % 8) % 8;
}

// True when text is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Blanks of the header texts (tables and type declarations): white space and line ends.
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// s without the blanks that open and close it.
inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The text of a header matrix without the zero bytes that pad it. Throws SDIFAsciiChunkError
// "<what>: zero byte inside the text" or "<what>: text is not valid UTF-8".
std::string_view HeaderText(std::string_view text, const std::string& what);

// Signature as text for messages: "1FQ0", or its hexadecimal value when not printable.
std::string SigForMessage(std::uint32_t sig);

}  // namespace lumbra_detail
