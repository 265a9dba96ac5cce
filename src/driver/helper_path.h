// Where glotmark finds the programs it runs (its directory script, harmex).
#pragma once

#include <optional>
#include <string>

// Path of the helper `name` for a glotmark whose argv[0] has the directory part invoked_dir
// ("" or ending with "/"). Looked for, in order: beside the path glotmark was invoked by, and
// in ../libexec/glotmark/ beside it (the install layout); beside glotmark's own resolved
// executable (/proc/self/exe, else the real path of argv[0]), and in ../libexec/glotmark/
// beside that; then, for a copy of glotmark on its own, D/../libexec/glotmark/ for each
// directory D of PATH. Returns the first that is an executable file, or nothing when there is
// none (harmex is then run by its bare name, found on PATH).
[[nodiscard]] std::optional<std::string> helper_path(const std::string& invoked_dir,
                                                     const std::string& name);
