// Reuse tests on the headers of earlier files.
#include "driver/reuse.h"

#include <cstdio>

#include "driver/runstate.h"
#include "lumbra/lumbra.h"

namespace {

constexpr std::size_t kParameterTable = 1;  // index of the parameter table in the header

// Compares the keys every step shares and those of `keys`; true when one differs.
bool keys_differ(const StoredHeader& h, const gengetopt_args_info& args, const ReuseKeys& keys) {
  const auto value = [&](const char* key) { return stored_value(h, key); };
  if (!args.f0_file_given) {
    if (value("f0_fmin") != format_f(args.fmin_arg)) return true;
    if (value("f0_fmax") != format_f(args.fmax_arg)) return true;
  }
  const std::string method = value("MethodEpocs");
  if (method != args.method_epocs_arg) return true;
  if (method == "frob" && value("LpcOrder") != format_d(args.orderLPC_arg)) return true;
  if (keys.force_fcmax) {
    const std::string forced = value("Force_fcmax");
    if (args.forcefc_given && forced == "No") return true;
    if (!args.forcefc_given && forced == "Yes") return true;
  }
  if (keys.voice_threshold && value("VoiceThreshold") != format_f(args.voice_threshold_arg))
    return true;
  if (keys.trans_threshold && value("TransThreshold") != format_f(args.trans_threshold_arg))
    return true;
  if (keys.mark_params) {
    if (value("MarkAlpha") != format_f(args.alpha_arg)) return true;
    if (value("MarkBeta") != format_f(args.beta_arg)) return true;
    if (value("MarkGamma") != format_f(args.gamma_arg)) return true;
  }
  if (keys.segment_type != nullptr && value("SegmentType") != keys.segment_type) return true;
  return false;
}

}  // namespace

std::string format_f(double x) {
  char buffer[200];  // enough for every ordinary value; huge ones take the longer path
  const int n = std::snprintf(buffer, sizeof buffer, "%f", x);
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof buffer) return buffer;
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), "%f", x);
  big.resize(static_cast<std::size_t>(n));
  return big;
}

std::string format_d(int x) {
  return std::to_string(x);
}

std::string stored_value(const StoredHeader& header, const std::string& key) {
  for (const auto& [name, value] : header)
    if (name == key) return value;
  return "";
}

bool header_differs(const StoredHeader& header, const gengetopt_args_info& args,
                    const ReuseKeys& keys) {
  const bool external = args.f0_file_given != 0;
  const bool forced = args.force_given != 0;
  if (external && !forced) return true;
  const std::string stored_external = stored_value(header, "External_f0");
  if (!external && stored_external == "Yes") return true;
  if ((!external && stored_external == "No") || (external && forced))
    return keys_differ(header, args, keys);
  return false;  // no -I and an External_f0 that is neither "Yes" nor "No"
}

bool read_stored_header(const std::string& file, StoredHeader& header) {
  header.clear();
  try {
    SDIFEntity entity;
    if (!entity.OpenRead(file)) return false;
    for (std::size_t i = kParameterTable; i < entity.GetNbNVT(); ++i) {
      const auto& entries = entity.GetNVT(i).Entries();
      header.insert(header.end(), entries.begin(), entries.end());
    }
    entity.Close();
  } catch (const SDIFException&) {
    return false;
  }
  return true;
}

bool must_recompute(const RunState& s, const std::vector<std::string>& sdif_files,
                    const std::vector<std::pair<std::string, ReuseKeys>>& headers) {
  for (const auto& file : sdif_files)
    if (!SdifCheckFileFormat(file)) return true;
  for (const auto& [file, keys] : headers) {
    StoredHeader header;
    if (!read_stored_header(file, header)) return true;
    if (header_differs(header, s.args, keys)) return true;
  }
  return false;
}

bool f0_must_recompute(const std::string& file, const gengetopt_args_info& args) {
  if (!SdifCheckFileFormat(file)) return true;
  StoredHeader header;
  if (!read_stored_header(file, header)) return true;
  return stored_value(header, "External_f0") == "Yes" ||
         stored_value(header, "f0_fmin") != format_f(args.fmin_arg) ||
         stored_value(header, "f0_fmax") != format_f(args.fmax_arg);
}
