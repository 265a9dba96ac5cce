#include "sdif/f0tosdif.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "lumbra/lumbra.h"
#include "sdif/sdif_messages.h"
#include "sdif/sdifheader.h"

extern char** environ;

namespace {

// Runs argv and waits for it; true when it exited with status 0. why receives the reason when
// the program could not be started.
bool run_and_wait(const std::vector<std::string>& argv, std::string& why) {
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
    why = "glotmark: cannot run " + argv[0] + ": " + std::strerror(rc) + "\n";
    return false;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Copies the 1FQ0 frames of the result into the output file. Returns the failure of a file that
// cannot be opened or created; throws on a malformed result.
Status copy_frames(const std::string& tmp, const std::string& output_path,
                   const HeaderFacts& facts) {
  SDIFEntity in;
  SdifHeaderOptions header;
  header.with_force_fcmax = false;
  if (!in.OpenRead(tmp)) return Failure{sdif_messages::f0_cannot_open(tmp) + "\n"};
  SDIFEntity out;
  sdifheader(out, facts, header);
  if (!out.OpenWrite(output_path))
    return Failure{sdif_messages::f0_cannot_create(output_path) + "\n"};
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
  return Status{};
}

}  // namespace

Status f0tosdif(const std::vector<std::string>& argv, const std::string& output_path,
                const HeaderFacts& facts) {
  const std::string tmp = output_path + ".tmp";
  // A result left by an earlier run must not pass for this run's.
  std::error_code ec;
  std::filesystem::remove(tmp, ec);
  std::string why;
  if (!run_and_wait(argv, why)) return Failure{sdif_messages::kF0BadRun, why};

  try {
    Status copied = copy_frames(tmp, output_path, facts);
    if (!copied) return copied;
  } catch (const SDIFUnDefined& e) {
    return Failure{sdif_messages::f0_catch_undefined(), e.Message()};
  } catch (const SDIFException& e) {
    return Failure{sdif_messages::f0_catch_sdif(), e.Message()};
  } catch (const std::exception& e) {
    return Failure{sdif_messages::f0_catch_other(e.what())};
  }

  if (!std::filesystem::remove(tmp, ec) && ec) {
    std::cerr << sdif_messages::f0_cannot_remove(tmp, ec.message());
  }
  return Status{};
}
