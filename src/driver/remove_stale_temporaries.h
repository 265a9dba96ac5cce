// Debris of runs that were killed while writing.
#pragma once

#include <string>

// Removes from the output folder dir the temporary files that a killed run left: the SDIF
// library's "<file>.part-<pid>-<n>" whose process is gone, and the run's own "<file>.tmp-XXXXXX"
// (the f0 program's output, the history being written) and "<file>.tmp". Call it only while
// holding the folder's lock: no other run then has a temporary file there. Returns the number
// of files removed; errors are ignored (what cannot be removed stays, and is never read).
int remove_stale_temporaries(const std::string& dir);
