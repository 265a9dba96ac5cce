// History record writer.
#include "driver/write_history.h"

#include <unistd.h>

#include <fstream>
#include <iostream>

namespace {
const char kHistoryWarning[] = " *** Warning : can't open/write history file ! \n";
}

int write_history(const std::string& directory, const std::string& command_line,
                  const std::string& start, const std::string& end) {
  const char* login = getlogin();
  const std::string user = login != nullptr ? login : "unknow";

  // Without append mode, opening empties the file: it holds the last run only.
  std::ofstream out(directory + "history", std::ios::out | std::ios::binary | std::ios::ate);
  if (!out.is_open()) {
    std::cout << kHistoryWarning << std::endl;
    return -1;
  }
  out << " #### user:\t" << user << "\n ## begining:\t" << start << " ## ending:\t" << end
      << command_line << "\n\n";
  return 0;
}
