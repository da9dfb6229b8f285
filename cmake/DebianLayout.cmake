# Run by cpack on the .deb's staged files: the man page compressed, as man-db
# and lintian expect, and the licence as a machine-readable copyright file.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
file(GLOB_RECURSE pages "${root}/*/share/man/*.[1-9]")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf "${page}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

file(GLOB_RECURSE licence "${root}/*/share/doc/tessera/LICENSE")
if(NOT licence)
  message(FATAL_ERROR "no LICENSE among the staged files under ${root}")
endif()
file(READ "${licence}" text)
string(REGEX MATCH "\nCopyright \\(c\\) ([^\n]*)\n" found "${text}")
set(holder "${CMAKE_MATCH_1}")
# The licence's own words follow the copyright line: one space in front of
# each line, a lone "." for an empty one.
string(REGEX REPLACE "^.*\nCopyright [^\n]*\n\n" "" terms "${text}")
string(STRIP "${terms}" terms)
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
get_filename_component(docdir "${licence}" DIRECTORY)
file(WRITE "${docdir}/copyright" "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: tessera

Files: *
Copyright: ${holder}
License: Expat
 ${terms}
")
