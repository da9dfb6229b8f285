// archive.cpp -- the members of zip, tar, cpio and ar archives, one after another, with libarchive
//
// Archives are read as a stream (zip by its local headers), so that one
// inside another needs no seeking and no temporary file. Members that are
// not regular files (directories, links, devices) hold no bytes of their
// own and are passed over.
#include <string>

#include "input/decoders.h"

#if TESSERA_HAVE_ARCHIVE
#include <archive.h>
#include <archive_entry.h>
#endif

namespace tessera::input {

#if TESSERA_HAVE_ARCHIVE

const bool kHaveArchive = true;

namespace {

// libarchive's buffers for one archive (zip keeps 256 KiB of output).
constexpr std::size_t kArchiveMemory = std::size_t{512} << 10;

std::string ErrorText(archive* a, std::string_view otherwise) {
  const char* text = archive_error_string(a);
  return text ? std::string(text) : std::string(otherwise);
}

// libarchive's words, sorted by what a person can do about them.
Reason ReasonOf(std::string_view words) {
  for (std::string_view w : {"ncrypt", "assphrase", "assword"})
    if (words.find(w) != std::string_view::npos) return Reason::kEncrypted;
  for (std::string_view w : {"nsupported", "not supported"})
    if (words.find(w) != std::string_view::npos) return Reason::kUnsupported;
  return Reason::kDamaged;
}

class ArchiveContainer final : public Container {
 public:
  ArchiveContainer(std::unique_ptr<Stream> source, Shared& shared)
      : source_(std::move(source)), shared_(shared), expansion_(shared.limits), in_(new char[kChunk]), member_(*this) {}
  ~ArchiveContainer() override {
    if (archive_) archive_read_free(archive_);
  }

  bool Next(Member& member) override {
    if (fault_ || stopped_) return false;
    if (!archive_ && !Open()) return false;
    for (;;) {
      archive_entry* entry = nullptr;
      const int result = archive_read_next_header(archive_, &entry);
      if (result == ARCHIVE_EOF) return false;
      if (result < ARCHIVE_WARN) {
        Stop(ErrorText(archive_, "damaged archive"));
        return false;
      }
      if (archive_entry_filetype(entry) != AE_IFREG) continue;
      const char* path = archive_entry_pathname(entry);
      if (!path) path = archive_entry_pathname_utf8(entry);
      member.name = path ? path : "?";
      if (archive_entry_is_encrypted(entry)) {
        member.stream = nullptr;
        member.skipped = Fault{Fault::kSkipped, 0, Reason::kEncrypted, "an encrypted member: a password is needed"};
        return true;
      }
      member_.Begin();
      member.stream = &member_;
      member.skipped = Fault{};
      return true;
    }
  }

 private:
  class MemberStream final : public Stream {
   public:
    explicit MemberStream(ArchiveContainer& owner) : owner_(owner) {}
    void Begin() {
      fault_ = Fault{};
      out_ = 0;
    }
    std::size_t Read(char* to, std::size_t size) override {
      if (fault_) return 0;
      const la_ssize_t n = archive_read_data(owner_.archive_, to, size);
      if (n < 0) {
        if (owner_.source_->fault()) {
          Inherit(*owner_.source_);
        } else {
          const std::string words = ErrorText(owner_.archive_, "damaged member");
          Fail(ReasonOf(words), words);
        }
        // After a fatal error libarchive reads nothing more of the archive.
        owner_.stopped_ = n == ARCHIVE_FATAL || fault_.kind == Fault::kReadError;
        return 0;
      }
      const auto produced = static_cast<std::size_t>(n);
      out_ += produced;
      // What the archive's reader consumed, not what it read ahead.
      const la_int64_t consumed = archive_filter_bytes(owner_.archive_, 0);
      std::string why = owner_.expansion_.Out(produced, consumed > 0 ? static_cast<uint64_t>(consumed) : 0);
      if (why.empty() && out_ > owner_.shared_.limits.most_decoded) why = "a member larger than the limit";
      if (!why.empty()) {
        // Passing over the rest of a bomb would mean decompressing it.
        Fail(Reason::kTooLarge, std::move(why));
        owner_.stopped_ = true;
      }
      return produced;
    }

   private:
    ArchiveContainer& owner_;
    uint64_t out_ = 0;
  };

  bool Open() {
    if (!memory_.Take(shared_.budget, kArchiveMemory)) {
      fault_ = Fault{Fault::kSkipped, 0, Reason::kTooLarge, "no memory left within the limit to open the archive"};
      return false;
    }
    archive_ = archive_read_new();
    if (!archive_) {
      fault_ = Fault{Fault::kSkipped, 0, Reason::kTooLarge, "no memory to open the archive"};
      return false;
    }
    // Formats whose decoders stay within known memory; compressors are the
    // reader's own layers, so that each is counted and limited.
    archive_read_support_format_zip_streamable(archive_);
    archive_read_support_format_tar(archive_);
    archive_read_support_format_gnutar(archive_);
    archive_read_support_format_cpio(archive_);
    archive_read_support_format_ar(archive_);
    if (archive_read_open(archive_, this, nullptr, ReadCallback, nullptr) != ARCHIVE_OK) {
      Stop(ErrorText(archive_, "not an archive after all"));
      return false;
    }
    return true;
  }

  void Stop(std::string words) {
    if (source_->fault()) {
      fault_ = source_->fault();
    } else {
      fault_ = Fault{Fault::kSkipped, 0, ReasonOf(words), std::move(words)};
    }
  }

  static la_ssize_t ReadCallback(archive*, void* self, const void** buffer) {
    auto& c = *static_cast<ArchiveContainer*>(self);
    const std::size_t n = c.source_->Read(c.in_.get(), kChunk);
    if (n == 0 && c.source_->fault()) return -1;
    *buffer = c.in_.get();
    return static_cast<la_ssize_t>(n);
  }

  std::unique_ptr<Stream> source_;
  Shared& shared_;
  Expansion expansion_;
  std::unique_ptr<char[]> in_;
  Reservation memory_;
  archive* archive_ = nullptr;
  MemberStream member_;
  bool stopped_ = false;  // a member's fault ends the archive
};

}  // namespace

std::unique_ptr<Container> MakeArchive(std::unique_ptr<Stream> source, Shared& shared) {
  return std::make_unique<ArchiveContainer>(std::move(source), shared);
}

#else

const bool kHaveArchive = false;

std::unique_ptr<Container> MakeArchive(std::unique_ptr<Stream>, Shared&) { return nullptr; }

#endif

}  // namespace tessera::input
