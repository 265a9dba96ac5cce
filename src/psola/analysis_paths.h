// Where the analysis of a sound lives.
#pragma once

#include <string>

// The analysis folder glotmark uses for sound: the sound's directory part + "PSO" + the file
// name without its extension + "/" ("PSOx/" for "x.wav"). Empty when the name has no extension.
[[nodiscard]] std::string analysis_dir(const std::string& sound);

// The 1PSO file of sound inside dir (ending in "/"): dir + base + ".1PSO.sdif".
[[nodiscard]] std::string pso_file(const std::string& dir, const std::string& sound);

// The 1PSO file named by --analysis: the path itself when it is a file, else pso_file(path,
// sound) when that exists, else the only *.1PSO.sdif file inside the folder. Throws PsolaError
// when there is none or several to choose from.
[[nodiscard]] std::string find_pso(const std::string& path, const std::string& sound);
