#include "sdif/paramtable.h"

SDIFNameValueTable paramtable(const HeaderFacts& facts, bool with_force_fcmax) {
  SDIFNameValueTable t;
  for (const HeaderKey& key : header_keys()) {
    if (key.table != HeaderTable::parameters) continue;
    if (!with_force_fcmax && !key.in_f0_file) continue;
    t.AddNameValue(key.name, key.value(facts));
  }
  return t;
}
