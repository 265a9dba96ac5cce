// The history record of the last run.
#pragma once

#include <string>

// Writes the file directory + "history" (directory ends with "/"), replacing any earlier one:
// " #### user:\t" login ("unknow" when none), "\n ## begining:\t" start, " ## ending:\t" end,
// the command line, "\n\n". start and end are ctime texts with their own line end. Returns 0,
// or -1 after printing a warning to standard output when the file cannot be opened.
int write_history(const std::string& directory, const std::string& command_line,
                  const std::string& start, const std::string& end);
