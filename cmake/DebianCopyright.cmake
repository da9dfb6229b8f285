# Writes the licence as a machine-readable Debian copyright file.
# usage: cmake -DLICENSE_FILE=LICENSE -DCOPYRIGHT_FILE=.../copyright -P DebianCopyright.cmake
# (or include() it with both set)
file(READ "${LICENSE_FILE}" text)
string(REGEX MATCH "\nCopyright \\(c\\) ([^\n]*)\n" found "${text}")
set(holder "${CMAKE_MATCH_1}")
# The licence's own words follow the copyright line: one space in front of
# each line, a lone "." for an empty one.
string(REGEX REPLACE "^.*\nCopyright [^\n]*\n\n" "" terms "${text}")
string(STRIP "${terms}" terms)
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
file(WRITE "${COPYRIGHT_FILE}" "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: tessera

Files: *
Copyright: ${holder}
License: Expat
 ${terms}
")
