// History record writer.
#include "driver/write_history.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace {

const char kHistoryWarning[] = " *** Warning : can't open/write history file ! \n";

int warn() {
  std::cout << kHistoryWarning << std::endl;
  return -1;
}

}  // namespace

int write_history(const std::string& directory, const std::string& command_line,
                  const std::string& start, const std::string& end) {
  const char* login = getlogin();
  const std::string user = login != nullptr ? login : "unknow";
  const std::string record = " #### user:\t" + user + "\n ## begining:\t" + start +
                             " ## ending:\t" + end + command_line + "\n\n";

  // Written beside the record under a name of this run's own, then renamed over it: the file
  // holds the last run's record only, and a "history" that is a link is replaced, never
  // followed into whatever it points at.
  const std::string path = directory + "history";
  std::string temp = path + ".tmp-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return warn();
  const mode_t mask = ::umask(0);
  ::umask(mask);
  (void)::fchmod(fd, 0666 & ~mask);  // mkstemp makes 0600; a record is as readable as the results
  std::FILE* out = ::fdopen(fd, "wb");
  if (out == nullptr) {
    ::close(fd);
    ::unlink(temp.c_str());
    return warn();
  }
  const bool written = std::fwrite(record.data(), 1, record.size(), out) == record.size();
  if (std::fclose(out) != 0 || !written || std::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return warn();
  }
  return 0;
}
