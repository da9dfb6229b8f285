// allowlist.h -- findings a scan has been told of already: --ignore lists and --baseline files
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tessera::tool {

// Numbers to report nothing of, read from --ignore files: one a line, as a
// number (separators allowed), sha256:DIGEST of its digits, or
// prefix:DIGITS; '#' begins a comment, blank lines are passed over.
class Allowlist {
 public:
  // Adds the entries of a file; on trouble, the message naming it.
  std::optional<std::string> Read(const std::string& path);

  bool empty() const { return numbers_.empty() && digests_.empty() && prefixes_.empty(); }
  // `digits` without separators, `digest` the hex SHA-256 of them.
  bool Lists(std::string_view digits, std::string_view digest) const;

 private:
  std::unordered_set<std::string> numbers_, digests_;
  std::vector<std::string> prefixes_;
};

// The findings of an earlier `tessera scan --format json`, by path and the
// digest of the number: edits above a finding move its line, not these.
class Baseline {
 public:
  std::optional<std::string> Read(const std::string& path);

  bool empty() const { return findings_.empty(); }
  // `path` as found, before any escaping.
  bool Holds(std::string_view path, std::string_view digest) const;

 private:
  std::unordered_set<std::string> findings_;
};

// The text of a JSON string's contents (between the quotes), escapes
// undone; nullopt when it is not valid JSON.
std::optional<std::string> DecodeJsonString(std::string_view contents);

}  // namespace tessera::tool
