// Output of the f0 track through the SDIF library.
#include <stdexcept>
#include <string>

#include "harmex/harmex.h"
#include "lumbra/lumbra.h"

namespace harmex {
namespace {

// Table values must be one line of valid UTF-8: keep printable ASCII, escape the rest.
std::string printable(const std::string& text) {
  std::string out;
  for (const unsigned char ch : text) {
    if (ch >= 0x20 && ch < 0x7f) {
      out += static_cast<char>(ch);
    } else {
      static const char* const kHex = "0123456789abcdef";
      out += "\\x";
      out += kHex[ch >> 4];
      out += kHex[ch & 15];
    }
  }
  return out;
}

}  // namespace

void write_f0_sdif(const std::string& path, const Track& track,
                   const std::vector<std::pair<std::string, std::string>>& params) {
  const SdifSignature fq0 = SdifSignatureConst('1', 'F', 'Q', '0');
  try {
    SDIFNameValueTable table;
    for (const auto& [name, value] : params) table.AddNameValue(name, printable(value));
    SDIFEntity out;  // its destructor discards the file unless Close succeeded
    out.AddNVT(table);
    if (!out.OpenWrite(path)) throw std::runtime_error("cannot create " + path);
    SDIFFrame frame;
    frame.SetHeader(fq0, 0, 0.0);
    frame.AddMatrix(SDIFMatrix(fq0, 1, 1, eFloat4));
    SDIFMatrix& matrix = frame.GetMatrix(0);
    for (std::size_t k = 0; k < track.t_s.size(); ++k) {
      frame.SetTime(track.t_s[k]);
      matrix.Set(0, 0, track.f0_hz[k]);
      frame.Write(out);
    }
    out.Close();
  } catch (const SDIFException& e) {
    throw std::runtime_error("cannot write " + path + ": " + e.Text());
  }
}

}  // namespace harmex
