// cards.h -- card-number cases shared by the Linux tests and the Windows host
//
// A row names the one brand its text has (the brand rules exclude one
// another) and whether it passes the Luhn checksum; every card check's
// expected answer follows from those two.
#pragma once

namespace tessera::cases {

enum class CardBrand { None, Amex, DinersClub, Discover, Jcb, MasterCard, Visa };

struct CardCase {
  const char* text;
  CardBrand brand;
  bool luhn;
  const char* why;
};

// The names the library and every front end print.
constexpr const char* NameOf(CardBrand brand) {
  constexpr const char* kNames[] = {"none", "American Express", "Diners Club", "Discover", "JCB", "MasterCard", "Visa"};
  return kNames[static_cast<int>(brand)];
}

using enum CardBrand;

// Each brand's lengths, one row on each side of every boundary.
inline constexpr CardCase kBrandLengthCases[] = {
    {"340000000000000", Amex, false, "Amex: 15 characters"},
    {"34000000000000", None, true, "34 with 14 characters"},
    {"3400000000000000", Jcb, true, "34 with 16 characters is JCB, not Amex"},
    {"36000000000000", DinersClub, false, "Diners Club: 14 characters"},
    {"3600000000000", None, false, "36 with 13 characters"},
    {"360000000000000", Jcb, false, "36 with 15 characters is JCB, not Diners Club"},
    {"3600000000000000", Jcb, false, "36 with 16 characters is JCB, not Diners Club"},
    {"6011000000000000", Discover, false, "Discover: 16 characters"},
    {"601100000000000", None, false, "6011 with 15 characters"},
    {"18000000000000", None, true, "1800 with 14 characters"},
    {"180000000000000", Jcb, false, "JCB: 15 characters"},
    {"1800000000000000", Jcb, true, "JCB: 16 characters"},
    {"5100000000000000", MasterCard, false, "MasterCard: 16 characters"},
    {"510000000000000", None, false, "51 with 15 characters"},
    {"400000000000", None, false, "4 with 12 characters"},
    {"4000000000000", Visa, false, "Visa: 13 characters"},
    {"40000000000000", None, false, "4 with 14 characters"},
    {"400000000000000", None, false, "4 with 15 characters"},
    {"4000000000000000", Visa, false, "Visa: 16 characters"},
    {"40000000000000000", None, false, "4 with 17 characters"},
    {"4111 1111 1111 1111", None, false, "spaces between groups make 19 characters"},
    {"4111-1111-1111-1111", None, false, "dashes between groups make 19 characters"},
    {"", None, true, "the empty text has no brand and sum 0"},
};

// Each brand's prefixes, in and just out.
inline constexpr CardCase kBrandPrefixCases[] = {
    {"370000000000000", Amex, false, "Amex 37"},
    {"350000000000000", Jcb, false, "3 then 5 with 15 characters is JCB"},
    {"330000000000000", Jcb, false, "3 then 3 with 15 characters is JCB"},
    {"38000000000000", DinersClub, false, "Diners Club 38"},
    {"30000000000000", DinersClub, false, "Diners Club 300"},
    {"30500000000000", DinersClub, false, "Diners Club 305"},
    {"30600000000000", None, false, "306 is no Diners Club prefix"},
    {"37000000000000", None, false, "37 with 14 characters"},
    {"6012000000000000", None, false, "6012 is no Discover prefix"},
    {"2131000000000000", Jcb, false, "JCB 2131"},
    {"213100000000000", Jcb, false, "JCB 2131 with 15 characters"},
    {"2131000000000", None, false, "2131 with 13 characters"},
    {"2130000000000000", None, false, "2130 is no JCB prefix"},
    {"3AAAAAAAAAAAAAAA", Jcb, false, "3 then letters: only the first character is looked at"},
    {"3AAAAAAAAAAAAAA", Jcb, false, "3 then letters, 15 characters"},
    {"5000000000000000", None, false, "50 is no MasterCard prefix"},
    {"5200000000000000", MasterCard, false, "MasterCard 52"},
    {"5300000000000000", MasterCard, false, "MasterCard 53"},
    {"5400000000000000", MasterCard, false, "MasterCard 54"},
    {"5500000000000000", MasterCard, false, "MasterCard 55"},
    {"5600000000000000", None, false, "56 is no MasterCard prefix"},
    {"4AAAAAAAAAAAAAAA", Visa, false, "4 then fifteen letters"},
    {"4               ", Visa, false, "4 then fifteen spaces"},
    {"A000000000000000", None, true, "a letter where the prefix goes"},
};

// The Luhn rule: which digits are doubled and what a doubled digit is worth.
inline constexpr CardCase kLuhnCases[] = {
    {"4111111111111111", Visa, true, "4 and fifteen 1s: sum 30"},
    {"4111111111111", Visa, false, "4 and twelve 1s: sum 22"},
    {"X4111111111111111", None, true, "a non-digit in front shifts nothing that counts"},
    {"4111111111111111X", None, false, "a non-digit behind changes the doubled digits: sum 27"},
    {"0000000000000000", None, true, "zeros only"},
    {"ABCDEF", None, true, "letters only: sum 0"},
    {"   ", None, true, "spaces only: sum 0"},
    {"00", None, true, "doubled 0 is 0"},
    {"18", None, true, "doubled 1 is 2"},
    {"26", None, true, "doubled 2 is 4"},
    {"34", None, true, "doubled 3 is 6"},
    {"42", None, true, "doubled 4 is 8"},
    {"59", None, true, "doubled 5 is 1"},
    {"67", None, true, "doubled 6 is 3"},
    {"75", None, true, "doubled 7 is 5"},
    {"83", None, true, "doubled 8 is 7"},
    {"91", None, true, "doubled 9 is 9"},
    {"55", None, false, "1 + 5"},
    {"5", None, false, "a single character is never doubled"},
    {"4AAAAAAAAAAAAAA2", Visa, true, "4, fourteen letters and a final 2 pass both tests"},
    {"4AAAAAAAAAAAAAA3", Visa, false, "the same with a final 3"},
};

// Well-known test numbers of each brand, and near misses.
inline constexpr CardCase kCardCases[] = {
    {"378282246310005", Amex, true, "Amex test number"},
    {"371449635398431", Amex, true, "Amex test number"},
    {"30569309025904", DinersClub, true, "Diners Club test number"},
    {"38520000023237", DinersClub, true, "Diners Club test number"},
    {"6011111111111117", Discover, true, "Discover test number"},
    {"6011000990139424", Discover, true, "Discover test number"},
    {"3530111333300000", Jcb, true, "JCB test number"},
    {"3566002020360505", Jcb, true, "JCB test number"},
    {"5555555555554444", MasterCard, true, "MasterCard test number"},
    {"5105105105105100", MasterCard, true, "MasterCard test number"},
    {"4012888888881881", Visa, true, "Visa test number"},
    {"4222222222222", Visa, true, "Visa 13-digit test number"},
    {"4012888888881882", Visa, false, "Visa with its last digit changed"},
    {"378282246310006", Amex, false, "Amex with its last digit changed"},
    {"30000000000004", DinersClub, true, "Diners Club 300 that passes"},
    {"34000000000000", None, true, "passes the checksum but no brand"},
};

struct MaskCase {
  const char* number;
  const char* masked;
  const char* why;
};

// The first six and last four digits stay, separators stay in place.
inline constexpr MaskCase kMaskCases[] = {
    {"4111111111111111", "411111******1111", "16 digits"},
    {"4111 1111 1111 1111", "4111 11** **** 1111", "spaces kept"},
    {"3782-822463-10005", "3782-82****-*0005", "dashes kept, Amex grouping"},
    {"4222222222222", "422222***2222", "13 digits: three hidden"},
    {"6011000990139424123", "601100*********4123", "19 digits"},
    {"1234567890", "1234567890", "ten digits: none hidden"},
    {"12345678901", "123456*8901", "eleven digits: one hidden"},
    {"card 41111111 11111111 x", "card 411111** ****1111 x", "letters around"},
    {"12345", "12345", "fewer digits than are shown: none hidden"},
    {"ABC", "ABC", "no digits"},
    {"", "", "the empty text"},
};

}  // namespace tessera::cases
