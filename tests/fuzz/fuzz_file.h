// Support of the fuzz harnesses: the input bytes as a file, for the readers that take a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes data[0 .. size-1] to the file `name` inside a directory of this process's own (made
// at the first call under $TMPDIR, else /tmp; removed when the process ends normally) and
// returns its path. Each input overwrites the previous one. Aborts when the file cannot be
// written: that is a fault of the machine, not a finding of the harness.
const std::string& fuzz_file(const std::uint8_t* data, std::size_t size, const std::string& name);

// Aborts with text on standard error: a harness's way to report a broken promise of the code
// under test (an abort is a finding, as a crash is).
[[noreturn]] void fuzz_fail(const std::string& text);
