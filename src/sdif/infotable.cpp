#include "sdif/infotable.h"

namespace {

// Replaces with '?' every byte that a name-value value cannot hold: line ends, zero bytes and
// bytes that are not part of a valid UTF-8 sequence (file names need not be UTF-8).
std::string table_value(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += (c == '\n' || c == '\r' || c == '\0') ? '?' : static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t len = (c & 0xe0) == 0xc0   ? 2
                            : (c & 0xf0) == 0xe0 ? 3
                            : (c & 0xf8) == 0xf0 ? 4
                                                 : 0;
    bool ok = len != 0 && i + len <= text.size();
    std::uint32_t cp = len == 2 ? (c & 0x1f) : len == 3 ? (c & 0x0f) : (c & 0x07);
    for (std::size_t k = 1; ok && k < len; ++k) {
      const auto cc = static_cast<unsigned char>(text[i + k]);
      ok = (cc & 0xc0) == 0x80;
      cp = (cp << 6) | (cc & 0x3f);
    }
    static constexpr std::uint32_t kMinForLength[5] = {0, 0, 0x80, 0x800, 0x10000};
    ok = ok && cp >= kMinForLength[len] && cp <= 0x10ffff && !(cp >= 0xd800 && cp <= 0xdfff);
    if (ok) {
      out.append(text, i, len);
      i += len;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

}  // namespace

SDIFNameValueTable infotable(const gengetopt_args_info& args, const char* login, std::time_t now) {
  char buf[64] = {};
  std::string when;
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr && asctime_r(&local, buf) != nullptr) when = buf;
  while (!when.empty() && when.back() == '\n') when.pop_back();
  for (char& c : when) {
    if (c == ' ') c = '_';
  }

  SDIFNameValueTable t;
  t.AddNameValue("Program", "Glotmark");
  t.AddNameValue("Version", "1.0");
  t.AddNameValue("UserName", login != nullptr && *login != '\0' ? table_value(login) : "unknow");
  t.AddNameValue("FileName", table_value(args.input_arg));
  t.AddNameValue("Time", table_value(when));
  t.AddNameValue("WrittenBy", "LumbraLibrary");
  return t;
}
