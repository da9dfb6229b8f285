// gpa.h -- GPA-number cases shared by the Linux tests and the Windows host
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tessera::cases {

struct GpaCase {
  const char* text;
  bool valid;
  const char* why;
};

// The worked example: document 123456789 check 7, birth 750615 check 4,
// expiry 090930 check 9, overall check 0 (weighted sum 390).
inline constexpr const char* kWorkedGpa = "12345678970-7506154-0909309-0";

inline constexpr GpaCase kGpaLayoutCases[] = {
    {kWorkedGpa, true, "the worked example"},
    {"1234567897A-7506154-0909309-0", true, "position 11 is never looked at: a letter"},
    {"1234567897 -7506154-0909309-0", true, "position 11: a space"},
    {"1234567897--7506154-0909309-0", true, "position 11: a dash"},
    {"1234567897 7506154-0909309-0", false, "28 characters"},
    {"12345678970-7506154-0909309-00", false, "30 characters"},
    {"12345678970 7506154-0909309-0", false, "a space as the first separator"},
    {"12345678970<7506154-0909309-0", false, "a less-than sign as the first separator"},
    {"12345678970-7506154/0909309-0", false, "a slash as the second separator"},
    {"12345678970-7506154-0909309 0", false, "a space as the third separator"},
    {"00000000000-0000000-0000000-0", true, "all zeros: every sum is 0"},
    {"ABCDEFGHI0X-ABCDEF0-ABCDEF0-0", true, "letters count 0, and 0 is their check digit"},
    {"ABCDEFGHIJX-ABCDEFG-ABCDEFG-H", true, "a non-digit check digit counts 0 too"},
    {"12345678970-7506154-0909309-A", true, "a letter as overall check digit counts 0, as 390 wants"},
    {"", false, "the empty text"},
};

// The worked example with one character changed in each block.
inline constexpr GpaCase kGpaMutationCases[] = {
    {"22345678970-7506154-0909309-0", false, "document digit 1 changed"},
    {"12345678870-7506154-0909309-0", false, "document digit 9 changed"},
    {"12345678980-7506154-0909309-0", false, "document check digit changed"},
    {"12345678970-8506154-0909309-0", false, "birth digit 1 changed"},
    {"12345678970-7506155-0909309-0", false, "birth check digit changed"},
    {"12345678970-7506154-1909309-0", false, "expiry digit 1 changed"},
    {"12345678970-7506154-0909308-0", false, "expiry check digit changed"},
    {"12345678970-7506154-0909309-5", false, "overall check digit changed"},
};

// Builds a GPA number with correct check digits from its three fields, so
// that date cases can use any date; kWorkedGpa anchors it in the tests.
inline std::string MakeGpa(std::string_view document, std::string_view birth, std::string_view expiry) {
  constexpr std::array<int, 3> kWeights = {7, 3, 1};
  auto value = [](char c) { return c >= '0' && c <= '9' ? c - '0' : 0; };
  auto with_check = [&](std::string_view field) {
    int sum = 0;
    for (std::size_t i = 0; i < field.size(); ++i) sum += value(field[i]) * kWeights[i % 3];
    return std::string(field) + static_cast<char>('0' + sum % 10);
  };
  const std::string blocks[3] = {with_check(document), with_check(birth), with_check(expiry)};
  const std::string overall = with_check(blocks[0] + blocks[1] + blocks[2]);
  return blocks[0] + "0-" + blocks[1] + '-' + blocks[2] + '-' + overall.back();
}

}  // namespace tessera::cases
