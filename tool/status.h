// status.h -- the tool's exit statuses, documented for scripts
#pragma once

namespace tessera::tool {

inline constexpr int kAllValid = 0;     // every record judged is valid (empty records count as neither)
inline constexpr int kSomeInvalid = 1;  // some record is invalid
inline constexpr int kTrouble = 2;      // a usage error, or an input that could not be opened or read

}  // namespace tessera::tool
