// The one failure type of the figure code: its text is the complete message for the user.
#pragma once

#include <stdexcept>
#include <string>

struct PlotError : std::runtime_error {
  explicit PlotError(const std::string& message) : std::runtime_error(message) {}
};
