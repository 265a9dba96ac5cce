#include "sdif/f0tosdif.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "lumbra/lumbra.h"
#include "sdif/sdif_messages.h"
#include "sdif/sdifheader.h"

extern char** environ;

namespace {

// Runs argv and waits for it; true when it exited with status 0.
bool run_and_wait(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<char*> cargv;
  cargv.reserve(argv.size() + 1);
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  std::cout.flush();
  std::cerr.flush();
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, cargv[0], nullptr, nullptr, cargv.data(), environ);
  if (rc != 0) {
    std::cerr << "glotmark: cannot run " << argv[0] << ": " << std::strerror(rc) << std::endl;
    return false;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Copies the 1FQ0 frames of the result into the output file. Returns 1 when a file cannot be
// opened or created, 0 when copied; throws on a malformed result.
int copy_frames(const std::string& tmp, const std::string& output_path,
                const gengetopt_args_info& args) {
  SDIFEntity in;
  SdifHeaderOptions header;
  header.with_force_fcmax = false;
  if (!in.OpenRead(tmp)) {
    std::cout << sdif_messages::f0_cannot_open(tmp) << std::endl;
    return 1;
  }
  SDIFEntity out;
  sdifheader(out, args, header);
  if (!out.OpenWrite(output_path)) {
    std::cout << sdif_messages::f0_cannot_create(output_path) << std::endl;
    return 1;
  }
  in.ChangeSelection(":1FQ0/1FQ0");
  SDIFFrame from, to;
  while (!in.eof()) {
    if (in.ReadNextFrame(from) == 0) continue;
    for (std::size_t i = 0; i < from.GetNbMatrix(); ++i) to.AddMatrix(from.GetMatrix(i));
    to.SetHeader(from.GetSignature(), from.GetStreamID(), from.GetTime());
    to.Write(out);
    from.ClearData();
    to.ClearData();
  }
  out.Close();
  return 0;
}

}  // namespace

int f0tosdif(const std::vector<std::string>& argv, const std::string& output_path,
             const gengetopt_args_info& args) {
  const std::string tmp = output_path + ".tmp";
  // A result left by an earlier run must not pass for this run's.
  std::error_code ec;
  std::filesystem::remove(tmp, ec);
  if (!run_and_wait(argv)) return -1;

  int status = 0;
  try {
    status = copy_frames(tmp, output_path, args);
  } catch (const SDIFUnDefined& e) {
    std::cout << sdif_messages::f0_catch_undefined();
    e.ErrorMessage();
    std::exit(1);
  } catch (const SDIFException& e) {
    std::cout << sdif_messages::f0_catch_sdif();
    e.ErrorMessage();
    std::exit(1);
  } catch (const std::exception& e) {
    std::cout << sdif_messages::f0_catch_other(e.what());
    std::exit(1);
  }
  if (status != 0) return status;

  if (!std::filesystem::remove(tmp, ec) && ec) {
    std::cerr << sdif_messages::f0_cannot_remove(tmp, ec.message());
  }
  return 0;
}
