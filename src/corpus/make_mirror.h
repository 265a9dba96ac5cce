// The output tree that mirrors a corpus: one symbolic link per sound.
#pragma once

#include <string>
#include <vector>

#include "corpus/list_sounds.h"

namespace corpus {

// Makes OUT/rel a symbolic link to each sound's source (creating the folders), keeping a link
// that already points there. A link that points elsewhere (the corpus moved or changed) is
// replaced, and the sound's old row and results are removed with it. A path of OUT taken by
// anything but a link is left untouched and the sound is refused with the reason. Never
// throws; folders or links that cannot be made refuse their sound.
void make_mirror(const std::string& out, std::vector<SoundEntry>& sounds);

}  // namespace corpus
