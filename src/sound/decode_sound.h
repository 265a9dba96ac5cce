// The decoding loop of the sound readers.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "core/failure.h"

// Decodes the sound file at path (any format libaudiofile decodes) as one mono signal of float
// samples, channels mixed down by the library and integer samples scaled to +-1.0, and writes
// the sampling rate (Hz) into rate. expect receives, before the first block, the number of
// frames to expect (the count the header announces, bounded by the file's size; 0 when
// unknown); take receives the frames block by block, in file order. A file shorter than its
// header says is read as far as it goes. An open, format, rate, length, close or
// non-finite-sample fault gives its framed failure ("\n *** Error : readsf ***\n -> ..."), the
// last two after every block was taken; the file is closed on every path.
[[nodiscard]] Status decode_sound(const std::string& path, double& rate,
                                  const std::function<void(std::size_t)>& expect,
                                  const std::function<void(const float*, int)>& take);
