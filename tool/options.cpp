// options.cpp -- command-line flags as one table: parsing
#include "tool/cat.h"
#include "tool/options.h"

#include <algorithm>

#include "tool/escape.h"

namespace tessera::tool {
namespace {

constexpr std::string_view kDashHint = " (a number that begins with '-' goes after '--')";

// A name may stand for different flags in different commands (-c is
// --column for card and id, --count for scan): the command's own comes first.
const Flag* Find(std::span<const Flag> flags, CommandSet command, auto matches) {
  const Flag* other = nullptr;
  for (const Flag& flag : flags) {
    if (!matches(flag)) continue;
    if (flag.commands & command) return &flag;
    if (other == nullptr) other = &flag;
  }
  return other;
}

}  // namespace

bool ParsedArgs::Has(int id) const { return Last(id) != nullptr; }

const std::string* ParsedArgs::Last(int id) const {
  for (auto it = in_order.rbegin(); it != in_order.rend(); ++it)
    if (it->flag != nullptr && it->flag->id == id) return &it->value;
  return nullptr;
}

std::string FlagName(const Flag& flag) {
  std::string name;
  if (flag.short_name != '\0') name = std::string{'-', flag.short_name} + ", ";
  return Cat(name, "--", std::string(flag.long_name));
}

std::optional<std::string> ParseArgs(std::span<const Flag> flags, CommandSet command,
                                     std::span<const std::string> words, ParsedArgs& parsed) {
  // A flag that exists for another command gets a message saying so.
  auto check_command = [command](const Flag& flag, std::string_view spelled) -> std::optional<std::string> {
    if (flag.commands & command) return std::nullopt;
    return Cat("option ", std::string(spelled), " does not apply to this command");
  };
  bool operands_only = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (operands_only || word == "-" || !word.starts_with('-')) {
      parsed.in_order.push_back({nullptr, word});
      continue;
    }
    if (word == "--") {
      operands_only = true;
      continue;
    }
    if (word.starts_with("--")) {
      const std::size_t equals = word.find('=');
      const std::string_view name = std::string_view(word).substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const Flag* flag = Find(flags, command, [name](const Flag& f) { return f.long_name == name; });
      if (flag == nullptr) return Cat("unknown option ", Quoted(word.substr(0, equals)), std::string(kDashHint));
      const std::string spelled = Cat("--", std::string(name));
      if (auto error = check_command(*flag, spelled)) return error;
      if (flag->value_name.empty()) {
        if (equals != std::string::npos) return Cat("option ", spelled, " takes no value");
        parsed.in_order.push_back({flag, {}});
      } else if (equals != std::string::npos) {
        parsed.in_order.push_back({flag, word.substr(equals + 1)});
      } else if (i + 1 < words.size()) {
        parsed.in_order.push_back({flag, words[++i]});
      } else {
        return Cat("option ", spelled, " needs a value (", std::string(flag->value_name), ")");
      }
      continue;
    }
    // One or more short flags; the first that takes a value takes the rest
    // of the word, or the next word.
    for (std::size_t at = 1; at < word.size(); ++at) {
      const char c = word[at];
      const Flag* flag = Find(flags, command, [c](const Flag& f) { return f.short_name == c; });
      if (flag == nullptr) {
        const std::string shown = at == 1 ? word : std::string{'-', c};
        return Cat("unknown option ", Quoted(shown), std::string(kDashHint));
      }
      const std::string spelled{'-', c};
      if (auto error = check_command(*flag, spelled)) return error;
      if (flag->value_name.empty()) {
        parsed.in_order.push_back({flag, {}});
        continue;
      }
      if (at + 1 < word.size()) {
        parsed.in_order.push_back({flag, word.substr(at + 1)});
      } else if (i + 1 < words.size()) {
        parsed.in_order.push_back({flag, words[++i]});
      } else {
        return Cat("option ", spelled, " needs a value (", std::string(flag->value_name), ")");
      }
      break;
    }
  }
  return std::nullopt;
}

}  // namespace tessera::tool
