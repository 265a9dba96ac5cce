#include "sdif/header_keys.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace {

bool external(const HeaderFacts& f) {
  return f.args->f0_file_given != 0;
}

std::string local_time_text(std::time_t now) {
  char buf[64] = {};
  std::string when;
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr && asctime_r(&local, buf) != nullptr) when = buf;
  while (!when.empty() && when.back() == '\n') when.pop_back();
  for (char& c : when) {
    if (c == ' ') c = '_';
  }
  return table_value(when);
}

std::string user_name(const HeaderFacts& f) {
  return f.login != nullptr && *f.login != '\0' ? table_value(f.login) : "unknow";
}

std::string f0_bound(const HeaderFacts& f, double hz) {
  return external(f) ? "None" : header_number(hz);
}

std::string lpc_order(const HeaderFacts& f) {
  return f.args->method_epocs_arg == "frob" ? std::to_string(f.lpc_order) : std::string("None");
}

using HT = HeaderTable;
using KC = KeyCompare;

const std::array kKeys = {
    HeaderKey{"Program", HT::info, [](const HeaderFacts&) { return std::string("Glotmark"); },
              kKeyNotCompared, KC::text, true},
    HeaderKey{"Version", HT::info, [](const HeaderFacts&) { return std::string("1.0"); },
              kKeyNotCompared, KC::text, true},
    HeaderKey{"UserName", HT::info, user_name, kKeyNotCompared, KC::text, true},
    HeaderKey{"FileName", HT::info,
              [](const HeaderFacts& f) { return table_value(f.args->input_arg); }, kKeyNotCompared,
              KC::text, true},
    HeaderKey{"SoundFingerprint", HT::info,
              [](const HeaderFacts& f) { return table_value(f.fingerprint); }, kKeySound, KC::text,
              true},
    HeaderKey{"Time", HT::info, [](const HeaderFacts& f) { return local_time_text(f.time); },
              kKeyNotCompared, KC::text, true},
    HeaderKey{"WrittenBy", HT::info,
              [](const HeaderFacts&) { return std::string("LumbraLibrary"); }, kKeyNotCompared,
              KC::text, true},

    HeaderKey{"External_f0", HT::parameters,
              [](const HeaderFacts& f) { return std::string(external(f) ? "Yes" : "No"); },
              kKeyNotCompared, KC::text, true},  // the gate of the reuse test, not a key of it
    HeaderKey{"f0_fmin", HT::parameters,
              [](const HeaderFacts& f) { return f0_bound(f, f.args->fmin_arg); },
              kKeyEveryStep | kKeyF0File, KC::text_unless_external, true},
    HeaderKey{"f0_fmax", HT::parameters,
              [](const HeaderFacts& f) { return f0_bound(f, f.args->fmax_arg); },
              kKeyEveryStep | kKeyF0File, KC::text_unless_external, true},
    HeaderKey{"MethodEpocs", HT::parameters,
              [](const HeaderFacts& f) { return table_value(f.args->method_epocs_arg); },
              kKeyEveryStep, KC::text, true},
    HeaderKey{"LpcOrder", HT::parameters, lpc_order, kKeyEveryStep, KC::text_when_frob, true},
    HeaderKey{
        "Force_fcmax", HT::parameters,
        [](const HeaderFacts& f) { return std::string(f.args->forcefc_given ? "Yes" : "No"); },
        kKeyForceFcmax, KC::opposite_yes_no, false},
    HeaderKey{"VoiceThreshold", HT::parameters,
              [](const HeaderFacts& f) { return header_number(f.args->voice_threshold_arg); },
              kKeyVoiceThreshold, KC::text, true},
    HeaderKey{"TransThreshold", HT::parameters,
              [](const HeaderFacts& f) { return header_number(f.args->trans_threshold_arg); },
              kKeyTransThreshold, KC::text, true},
    HeaderKey{"MarkAlpha", HT::parameters,
              [](const HeaderFacts& f) { return header_number(f.args->alpha_arg); },
              kKeyMarkParameters, KC::text, true},
    HeaderKey{"MarkBeta", HT::parameters,
              [](const HeaderFacts& f) { return header_number(f.args->beta_arg); },
              kKeyMarkParameters, KC::text, true},
    HeaderKey{"MarkGamma", HT::parameters,
              [](const HeaderFacts& f) { return header_number(f.args->gamma_arg); },
              kKeyMarkParameters, KC::text, true},
};

}  // namespace

std::span<const HeaderKey> header_keys() {
  return kKeys;
}

const HeaderKey* find_header_key(const std::string& name) {
  for (const HeaderKey& k : kKeys)
    if (name == k.name) return &k;
  return nullptr;
}

bool key_differs(const HeaderKey& key, const std::string& stored, const HeaderFacts& facts) {
  switch (key.compare) {
    case KeyCompare::text:
      return stored != key.value(facts);
    case KeyCompare::text_unless_external:
      return !external(facts) && stored != key.value(facts);
    case KeyCompare::text_when_frob:
      return facts.args->method_epocs_arg == "frob" && stored != key.value(facts);
    case KeyCompare::opposite_yes_no: {
      const std::string now = key.value(facts);
      return (now == "Yes" && stored == "No") || (now == "No" && stored == "Yes");
    }
  }
  return true;
}

std::string header_number(double x) {
  char buffer[64];  // every ordinary value; huge ones (up to 316 characters) take the long path
  const int n = std::snprintf(buffer, sizeof buffer, "%f", x);
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof buffer) return buffer;
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), "%f", x);
  big.resize(static_cast<std::size_t>(n));
  return big;
}

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
