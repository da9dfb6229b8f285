// guarded.h -- bytes whose last one is the last readable byte before an
// inaccessible page, in read-only memory: any read past them or any write
// to them faults
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <string_view>

namespace tessera::fixtures {

class GuardedBytes {
 public:
  explicit GuardedBytes(std::string_view bytes) : size_(bytes.size()) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    readable_ = (bytes.size() + page) / page * page;
    void* block = mmap(nullptr, readable_ + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::runtime_error("mmap failed");
    base_ = static_cast<char*>(block);
    data_ = base_ + readable_ - bytes.size();
    std::memcpy(data_, bytes.data(), bytes.size());
    if (mprotect(base_, readable_, PROT_READ) != 0 || mprotect(base_ + readable_, page, PROT_NONE) != 0)
      throw std::runtime_error("mprotect failed");
    mapped_ = readable_ + page;
  }
  ~GuardedBytes() { munmap(base_, mapped_); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;

  const char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  char* base_;
  char* data_;
  std::size_t size_;
  std::size_t readable_ = 0;
  std::size_t mapped_ = 0;
};

}  // namespace tessera::fixtures
