#include "sdif/infotable.h"

SDIFNameValueTable infotable(const HeaderFacts& facts, const char* login, std::time_t now) {
  HeaderFacts f = facts;
  f.login = login;
  f.time = now;
  SDIFNameValueTable t;
  for (const HeaderKey& key : header_keys())
    if (key.table == HeaderTable::info) t.AddNameValue(key.name, key.value(f));
  return t;
}
