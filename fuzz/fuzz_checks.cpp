// fuzz_checks.cpp -- arbitrary bytes through all twelve checks, asserting
// the relations that must hold between their answers
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "cards/card.h"
#include "frame/today.h"
#include "iddoc/dates.h"
#include "iddoc/gpa.h"
#include "tessera.h"

namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "relation broken: %s\n", what);
  std::abort();
}

bool IsTruth(int32_t answer) { return answer == -1 || answer == 0; }

// The exported frame sees the text up to its first NUL.
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
}

// The C++ interface takes any bytes, NUL included.
void CheckViews(std::string_view text) {
  using namespace tessera;
  std::string shifted = "X";
  shifted += text;
  Require(CheckNumber(text) == CheckNumber(shifted), "a non-digit in front leaves CheckNumber unchanged");
  const Brand brand = BrandOf(text);
  Require((brand != Brand::None) == CheckOrganization(text), "BrandOf agrees with CheckOrganization");
  Require(brand == PlainBrandOf(text), "the brand switch agrees with the brand table");
  Require(LuhnSum(text) == PlainLuhnSum(text), "the vector Luhn sum agrees with the plain one");
  Require(tessera::CheckGPANo(text) == PlainCheckGPANo(text), "the vector GPA check agrees with the plain one");
  // Every 29-byte window, so that the GPA comparison sees many candidates.
  for (std::size_t at = 0; at + kGpaLength <= text.size() && at < 64; ++at) {
    const std::string_view window = text.substr(at, kGpaLength);
    Require(tessera::CheckGPANo(window) == PlainCheckGPANo(window), "GPA paths agree on a window");
  }
  const Date days[] = {{1999, 12, 31}, {2000, 1, 1}, {2026, 12, 8}, {2079, 12, 31}, {2100, 1, 1}};
  const bool gpa = tessera::CheckGPANo(text);
  for (const Date& day : days) {
    const int32_t age = tessera::CheckGPANoAge(text, day);
    if (!gpa) Require(!tessera::CheckGPANoExpired(text, day) && age == 0, "no dates without a valid number");
    if (gpa) Require(age >= 1 && age <= 108, "ages lie between 1 and 108");
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
  return 0;
}
