// Writing a converted file so that it appears complete or not at all.
#pragma once

#include <string>

// Writes content to path through a temporary file in the same folder, renamed into place once
// written and flushed to disk; an existing file is replaced. Throws ConvertError naming the
// file (the temporary file is removed) when any step fails.
void write_text_file(const std::string& path, const std::string& content);
