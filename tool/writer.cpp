// writer.cpp -- buffered output that waits on a full pipe and ends quietly when its reader leaves
#include "tool/cat.h"
#include "tool/writer.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/checks.h"
#include "tool/status.h"

namespace tessera::tool {
namespace {

// The writer on standard output, flushed before any complaint.
Writer* standard_output = nullptr;

// A message may quote a record, a header or a word typed on the command
// line: each chain of digit groups in it (joined by one space or hyphen, as
// numbers are written) is masked as a card number is, so that no more than
// its first six and last four digits show; a chain of ten digits or fewer
// is left as it is.
void MaskDigitChains(std::string& text) {
  auto is_digit = [&](std::size_t i) { return i < text.size() && IsDigit(text[i]); };
  for (std::size_t i = 0; i < text.size();) {
    if (!is_digit(i)) {
      ++i;
      continue;
    }
    std::size_t end = i;
    for (;;) {
      while (is_digit(end)) ++end;
      if (end < text.size() && (text[end] == ' ' || text[end] == '-') && is_digit(end + 1)) {
        ++end;
      } else {
        break;
      }
    }
    const std::string chain = text.substr(i, end - i);
    MaskCardNumber(chain, text.data() + i);
    i = end;
  }
}

}  // namespace

int WriteAll(sys::Handle out, std::string_view bytes) {
  while (!bytes.empty()) {
    const sys::Transfer t = sys::Write(out, bytes.data(), bytes.size());
    if (t.error != 0) return t.error;
    bytes.remove_prefix(t.bytes);
  }
  return 0;
}

Writer::Writer(sys::Handle out)
    : out_(out), line_buffered_(sys::IsTerminal(out)), buffer_(new char[kCapacity]) {
  if (out == sys::StandardOutput()) standard_output = this;
}

Writer::~Writer() {
  Drain();
  if (standard_output == this) standard_output = nullptr;
}

void Writer::Put(std::string_view bytes) {
  while (!bytes.empty()) {
    if (used_ == kCapacity) Drain();
    const std::size_t n = std::min(bytes.size(), kCapacity - used_);
    std::memcpy(buffer_.get() + used_, bytes.data(), n);
    used_ += n;
    bytes.remove_prefix(n);
  }
}

void Writer::PutShown(std::string_view bytes, Quoting quoting) {
  if (IsPlain(bytes, quoting)) return Put(bytes);
  constexpr std::size_t kPiece = kMaxRoom / kEscapeGrowth;
  while (!bytes.empty()) {
    std::size_t n = bytes.size();
    if (n > kPiece) {
      n = WholeSequencesIn(bytes.substr(0, kPiece));
      if (n == 0) n = kPiece;
    }
    char* at = Room(n * kEscapeGrowth);
    Advance(static_cast<std::size_t>(EscapeTo(bytes.substr(0, n), quoting, at) - at));
    bytes.remove_prefix(n);
  }
}

void Writer::Drain() {
  if (used_ == 0) return;
  const int error = WriteAll(out_, std::string_view(buffer_.get(), used_));
  used_ = 0;
  if (error == 0) return;
  if (standard_output == this) standard_output = nullptr;
  if (!sys::IsBrokenPipe(error)) Complain(Cat("cannot write the output: ", sys::ErrorText(error)));
  std::_Exit(kTrouble);
}

void Complain(std::string_view message) {
  if (standard_output != nullptr) standard_output->Flush();
  std::string line = "tessera: ";
  line += message;
  MaskDigitChains(line);
  line += '\n';
  WriteAll(sys::StandardError(), line);
}

}  // namespace tessera::tool
