// allowlist.cpp -- reading --ignore lists and --baseline files, line by line
#include "tool/allowlist.h"

#include <algorithm>
#include <array>
#include <functional>

#include "tool/escape.h"
#include "tool/platform.h"

namespace tessera::tool {
namespace {

constexpr bool IsDigitByte(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsHexByte(char c) { return IsDigitByte(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// Calls `take` with each line of the file and its number; the first
// message it returns stops the reading.
std::optional<std::string> ForEachLine(const std::string& path,
                                       const std::function<std::optional<std::string>(std::string_view, uint64_t)>& take) {
  const sys::Opened file = sys::OpenForReading(path);
  if (file.error != 0) return "cannot open " + Escaped(path) + ": " + sys::ErrorText(file.error);
  std::string pending;
  std::array<char, 1 << 16> buffer;
  uint64_t line = 0;
  std::optional<std::string> trouble;
  for (;;) {
    const sys::Transfer got = sys::Read(file.handle, buffer.data(), buffer.size());
    if (got.error != 0) {
      trouble = "cannot read " + Escaped(path) + ": " + sys::ErrorText(got.error);
      break;
    }
    pending.append(buffer.data(), got.bytes);
    std::size_t from = 0;
    for (std::size_t end; (end = pending.find('\n', from)) != std::string::npos; from = end + 1)
      if ((trouble = take(std::string_view(pending).substr(from, end - from), ++line))) break;
    pending.erase(0, from);
    if (trouble) break;
    if (got.bytes == 0) {
      if (!pending.empty()) trouble = take(pending, ++line);
      break;
    }
  }
  sys::Close(file.handle);
  return trouble;
}

// The JSON values of one flat object of string, number, true, false and
// null members: the strings it holds, by name.
class FlatObject {
 public:
  explicit FlatObject(std::string_view text) : text_(text) {}

  bool Parse() {
    Blank();
    if (!Take('{')) return false;
    Blank();
    if (Take('}')) return End();
    for (;;) {
      std::string name, value;
      Blank();
      if (!String(name)) return false;
      Blank();
      if (!Take(':')) return false;
      Blank();
      if (Peek() == '"') {
        if (!String(value)) return false;
        strings_.push_back({name, value});
      } else if (Peek() == '{') {
        // A path that is not UTF-8 is an object of its bytes: kept as written.
        const std::size_t from = at_;
        while (at_ < text_.size() && text_[at_] != '}') {
          if (text_[at_] != '"') ++at_;
          else if (!String(value)) return false;
        }
        if (!Take('}')) return false;
        strings_.push_back({name, std::string(text_.substr(from, at_ - from))});
      } else if (!Literal()) {
        return false;
      }
      Blank();
      if (Take('}')) return End();
      if (!Take(',')) return false;
    }
  }

  const std::string* Get(std::string_view name) const {
    for (const auto& [key, value] : strings_)
      if (key == name) return &value;
    return nullptr;
  }

 private:
  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++at_;
    return true;
  }
  void Blank() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r')) ++at_;
  }
  bool End() {
    Blank();
    return at_ == text_.size();
  }
  bool String(std::string& out) {
    if (!Take('"')) return false;
    const std::size_t from = at_;
    while (at_ < text_.size() && text_[at_] != '"') at_ += text_[at_] == '\\' ? 2 : 1;
    if (at_ >= text_.size()) return false;
    const auto decoded = DecodeJsonString(text_.substr(from, at_ - from));
    ++at_;
    if (!decoded) return false;
    out = *decoded;
    return true;
  }
  // A number, true, false or null: their values are not needed.
  bool Literal() {
    for (std::string_view word : {"true", "false", "null"})
      if (text_.substr(at_).starts_with(word)) {
        at_ += word.size();
        return true;
      }
    const std::size_t from = at_;
    while (at_ < text_.size() && (IsDigitByte(text_[at_]) || std::string_view("+-.eE").find(text_[at_]) != std::string_view::npos))
      ++at_;
    return at_ > from;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::vector<std::pair<std::string, std::string>> strings_;
};

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::optional<std::string> DecodeJsonString(std::string_view contents) {
  std::string out;
  auto hex4 = [&](std::size_t at) -> std::optional<uint32_t> {
    if (at + 4 > contents.size()) return std::nullopt;
    uint32_t value = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
      const char c = contents[i];
      if (!IsHexByte(c)) return std::nullopt;
      value = value * 16 + static_cast<uint32_t>(IsDigitByte(c) ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return value;
  };
  for (std::size_t i = 0; i < contents.size(); ++i) {
    const char c = contents[i];
    if (static_cast<unsigned char>(c) < 0x20 || c == '"') return std::nullopt;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= contents.size()) return std::nullopt;
    switch (contents[i]) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '/': out += '/'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        auto unit = hex4(i + 1);
        if (!unit) return std::nullopt;
        i += 4;
        uint32_t code = *unit;
        // A surrogate pair is one character.
        if (code >= 0xD800 && code < 0xDC00 && i + 2 < contents.size() && contents[i + 1] == '\\' &&
            contents[i + 2] == 'u') {
          const auto low = hex4(i + 3);
          if (low && *low >= 0xDC00 && *low < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
            i += 6;
          }
        }
        AppendUtf8(out, code);
        break;
      }
      default: return std::nullopt;
    }
  }
  return out;
}

std::optional<std::string> Allowlist::Read(const std::string& path) {
  return ForEachLine(path, [&](std::string_view raw, uint64_t line) -> std::optional<std::string> {
    std::string_view entry = raw.substr(0, std::min(raw.find('#'), raw.size()));
    entry = Trimmed(entry);
    if (entry.empty()) return std::nullopt;
    auto bad = [&](std::string_view why) {
      return Escaped(path) + ":" + std::to_string(line) + ": " + std::string(why);
    };
    if (entry.starts_with("sha256:")) {
      std::string digest(entry.substr(7));
      if (digest.size() != 64 || !std::ranges::all_of(digest, IsHexByte)) return bad("sha256: wants 64 hex digits");
      for (char& c : digest) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
      digests_.insert(digest);
      return std::nullopt;
    }
    if (entry.starts_with("prefix:")) {
      const std::string_view prefix = Trimmed(entry.substr(7));
      if (prefix.empty() || !std::ranges::all_of(prefix, IsDigitByte)) return bad("prefix: wants digits");
      prefixes_.emplace_back(prefix);
      return std::nullopt;
    }
    // A number, written with or without separators.
    std::string digits;
    for (char c : entry) {
      if (IsDigitByte(c)) digits += c;
      else if (c != ' ' && c != '-') return bad("not a number, sha256:DIGEST or prefix:DIGITS");
    }
    numbers_.insert(digits);
    return std::nullopt;
  });
}

bool Allowlist::Lists(std::string_view digits, std::string_view digest) const {
  if (!numbers_.empty() && numbers_.contains(std::string(digits))) return true;
  if (!digests_.empty() && digests_.contains(std::string(digest))) return true;
  return std::ranges::any_of(prefixes_, [&](const std::string& p) { return digits.starts_with(p); });
}

std::optional<std::string> Baseline::Read(const std::string& path) {
  return ForEachLine(path, [&](std::string_view raw, uint64_t line) -> std::optional<std::string> {
    if (Trimmed(raw).empty()) return std::nullopt;
    FlatObject object(raw);
    const std::string* where = nullptr;
    const std::string* digest = nullptr;
    if (object.Parse()) {
      // Numbers a spreadsheet rounded and what was not seen into are no findings.
      if (const std::string* type = object.Get("type"); type != nullptr && *type != "card") return std::nullopt;
      where = object.Get("path");
      digest = object.Get("sha256");
    }
    if (where == nullptr || digest == nullptr)
      return Escaped(path) + ":" + std::to_string(line) +
             ": not a finding of tessera scan --format json (a JSON object with a path and a sha256)";
    findings_.insert(*where + '\n' + *digest);
    return std::nullopt;
  });
}

bool Baseline::Holds(std::string_view path, std::string_view digest) const {
  const std::string shown = JsonPath(path);
  const std::string where = shown.starts_with('"') ? std::string(path) : shown;
  return findings_.contains(where + '\n' + std::string(digest));
}

}  // namespace tessera::tool
