// The keys of the analysis-file headers: one table, read by the writers to fill the headers and
// by the reuse test to compare them, so that the text written and the text compared are always
// made by the same function.
#pragma once

#include <ctime>
#include <span>
#include <string>
#include <utility>

#include "core/options.h"

// What the header of an analysis file records about the run that writes it.
struct HeaderFacts {
  // The record's own LPC order (-o, or the default of "-e frob").
  HeaderFacts(const gengetopt_args_info& options)  // NOLINT: a record converts implicitly
      : args(&options), lpc_order(options.orderLPC_arg) {}
  HeaderFacts(const gengetopt_args_info& options, int lpc_order_used,
              std::string sound_fingerprint = "")
      : args(&options), lpc_order(lpc_order_used), fingerprint(std::move(sound_fingerprint)) {}

  const gengetopt_args_info* args;  // the checked record, defaults filled in; never null
  int lpc_order;                    // LpcOrder of the Frobenius method: the order step 2 used
  std::string fingerprint;          // SoundFingerprint: sound_fingerprint() of the samples
  const char* login = nullptr;      // UserName ("unknow" when null or empty)
  std::time_t time = 0;             // Time (seconds since the epoch, shown in local time)
};

// The tables of a header, in file order (the segment table of the zone files comes third and
// holds kSegmentTypeKey alone).
enum class HeaderTable { info, parameters };
inline constexpr const char* kSegmentTypeKey = "SegmentType";

// Which reuse tests compare a key: bits of HeaderKey::compared_by and of ReuseKeys::groups.
enum KeyGroup : unsigned {
  kKeyNotCompared = 0,
  kKeyEveryStep = 1u << 0,       // every step file (f0 range, method, LPC order)
  kKeyF0File = 1u << 1,          // the f0 file (its f0 range)
  kKeyForceFcmax = 1u << 2,      // files of the zones and the marks
  kKeyVoiceThreshold = 1u << 3,  // voiced/unvoiced zones and marks
  kKeyTransThreshold = 1u << 4,  // transient zones and marks
  kKeyMarkParameters = 1u << 5,  // marks
  kKeySound = 1u << 6,           // every analysis file, before the External_f0 gate
};

// How the reuse test compares a stored text with the current run's.
enum class KeyCompare {
  text,                  // different texts differ; a missing key differs
  text_unless_external,  // the same, but not compared with an external f0 file (-I)
  text_when_frob,        // the same, compared only for the Frobenius method
  opposite_yes_no,       // differs only when the stored "Yes"/"No" is the opposite one
};

struct HeaderKey {
  const char* name;
  HeaderTable table;
  std::string (*value)(const HeaderFacts&);  // the text written, and the text compared
  unsigned compared_by;                      // KeyGroup bits; kKeyNotCompared for none
  KeyCompare compare;
  bool in_f0_file;  // false: left out of the f0 file's header
};

// Every key, in the order of the file headers (information table, then parameter table).
[[nodiscard]] std::span<const HeaderKey> header_keys();

// The key called name, or null.
[[nodiscard]] const HeaderKey* find_header_key(const std::string& name);

// True when the text stored for key ("" when missing) differs, by the key's own rule, from the
// text the run of facts writes.
[[nodiscard]] bool key_differs(const HeaderKey& key, const std::string& stored,
                               const HeaderFacts& facts);

// "%f" text of a number in a header (six decimals, every magnitude, never cut).
[[nodiscard]] std::string header_number(double x);

// text as a table value: bytes that a name-value line cannot hold (line ends, zero bytes,
// bytes outside valid UTF-8 sequences) become '?'.
[[nodiscard]] std::string table_value(const std::string& text);
