// The sound files of a corpus and their paths relative to it.
#pragma once

#include <string>
#include <vector>

namespace corpus {

struct SoundEntry {
  std::string rel;      // path under the corpus root, "/"-separated, also the path under OUT
  std::string source;   // absolute path of the sound (lexically normal, links not resolved)
  std::string refused;  // why the file is not analysed ("" = it is)
};

// Lists the sounds of corpus: every file under the folder (recursively, not following folder
// links, leaving out hidden entries and the subtree exclude) whose extension is one of
// extensions (lower case, compared without case), or every path of the list file corpus (one a
// line; blank lines and lines starting with '#' are skipped; relative paths are taken from the
// current folder and mirrored relative to root, or when root is empty to the deepest folder
// that holds them all); a corpus that is itself a sound file is a corpus of that one file.
// Sorted by rel, duplicates dropped; sounds that would share a result
// folder (a.wav, a.aif) are kept with a reason in refused. Returns false with err set when
// corpus cannot be read or a listed path lies outside root; unreadable subfolders are named in
// warnings and skipped.
[[nodiscard]] bool list_sounds(const std::string& corpus,
                               const std::vector<std::string>& extensions, const std::string& root,
                               const std::string& exclude, std::vector<SoundEntry>& sounds,
                               std::vector<std::string>& warnings, std::string& err);

}  // namespace corpus
