#include <algorithm>
#include <cctype>
#include <map>

#include "psola/sound_writer.h"

int file_format_of(const std::string& path) {
  static const std::map<std::string, int> formats = {
      {"wav", AF_FILE_WAVE},        {"wave", AF_FILE_WAVE},     {"aif", AF_FILE_AIFF},
      {"aiff", AF_FILE_AIFF},       {"aifc", AF_FILE_AIFFC},    {"au", AF_FILE_NEXTSND},
      {"snd", AF_FILE_NEXTSND},     {"caf", AF_FILE_CAF},       {"flac", AF_FILE_FLAC},
      {"sf", AF_FILE_IRCAM},        {"ircam", AF_FILE_IRCAM},   {"nist", AF_FILE_NIST_SPHERE},
      {"sph", AF_FILE_NIST_SPHERE}, {"voc", AF_FILE_VOC},       {"avr", AF_FILE_AVR},
      {"iff", AF_FILE_IFF_8SVX},    {"8svx", AF_FILE_IFF_8SVX}, {"smp", AF_FILE_SAMPLEVISION},
  };
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return AF_FILE_UNKNOWN;
  }
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto it = formats.find(ext);
  return it == formats.end() ? AF_FILE_UNKNOWN : it->second;
}
