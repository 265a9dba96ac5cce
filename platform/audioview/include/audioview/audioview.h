// audioview: opening a sound file for libaudiofile through a view that keeps a lying header
// from stalling the library. Shared by the analysis's readers and harmex.
#pragma once

#include <audiofile.h>

#include <string>

namespace audioview {

// Opens the sound file at path for reading (no file set-up). The library walks the chunks of a
// RIFF/RIFX (WAV) or FORM (AIFF, AIFF-C) container up to the size the container's header
// claims, with a failed read per 8 missing bytes (a file cut short stalls it for about a second
// per 8 MB missing, a size of 0xFFFFFFFF for many minutes), and a chunk size near 4 GiB wraps
// its position around. The library therefore reads the file through a view in which the
// container's size and that of a chunk running past the container's end say what the file
// really holds (every other byte as it is). The data chunk keeps its size: the reader stops at
// the real end of the data. AF_NULL_FILEHANDLE when the file cannot be opened, is not a regular
// file, has its format chunk (fmt, COMM) cut short by the end of the file (the library would
// fill the missing parameters from uninitialised memory), or the library refuses it.
[[nodiscard]] AFfilehandle open_sound(const std::string& path);

// Frames to read from the default track of file (opened from path): the count the header
// announces, bounded by what the bytes after the data offset can hold when it announces more (a
// file cut short). libaudiofile returns nothing at all for a read that runs past the real end,
// not even the frames that are there, so a reader must stop there. The largest long long when
// the header announces no count (read until the library returns 0).
[[nodiscard]] long long frames_in_file(AFfilehandle file, const std::string& path);

}  // namespace audioview
