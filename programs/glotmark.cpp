// glotmark: PSOLA analysis of one sound file.
#include <iostream>

#include "driver/run_analysis.h"
#include "lumbra/lumbra.h"

int main(int argc, char** argv) {
  LumbraInit("");
  int status = 1;
  // Parse and check the command line; a refusal has printed its reason.
  const Expected<AnalysisRequest> request = analysis_request(argc, argv, std::cout);
  if (request) {
    const AnalysisOutcome outcome = run_analysis(*request);
    status = finish_analysis(*request, outcome);
  } else {
    status = request.error().status;
  }
  LumbraEnd();
  return status;
}
