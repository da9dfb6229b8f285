// records_reference.h -- the record reader's rules, read a byte at a time
//
// Plain on purpose: no blocks, no masks, the whole input in memory, so that
// the fast reader in tool/records.h has something simple to be held against.
// Lines end at LF, CR LF or a lone CR; a UTF-8 byte order mark at the start
// is skipped. CSV follows RFC 4180, read as spreadsheets read it: a quote
// opens a field only at its start, a doubled quote inside stands for one,
// bytes after the closing quote are kept, a quote elsewhere is a byte.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tool/records.h"

namespace tessera::reference {

struct Record {
  uint64_t line = 0;  // where it starts, from 1
  tool::Field::Kind kind = tool::Field::kWhole;
  std::string value;                              // empty when missing
  std::vector<std::optional<std::string>> kept;  // by slot; none where the record lacks the field
  bool operator==(const Record&) const = default;
};

struct Records {
  std::vector<std::string> header;  // CSV header names, unquoted
  std::vector<Record> records;
  std::optional<uint64_t> unclosed_quote_line;
  uint64_t found = 0, missing = 0, first_missing_line = 0;
  std::size_t widest_missing = 0;
  bool operator==(const Records&) const = default;
};

inline void PrintTo(const Record& r, std::ostream* os) {
  *os << "{line " << r.line << (r.kind == tool::Field::kMissing ? ", missing" : "") << ", \"" << r.value << "\"";
  for (const auto& k : r.kept) *os << ", kept " << (k ? "\"" + *k + "\"" : "none");
  *os << "}";
}

inline bool IsLineEnd(std::string_view in, std::size_t i) {
  return in[i] == '\r' || (in[i] == '\n' && (i == 0 || in[i - 1] != '\r'));
}

inline Records ReadRecords(std::string_view in, const tool::RecordLayout& layout) {
  Records out;
  if (in.substr(0, 3) == "\xef\xbb\xbf") in.remove_prefix(3);
  bool header = layout.header;
  uint64_t line = 1;
  if (!layout.csv) {
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= in.size(); ++i) {
      const bool end = i == in.size() ? begin < in.size() : IsLineEnd(in, i);
      if (i < in.size() && in[i] == '\n' && !end) {
        begin = i + 1;  // the LF of a CR LF
        continue;
      }
      if (!end) continue;
      if (!header) out.records.push_back({line, tool::Field::kWhole, std::string(in.substr(begin, i - begin)), {}});
      header = false;
      ++line;
      begin = i + 1;
    }
    return out;
  }

  const tool::Columns& columns = layout.columns;
  std::vector<std::string> fields;
  std::string field;
  enum { kStart, kPlain, kQuoted, kQuoteSeen } state = kStart;
  bool open = false;  // bytes of a record not yet ended
  uint64_t record_line = 1;
  auto end_record = [&] {
    fields.push_back(field);
    if (header) {
      out.header = fields;
      header = false;
    } else {
      Record r{record_line, tool::Field::kWhole, {}, {}};
      for (std::size_t k : columns.kept)
        r.kept.push_back(k < fields.size() ? std::optional<std::string>(fields[k]) : std::nullopt);
      const bool blank = fields[0].find_first_not_of(" \t") == std::string::npos;
      if (columns.check < fields.size()) {
        r.value = fields[columns.check];
        ++out.found;
      } else if (fields.size() == 1 && blank) {
        // One blank field: an empty record, not one without the field.
      } else {
        r.kind = tool::Field::kMissing;
        if (out.missing++ == 0) out.first_missing_line = record_line;
        out.widest_missing = std::max(out.widest_missing, fields.size());
      }
      out.records.push_back(std::move(r));
    }
    fields.clear();
    field.clear();
    state = kStart;
    open = false;
  };
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    const bool line_end = IsLineEnd(in, i);
    if (state == kQuoted) {
      if (c == '"') {
        state = kQuoteSeen;
      } else {
        field += c;
        if (line_end) ++line;
      }
      continue;
    }
    if (state == kStart && !open && c == '\n' && !line_end) continue;  // the LF of a CR LF
    open = true;
    if (c == layout.delimiter) {
      fields.push_back(field);
      field.clear();
      state = kStart;
    } else if (line_end) {
      end_record();
      ++line;
      record_line = line;
    } else if (c == '"' && (state == kStart || state == kQuoteSeen)) {
      if (state == kQuoteSeen) field += '"';
      state = kQuoted;
    } else {
      field += c;
      state = kPlain;
    }
  }
  if (state == kQuoted) out.unclosed_quote_line = record_line;
  if (open) end_record();
  return out;
}

}  // namespace tessera::reference
