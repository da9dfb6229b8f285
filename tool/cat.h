// cat.h -- text joined from pieces, for messages and documents
#pragma once

#include <string>
#include <string_view>

namespace tessera::tool {

// Appends into one string: no temporary is inserted into at its front
// (which GCC 12 misreads as an overlapping copy).
template <class... Pieces>
std::string Cat(const Pieces&... pieces) {
  std::string text;
  (text.append(std::string_view(pieces)), ...);
  return text;
}

}  // namespace tessera::tool
