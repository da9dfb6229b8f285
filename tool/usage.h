// usage.h -- --help, the manual page and the Markdown reference, made from the tables of flags.h
#pragma once

#include <string>

#include "tool/flags.h"

namespace tessera::tool {

// For one command, or for the tool as a whole when `command` is null.
std::string HelpText(const CommandDoc* command);
std::string ManPage(std::string_view version);
std::string MarkdownReference();

}  // namespace tessera::tool
