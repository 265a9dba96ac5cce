#pragma once

#include <ctime>

#include "lumbra/lumbra.h"
#include "sdif/header_keys.h"

// Information table of every analysis file: the information keys of header_keys() in order,
// Program "Glotmark", Version "1.0", UserName (login, "unknow" when login is null or empty),
// FileName (the --input text as given), Time (ctime text of now in local time, blanks as '_',
// no line end), WrittenBy "LumbraLibrary". Bytes a table cannot hold (line ends, invalid UTF-8)
// become '?'.
[[nodiscard]] SDIFNameValueTable infotable(const HeaderFacts& facts, const char* login,
                                           std::time_t now);
