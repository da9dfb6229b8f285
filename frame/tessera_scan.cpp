// tessera_scan.cpp -- the finder and the redactor behind the C interface
#include "tessera_scan.h"

#include <algorithm>
#include <array>
#include <new>

#include "cards/redact.h"
#include "cards/scan.h"

namespace {

using tessera::CardFinding;
using tessera::CardScanner;
using tessera::ScanRule;
using tessera::Text;

// Blocks are fed to the core in pieces of at most this size, so that the
// findings one piece can complete fit in what the scanner made room for at
// creation, however large the caller's blocks are.
constexpr std::size_t kPiece = std::size_t{16} << 10;

bool RuleOf(int rule, ScanRule& out) {
  if (rule == TESSERA_SCAN_CARD) out = ScanRule::Card;
  else if (rule == TESSERA_SCAN_LUHN_ONLY) out = ScanRule::LuhnOnly;
  else return false;
  return true;
}

Text View(const char* text, std::size_t size) { return size == 0 ? Text() : Text(text, size); }

constexpr std::array<char, kPiece> kPacked = [] {
  constexpr Text kShortest = "4222222222222\n";
  std::array<char, kPiece> packed{};
  for (std::size_t i = 0; i < packed.size(); ++i) packed[i] = kShortest[i % kShortest.size()];
  return packed;
}();

tessera_finding ToC(const CardFinding& f) {
  return {f.offset, f.size, static_cast<tessera_brand>(f.brand)};
}

}  // namespace

struct tessera_scanner {
  explicit tessera_scanner(ScanRule rule) : scanner(rule) {
    // A piece packed with the shortest numbers, one per line, makes the
    // scanner's list of findings as long as a piece can ever need.
    scanner.Scan(Text(kPacked.data(), kPacked.size()));
    scanner.Finish();
  }

  // Reports `found` to the callback until it says stop; answers their number.
  std::size_t Report(std::span<const CardFinding> found) {
    for (const CardFinding& f : found) {
      if (stopped || callback == nullptr) break;
      const tessera_finding c = ToC(f);
      stopped = callback(context, &c) != 0;
    }
    return found.size();
  }

  CardScanner scanner;
  tessera_finding_callback callback = nullptr;
  void* context = nullptr;
  bool stopped = false;
};

extern "C" {

tessera_scanner* tessera_scanner_new(int rule) {
  ScanRule core;
  if (!RuleOf(rule, core)) return nullptr;
  return new (std::nothrow) tessera_scanner(core);
}

void tessera_scanner_free(tessera_scanner* scanner) { delete scanner; }

size_t tessera_scanner_feed(tessera_scanner* scanner, const char* block, size_t size,
                            tessera_finding_callback callback, void* context) {
  scanner->callback = callback;
  scanner->context = context;
  scanner->stopped = false;
  const Text text = View(block, size);
  std::size_t found = 0;
  for (std::size_t at = 0; at < text.size(); at += kPiece)
    found += scanner->Report(scanner->scanner.Scan(text.substr(at, kPiece)));
  return found;
}

size_t tessera_scanner_finish(tessera_scanner* scanner, tessera_finding_callback callback, void* context) {
  scanner->callback = callback;
  scanner->context = context;
  scanner->stopped = false;
  return scanner->Report(scanner->scanner.Finish());
}

size_t tessera_find_cards(const char* text, size_t size, int rule, tessera_finding* findings, size_t capacity) {
  ScanRule core;
  if (!RuleOf(rule, core)) return 0;
  CardScanner scanner(core);
  std::size_t count = 0;
  auto take = [&](std::span<const CardFinding> found) {
    for (const CardFinding& f : found) {
      if (count < capacity) findings[count] = ToC(f);
      ++count;
    }
  };
  const Text all = View(text, size);
  for (std::size_t at = 0; at < all.size(); at += kPiece) take(scanner.Scan(all.substr(at, kPiece)));
  take(scanner.Finish());
  return count;
}

bool tessera_contains_card(const char* text, size_t size, int rule) {
  ScanRule core;
  if (!RuleOf(rule, core)) return false;
  CardScanner scanner(core);
  const Text all = View(text, size);
  for (std::size_t at = 0; at < all.size(); at += kPiece)
    if (!scanner.Scan(all.substr(at, kPiece)).empty()) return true;
  return !scanner.Finish().empty();
}

size_t tessera_redact(const char* text, size_t size, const tessera_redact_options* options, char* out,
                      size_t capacity) {
  tessera::RedactOptions core;
  if (options != nullptr) {
    switch (options->form) {
      case TESSERA_REDACT_MASK: core.form = tessera::RedactForm::Mask; break;
      case TESSERA_REDACT_FIRST6LAST4: core.form = tessera::RedactForm::First6Last4; break;
      case TESSERA_REDACT_REPLACE: core.form = tessera::RedactForm::Replace; break;
      default: return 0;
    }
    if (!RuleOf(options->rule, core.rule)) return 0;
    core.replacement = View(options->replacement, options->replacement_size);
  }
  // Counts every byte and writes those that fit.
  class Buffer final : public tessera::RedactSink {
   public:
    Buffer(char* out, std::size_t capacity) : out_(out), capacity_(capacity) {}
    void Put(Text bytes) override {
      if (used_ < capacity_) std::copy_n(bytes.data(), std::min(bytes.size(), capacity_ - used_), out_ + used_);
      used_ += bytes.size();
    }
    std::size_t used() const { return used_; }

   private:
    char* out_;
    std::size_t capacity_;
    std::size_t used_ = 0;
  } buffer(out, capacity);
  tessera::CardRedactor redactor(core);
  const Text all = View(text, size);
  for (std::size_t at = 0; at < all.size(); at += kPiece) redactor.Redact(all.substr(at, kPiece), buffer);
  redactor.Finish(buffer);
  return buffer.used();
}

}  // extern "C"
