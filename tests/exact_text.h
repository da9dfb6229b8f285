// exact_text.h -- a text in a heap block of exactly its size, NUL included,
// so that AddressSanitizer catches any read past the NUL
#pragma once

#include <cstring>
#include <memory>
#include <string_view>

namespace tessera::fixtures {

class ExactText {
 public:
  explicit ExactText(std::string_view text) : bytes_(new char[text.size() + 1]) {
    std::memcpy(bytes_.get(), text.data(), text.size());
    bytes_[text.size()] = '\0';
  }
  const char* c_str() const { return bytes_.get(); }

 private:
  std::unique_ptr<char[]> bytes_;
};

}  // namespace tessera::fixtures
