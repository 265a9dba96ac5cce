// Reuse tests on the headers of earlier files.
#include "driver/reuse.h"

#include "lumbra/lumbra.h"

namespace {

// Compares the keys of `keys`; true when one differs.
bool keys_differ(const StoredHeader& h, const HeaderFacts& facts, unsigned groups) {
  for (const HeaderKey& key : header_keys()) {
    if ((key.compared_by & groups) == 0) continue;
    if (key_differs(key, stored_value(h, key.name), facts)) return true;
  }
  return false;
}

bool keys_differ(const StoredHeader& h, const HeaderFacts& facts, const ReuseKeys& keys) {
  if (keys_differ(h, facts, keys.groups)) return true;
  return keys.segment_type != nullptr && stored_value(h, kSegmentTypeKey) != keys.segment_type;
}

}  // namespace

std::string stored_value(const StoredHeader& header, const std::string& key) {
  for (const auto& [name, value] : header)
    if (name == key) return value;
  return "";
}

bool header_differs(const StoredHeader& header, const HeaderFacts& facts, const ReuseKeys& keys) {
  // Results of another sound (or of none recorded) are never reused, whatever the gate says.
  if (keys_differ(header, facts, kKeySound)) return true;
  const bool external = facts.args->f0_file_given != 0;
  const bool forced = facts.args->force_given != 0;
  if (external && !forced) return true;
  const std::string stored_external = stored_value(header, "External_f0");
  if (!external && stored_external == "Yes") return true;
  if ((!external && stored_external == "No") || (external && forced))
    return keys_differ(header, facts, keys);
  return false;  // no -I and an External_f0 that is neither "Yes" nor "No"
}

bool read_stored_header(const std::string& file, StoredHeader& header) {
  header.clear();
  try {
    SDIFEntity entity;
    if (!entity.OpenRead(file)) return false;
    for (std::size_t i = 0; i < entity.GetNbNVT(); ++i) {
      const auto& entries = entity.GetNVT(i).Entries();
      header.insert(header.end(), entries.begin(), entries.end());
    }
    entity.Close();
  } catch (const SDIFException&) {
    return false;
  }
  return true;
}

bool must_recompute(const HeaderFacts& facts, const std::vector<std::string>& sdif_files,
                    const std::vector<std::pair<std::string, ReuseKeys>>& headers) {
  for (const auto& file : sdif_files)
    if (!SdifCheckFileFormat(file)) return true;
  for (const auto& [file, keys] : headers) {
    StoredHeader header;
    if (!read_stored_header(file, header)) return true;
    if (header_differs(header, facts, keys)) return true;
  }
  return false;
}

bool f0_must_recompute(const std::string& file, const HeaderFacts& facts) {
  if (!SdifCheckFileFormat(file)) return true;
  StoredHeader header;
  if (!read_stored_header(file, header)) return true;
  if (stored_value(header, "External_f0") == "Yes") return true;
  return keys_differ(header, facts, kKeySound | kKeyF0File);
}
