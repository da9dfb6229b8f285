// command.h -- what main hands to a command, and the one way to report a usage error
#pragma once

#include <string_view>

#include "tool/flags.h"
#include "tool/options.h"

namespace tessera::tool {

struct Invocation {
  const CommandDoc& command;
  const ParsedArgs& args;
};

// The commands, each in its own file.
int CardMain(const Invocation& invocation);
int IdMain(const Invocation& invocation);
int ScanMain(const Invocation& invocation);
int RedactMain(const Invocation& invocation);

// "tessera: MESSAGE" and where to read more; returns kTrouble.
int UsageError(const CommandDoc* command, std::string_view message);

}  // namespace tessera::tool
