// Reuse of the files of an earlier run: their header parameters against the current run's.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "driver/cmdline.h"

class SDIFNameValueTable;
struct RunState;

// Keys compared for one header file, besides the f0 keys, MethodEpocs and LpcOrder that every
// step compares.
struct ReuseKeys {
  bool force_fcmax = false;            // Force_fcmax
  bool voice_threshold = false;        // VoiceThreshold
  bool trans_threshold = false;        // TransThreshold
  bool mark_params = false;            // MarkAlpha, MarkBeta, MarkGamma
  const char* segment_type = nullptr;  // SegmentType must equal this zone kind
};

// The keys of each step's header files.
inline constexpr ReuseKeys kReuseEpochs{};
inline constexpr ReuseKeys kReuseVoicing{};
inline constexpr ReuseKeys kReuseTransients{};
inline constexpr ReuseKeys kReuseVoiced{true, true, false, false, "Voiced"};
inline constexpr ReuseKeys kReuseUnvoiced{true, true, false, false, "Unvoiced"};
inline constexpr ReuseKeys kReuseTransientZones{true, false, true, false, "Transient"};
inline constexpr ReuseKeys kReuseMarks{true, true, true, true, nullptr};

// "%f" (six decimals) and "%d" forms of the values the headers store.
[[nodiscard]] std::string format_f(double x);
[[nodiscard]] std::string format_d(int x);

// A stored header: its name-value pairs looked up by key ("" when missing).
using StoredHeader = std::vector<std::pair<std::string, std::string>>;
[[nodiscard]] std::string stored_value(const StoredHeader& header, const std::string& key);

// Decision for one header file of a step whose request flag is down: true when the file must
// be recomputed. The External_f0 gate first (-I without --force: recompute; no -I and stored
// "Yes": recompute; no -I and "No", or -I with --force: compare; otherwise keep), then the
// comparison of the keys as exact texts.
[[nodiscard]] bool header_differs(const StoredHeader& header, const gengetopt_args_info& args,
                                  const ReuseKeys& keys);

// Reads the header of an SDIF file: the pairs of its parameter table, followed by those of its
// later tables (the segment table). False when the file cannot be opened or its header read.
[[nodiscard]] bool read_stored_header(const std::string& file, StoredHeader& header);

// Reuse test of a step whose request flag is down: true (recompute) when any of sdif_files is
// not a valid SDIF file, or when a header file, tested in order, differs (header_differs; a
// header that cannot be read counts as different). The later files are not read once one
// differs.
[[nodiscard]] bool must_recompute(const RunState& s, const std::vector<std::string>& sdif_files,
                                  const std::vector<std::pair<std::string, ReuseKeys>>& headers);

// Reuse test of the f0 step file (neither -O nor -I given): true (recompute) when the file is
// not a valid SDIF file, its header cannot be read, External_f0 is "Yes", or f0_fmin or f0_fmax
// differ from the current "%f" values.
[[nodiscard]] bool f0_must_recompute(const std::string& file, const gengetopt_args_info& args);
