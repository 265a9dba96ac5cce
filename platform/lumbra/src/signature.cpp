// Signatures, data type codes, library set-up and text helpers.
#include <cstdio>

#include "bytes.h"
#include "lumbra/lumbra.h"

std::string SdifSignatureToString(SdifSignature sig) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((sig >> (24 - 8 * i)) & 0xffu);
  return s;
}

bool SdifSignatureIsValid(SdifSignature sig) {
  for (int i = 0; i < 4; ++i) {
    const unsigned c = (sig >> (8 * i)) & 0xffu;
    if (c < 0x21 || c > 0x7e) return false;
  }
  return true;
}

SdifSignature SdifStringToSignature(std::string_view text) {
  if (text.size() != 4) {
    throw SDIFUnDefined("signature \"" + std::string(text) + "\" is not four characters long");
  }
  const SdifSignature sig = SdifSignatureConst(text[0], text[1], text[2], text[3]);
  if (!SdifSignatureIsValid(sig)) {
    throw SDIFUnDefined("signature \"" + std::string(text) +
                        "\" holds a blank or a character that is not printable ASCII");
  }
  return sig;
}

bool SdifDataTypeIsKnown(std::uint32_t code) {
  switch (code) {
    case eFloat4:
    case eFloat8:
    case eInt1:
    case eInt2:
    case eInt4:
    case eInt8:
    case eUInt1:
    case eUInt2:
    case eUInt4:
    case eUInt8:
    case eText:
    case eByte:
      return true;
    default:
      return false;
  }
}

std::string SdifDataTypeName(std::uint32_t code) {
  switch (code) {
    case eFloat4:
      return "float32";
    case eFloat8:
      return "float64";
    case eInt1:
      return "int8";
    case eInt2:
      return "int16";
    case eInt4:
      return "int32";
    case eInt8:
      return "int64";
    case eUInt1:
      return "uint8";
    case eUInt2:
      return "uint16";
    case eUInt4:
      return "uint32";
    case eUInt8:
      return "uint64";
    case eText:
      return "text";
    case eByte:
      return "bytes";
    default:
      return "unknown";
  }
}

void LumbraInit(const std::string& /*options*/) {}
void LumbraEnd() {}

namespace lumbra_detail {

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int len = 0;
    std::uint32_t cp = 0;
    if ((c & 0xe0) == 0xc0) {
      len = 2;
      cp = c & 0x1f;
    } else if ((c & 0xf0) == 0xe0) {
      len = 3;
      cp = c & 0x0f;
    } else if ((c & 0xf8) == 0xf0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (int k = 1; k < len; ++k) {
      const auto cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xc0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3f);
    }
    static constexpr std::uint32_t kMinForLength[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinForLength[len] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
    i += len;
  }
  return true;
}

std::string_view HeaderText(std::string_view text, const std::string& what) {
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  if (text.find('\0') != std::string_view::npos) {
    throw SDIFAsciiChunkError(what + ": zero byte inside the text");
  }
  if (!IsValidUtf8(text)) throw SDIFAsciiChunkError(what + ": text is not valid UTF-8");
  return text;
}

std::string SigForMessage(std::uint32_t sig) {
  if (SdifSignatureIsValid(sig)) {
    std::string s(1, '"');
    s += SdifSignatureToString(sig);
    s += '"';
    return s;
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(sig));
  return buf;
}

}  // namespace lumbra_detail
