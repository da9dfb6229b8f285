// make_docs.cpp -- writes the manual page or the Markdown reference from the table of flags
//
// usage: tessera_docs man|markdown
// The committed docs/tessera.1 and the reference part of docs/tool.md are
// this program's output; a test compares them, and the tessera_tool_docs
// build target writes them again after the table changes.
#include <cstdio>
#include <string_view>

#include "tool/usage.h"

int main(int argc, char** argv) {
  const std::string_view what = argc > 1 ? argv[1] : "";
  std::string text;
  if (what == "man") {
    text = tessera::tool::ManPage(TESSERA_VERSION);
  } else if (what == "markdown") {
    text = tessera::tool::MarkdownReference();
  } else {
    std::fputs("usage: tessera_docs man|markdown\n", stderr);
    return 2;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
