// Reuse of the files of an earlier run: their header parameters against the current run's.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sdif/header_keys.h"

// Keys compared for one header file: the keys of header_keys() whose compared_by shares a bit
// with groups, and the segment kind.
struct ReuseKeys {
  unsigned groups = kKeyEveryStep;     // KeyGroup bits
  const char* segment_type = nullptr;  // SegmentType must equal this zone kind
};

// The keys of each step's header files.
inline constexpr ReuseKeys kReuseEpochs{};
inline constexpr ReuseKeys kReuseVoicing{};
inline constexpr ReuseKeys kReuseTransients{};
inline constexpr ReuseKeys kReuseVoiced{kKeyEveryStep | kKeyForceFcmax | kKeyVoiceThreshold,
                                        "Voiced"};
inline constexpr ReuseKeys kReuseUnvoiced{kKeyEveryStep | kKeyForceFcmax | kKeyVoiceThreshold,
                                          "Unvoiced"};
inline constexpr ReuseKeys kReuseTransientZones{kKeyEveryStep | kKeyForceFcmax | kKeyTransThreshold,
                                                "Transient"};
inline constexpr ReuseKeys kReuseMarks{
    kKeyEveryStep | kKeyForceFcmax | kKeyVoiceThreshold | kKeyTransThreshold | kKeyMarkParameters,
    nullptr};

// A stored header: its name-value pairs looked up by key ("" when missing).
using StoredHeader = std::vector<std::pair<std::string, std::string>>;
[[nodiscard]] std::string stored_value(const StoredHeader& header, const std::string& key);

// Decision for one header file of a step whose request flag is down: true when the file must
// be recomputed. A SoundFingerprint other than the run's (or none) first; then the External_f0 gate
// (-I without --force: recompute; no -I and stored "Yes": recompute; no -I and "No", or -I with
// --force: compare; otherwise keep), then the comparison of the keys (key_differs: the texts the
// writers make for facts).
[[nodiscard]] bool header_differs(const StoredHeader& header, const HeaderFacts& facts,
                                  const ReuseKeys& keys);

// Reads the header of an SDIF file: the pairs of all its tables in file order (information,
// parameters, segment), so that every key of header_keys() can be compared. False when the file
// cannot be opened or its header read.
[[nodiscard]] bool read_stored_header(const std::string& file, StoredHeader& header);

// Reuse test of a step whose request flag is down: true (recompute) when any of sdif_files is
// not a valid SDIF file, or when a header file, tested in order, differs (header_differs; a
// header that cannot be read counts as different). The later files are not read once one
// differs.
[[nodiscard]] bool must_recompute(const HeaderFacts& facts,
                                  const std::vector<std::string>& sdif_files,
                                  const std::vector<std::pair<std::string, ReuseKeys>>& headers);

// Reuse test of the f0 step file (neither -O nor -I given): true (recompute) when the file is
// not a valid SDIF file, its header cannot be read, External_f0 is "Yes", or SoundFingerprint,
// f0_fmin or f0_fmax differ from the current ones.
[[nodiscard]] bool f0_must_recompute(const std::string& file, const HeaderFacts& facts);
