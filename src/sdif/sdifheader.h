#pragma once

#include <string>

#include "lumbra/lumbra.h"
#include "sdif/header_keys.h"

// Which declarations and tables an analysis file carries besides the information and parameter
// tables.
struct SdifHeaderOptions {
  bool with_force_fcmax = true;  // false for the f0 file
  std::string segment_type;      // non-empty: a third table with SegmentType (zone files)
  bool declare_vut = false;      // 1VUT matrix type and 1VUV frame type (voicing flags)
  bool declare_epc = false;      // 1ECS and 1ECL matrix types and the 1EPC frame type
  bool declare_pso = false;      // 1PSO matrix type and 1PSO frame type
};

// Adds the header of an analysis file to an entity about to be opened for writing: the
// information table (login from getlogin, the current time), the parameter table, the
// segment table when asked, then the type declarations asked for.
void sdifheader(SDIFEntity& entity, const HeaderFacts& facts, const SdifHeaderOptions& options);
