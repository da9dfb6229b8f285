// robustness_test.cpp -- every check given junk, high-bit bytes and long texts
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessera.h"
#include "tests/exact_text.h"

namespace {

using Check = int32_t(TESSERA_CALL*)(const char*);

struct Export {
  const char* name;
  Check check;
};

const Export kExports[] = {
    {"IsAmex", IsAmex}, {"IsDC", IsDC},
    {"IsDisc", IsDisc}, {"IsJCB", IsJCB},
    {"IsMC", IsMC}, {"IsVisa", IsVisa},
    {"CheckOrganization", CheckOrganization}, {"CheckNumber", CheckNumber},
    {"CheckCard", CheckCard}, {"CheckGPANo", CheckGPANo},
    {"CheckGPANoExpired", CheckGPANoExpired}, {"CheckGPANoAge", CheckGPANoAge},
};

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
      {std::string(32767, '9'), false, false, "294903 wraps to 32759"},
      {std::string(32768, '9'), false, false, "294912 wraps to -32768"},
      {std::string(65536, '9'), true, false, "589824 wraps to 0"},
      {std::string(1 << 20, '9'), true, false, "1 MiB: 9 * 2^20 wraps to 0"},
      {std::string(1 << 20, 'A'), true, false, "1 MiB of letters"},
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

TEST(Robustness, NullIsTheEmptyTextEverywhere) {
  const tessera::fixtures::ExactText empty("");
  for (const Export& e : kExports) EXPECT_EQ(e.check(nullptr), e.check(empty.c_str())) << e.name;
}

TEST(Robustness, CallerTextIsNeverWritten) {
  const std::string original = "12345678970-7506154-0909309-0";
  std::string text = original;
  for (int round = 0; round < 3; ++round)
    for (const Export& e : kExports) e.check(text.c_str());
  EXPECT_EQ(text, original);
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
