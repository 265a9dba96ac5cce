// EST track files (ASCII), as the common epoch and f0 trackers write them: a header of
// "Key value" lines up to "EST_Header_End", then one line per frame: time in seconds, the
// voicing (break) flag, then the channels.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "convert/tracks.h"

// True when the bytes start like an EST file.
bool looks_like_est(const std::string& head);

// Reads the f0 of an EST track: the channel named F0 (any case), else the first channel. A frame
// is unvoiced when its flag is 0 or its f0 is not positive. Throws ConvertError naming the file
// and line on a binary or malformed file.
F0Track read_est_f0(const std::string& path);

// Writes an f0 track: channel F0, flag 1 on voiced frames, 0 (f0 0) on the others.
void write_est_f0(std::ostream& out, const F0Track& track);
// Writes pitch marks: no channel, one frame per mark with flag 1.
void write_est_marks(std::ostream& out, const std::vector<double>& times);

// Reads a text of two columns, time in seconds and f0 in Hz, separated by blanks, tabs, commas or
// semicolons; lines starting with '#' and a first line of names are skipped; an f0 that is not
// positive or reads "--undefined--" (Praat's listings) is unvoiced. Throws ConvertError with the
// line of a fault.
F0Track read_f0_text(const std::string& path);
// Writes "time f0" lines (voiced points only).
void write_f0_text(std::ostream& out, const F0Track& track, char separator);
