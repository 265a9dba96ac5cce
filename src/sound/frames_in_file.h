// How many frames of an open sound file can really be read.
#pragma once

#include <audiofile.h>

#include <string>

// Frames to read from the default track of file (opened from path): the count the header
// announces, bounded by what the bytes after the data offset can hold when it announces more (a
// file cut short). libaudiofile returns nothing at all for a read that runs past the real end,
// not even the frames that are there, so a reader must stop there. The largest long long when
// the header announces no count (read until the library returns 0).
[[nodiscard]] long long frames_in_file(AFfilehandle file, const std::string& path);
