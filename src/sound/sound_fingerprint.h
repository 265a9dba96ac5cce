// What identifies a sound as read: a later run reuses results only for the same samples.
#pragma once

#include <span>
#include <string>

// "<rate>_<frames>_<hash>": the sampling rate (Hz, rounded to an integer), the number of frames
// and a 64-bit hash of the samples' bits (16 lower-case hex digits). Any change of a sample,
// of the length or of the rate changes the text. About a nanosecond per sample.
[[nodiscard]] std::string sound_fingerprint(std::span<const double> samples, double sr);
