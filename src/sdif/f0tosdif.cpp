#include "sdif/f0tosdif.h"

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "lumbra/lumbra.h"
#include "sdif/sdif_messages.h"
#include "sdif/sdifheader.h"

extern char** environ;

namespace {

// The environment of this process, with kF0ParentEnv set to its pid.
std::vector<std::string> child_environment() {
  std::vector<std::string> env;
  const std::string key = std::string(kF0ParentEnv) + "=";
  for (char** e = environ; e != nullptr && *e != nullptr; ++e)
    if (std::strncmp(*e, key.c_str(), key.size()) != 0) env.emplace_back(*e);
  env.push_back(key + std::to_string(::getpid()));
  return env;
}

// Runs argv and waits for it; true when it exited with status 0. why receives the reason when
// the program could not be started.
bool run_and_wait(const std::vector<std::string>& argv, std::string& why) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<char*> cargv;
  cargv.reserve(argv.size() + 1);
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  std::vector<std::string> env = child_environment();
  std::vector<char*> cenv;
  for (auto& e : env) cenv.push_back(e.data());
  cenv.push_back(nullptr);
  std::cout.flush();
  std::cerr.flush();
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, cargv[0], nullptr, nullptr, cargv.data(), cenv.data());
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

// The 1FQ0 frames of the result, each with its 1FQ0 matrices. Returns the failure of a result
// that cannot be opened; throws on a malformed one.
Expected<std::vector<SDIFFrame>> read_result(const std::string& result_path) {
  SDIFEntity in;
  std::error_code ec;
  // The file made for the program and left empty: the program wrote nothing.
  if (std::filesystem::file_size(result_path, ec) == 0 || ec || !in.OpenRead(result_path))
    return Failure{sdif_messages::f0_cannot_open(result_path) + "\n"};
  in.ChangeSelection(":1FQ0/1FQ0");
  std::vector<SDIFFrame> frames;
  SDIFFrame from;
  while (!in.eof()) {
    if (in.ReadNextFrame(from) == 0) continue;
    SDIFFrame& to = frames.emplace_back();
    for (std::size_t i = 0; i < from.GetNbMatrix(); ++i) to.AddMatrix(from.GetMatrix(i));
    to.SetHeader(from.GetSignature(), from.GetStreamID(), from.GetTime());
    from.ClearData();
  }
  return frames;
}

// Writes the frames behind the analysis header. Returns the failure of a file that cannot be
// created; throws on a write fault.
Status write_frames(std::vector<SDIFFrame>& frames, const std::string& output_path,
                    const HeaderFacts& facts) {
  SDIFEntity out;
  SdifHeaderOptions header;
  header.with_force_fcmax = false;
  sdifheader(out, facts, header);
  if (!out.OpenWrite(output_path))
    return Failure{sdif_messages::f0_cannot_create(output_path) + "\n"};
  for (SDIFFrame& f : frames) f.Write(out);
  out.Close();
  return Status{};
}

Status import_result(const std::string& result_path, const std::string& output_path,
                     const HeaderFacts& facts) {
  try {
    auto frames = read_result(result_path);
    if (!frames) return std::move(frames).error();
    // An empty track would be written, then read back by every later run and refused there.
    if (frames->empty()) return Failure{std::string(sdif_messages::kF0DataNull) + "\n"};
    return write_frames(*frames, output_path, facts);
  } catch (const SDIFUnDefined& e) {
    return Failure{sdif_messages::f0_catch_undefined(), e.Message()};
  } catch (const SDIFException& e) {
    return Failure{sdif_messages::f0_catch_sdif(), e.Message()};
  } catch (const std::exception& e) {
    return Failure{sdif_messages::f0_catch_other(e.what())};
  }
}

}  // namespace

std::string f0_result_file(const std::string& output_path) {
  std::string name = output_path + ".tmp-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return "";
  ::close(fd);
  return name;
}

Status f0tosdif(const std::vector<std::string>& argv, const std::string& result_path,
                const std::string& output_path, const HeaderFacts& facts) {
  std::string why;
  Status done = run_and_wait(argv, why) ? import_result(result_path, output_path, facts)
                                        : Status{Failure{sdif_messages::kF0BadRun, why}};
  std::error_code ec;
  if (!std::filesystem::remove(result_path, ec) && ec && done)
    std::cerr << sdif_messages::f0_cannot_remove(result_path, ec.message());
  return done;
}
