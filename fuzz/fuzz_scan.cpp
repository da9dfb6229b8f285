// fuzz_scan.cpp -- arbitrary bytes through the card scanner in arbitrary
// blocks, held against the plain reference scanner of the tests
//
// The first byte picks the rule (seed or current, Luhn only or not) and
// whether blocks are padded, the next two seed where the blocks end; the
// rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cards/scan.h"
#include "cards/scan_simd.h"
#include "tests/isas.h"
#include "tests/scan_reference.h"

namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "relation broken: %s\n", what);
  std::abort();
}

bool Same(const tessera::CardFinding& found, const tessera::reference::Finding& expected) {
  const tessera::Judgement& j = expected.judgement;
  return found.offset == expected.offset && found.line == expected.line && found.column == expected.column &&
         found.number() == expected.number && found.brand == expected.brand && found.reason == j.reason &&
         found.kept == j.kept && found.track == j.track && found.test == j.test && found.key_name() == expected.key;
}

void CheckClasses(std::string_view text) {
  using namespace tessera;
  std::string chunks(text);
  chunks.resize((chunks.size() + 63) / 64 * 64, 'x');
  const std::size_t n = chunks.size() / 64;
  // The skippers may read past the end.
  chunks.append(kPadding, '0');
  const auto* p = reinterpret_cast<const unsigned char*>(chunks.data());
  for (const bool wide : {false, true}) {
    std::vector<ByteClasses> expected(n), actual(n);
    (wide ? ClassifyBytesScalarWide : ClassifyBytesScalar)(p, n, expected.data());
    auto same = [&] {
      for (std::size_t i = 0; i < n; ++i)
        if (actual[i].digits != expected[i].digits || actual[i].separators != expected[i].separators ||
            actual[i].newlines != expected[i].newlines || actual[i].high != expected[i].high)
          return false;
      return true;
    };
    for (const simd::Isa isa : kRunningIsas) {
      const ScanForms& forms = ScanFormsFor(isa);
      (wide ? forms.classify_wide : forms.classify)(p, n, actual.data());
      Require(same(), "the vector byte classes agree with the portable ones");
      // From every offset of the first chunks, as after a chain.
      for (std::size_t at = 0; at < text.size() && at < 130; ++at) {
        detail::ScanSkipper portable{}, fast{};
        for (detail::ScanSkipper* s : {&portable, &fast}) {
          s->classify = wide ? ClassifyBytesScalarWide : ClassifyBytesScalar;
          s->longest = at % 2 ? kLongestCard : kLongestLuhnRun;
        }
        Require((wide ? SkipPortableWide : SkipPortable)(portable, p, at, text.size(), true) ==
                    (wide ? forms.skip_wide : forms.skip)(fast, p, at, text.size(), true),
                "the vector skipper finds the chain the portable one finds");
        Require(portable.lines == fast.lines && portable.line_start == fast.line_start,
                "the vector skipper counts the lines the portable one counts");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tessera;
  if (size < 3) return 0;
  const bool luhn_only = data[0] & 1, padded = data[0] & 2;
  const ScanRule rule{data[0] & 4 ? BrandTable::Seed : BrandTable::Current, luhn_only};
  uint32_t state = static_cast<uint32_t>(data[1] << 8 | data[2]) * 2654435761u + 1;
  const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

  const std::vector<reference::Finding> expected = reference::FindCards(text, rule);
  CardScanner scanner(rule);
  std::vector<CardFinding> found;
  auto take = [&found](std::span<const CardFinding> some) { found.insert(found.end(), some.begin(), some.end()); };
  for (std::size_t at = 0; at < text.size();) {
    state = state * 1103515245u + 12345u;
    // Mostly short blocks, so that numbers straddle many block ends.
    const std::size_t length = std::min<std::size_t>(text.size() - at, (state >> 16) % (state & 0x100 ? 200 : 20));
    // An exact-size copy, so that a read past the block is caught.
    std::vector<char> block(text.begin() + static_cast<std::ptrdiff_t>(at),
                            text.begin() + static_cast<std::ptrdiff_t>(at + length));
    if (padded) {
      block.resize(length + kPadding, '5');
      take(scanner.ScanPadded(PaddedText(block.data(), length)));
    } else {
      take(scanner.Scan(Text(block.data(), block.size())));
    }
    at += length;
  }
  take(scanner.Finish());
  Require(found.size() == expected.size(), "as many findings as the reference scanner");
  for (std::size_t i = 0; i < found.size(); ++i) Require(Same(found[i], expected[i]), "the same findings");
  CheckClasses(text);
  return 0;
}
