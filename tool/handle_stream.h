// handle_stream.h -- a file or standard input, as the bottom stream of the input layer
#pragma once

#include "input/stream.h"
#include "tool/platform.h"

namespace tessera::tool {

class HandleStream final : public input::Stream {
 public:
  explicit HandleStream(sys::Handle handle) : handle_(handle) {}
  std::size_t Read(char* to, std::size_t size) override {
    if (fault_) return 0;
    const sys::Transfer t = sys::Read(handle_, to, size);
    if (t.error != 0) return FailRead(t.error);
    return t.bytes;
  }

 private:
  sys::Handle handle_;
};

}  // namespace tessera::tool
