// Step 1: the f0 track.
#include <iostream>

#include "driver/runstate.h"

void step_f0(RunState& s) { not_available(s, "the f0 step"); }
