// zstd.cpp -- zstd frames, one after another, with libzstd, within the memory limit
#include <bit>
#include <string>

#include "input/decoders.h"

#if TESSERA_HAVE_ZSTD
#include <zstd.h>
#include <zstd_errors.h>
#endif

namespace tessera::input {

#if TESSERA_HAVE_ZSTD

const bool kHaveZstd = true;

namespace {

class ZstdStream final : public Decompressor {
 public:
  using Decompressor::Decompressor;
  ~ZstdStream() override { ZSTD_freeDCtx(context_); }

  std::size_t Read(char* to, std::size_t size) override {
    if (fault_) return 0;
    if (context_ == nullptr) {
      context_ = ZSTD_createDCtx();
      if (context_ == nullptr) return Fail(Reason::kTooLarge, "no memory to decompress zstd");
      // The window is what --long and the highest levels make large; frames
      // that need more than the budget has left are refused.
      const std::size_t left = std::max<std::size_t>(shared_.budget.left(), 1 << 20);
      window_log_ = std::min(static_cast<int>(std::bit_width(left)) - 1, ZSTD_dParam_getBounds(ZSTD_d_windowLogMax).upperBound);
      ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, window_log_);
    }
    for (;;) {
      if (!Fill()) return 0;
      if (available_ == 0 && at_end_) {
        if (pending_ != 0) return Fail(Reason::kDamaged, "the zstd data ends early: the file is cut short");
        return 0;
      }
      ZSTD_inBuffer in{next_, available_, 0};
      ZSTD_outBuffer out{to, size, 0};
      const std::size_t result = ZSTD_decompressStream(context_, &out, &in);
      next_ += in.pos;
      available_ -= in.pos;
      if (ZSTD_isError(result)) {
        if (ZSTD_getErrorCode(result) == ZSTD_error_frameParameter_windowTooLarge)
          Fail(Reason::kTooLarge, "the zstd data needs a window larger than the " +
                                      std::to_string((std::size_t{1} << window_log_) >> 20) + " MiB left to it");
        else
          Fail(Reason::kDamaged, std::string("damaged zstd data (") + ZSTD_getErrorName(result) + ")");
        return out.pos > 0 ? Count(out.pos) : 0;
      }
      pending_ = result;
      if (out.pos > 0 && !charged_) charged_ = memory_.Take(shared_.budget, std::min(ZSTD_sizeof_DCtx(context_), shared_.budget.left()));
      if (out.pos > 0) return Count(out.pos);
    }
  }

 private:
  ZSTD_DCtx* context_ = nullptr;
  Reservation memory_;
  int window_log_ = 0;
  std::size_t pending_ = 1;  // 0 once a frame is whole
  bool charged_ = false;
};

}  // namespace

std::unique_ptr<Stream> MakeZstd(std::unique_ptr<Stream> source, Shared& shared) {
  return std::make_unique<ZstdStream>(std::move(source), shared);
}

#else

const bool kHaveZstd = false;

std::unique_ptr<Stream> MakeZstd(std::unique_ptr<Stream>, Shared&) { return nullptr; }

#endif

}  // namespace tessera::input
