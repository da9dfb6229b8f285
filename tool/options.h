// options.h -- command-line flags as one table: parsing, and the rows --help and the manual are made from
//
// Flags are typed as people type them: short forms grouped (-qn), a short
// flag's value attached or apart (-fpay.csv, -f pay.csv), --name=value or
// --name value, "--" to end the flags, and flags after operands. An
// argument that begins with "-" and is no flag is an error, never taken as
// an operand: a number that begins with "-" goes after "--".
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessera::tool {

// One bit per command, for the flags each accepts.
using CommandSet = unsigned;

struct Flag {
  int id;                       // the commands' own name for the flag
  char short_name;              // '\0' when it has none
  std::string_view long_name;   // without the leading "--"
  std::string_view value_name;  // as the usage shows the value ("PATH"); empty for a switch
  std::string_view doc;         // one paragraph, for --help and the manual
  CommandSet commands;          // the commands that accept it
};

// A flag with its value, or an operand (flag == nullptr), in command-line order.
struct Argument {
  const Flag* flag;
  std::string value;
};

struct ParsedArgs {
  std::vector<Argument> in_order;

  bool Has(int id) const;
  // The value given last, as for most flags a later one wins.
  const std::string* Last(int id) const;
};

// Parses the words after the command name against the flags that
// `command` accepts. On error, returns the message (input shown escaped).
std::optional<std::string> ParseArgs(std::span<const Flag> flags, CommandSet command,
                                     std::span<const std::string> words, ParsedArgs& parsed);

// How a flag is written in messages and in the usage: "-f, --file".
std::string FlagName(const Flag& flag);

}  // namespace tessera::tool
