// Helpers shared by the library's tests: raw bytes of files and big-endian pieces.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "lumbra/lumbra.h"

namespace lumbratest {

using Bytes = std::vector<unsigned char>;

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const Bytes& b) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline void Put32(Bytes& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<unsigned char>(v >> s));
}

inline void PutSig(Bytes& b, const char* sig) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(sig[i]));
}

inline void PutF64(Bytes& b, double v) {
  std::uint64_t u;
  std::memcpy(&u, &v, 8);
  Put32(b, static_cast<std::uint32_t>(u >> 32));
  Put32(b, static_cast<std::uint32_t>(u));
}

inline void PutF32(Bytes& b, float v) {
  std::uint32_t u;
  std::memcpy(&u, &v, 4);
  Put32(b, u);
}

inline void Set32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

inline Bytes FileHeader() {
  Bytes b;
  PutSig(b, "SDIF");
  Put32(b, 8);
  Put32(b, 3);
  Put32(b, 1);
  return b;
}

// Appends a frame holding one float32 matrix of rows x cols values (row by row).
inline void PutFloatFrame(Bytes& b, const char* fsig, double t, const char* msig,
                          std::uint32_t rows, std::uint32_t cols,
                          const std::vector<float>& values) {
  const std::uint32_t data = rows * cols * 4, padded = (data + 7) / 8 * 8;
  PutSig(b, fsig);
  Put32(b, 16 + 16 + padded);
  PutF64(b, t);
  Put32(b, 0);
  Put32(b, 1);
  PutSig(b, msig);
  Put32(b, 4);
  Put32(b, rows);
  Put32(b, cols);
  for (const float v : values) PutF32(b, v);
  for (std::uint32_t k = data; k < padded; ++k) b.push_back(0);
}

}  // namespace lumbratest
