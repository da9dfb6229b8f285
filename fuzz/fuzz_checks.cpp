// fuzz_checks.cpp -- arbitrary bytes through all twelve checks, asserting
// the relations that must hold between their answers
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cards/luhn.h"
#include "frame/checks.h"
#include "iddoc/gpa.h"
#include "tessera.h"
#include "tessera_text.h"

namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "relation broken: %s\n", what);
  std::abort();
}

bool IsTruth(int32_t answer) { return answer == -1 || answer == 0; }

// The exported frame sees the text up to its first NUL, and must answer
// as the length-known checks do for that text.
void CheckExports(const char* text) {
  const int32_t brands[] = {IsAmex(text), IsDC(text), IsDisc(text), IsJCB(text), IsMC(text), IsVisa(text)};
  int matches = 0;
  for (int32_t answer : brands) {
    Require(IsTruth(answer), "a brand test answers -1 or 0");
    matches += answer != 0;
  }
  Require(matches <= 1, "at most one brand");
  const int32_t organization = CheckOrganization(text);
  const int32_t number = CheckNumber(text);
  const int32_t card = CheckCard(text);
  const int32_t gpa = CheckGPANo(text);
  const int32_t unexpired = CheckGPANoExpired(text);
  const int32_t age = CheckGPANoAge(text);
  for (int32_t answer : {organization, number, card, gpa, unexpired}) Require(IsTruth(answer), "a check answers -1 or 0");
  Require((organization != 0) == (matches == 1), "CheckOrganization is the or of the brand tests");
  Require((card != 0) == (organization != 0 && number != 0), "CheckCard is CheckOrganization and CheckNumber");
  Require(!(brands[0] && brands[3]), "never both Amex and JCB");
  if (gpa == 0) Require(unexpired == 0 && age == 0, "no expiry or age without a valid GPA number");
  if (gpa != 0) Require(age >= 1, "a valid GPA number has an age of at least 1");

  using namespace tessera;
  const Text view = text ? Text(text) : Text();
  const CardVerdict verdict = JudgeCard(view);
  const Brand expected[] = {Brand::Amex, Brand::DinersClub, Brand::Discover, Brand::Jcb, Brand::MasterCard, Brand::Visa};
  for (std::size_t i = 0; i < 6; ++i) Require((brands[i] != 0) == (verdict.brand == expected[i]), "exports agree on the brand");
  Require((number != 0) == verdict.checksum, "CheckNumber agrees with the card verdict");
  Require((card != 0) == verdict.valid(), "CheckCard agrees with the card verdict");
  Require((gpa != 0) == tessera::CheckGPANo(view), "CheckGPANo agrees over the known length");
}

// The C++ interface takes any bytes, NUL included.
void CheckViews(std::string_view text) {
  using namespace tessera;
  std::string shifted = "X";
  shifted += text;
  Require(CheckNumber(text) == CheckNumber(shifted), "a non-digit in front leaves CheckNumber unchanged");
  const Brand brand = BrandOf(text);
  Require((brand != Brand::None) == CheckOrganization(text), "BrandOf agrees with CheckOrganization");
  Require(brand == RuleBrandOf(text), "the brand lookup agrees with the brand rules");
  Require(BrandOf(text, BrandTable::Current) == RuleBrandOf(text, BrandTable::Current),
          "the current table's lookup agrees with its rules");
  Require(LuhnSum(text) == ScalarLuhnSum(text), "the vector Luhn sum agrees with the scalar one");
  LuhnStream stream;
  for (std::size_t at = 0; at < text.size(); at += 7) stream.Add(text.substr(at, 7));
  Require(stream.Sum() == LuhnSum(text), "the Luhn sum in pieces agrees with the whole");
  // The padded forms, over a copy followed by padding of garbage.
  const PaddedCopy padded(text, '7');
  const CardVerdict whole = JudgeCard(text), in_buffer = JudgeCardPadded(padded.text());
  Require(whole.brand == in_buffer.brand && whole.checksum == in_buffer.checksum, "the padded card check agrees");
  // Every start of the text of up to 40 bytes, and the whole, as one batch:
  // numbers of every length and pairs of every mix of lengths.
  std::vector<PaddedText> batch;
  for (std::size_t n = 0; n <= text.size() && n <= 40; ++n) batch.push_back(padded.text().substr(0, n));
  batch.push_back(padded.text());
  std::vector<CardVerdict> verdicts(batch.size());
  JudgeCardsPadded(batch.data(), batch.size(), verdicts.data());
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const CardVerdict one = JudgeCard(batch[i]);
    Require(one.brand == verdicts[i].brand && one.checksum == verdicts[i].checksum, "the batched card check agrees");
  }
  Require(tessera::CheckGPANo(text) == ScalarCheckGPANo(text), "the vector GPA check agrees with the scalar one");
  // Every 29-byte window, so that the GPA comparison sees many candidates.
  for (std::size_t at = 0; at + kGpaLength <= text.size() && at < 64; ++at) {
    const std::string_view window = text.substr(at, kGpaLength);
    Require(tessera::CheckGPANo(window) == ScalarCheckGPANo(window), "GPA paths agree on a window");
  }
  const Date days[] = {{1999, 12, 31}, {2000, 1, 1}, {2026, 12, 8}, {2079, 12, 31}, {2100, 1, 1}};
  const bool gpa = tessera::CheckGPANo(text);
  for (const Date& day : days) {
    const IdVerdict verdict = JudgeId(text, day);
    Require(verdict.check_digits == gpa, "the id verdict agrees with CheckGPANo");
    const int32_t age = verdict.age;
    if (!gpa) Require(!verdict.unexpired && age == 0, "no dates without a valid number");
    if (gpa) Require(age >= 1 && age <= 108, "ages lie between 1 and 108");
  }
}

// The bytes as a column cut at each newline, in an exact-size copy: every
// column answer is the answer for its text alone, in both offset widths,
// and that is the core's.
template <class Offset>
void CheckColumn(std::string_view bytes) {
  std::vector<Offset> offsets{0};
  for (std::size_t at = 1; at < bytes.size(); ++at)
    if (bytes[at] == '\n') offsets.push_back(static_cast<Offset>(at));
  offsets.push_back(static_cast<Offset>(bytes.size()));
  const std::size_t count = offsets.size() - 1;
  const std::unique_ptr<char[]> data(new char[bytes.size()]);
  if (!bytes.empty()) std::memcpy(data.get(), bytes.data(), bytes.size());
  const tessera_date day{2026, 12, 8};
  std::vector<tessera_card_verdict> cards(count);
  std::vector<tessera_id_verdict> ids(count);
  std::string masked(bytes.size(), '?');
  if constexpr (sizeof(Offset) == 4) {
    tessera_strings_card_verdict(data.get(), offsets.data(), count, cards.data());
    tessera_strings_id_verdict(data.get(), offsets.data(), count, &day, ids.data());
    tessera_strings_mask_card(data.get(), offsets.data(), count, masked.data());
  } else {
    tessera_large_strings_card_verdict(data.get(), offsets.data(), count, cards.data());
    tessera_large_strings_id_verdict(data.get(), offsets.data(), count, &day, ids.data());
    tessera_large_strings_mask_card(data.get(), offsets.data(), count, masked.data());
  }
  for (std::size_t i = 0; i < count; ++i) {
    const auto from = static_cast<std::size_t>(offsets[i]), size = static_cast<std::size_t>(offsets[i + 1]) - from;
    const std::string_view text = bytes.substr(from, size);
    const tessera_card_verdict card = tessera_text_card_verdict(text.data(), size);
    Require(card.valid == cards[i].valid && card.brand == cards[i].brand && card.checksum == cards[i].checksum,
            "a column's card verdicts are those of its texts");
    const tessera::CardVerdict core = tessera::JudgeCard(text);
    Require(card.brand == static_cast<tessera_brand>(core.brand) && card.checksum == core.checksum &&
                card.valid == core.valid(),
            "the C card verdict is the core's");
    const tessera_id_verdict id = tessera_text_id_verdict(text.data(), size, &day);
    Require(id.valid == ids[i].valid && id.check_digits == ids[i].check_digits && id.unexpired == ids[i].unexpired &&
                id.age == ids[i].age,
            "a column's id verdicts are those of its texts");
    Require(id.check_digits == tessera::CheckGPANo(text), "the C id verdict agrees with CheckGPANo");
    Require(masked.compare(from, size, tessera::MaskedCardNumber(text)) == 0, "a masked column masks each text");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // An exact-size copy, so that a read past the NUL is caught.
  char* text = static_cast<char*>(std::malloc(size + 1));
  if (size) std::memcpy(text, data, size);
  text[size] = '\0';
  CheckExports(text);
  std::free(text);
  CheckExports(nullptr);
  CheckViews(bytes);
  CheckColumn<int32_t>(bytes);
  CheckColumn<int64_t>(bytes);
  return 0;
}
