// usage.cpp -- --help, the manual page and the Markdown reference, made from the tables of flags.h
#include "tool/cat.h"
#include "tool/usage.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

#include "frame/checks.h"

namespace tessera::tool {
namespace {

constexpr std::size_t kWidth = 79;

std::vector<std::string_view> Split(std::string_view text, std::string_view by) {
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    const std::size_t next = text.find(by, at);
    parts.push_back(text.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at));
    if (next == std::string_view::npos) return parts;
    at = next + by.size();
  }
}

// `text` filled into lines of at most kWidth columns, each after `indent`
// spaces; the first line after `first` instead, when given.
std::string Wrapped(std::string_view text, std::size_t indent, std::string_view first = {}) {
  std::string out(first.empty() ? std::string(indent, ' ') : std::string(first));
  std::size_t column = out.size();
  // A head that ends in spaces is a column to fill; any other is a word.
  bool line_empty = first.empty() || first.back() == ' ';
  for (std::string_view word : Split(text, " ")) {
    if (word.empty()) continue;
    if (!line_empty && column + 1 + word.size() > kWidth) {
      out += '\n' + std::string(indent, ' ');
      column = indent;
      line_empty = true;
    }
    if (!line_empty) out += ' ', ++column;
    out += word;
    column += word.size();
    line_empty = false;
  }
  return out + '\n';
}

std::string Join(const std::vector<std::string>& parts, std::string_view between) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? std::string(between) : "") + parts[i];
  return out;
}

// The brand table of the card check, as people read it.
struct BrandLine {
  std::string name, lengths, prefixes;
};

std::vector<BrandLine> BrandLines() {
  std::vector<BrandLine> lines;
  for (const BrandRule& rule : kBrandRules) {
    std::vector<std::string> lengths, prefixes;
    for (std::size_t length : rule.lengths)
      if (length != 0) lengths.push_back(std::to_string(length));
    // Runs of numbers one apart, as "51 to 55".
    std::string run_first, run_last;
    auto close_run = [&] {
      if (run_first.empty()) return;
      prefixes.push_back(run_first == run_last ? run_first : Cat(run_first, " to ", run_last));
      run_first.clear();
    };
    for (const BrandPrefix& prefix : rule.prefixes) {
      if (prefix.text.empty()) continue;
      std::string shown(prefix.text);
      if (prefix.unless != Brand::None) {
        close_run();
        prefixes.push_back(Cat(shown, " (unless ", std::string(BrandName(prefix.unless)), ")"));
        continue;
      }
      if (!run_first.empty() && shown.size() == run_last.size() && std::stoul(shown) == std::stoul(run_last) + 1) {
        run_last = shown;
        continue;
      }
      close_run();
      run_first = run_last = shown;
    }
    close_run();
    lines.push_back({std::string(rule.name), Join(lengths, ", "), Join(prefixes, ", ")});
  }
  return lines;
}

constexpr std::string_view kBrandsBefore =
    "The card check knows these brands, and no others (the length counts every character):";
constexpr std::string_view kBrandsAfter =
    "So there is no 2-series MasterCard (2221 to 2720) and no card number of 17 to 19 digits: "
    "2221000000000009 is \"no brand\", as the checks answer. tessera scan, and tessera card with --brands "
    "current, judge by the ranges and lengths the brands publish today instead (docs/scan.md lists them). The id "
    "command checks no brands.";

// The text of a section with its placeholders filled in, as paragraphs;
// an example paragraph keeps its lines.
std::vector<std::string> Paragraphs(const Section& section) {
  std::vector<std::string> out;
  for (std::string_view p : Split(section.text, "\n\n")) {
    if (p != "{brands}") {
      out.emplace_back(p);
      continue;
    }
    out.emplace_back(kBrandsBefore);
    auto row = [](std::string_view name, std::string_view lengths, std::string_view prefixes) {
      return Cat("    ", name, std::string(18 - std::min<std::size_t>(17, name.size()), ' '), lengths,
                 std::string(10 - std::min<std::size_t>(9, lengths.size()), ' '), prefixes, "\n");
    };
    std::string table = row("Brand", "Length", "Begins with");
    for (const BrandLine& line : BrandLines()) table += row(line.name, line.lengths, line.prefixes);
    table.pop_back();
    out.push_back(table);
    out.emplace_back(kBrandsAfter);
  }
  return out;
}

bool IsExample(std::string_view paragraph) { return paragraph.starts_with("    "); }

std::string Synopsis(const CommandDoc& command) {
  return Cat("tessera ", std::string(command.name), " [OPTION]... ", std::string(command.operands));
}

std::string FlagUsage(const Flag& flag) {
  std::string usage = FlagName(flag);
  if (!flag.value_name.empty()) {
    usage += ' ';
    usage += flag.value_name;
  }
  return usage;
}

// " (card only)" when a flag is not for every command.
std::string OnlyFor(const Flag& flag) {
  std::vector<std::string> names;
  for (const CommandDoc& command : Commands())
    if (flag.commands & command.bit) names.emplace_back(command.name);
  if (names.size() == Commands().size()) return {};
  std::string only = " (";
  only += Join(names, ", ");
  only += " only)";
  return only;
}

std::string Capitalised(std::string_view title) {
  std::string out(title);
  for (std::size_t i = 1; i < out.size(); ++i)
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  return out;
}

// The manual's markup: a backslash is \e, a dash \-, and a line must not
// begin with a control character.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  std::string safe;
  for (std::string_view line : Split(out, "\n")) {
    if (!safe.empty()) safe += '\n';
    if (line.starts_with('.') || line.starts_with('\'')) safe += "\\&";
    safe += line;
  }
  return safe;
}

}  // namespace

std::string HelpText(const CommandDoc* command) {
  std::string out;
  const CommandSet bits = command ? command->bit : ~CommandSet{0};
  for (const CommandDoc& c : Commands()) {
    if (!(c.bit & bits)) continue;
    out += Cat(out.empty() ? "usage: " : "       ", Synopsis(c), "\n");
  }
  out += '\n';
  if (command) {
    out += Wrapped(command->text, 0);
  } else {
    for (const CommandDoc& c : Commands()) out += Cat("  ", std::string(c.name), std::string(8 - c.name.size(), ' '), std::string(c.summary), "\n");
  }
  out += "\nOptions:\n";
  for (const Flag& flag : Flags()) {
    if (!(flag.commands & bits)) continue;
    std::string head = Cat("  ", FlagUsage(flag));
    head += head.size() < 27 ? std::string(27 - head.size(), ' ') : Cat("\n", std::string(27, ' '));
    out += Wrapped(std::string(flag.doc) + (command ? "" : OnlyFor(flag)), 27, head);
  }
  for (const Section& section : Sections()) {
    if (!section.in_help) continue;
    out += Cat("\n", Capitalised(section.title), ":\n");
    for (const std::string& p : Paragraphs(section)) out += IsExample(p) ? Cat(p, "\n") : Wrapped(p, 2);
  }
  out += "\nThe manual (man tessera) tells more.\n";
  return out;
}

std::string ManPage(std::string_view version) {
  std::string out = Cat(".TH TESSERA 1 \"\" \"Tessera ", std::string(version), "\" \"User Commands\"\n");
  out += ".SH NAME\ntessera \\- check payment card numbers and GPA identity-document numbers\n";
  out += ".SH SYNOPSIS\n";
  bool first = true;
  for (const CommandDoc& c : Commands()) {
    if (!first) out += ".br\n";
    first = false;
    out += Cat(".B tessera ", std::string(c.name), "\n[\\fIOPTION\\fR]... ", Roff(c.operands), "\n");
  }
  out += ".SH DESCRIPTION\n";
  for (const CommandDoc& c : Commands()) out += Cat(".TP\n.B tessera ", c.name, "\n", Roff(c.text), "\n");
  out += ".SH OPTIONS\n";
  for (const Flag& flag : Flags()) {
    out += Cat(".TP\n\\fB", Roff(FlagName(flag)), "\\fR");
    if (!flag.value_name.empty()) out += Cat(" \\fI", Roff(flag.value_name), "\\fR");
    out += Cat("\n", Roff(Cat(flag.doc, OnlyFor(flag))), "\n");
  }
  for (const Section& section : Sections()) {
    out += Cat(".SH ", std::string(section.title), "\n");
    first = true;
    for (const std::string& p : Paragraphs(section)) {
      if (!first) out += ".PP\n";
      first = false;
      out += IsExample(p) ? Cat(".nf\n", Roff(p), "\n.fi\n") : Cat(Roff(p), "\n");
    }
  }
  return out;
}

namespace {

// Markdown would take a backslash or a star as markup.
std::string Md(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '*') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::string MarkdownReference() {
  std::string out = "## Usage\n\n";
  for (const CommandDoc& c : Commands()) out += Cat("    ", Synopsis(c), "\n");
  for (const CommandDoc& c : Commands()) out += Cat("\n", Wrapped(Md(c.text), 0, Cat("`tessera ", c.name, "`:")));
  out += "\n## Options\n\n";
  for (const Flag& flag : Flags()) out += Wrapped(Cat(Md(flag.doc), OnlyFor(flag)), 2, Cat("- `", FlagUsage(flag), "`:"));
  for (const Section& section : Sections()) {
    out += Cat("\n## ", Capitalised(section.title), "\n");
    for (const std::string& p : Paragraphs(section)) out += Cat("\n", IsExample(p) ? p + "\n" : Wrapped(Md(p), 0));
  }
  return out;
}

}  // namespace tessera::tool
