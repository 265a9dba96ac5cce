// Opening a sound file for libaudiofile, through a view that keeps a lying header from
// stalling the library (the analysis program's reader does the same: the two programs share
// no code).
#pragma once

#include <audiofile.h>

#include <string>

namespace harmex {

// Opens the sound file at path for reading (no file set-up). The library walks the chunks of a
// RIFF/RIFX (WAV) or FORM (AIFF, AIFF-C) container up to the size the container's header
// claims, with a failed read per 8 missing bytes: a file cut short stalls it for about a second
// per 8 MB missing, a size field of 0xFFFFFFFF for many minutes. The library therefore reads the
// file through a view in which that one size field says what the file really holds (every other
// byte as it is); the data chunk's own size is left as it is, and the reader stops at the real
// end of the data. AF_NULL_FILEHANDLE when the file cannot be opened or the library refuses it.
[[nodiscard]] AFfilehandle open_sound(const std::string& path);

}  // namespace harmex
