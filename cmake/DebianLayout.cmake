# Run by cpack on the .deb's staged files: the man page compressed, as man-db
# and lintian expect, and the licence as a machine-readable copyright file.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
file(GLOB_RECURSE pages "${root}/*/share/man/*.[1-9]")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf "${page}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

file(GLOB_RECURSE LICENSE_FILE "${root}/*/share/doc/tessera/LICENSE")
if(NOT LICENSE_FILE)
  message(FATAL_ERROR "no LICENSE among the staged files under ${root}")
endif()
get_filename_component(docdir "${LICENSE_FILE}" DIRECTORY)
set(COPYRIGHT_FILE "${docdir}/copyright")
include("${CPACK_TESSERA_SOURCE_DIR}/cmake/DebianCopyright.cmake")
