#pragma once

#include <ctime>
#include <string>

#include "driver/cmdline.h"
#include "lumbra/lumbra.h"

// Information table of every analysis file, pairs in this order: Program "Glotmark", Version
// "1.0", UserName (login, "unknow" when login is null or empty), FileName (the --input text as
// given), Time (ctime text of now in local time, blanks as '_', no line end), WrittenBy
// "LumbraLibrary". Bytes a table cannot hold (line ends, invalid UTF-8) become '?'.
[[nodiscard]] SDIFNameValueTable infotable(const gengetopt_args_info& args, const char* login,
                                           std::time_t now);
