// main.cpp -- tessera: check card and GPA numbers from the command line
#include <algorithm>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "tool/cat.h"
#include "tool/command.h"
#include "tool/platform.h"
#include "tool/status.h"
#include "tool/usage.h"
#include "tool/writer.h"

namespace tessera::tool {
namespace {

struct Runner {
  std::string_view name;
  int (*run)(const Invocation&);
};

// Every command of flags.cpp's table, by name.
constexpr Runner kRunners[] = {
    {"card", CardMain},
    {"id", IdMain},
    {"scan", ScanMain},
    {"redact", RedactMain},
};

int Show(std::string_view text) {
  Writer out(sys::StandardOutput());
  out.Put(text);
  return kAllValid;
}

int ShowVersion() { return Show("tessera " TESSERA_VERSION "\n"); }

std::string CommandNames() {
  std::string names;
  for (std::size_t i = 0; i < std::size(kRunners); ++i)
    names += (i == 0 ? "" : i + 1 == std::size(kRunners) ? " or " : ", ") + std::string(kRunners[i].name);
  return names;
}

int Main(std::span<const std::string> words) {
  if (words.size() < 2) return UsageError(nullptr, Cat("missing command: ", CommandNames()));
  const std::string& first = words[1];
  if (first == "-h" || first == "--help") return Show(HelpText(nullptr));
  if (first == "-V" || first == "--version") return ShowVersion();
  const auto runner = std::ranges::find(kRunners, first, &Runner::name);
  const CommandDoc* command = FindCommand(first);
  if (runner == std::end(kRunners) || command == nullptr) {
    return UsageError(nullptr, Cat("unknown command ", Quoted(first), ": use ", CommandNames()));
  }
  ParsedArgs args;
  if (auto error = ParseArgs(Flags(), command->bit, words.subspan(2), args)) return UsageError(command, *error);
  if (args.Has(kHelpFlag)) return Show(HelpText(command));
  if (args.Has(kVersionFlag)) return ShowVersion();
  return runner->run({*command, args});
}

}  // namespace

int UsageError(const CommandDoc* command, std::string_view message) {
  Complain(message);
  const std::string help = command ? Cat("tessera ", std::string(command->name), " --help") : "tessera --help";
  WriteAll(sys::StandardError(), Cat("try '", help, "'\n"));
  return kTrouble;
}

}  // namespace tessera::tool

int main(int argc, char** argv) {
  tessera::tool::sys::Start();
  const std::vector<std::string> words = tessera::tool::sys::Arguments(argc, argv);
  return tessera::tool::Main(words);
}
