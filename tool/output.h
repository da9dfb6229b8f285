// output.h -- buffered standard output and the three report formats
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "frame/checks.h"

namespace tessera::tool {

enum class Format { Text, Tsv, Json };


// Collects output in one large buffer and writes it in blocks; a failed
// write ends the program (quietly when the reader has gone away).
class Output {
 public:
  explicit Output(Format format);
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Card(std::string_view number, const CardVerdict& verdict);
  void Id(std::string_view number, const IdVerdict& verdict);
  // A line the checks cannot see whole: they read text only up to a NUL.
  void Unreadable(std::string_view number, std::string_view reason);
  void Flush();

 private:
  static constexpr std::size_t kFlushAt = 1 << 16;
  // Room past kFlushAt, so a line in progress never waits for a write, and
  // whole blocks of kBlock bytes can be read past a copied number.
  static constexpr std::size_t kSlack = 1 << 12;
  static constexpr std::size_t kBlock = 16;
  static constexpr std::size_t kCapacity = kFlushAt + kSlack;

  void Put(std::string_view text);
  void Put(char c) { Put(std::string_view(&c, 1)); }
  void WriteAll(std::string_view bytes);
  void Number(std::string_view number);
  void Escaped(std::string_view number);
  std::string CardEnding(Brand brand, bool checksum) const;
  void Field(std::string_view key, std::string_view json_value);
  void EndLine();

  Format format_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  // What follows the number on a card line: one text per brand and
  // checksum answer, made once instead of for every line, and copied as a
  // whole block so that its varying length costs no branch.
  struct Ending {
    std::array<char, 96> text{};
    std::size_t size = 0;
  };
  std::array<Ending, 2 * kBrandCount> card_endings_;
};

}  // namespace tessera::tool
