// exports.h -- the twelve checks as a table, for tests that call every one
#pragma once

#include <cstdint>

#include "tessera.h"

namespace tessera::cases {

using Check = int32_t(TESSERA_CALL*)(const char*);

struct Export {
  const char* name;
  Check check;
};

inline const Export kExports[] = {
    {"IsAmex", IsAmex},
    {"IsDC", IsDC},
    {"IsDisc", IsDisc},
    {"IsJCB", IsJCB},
    {"IsMC", IsMC},
    {"IsVisa", IsVisa},
    {"CheckOrganization", CheckOrganization},
    {"CheckNumber", CheckNumber},
    {"CheckCard", CheckCard},
    {"CheckGPANo", CheckGPANo},
    {"CheckGPANoExpired", CheckGPANoExpired},
    {"CheckGPANoAge", CheckGPANoAge},
};

}  // namespace tessera::cases
