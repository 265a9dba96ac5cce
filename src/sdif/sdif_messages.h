// Every message printed by the SDIF writers and readers, in one place.
#pragma once

#include <string>

namespace sdif_messages {

inline constexpr const char* kExiting = "\n *** Exiting program ***\n";

// Writers.
inline std::string cannot_create(const std::string& file) {
  return "\n *** Error ***\n -> cannot create " + file + kExiting;
}
inline std::string cannot_write(const std::string& file) {
  return "\n *** Error ***\n -> cannot write " + file + kExiting;
}
inline std::string too_big(const char* function, const std::string& file) {
  return std::string("\n *** Error : ") + function + " ***\n -> " + file +
         " is too big for a sdiff file!\n";
}
inline std::string times_not_increasing(const char* function, const std::string& file) {
  return std::string("\n *** Error : ") + function + " ***\n -> " + file +
         " : times must be finite and must not decrease\n";
}
inline std::string datatosdif_wrong_size(const std::string& file) {
  return "\n *** Error : datatosdif ***" + file +
         "\n     -> wrong size between time vector and datavector";
}
inline constexpr const char* kSegmentTooBig =
    "\n *** Error : segmentto1MRK ***\n -> segment_m matrix is too big for a sdiff file!\n";
inline constexpr const char* kSegmentColumns =
    "\n *** Error : segmentto1MRK ***\n -> segment_m matrix must have two columns (start, end)\n";
inline std::string datato1pso_wrong_size(const std::string& file) {
  return "\n *** Error : datato1PSO *** " + file + "\n -> wrong size between vectors\n";
}

// f0tosdif.
inline constexpr const char* kF0BadRun =
    "\n *** Error ***\n -> bad execution of harmex \n *** Exiting program ***\n\n";
// An f0 track without frames (the step's own refusal, also before its file is written).
inline constexpr const char* kF0DataNull =
    "\n *** Error *** \n -> size of f0 data null ! \n *** Exiting from the program ***\n";
inline constexpr const char* kF0Head = " *** Error : f0tosdif *** \n -> ";
inline std::string f0_cannot_open(const std::string& path) {
  return std::string(kF0Head) + "problems while openning sdif file : " + path + kExiting;
}
inline std::string f0_cannot_create(const std::string& path) {
  return std::string(kF0Head) + "problems while creating sdif file : " + path +
         " *** Exiting program ***\n";
}
inline std::string f0_catch_undefined() {
  return std::string(kF0Head) + "Catch Undefined" + kExiting;
}
inline std::string f0_catch_sdif() {
  return std::string(kF0Head) + "Catch other SDIFException" + kExiting;
}
inline std::string f0_catch_other(const std::string& what) {
  return std::string(kF0Head) + "Catch other Exception: " + what + kExiting;
}
inline std::string f0_cannot_remove(const std::string& path, const std::string& why) {
  return " *** Warning : f0tosdif *** \n -> cannot remove " + path + " : " + why + "\n";
}

// Readers.
// The line that names the file a reader's message is about, after the message.
inline std::string in_file(const std::string& file) {
  return " -> file : " + file + "\n";
}
inline std::string cannot_open(const std::string& file) {
  return "\n *** Error ***\n -> cannot open " + file + kExiting + "\n";
}
inline std::string catch_undefined(const char* reader) {
  return std::string("\n *** Error : ") + reader + " ***\n -> Catch Undefined" + kExiting;
}
inline std::string catch_other(const char* reader) {
  return std::string("\n *** Error : ") + reader + " ***\n -> Catch other Exception" + kExiting;
}
inline constexpr const char* kFq0CatchUndefined = " Catch Undefined ";
inline constexpr const char* kFq0CatchOther = " Catch other Exception ";
inline constexpr const char* kMrkNoEnd =
    "\n *** Error : MRKsegtomatrix ***\n -> No 1MRK/1END following a 1MRK/1BEG matix\n *** "
    "Exiting program ***\n";
inline constexpr const char* kMrkWrongId =
    "\n *** Error : MRKsegtomatrix ***\n -> Wrong ID for 1MRK/1BEG and 1MRK/1END\n *** Exiting "
    "program ***\n";
inline constexpr const char* kMrkCountsDiffer =
    "\n *** Error :  MRKsegtomatrix ***\n -> Not the same number of 1BEG and 1END matrix\n *** "
    "Exiting program ***";
}  // namespace sdif_messages
