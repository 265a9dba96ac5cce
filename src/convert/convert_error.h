// The one failure type of the conversion module: its text is the complete message for the user,
// naming the file (and the line, for text formats) where the fault was found.
#pragma once

#include <stdexcept>
#include <string>

class ConvertError : public std::runtime_error {
 public:
  explicit ConvertError(const std::string& message) : std::runtime_error(message) {}
};
