// Process spawning for the outside programs.
#include "driver/run_program.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

int run_program(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  std::vector<char*> cargv;
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);

  // Our buffered output must reach the stream before the child writes to it.
  std::fflush(nullptr);
  pid_t pid = 0;
  const bool has_path = argv[0].find('/') != std::string::npos;
  const int rc = has_path ? posix_spawn(&pid, cargv[0], nullptr, nullptr, cargv.data(), environ)
                          : posix_spawnp(&pid, cargv[0], nullptr, nullptr, cargv.data(), environ);
  if (rc != 0) {
    std::fprintf(stderr, "glotmark: cannot run %s: %s\n", cargv[0], std::strerror(rc));
    return -1;
  }

  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(wstatus)) return WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) return 128 + WTERMSIG(wstatus);
  return -1;
}
