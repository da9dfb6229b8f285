// robustness_test.cpp -- every check given junk, high-bit bytes and long texts
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessera.h"
#include "tests/cases/exports.h"
#include "tests/exact_text.h"

namespace {

using tessera::cases::Export;
using tessera::cases::kExports;

// Texts of no card brand: the brand checks and CheckCard say no, and
// CheckNumber and CheckGPANo say what the row says.
struct Junk {
  std::string text;
  bool luhn;
  bool gpa;
  const char* why;
};

std::vector<Junk> JunkTexts() {
  std::string every_byte;
  for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
  return {
      {"", true, false, "empty"},
      {"\x01\x7f\x80\xfe\xff", true, false, "control and high-bit bytes count 0"},
      {every_byte, false, false, "bytes 1 to 255: digits at positions 48-57 sum to 47"},
      {std::string(29, '\xff'), true, false, "29 high-bit bytes: no separators"},
      {"\xb4\xb1\xb1\xb1\xb1\xb1\xb1\xb1\xb1\xb1\xb1\xb1\xb1\xb1\xb1\xb1", true, false, "digits with the high bit set are not digits"},
      {"<<<<<<<<<<<-<<<<<<<-<<<<<<<-<", true, true, "separators in place, no digits: every sum 0"},
      {std::string(3641, '9'), false, false, "the sum wraps to -32767"},
      {std::string(32766, '9'), true, false, "294894 wraps to 32750"},
      {std::string(32767, '9'), false, false, "294903 wraps to 32759"},
      {std::string(32768, '9'), false, false, "294912 wraps to -32768"},
      {std::string(65535, '9'), false, false, "589815 wraps to -9"},
      {std::string(65536, '9'), true, false, "589824 wraps to 0"},
      {std::string(1 << 20, '9'), true, false, "1 MiB: 9 * 2^20 wraps to 0"},
      {std::string(1 << 20, 'A'), true, false, "1 MiB of letters"},
      {std::string(16 << 20, '9'), true, false, "16 MiB: 9 * 2^24 wraps to 0"},
  };
}

TEST(Robustness, EveryCheckAnswersJunk) {
  for (const Junk& junk : JunkTexts()) {
    SCOPED_TRACE(::testing::Message() << junk.why << " (" << junk.text.size() << " characters)");
    const tessera::fixtures::ExactText text(junk.text);
    for (const Export& e : kExports) {
      // A valid number's dates are judged by the clock: the date tests cover them.
      if (junk.gpa && (e.check == CheckGPANoExpired || e.check == CheckGPANoAge)) continue;
      int32_t expected = 0;
      if (e.check == CheckNumber) expected = junk.luhn ? -1 : 0;
      if (e.check == CheckGPANo) expected = junk.gpa ? -1 : 0;
      EXPECT_EQ(e.check(text.c_str()), expected) << e.name;
    }
  }
}

// Any byte that is not a digit counts 0 and keeps its place, wherever it stands.
TEST(Robustness, EveryNonDigitByteAtEveryPosition) {
  const std::string visa = "4111111111111111";
  const std::string gpa = "12345678970-7506154-0909309-0";
  for (int b = 1; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    if (byte >= '0' && byte <= '9') continue;
    for (std::size_t at = 0; at < visa.size(); ++at) {
      std::string text = visa;
      text[at] = byte;
      SCOPED_TRACE(::testing::Message() << "byte " << b << " at position " << at + 1);
      // Visa looks at the first character only; losing any digit's share of
      // the sum 30 (8, 2 or 1) leaves it off a multiple of 10.
      EXPECT_EQ(IsVisa(text.c_str()), at == 0 ? 0 : -1);
      EXPECT_EQ(CheckNumber(text.c_str()), 0);
      EXPECT_EQ(CheckCard(text.c_str()), 0);
    }
    for (std::size_t at = 0; at < gpa.size(); ++at) {
      std::string text = gpa;
      text[at] = byte;
      SCOPED_TRACE(::testing::Message() << "byte " << b << " at GPA position " << at + 1);
      // Position 11 is never looked at; a 0 replaced by a non-digit keeps
      // every sum; a separator must stay "-"; any other digit changes a sum.
      const bool still_valid = at == 10 || gpa[at] == '0' || (gpa[at] == '-' && byte == '-');
      EXPECT_EQ(CheckGPANo(text.c_str()), still_valid ? -1 : 0);
    }
  }
}

TEST(Robustness, NullIsTheEmptyTextEverywhere) {
  const tessera::fixtures::ExactText empty("");
  for (const Export& e : kExports) EXPECT_EQ(e.check(nullptr), e.check(empty.c_str())) << e.name;
}

TEST(Robustness, RepeatedAndInterleavedCallsAgree) {
  const char* const texts[] = {"4111111111111111", "378282246310005", "12345678970-7506154-0909309-0", "", "x"};
  std::vector<int32_t> first;
  for (const char* t : texts)
    for (const Export& e : kExports) first.push_back(e.check(t));
  for (int round = 0; round < 100; ++round) {
    std::size_t i = 0;
    for (const char* t : texts)
      for (const Export& e : kExports) ASSERT_EQ(e.check(t), first[i++]) << e.name << " round " << round;
  }
}

}  // namespace
