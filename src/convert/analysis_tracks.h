// The f0 track, the marks and the zones of analysis files, and the 1FQ0 file the analysis
// imports with -I.
#pragma once

#include <string>
#include <vector>

#include "convert/tracks.h"

// f0 of a 1FQ0 file: the last column of each 1FQ0 matrix row, as the analysis reads it; every
// point voiced. Throws ConvertError when the file cannot be read or holds no 1FQ0 matrix.
F0Track read_f0_sdif(const std::string& path);

// Marks with their kinds: from a 1VUT file (voicing flag per mark), or from a 1MRK file of pitch
// marks whose kinds are then taken from the 1VUT file beside it (kUnknownKind when there is no
// such file or it does not match). Throws ConvertError on an unreadable file or one of neither
// kind.
std::vector<Mark> read_marks(const std::string& path);

// Zones of a 1VOI, 1UVI or 1TRA file (begin and end matrices paired in file order, their zone
// numbers checked); the zone kind ("Voiced", ...) of its header goes to kind. Throws
// ConvertError naming the file on a fault.
std::vector<Zone> read_zones(const std::string& path, std::string& kind);

// Writes the track as a 1FQ0 file (one frame per point, one 1x1 float32 1FQ0 matrix, the f0 in
// Hz) that the analysis reads with -I; source goes to the header. Throws ConvertError when the
// file cannot be written. The file appears complete or not at all.
void write_f0_sdif(const std::string& path, const F0Track& track, const std::string& source);
