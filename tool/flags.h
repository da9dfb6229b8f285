// flags.h -- the tool's usage, defined once: its commands, its flags and the texts about them
//
// --help, the manual page (docs/tessera.1) and the reference in
// docs/tool.md are all made from these tables (usage.h); a test keeps the
// committed documents equal to what the tables make.
#pragma once

#include <span>
#include <string_view>

#include "tool/options.h"

namespace tessera::tool {

inline constexpr CommandSet kCard = 1u << 0;
inline constexpr CommandSet kId = 1u << 1;
inline constexpr CommandSet kScan = 1u << 2;
inline constexpr CommandSet kRedact = 1u << 3;

enum FlagId : int {
  kFileFlag,
  kCsvFlag,
  kTsvFlag,
  kDelimiterFlag,
  kColumnFlag,
  kHeaderFlag,
  kNoHeaderFlag,
  kStripFlag,
  kTodayFlag,
  kCheckFormatFlag,
  kFormatFlag,
  kHeaderRowFlag,
  kKeepFlag,
  kLineNumberFlag,
  kInvalidFlag,
  kValidFlag,
  kQuietFlag,
  kSummaryFlag,
  kMaskFlag,
  kScanSummaryFlag,
  kCountFlag,
  kFilesWithMatchesFlag,
  kUnmaskedFlag,
  kLuhnOnlyFlag,
  kBrandsFlag,
  kScanBrandsFlag,
  kAllNumbersFlag,
  kTestNumbersFlag,
  kIgnoreFlag,
  kBaselineFlag,
  kExcludeFlag,
  kFollowFlag,
  kJobsFlag,
  kStrictFlag,
  kRedactMaskFlag,
  kReplaceFlag,
  kHashFlag,
  kOutputFlag,
  kInPlaceFlag,
  kLineBufferedFlag,
  kRedactSummaryFlag,
  kHelpFlag,
  kVersionFlag,
};

std::span<const Flag> Flags();

struct CommandDoc {
  std::string_view name;
  CommandSet bit;
  std::string_view operands;  // as the synopsis shows them
  std::string_view summary;   // one line
  std::string_view text;      // paragraphs (see Section)
};

std::span<const CommandDoc> Commands();
const CommandDoc* FindCommand(std::string_view name);

// A part of the manual after the options. Paragraphs are separated by an
// empty line; a line indented by four spaces is an example, shown as is.
// Sections marked `in_help` are also part of --help.
struct Section {
  std::string_view title;
  std::string_view text;
  bool in_help;
};

std::span<const Section> Sections();

}  // namespace tessera::tool
