// xz.cpp -- xz streams, one after another, with liblzma, within the memory limit
#include <string>

#include "input/decoders.h"

#if TESSERA_HAVE_XZ
#include <lzma.h>
#endif

namespace tessera::input {

#if TESSERA_HAVE_XZ

const bool kHaveXz = true;

namespace {

std::string Mebibytes(uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB"; }

class XzStream final : public Decompressor {
 public:
  using Decompressor::Decompressor;
  ~XzStream() override {
    if (ready_) lzma_end(&lzma_);
  }

  std::size_t Read(char* to, std::size_t size) override {
    if (fault_) return 0;
    if (!ready_) {
      // The dictionary is what xz -9 makes large (64 MiB); whatever the
      // budget has left is the most it may take.
      limit_ = shared_.budget.left();
      if (lzma_stream_decoder(&lzma_, limit_, LZMA_CONCATENATED) != LZMA_OK)
        return Fail(Reason::kTooLarge, "no memory to decompress xz");
      ready_ = true;
    }
    for (;;) {
      if (!Fill()) return 0;
      lzma_.next_in = reinterpret_cast<const uint8_t*>(next_);
      lzma_.avail_in = available_;
      lzma_.next_out = reinterpret_cast<uint8_t*>(to);
      lzma_.avail_out = size;
      const lzma_ret result = lzma_code(&lzma_, at_end_ ? LZMA_FINISH : LZMA_RUN);
      next_ = reinterpret_cast<const char*>(lzma_.next_in);
      available_ = lzma_.avail_in;
      const std::size_t produced = size - lzma_.avail_out;
      if (produced > 0 && !charged_) {
        charged_ = memory_.Take(shared_.budget, std::min<uint64_t>(lzma_memusage(&lzma_), shared_.budget.left()));
      }
      if (result == LZMA_STREAM_END) return produced > 0 ? Count(produced) : 0;
      if (result == LZMA_MEMLIMIT_ERROR) {
        Fail(Reason::kTooLarge, "the xz data needs " + Mebibytes(lzma_memusage(&lzma_)) +
                                    " of memory to decompress, more than the " + Mebibytes(limit_) + " left to it");
        return produced > 0 ? Count(produced) : 0;
      }
      if (result == LZMA_BUF_ERROR && at_end_) {
        Fail(Reason::kDamaged, "the xz data ends early: the file is cut short");
        return produced > 0 ? Count(produced) : 0;
      }
      if (result != LZMA_OK && result != LZMA_BUF_ERROR) {
        Fail(Reason::kDamaged, result == LZMA_MEM_ERROR ? "no memory to decompress xz" : "damaged xz data");
        return produced > 0 ? Count(produced) : 0;
      }
      if (produced > 0) return Count(produced);
      if (at_end_ && available_ == 0) return Fail(Reason::kDamaged, "the xz data ends early: the file is cut short");
    }
  }

 private:
  lzma_stream lzma_ = LZMA_STREAM_INIT;
  Reservation memory_;
  uint64_t limit_ = 0;
  bool ready_ = false;
  bool charged_ = false;
};

}  // namespace

std::unique_ptr<Stream> MakeXz(std::unique_ptr<Stream> source, Shared& shared) {
  return std::make_unique<XzStream>(std::move(source), shared);
}

#else

const bool kHaveXz = false;

std::unique_ptr<Stream> MakeXz(std::unique_ptr<Stream>, Shared&) { return nullptr; }

#endif

}  // namespace tessera::input
