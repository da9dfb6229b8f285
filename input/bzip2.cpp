// bzip2.cpp -- bzip2 streams, one after another as bzip2 -d reads them, with libbz2
#include <climits>
#include <string>

#include "input/decoders.h"

#if TESSERA_HAVE_BZIP2
#include <bzlib.h>
#endif

namespace tessera::input {

#if TESSERA_HAVE_BZIP2

const bool kHaveBzip2 = true;

namespace {

// libbz2's tables for the largest blocks (bzip2 -9), and in its small mode.
constexpr std::size_t kTables = std::size_t{3800} << 10;
constexpr std::size_t kSmallTables = std::size_t{2300} << 10;

class Bzip2Stream final : public Decompressor {
 public:
  using Decompressor::Decompressor;
  ~Bzip2Stream() override { End(); }

  std::size_t Read(char* to, std::size_t size) override {
    if (fault_) return 0;
    size = std::min<std::size_t>(size, UINT_MAX);
    for (;;) {
      if (!Fill()) return 0;
      if (!in_stream_) {
        // Parallel compressors write several streams; all are one text.
        if (available_ == 0) {
          if (at_end_) return 0;
          continue;
        }
        End();
        in_stream_ = true;
      }
      if (!ready_ && !Begin()) return 0;
      if (available_ == 0 && at_end_) return Fail(Reason::kDamaged, "the bzip2 data ends early: the file is cut short");
      bz_.next_in = const_cast<char*>(next_);
      bz_.avail_in = static_cast<unsigned>(available_);
      bz_.next_out = to;
      bz_.avail_out = static_cast<unsigned>(size);
      const int result = BZ2_bzDecompress(&bz_);
      next_ = bz_.next_in;
      available_ = bz_.avail_in;
      const std::size_t produced = size - bz_.avail_out;
      if (result == BZ_STREAM_END) {
        in_stream_ = false;
      } else if (result != BZ_OK) {
        Fail(Reason::kDamaged, result == BZ_MEM_ERROR ? "no memory to decompress bzip2" : "damaged bzip2 data");
        return Count(produced);
      }
      if (produced > 0) return Count(produced);
    }
  }

 private:
  bool Begin() {
    bool small = false;
    if (!memory_.Take(shared_.budget, kTables)) {
      if (!memory_.Take(shared_.budget, kSmallTables))
        return Fail(Reason::kTooLarge, "no memory left within the limit to decompress bzip2 data"), false;
      small = true;
    }
    bz_ = bz_stream{};
    if (BZ2_bzDecompressInit(&bz_, 0, small ? 1 : 0) != BZ_OK)
      return Fail(Reason::kTooLarge, "no memory to decompress bzip2"), false;
    ready_ = true;
    return true;
  }
  void End() {
    if (ready_) BZ2_bzDecompressEnd(&bz_);
    ready_ = false;
    memory_.Release();
  }

  bz_stream bz_{};
  Reservation memory_;
  bool ready_ = false;
  bool in_stream_ = true;
};

}  // namespace

std::unique_ptr<Stream> MakeBzip2(std::unique_ptr<Stream> source, Shared& shared) {
  return std::make_unique<Bzip2Stream>(std::move(source), shared);
}

#else

const bool kHaveBzip2 = false;

std::unique_ptr<Stream> MakeBzip2(std::unique_ptr<Stream>, Shared&) { return nullptr; }

#endif

}  // namespace tessera::input
