// fuzz_redact.cpp -- arbitrary bytes through the redactor in arbitrary
// blocks, held against the findings of the whole text
//
// The first byte picks the form and the rule, the next two seed where the
// blocks end; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cards/redact.h"

namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "relation broken: %s\n", what);
  std::abort();
}

std::size_t Tag(void*, tessera::Text digits, char* out) {
  const std::string tag = "<" + std::to_string(digits.size()) + ">";
  tag.copy(out, tag.size());
  return tag.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tessera;
  if (size < 3) return 0;
  RedactOptions options;
  options.form = static_cast<RedactForm>(data[0] & 3);
  options.rule = data[0] & 4 ? ScanRule::LuhnOnly : ScanRule::Card;
  options.replacement = "[card]";
  options.tag = Tag;
  unsigned seed = data[1] | data[2] << 8;
  const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

  CardRedactor redactor(options);
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    seed = seed * 1103515245 + 12345;
    const std::size_t n = 1 + (seed >> 16) % 97;
    redactor.Redact(text.substr(at, n), out);
    at += std::min(n, text.size() - at);
  }
  redactor.Finish(out);
  Require(out == RedactCards(text, options), "blocks do not change the output");

  // Outside the findings, the input's bytes; inside, the form's replacement.
  const std::vector<CardFinding> findings = FindCards(text, options.rule);
  std::size_t in = 0, at = 0;
  const bool masked = options.form == RedactForm::Mask || options.form == RedactForm::First6Last4;
  for (const CardFinding& f : findings) {
    Require(out.compare(at, f.offset - in, text.substr(in, f.offset - in)) == 0, "bytes between findings kept");
    at += f.offset - in;
    if (masked) {
      std::size_t shown = 0;
      for (std::size_t i = 0; i < f.size; ++i) {
        const char c = text[f.offset + i], r = out[at + i];
        Require(r == c || (IsDigit(c) && r == '*'), "masking keeps separators and hides digits as '*'");
        shown += IsDigit(c) && r == c;
      }
      Require(shown <= (options.form == RedactForm::Mask ? 4u : 10u), "no more digits shown than the form allows");
      at += f.size;
    } else {
      const std::string expected = options.form == RedactForm::Replace
                                       ? std::string("[card]")
                                       : "<" + std::to_string(std::count_if(f.bytes.begin(), f.bytes.begin() + f.size,
                                                                            IsDigit)) + ">";
      Require(out.compare(at, expected.size(), expected) == 0, "the replacement stands for the number");
      at += expected.size();
    }
    in = f.offset + f.size;
  }
  Require(out.compare(at, std::string::npos, text.substr(in)) == 0, "bytes after the last finding kept");
  Require(FindCards(out, options.rule).empty(), "no number left in the output");
  Require(RedactCards(out, options) == out, "redacting twice is redacting once");
  return 0;
}
