// Resolution of the input paths and of the output directory.
#include "driver/resolve_input.h"

std::optional<InputName> split_input(const std::string& input) {
  InputName name;
  const auto slash = input.rfind('/');
  name.file_name = slash == std::string::npos ? input : input.substr(slash + 1);
  name.dir_part = input.substr(0, input.size() - name.file_name.size());
  const auto dot = name.file_name.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  name.extension = name.file_name.substr(dot + 1);
  name.base_name = name.file_name.substr(0, dot);
  return name;
}

std::optional<ResolvedInput> resolve_input(const std::string& input, const InputName& name,
                                           const std::string& sfdir,
                                           const std::function<bool(const std::string&)>& accept) {
  const bool absolute = !input.empty() && input[0] == '/';
  const bool explicit_path = !input.empty() && (input[0] == '.' || input[0] == '/');
  const std::string pso = "PSO" + name.base_name + "/";

  if (absolute && accept(input)) return ResolvedInput{input, name.dir_part + pso};
  if (explicit_path && accept(input)) return ResolvedInput{input, name.dir_part + pso};
  // An unset SFDIR would make this try "/" + input: a file at the root of the file system
  // must never stand in for one of the current directory.
  if (!absolute && !sfdir.empty()) {
    const std::string candidate = sfdir + "/" + input;
    if (accept(candidate)) {
      return ResolvedInput{
          candidate, name.dir_part.empty() ? sfdir + "/" + pso : sfdir + "/" + name.dir_part + pso};
    }
  }
  if (!absolute) {
    const std::string candidate = "./" + input;
    if (accept(candidate))
      return ResolvedInput{candidate,
                           name.dir_part.empty() ? "./" + pso : "./" + name.dir_part + pso};
  }
  return std::nullopt;
}
