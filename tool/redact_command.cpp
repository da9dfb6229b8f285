// redact_command.cpp -- tessera redact: inputs written back with every card number replaced
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#if defined(TESSERA_HAVE_HMAC)
#include <openssl/evp.h>
#include <openssl/hmac.h>
#endif

#include "cards/redact.h"
#include "input/input.h"
#include "tool/cat.h"
#include "tool/command.h"
#include "tool/handle_stream.h"
#include "tool/platform.h"
#include "tool/status.h"
#include "tool/writer.h"

namespace tessera::tool {
namespace {

constexpr std::size_t kFlushAt = std::size_t{1} << 17;
constexpr std::size_t kDirect = std::size_t{1} << 13;
constexpr std::string_view kStandardInput = "(standard input)";

// The tag of --hash: the first bytes of the HMAC, enough to tell cards apart
// in a log, too few to search the card space with.
constexpr std::size_t kTagBytes = 6;

struct Key {
  std::string bytes;
};

std::size_t HashTag([[maybe_unused]] void* context, [[maybe_unused]] Text digits, [[maybe_unused]] char* out) {
#if defined(TESSERA_HAVE_HMAC)
  const Key& key = *static_cast<const Key*>(context);
  std::array<unsigned char, EVP_MAX_MD_SIZE> mac{};
  unsigned int size = 0;
  if (HMAC(EVP_sha256(), key.bytes.data(), static_cast<int>(key.bytes.size()),
           reinterpret_cast<const unsigned char*>(digits.data()), digits.size(), mac.data(), &size) == nullptr) {
    size = 0;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string tag = "[card:";
  for (std::size_t i = 0; i < std::min<std::size_t>(kTagBytes, size); ++i) {
    tag += kHex[mac[i] >> 4];
    tag += kHex[mac[i] & 15];
  }
  tag += ']';
  tag.copy(out, tag.size());
  return tag.size();
#else
  return 0;
#endif
}

// Where the output goes: a handle written in large blocks, or after every
// block when line-buffered. Errors are kept, not fatal, so that a file
// written beside its original can be given up cleanly.
class Sink final : public RedactSink {
 public:
  Sink(sys::Handle handle, bool line_buffered) : handle_(handle), line_buffered_(line_buffered) {}

  // Small pieces are gathered; large ones (most of each block) go out as
  // they are, without a copy.
  void Put(Text bytes) override {
    if (bytes.size() < kDirect) {
      buffer_ += bytes;
      return;
    }
    Flush();
    if (error_ == 0) error_ = WriteAll(handle_, bytes);
  }
  void AfterBlock() {
    if (line_buffered_ || buffer_.size() >= kFlushAt) Flush();
  }
  void Flush() {
    if (error_ == 0 && !buffer_.empty()) error_ = WriteAll(handle_, buffer_);
    buffer_.clear();
  }
  int error() const { return error_; }

 private:
  sys::Handle handle_;
  bool line_buffered_;
  std::string buffer_;
  int error_ = 0;
};

struct Options {
  RedactOptions redact;
  std::string replacement;
  Key key;
  std::optional<std::string> output;
  bool in_place = false;
  bool line_buffered = false;
  bool summary = false;
  std::vector<std::string> inputs;
};

struct Totals {
  uint64_t inputs = 0;
  uint64_t bytes = 0;
  uint64_t replaced = 0;
  bool trouble = false;
};

// What the reader could not see into: named on standard error; the input's
// text would be incomplete, so an in-place redaction is given up.
class Notices final : public input::Listener {
 public:
  explicit Notices(const std::string& path) : path_(path) {}
  void Skipped(std::string_view where, input::Reason reason, std::string_view detail) override {
    Complain(Cat(Escaped(path_), Escaped(where), ": not seen into (", std::string(input::ReasonName(reason)),
                 "): ", Escaped(detail)));
    any_ = true;
  }
  bool any() const { return any_; }

 private:
  const std::string& path_;
  bool any_ = false;
};

bool Decoded(const input::Counts& counts) {
  return std::ranges::any_of(counts.decoded, [](uint64_t n) { return n != 0; }) || counts.members != 0;
}

std::string DecodedKinds(const input::Counts& counts) {
  std::string kinds;
  for (std::size_t kind = 0; kind < input::kKindCount; ++kind)
    if (counts.decoded[kind] != 0)
      kinds += (kinds.empty() ? "" : ", ") + std::string(input::KindName(static_cast<input::Kind>(kind)));
  return kinds.empty() ? std::string("a container") : kinds;
}

enum class Outcome : unsigned char { Done, Refused, Failed };

// Reads one input through the input layer and writes its texts, redacted.
// With `plain_only`, anything that needed decoding is refused before a byte
// of it is written.
Outcome RedactInput(const std::string& path, sys::Handle handle, bool may_wait, Sink& sink,
                    CardRedactor& redactor, Totals& totals, bool plain_only) {
  const uint64_t replaced_before = redactor.replaced_total();
  HandleStream stream(handle);
  Notices notices(path);
  input::Reader reader(stream, notices);
  std::string where;
  PaddedText block;
  while (reader.NextText(where)) {
    if (plain_only && (!where.empty() || Decoded(reader.counts()))) {
      Complain(Cat(Escaped(path), ": not redacted in place: it is ", DecodedKinds(reader.counts()),
                   " data, which would be written back decoded; redact it to another file with -o"));
      return Outcome::Refused;
    }
    while (true) {
      if (may_wait) sink.Flush();
      if (!reader.NextBlock(block)) break;
      totals.bytes += block.size();
      redactor.RedactPadded(block, sink);
      sink.AfterBlock();
      if (sink.error() != 0) return Outcome::Failed;
    }
    redactor.Finish(sink);
  }
  totals.replaced += redactor.replaced_total() - replaced_before;
  if (reader.read_error() != 0) {
    Complain(Cat("cannot read ", Escaped(path), ": ", sys::ErrorText(reader.read_error())));
    return Outcome::Failed;
  }
  if (plain_only && notices.any()) return Outcome::Refused;
  if (notices.any()) totals.trouble = true;
  return Outcome::Done;
}

#if !defined(_WIN32)

// A file written beside `target` and renamed over it once complete and on
// disk, so that readers see the old file or the new one, never a part.
class Replacement {
 public:
  explicit Replacement(std::string target) : target_(std::move(target)) {}
  ~Replacement() { Abandon(); }
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;

  // Empty, or why the file beside could not be made.
  std::string Open(const struct stat* keep) {
    const std::size_t slash = target_.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    temp_ = (slash == std::string::npos ? std::string() : dir) + "." + base + ".tessera-XXXXXX";
    fd_ = mkstemp(temp_.data());
    if (fd_ < 0) {
      const int error = errno;
      temp_.clear();
      return Cat("cannot write beside ", Escaped(target_), ": ", sys::ErrorText(error));
    }
    if (keep != nullptr) {
      if (fchmod(fd_, keep->st_mode & 07777) != 0) return Failure("cannot keep the mode of ");
      if ((keep->st_uid != geteuid() || keep->st_gid != getegid()) && fchown(fd_, keep->st_uid, keep->st_gid) != 0)
        return Failure("cannot keep the owner of ");
    } else {
      // A new file gets the mode any new file would.
      const mode_t mask = umask(0);
      umask(mask);
      if (fchmod(fd_, 0666 & ~mask) != 0) return Failure("cannot set the mode of ");
    }
    return {};
  }
  int fd() const { return fd_; }

  // Empty, or why the file could not be put in place (then it is removed).
  std::string Commit() {
    if (fsync(fd_) != 0) return Failure("cannot write ");
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) return Failure("cannot write ");
    if (rename(temp_.c_str(), target_.c_str()) != 0) return Failure("cannot replace ");
    temp_.clear();
    return {};
  }
  void Abandon() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
  }

 private:
  // What failed, with the system's words for errno.
  std::string Failure(std::string_view what) const {
    const int error = errno;
    return Cat(what, Escaped(target_), ": ", sys::ErrorText(error));
  }

  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

int RedactInPlace(const Options& options, Totals& totals) {
  int status = kAllValid;
  for (const std::string& path : options.inputs) {
    ++totals.inputs;
    // Afresh for each file: one given up may leave a number open.
    CardRedactor redactor(options.redact);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
      Complain(Cat("cannot open ", Escaped(path), ": ", sys::ErrorText(errno)));
      status = kTrouble;
      continue;
    }
    if (!S_ISREG(st.st_mode)) {
      Complain(Cat(Escaped(path), ": not redacted in place: not a plain file"));
      status = kTrouble;
      continue;
    }
    const sys::Opened in = sys::OpenForReading(path);
    if (in.error != 0) {
      Complain(Cat("cannot open ", Escaped(path), ": ", sys::ErrorText(in.error)));
      status = kTrouble;
      continue;
    }
    Replacement out(path);
    std::string error = out.Open(&st);
    Outcome outcome = Outcome::Failed;
    if (error.empty()) {
      Sink sink(out.fd(), false);
      outcome = RedactInput(path, in.handle, false, sink, redactor, totals, true);
      sink.Flush();
      if (outcome == Outcome::Done && sink.error() != 0)
        error = Cat("cannot write ", Escaped(path), ": ", sys::ErrorText(sink.error()));
      if (outcome == Outcome::Done && error.empty()) error = out.Commit();
    }
    sys::Close(in.handle);
    if (!error.empty()) Complain(error + "; the file is left as it was");
    if (outcome != Outcome::Done || !error.empty()) {
      out.Abandon();
      status = kTrouble;
    }
  }
  return status;
}

#endif

int RedactStreams(const Options& options, Totals& totals) {
  int status = kAllValid;
  sys::Handle handle = sys::StandardOutput();
  bool line_buffered = options.line_buffered || sys::IsTerminal(handle);
#if !defined(_WIN32)
  std::optional<Replacement> beside;
  if (options.output) {
    struct stat st {};
    const bool exists = stat(options.output->c_str(), &st) == 0;
    if (!exists || S_ISREG(st.st_mode)) {
      beside.emplace(*options.output);
      if (std::string error = beside->Open(exists ? &st : nullptr); !error.empty()) {
        Complain(error);
        return kTrouble;
      }
      handle = beside->fd();
    } else {
      // A device or a pipe: written as it is.
      handle = open(options.output->c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      if (handle < 0) {
        Complain(Cat("cannot write ", Escaped(*options.output), ": ", sys::ErrorText(errno)));
        return kTrouble;
      }
    }
    line_buffered = options.line_buffered;
  }
#endif
  Sink sink(handle, line_buffered);
  CardRedactor redactor(options.redact);
  for (const std::string& operand : options.inputs) {
    ++totals.inputs;
    const bool standard_input = operand == "-";
    const std::string path = standard_input ? std::string(kStandardInput) : operand;
    sys::Handle in = sys::StandardInput();
    if (!standard_input) {
      const sys::Opened opened = sys::OpenForReading(operand);
      if (opened.error != 0) {
        Complain(Cat("cannot open ", Escaped(path), ": ", sys::ErrorText(opened.error)));
        status = kTrouble;
        continue;
      }
      in = opened.handle;
    }
    const Outcome outcome =
        RedactInput(path, in, sys::MayWait(in), sink, redactor, totals, false);
    if (!standard_input) sys::Close(in);
    if (outcome != Outcome::Done) status = kTrouble;
    if (sink.error() != 0) break;
  }
  sink.Flush();
  const std::string shown = options.output ? Escaped(*options.output) : std::string("standard output");
  if (sink.error() != 0) {
    if (!options.output && sys::IsBrokenPipe(sink.error())) std::_Exit(kTrouble);
    Complain(Cat("cannot write ", shown, ": ", sys::ErrorText(sink.error())));
    return kTrouble;
  }
#if !defined(_WIN32)
  if (beside) {
    if (std::string error = beside->Commit(); !error.empty()) {
      Complain(error);
      return kTrouble;
    }
  } else if (options.output) {
    if (close(handle) != 0) {
      Complain(Cat("cannot write ", shown, ": ", sys::ErrorText(errno)));
      return kTrouble;
    }
  }
#endif
  return status;
}

}  // namespace

int RedactMain(const Invocation& invocation) {
  const ParsedArgs& args = invocation.args;
  Options options;
  int forms = 0;
  for (const Argument& a : args.in_order) {
    if (a.flag == nullptr) {
      options.inputs.push_back(a.value);
      continue;
    }
    switch (a.flag->id) {
      case kRedactMaskFlag:
        ++forms;
        if (a.value == "last4") {
          options.redact.form = RedactForm::Mask;
        } else if (a.value == "first6last4") {
          options.redact.form = RedactForm::First6Last4;
        } else {
          return UsageError(&invocation.command, Cat("unknown --mask ", Quoted(a.value), ": use last4 or first6last4"));
        }
        break;
      case kReplaceFlag:
        ++forms;
        options.redact.form = RedactForm::Replace;
        options.replacement = a.value;
        break;
      case kHashFlag: {
        ++forms;
#if !defined(TESSERA_HAVE_HMAC)
        return UsageError(&invocation.command, "--hash: this build has no HMAC (it was built without libcrypto)");
#else
        std::ifstream file(a.value, std::ios::binary);
        options.key.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        if (!file && !file.eof()) return UsageError(&invocation.command, Cat("cannot read the key ", Escaped(a.value)));
        if (options.key.bytes.empty())
          return UsageError(&invocation.command, Cat("the key ", Escaped(a.value), " is empty"));
        options.redact.form = RedactForm::Tag;
        break;
#endif
      }
      case kOutputFlag:
        options.output = a.value;
        break;
      case kInPlaceFlag:
        options.in_place = true;
        break;
      case kLineBufferedFlag:
        options.line_buffered = true;
        break;
      case kRedactSummaryFlag:
        options.summary = true;
        break;
      case kLuhnOnlyFlag:
        options.redact.rule = ScanRule::LuhnOnly;
        break;
      default:
        break;
    }
  }
  if (forms > 1) return UsageError(&invocation.command, "give one of --mask, --replace and --hash");
  options.redact.replacement = options.replacement;
  options.redact.tag = HashTag;
  options.redact.tag_context = &options.key;
  if (options.in_place && options.output) return UsageError(&invocation.command, "give --in-place or -o, not both");
#if defined(_WIN32)
  if (options.in_place || options.output)
    return UsageError(&invocation.command, "--in-place and -o are not available on Windows: redirect the output");
#endif
  if (options.in_place && (options.inputs.empty() || std::ranges::count(options.inputs, "-") != 0))
    return UsageError(&invocation.command, "--in-place needs files, not standard input");
  if (options.inputs.empty()) options.inputs.push_back("-");

  Totals totals;
  int status = kAllValid;
  if (options.in_place) {
#if !defined(_WIN32)
    status = RedactInPlace(options, totals);
#endif
  } else {
    status = RedactStreams(options, totals);
  }
  if (totals.trouble) status = kTrouble;
  if (options.summary) {
    // Written as it is: Complain would mask a byte count of more than ten digits.
    WriteAll(sys::StandardError(),
             Cat("tessera: ", std::to_string(totals.replaced), totals.replaced == 1 ? " number" : " numbers",
                 " redacted in ", std::to_string(totals.inputs), totals.inputs == 1 ? " input" : " inputs", " (",
                 std::to_string(totals.bytes), " bytes)\n"));
  }
  return status;
}

}  // namespace tessera::tool
