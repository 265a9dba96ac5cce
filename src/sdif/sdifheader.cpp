#include "sdif/sdifheader.h"

#include <unistd.h>

#include <ctime>

#include "sdif/infotable.h"
#include "sdif/paramtable.h"

void sdifheader(SDIFEntity& entity, const HeaderFacts& facts, const SdifHeaderOptions& options) {
  entity.AddNVT(infotable(facts, getlogin(), std::time(nullptr)));
  entity.AddNVT(paramtable(facts, options.with_force_fcmax));
  if (!options.segment_type.empty()) {
    SDIFNameValueTable segment;
    segment.AddNameValue(kSegmentTypeKey, options.segment_type);
    entity.AddNVT(segment);
  }
  if (options.declare_vut) {
    entity.AddMatrixType("1VUT", "VoicedUnvoicedTransFlag");
    entity.AddFrameType("1VUV", "1VUT VoicedUnvoicedTransFlag");
  }
  if (options.declare_epc) {
    entity.AddMatrixType("1ECS", "EpocsSmallReallocation");
    entity.AddMatrixType("1ECL", "EpocsLongReallocation");
    entity.AddFrameType("1EPC", "1ECS EpocsSmallReallocation; 1ECL EpocsLongReallocation");
  }
  if (options.declare_pso) {
    entity.AddMatrixType("1PSO",
                         "Position, Fundamentalfrequency, VoicingFlag, VoicingCoefficient, "
                         "VoicingCuttingFrequency, Periods, Mod, TransitoireFlag");
    entity.AddFrameType("1PSO", "ITDS SamplingRate; 1PSO Glotmark");
  }
}
