// fake-harmex: stand-in for the f0 program, driven by the environment.
//
//   FAKE_HARMEX_LOG     file to which each argument is appended on its own line, then "--"
//   FAKE_HARMEX_STATUS  exit status (default 0); a non-zero status writes nothing
//   FAKE_HARMEX_NO_FILE when set, exit 0 without writing the result
//   FAKE_HARMEX_F0      comma-separated f0 values (Hz), one 1FQ0 frame each, 10 ms apart from
//                       time 0 (default: 200 Hz for 100 frames; "none": no frame)
//   FAKE_HARMEX_TRUNCATE cut the written result to this many bytes (a damaged result)
//
// The result goes to the last argument, as the f0 program's does.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "lumbra/lumbra.h"

namespace {

constexpr double kFrameStepSeconds = 0.01;  // time between two f0 frames (s)

std::vector<double> f0_values() {
  const char* text = std::getenv("FAKE_HARMEX_F0");
  if (text == nullptr) return std::vector<double>(100, 200.0);
  std::vector<double> values;
  if (std::string(text) == "none") return values;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) values.push_back(std::stod(item));
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* log = std::getenv("FAKE_HARMEX_LOG")) {
    std::ofstream out(log, std::ios::app);
    for (int i = 0; i < argc; ++i) out << argv[i] << "\n";
    out << "--\n";
  }
  const char* status = std::getenv("FAKE_HARMEX_STATUS");
  if (status != nullptr && std::atoi(status) != 0) return std::atoi(status);
  if (std::getenv("FAKE_HARMEX_NO_FILE") != nullptr || argc < 2) return 0;

  const SdifSignature k1FQ0 = SdifSignatureConst('1', 'F', 'Q', '0');
  try {
    SDIFEntity file;
    if (!file.OpenWrite(argv[argc - 1])) {
      std::cerr << "fake-harmex: cannot create " << argv[argc - 1] << "\n";
      return 2;
    }
    SDIFFrame frame;
    const std::vector<double> values = f0_values();
    for (std::size_t i = 0; i < values.size(); ++i) {
      frame.ClearData();
      frame.SetHeader(k1FQ0, 0, kFrameStepSeconds * static_cast<double>(i));
      frame.AddMatrix(SDIFMatrix(k1FQ0, 1, 1, eFloat4));
      frame.GetMatrix(0).Set(0, 0, values[i]);
      frame.Write(file);
    }
    file.Close();
    if (const char* size = std::getenv("FAKE_HARMEX_TRUNCATE"))
      std::filesystem::resize_file(argv[argc - 1], std::strtoull(size, nullptr, 10));
  } catch (const SDIFException& e) {
    std::cerr << "fake-harmex: " << e.what() << "\n";
    return 2;
  }
  return 0;
}
