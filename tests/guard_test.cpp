// guard_test.cpp -- texts whose NUL is the last readable byte before an
// inaccessible page, in read-only memory: any read past the NUL or any write
// to the caller's text faults
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cases/exports.h"
#include "tests/cases/gpa.h"
#include "tests/guarded.h"

namespace {

using tessera::cases::kExports;

// A NUL-terminated text whose NUL is the last readable byte.
class GuardedText {
 public:
  explicit GuardedText(const std::string& text) : bytes_(std::string_view(text.c_str(), text.size() + 1)) {}
  const char* c_str() const { return bytes_.data(); }

 private:
  tessera::fixtures::GuardedBytes bytes_;
};

// Per length, texts that reach deep into each check: card-like digits,
// a brand prefix with letters, and cuts of a valid GPA number.
std::vector<std::string> TextsOfLength(std::size_t length) {
  const std::string gpa = tessera::cases::kWorkedGpa;
  std::string digits, letters = "4", cut;
  for (std::size_t i = 0; i < length; ++i) digits += static_cast<char>('0' + (i * 7 + 3) % 10);
  letters.resize(length, 'A');
  for (std::size_t i = 0; i < length; ++i) cut += gpa[i % gpa.size()];
  return {digits, letters.substr(0, length), cut};
}

TEST(GuardPages, NoCheckReadsPastTheNulOrWrites) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 64; ++n) lengths.push_back(n);
  for (std::size_t n : {4095u, 4096u, 4097u, 32767u, 65536u, 1u << 20}) lengths.push_back(n);
  for (std::size_t length : lengths) {
    for (const std::string& text : TextsOfLength(length)) {
      const GuardedText guarded(text);
      for (const auto& e : kExports) {
        // Answers on guarded memory must match those on an ordinary copy.
        EXPECT_EQ(e.check(guarded.c_str()), e.check(text.c_str())) << e.name << " at length " << length;
      }
    }
  }
  const GuardedText gpa(tessera::cases::kWorkedGpa);
  EXPECT_EQ(CheckGPANo(gpa.c_str()), -1) << "the guarded worked example is still accepted";
}

}  // namespace
