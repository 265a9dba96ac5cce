// The exception base class of the library.
#include <iostream>

#include "lumbra/lumbra.h"

SDIFException::SDIFException(std::string text, SdifSourceLocation where)
    : text_(std::move(text)), source_line_(static_cast<int>(where.line())) {
  const std::string_view file = where.file_name();
  const auto slash = file.find_last_of('/');
  source_file_ = std::string(slash == std::string_view::npos ? file : file.substr(slash + 1));
}

std::string SDIFException::Message() const {
  std::string m = "Exception: " + text_ + "\n";
  if (!source_file_.empty())
    m += "Source file : " + source_file_ + "\nat line : " + std::to_string(source_line_) + "\n";
  return m;
}

void SDIFException::ErrorMessage() const {
  std::cerr << Message();
  std::cerr.flush();
}
