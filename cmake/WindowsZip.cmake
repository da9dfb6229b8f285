# Packs the 32-bit and the 64-bit Windows builds into one release archive:
# each build installs (stripped) into the same folder, then that folder is
# zipped. Each build stays standalone; only this step sees both.
# usage: cmake -DWIN32_BUILD=DIR -DWIN64_BUILD=DIR -DOUTPUT_DIR=DIR -P WindowsZip.cmake
foreach(var WIN32_BUILD WIN64_BUILD OUTPUT_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "usage: cmake -DWIN32_BUILD=DIR -DWIN64_BUILD=DIR -DOUTPUT_DIR=DIR -P ${CMAKE_CURRENT_LIST_FILE}")
  endif()
endforeach()

file(STRINGS "${WIN64_BUILD}/CMakeCache.txt" name REGEX "^TESSERA_PACKAGE_NAME:INTERNAL=")
string(REGEX REPLACE "^[^=]*=" "" name "${name}")
if(NOT name)
  message(FATAL_ERROR "${WIN64_BUILD} is not a configured Windows build of Tessera")
endif()

set(stage "${OUTPUT_DIR}/_windows")
file(REMOVE_RECURSE "${stage}")
foreach(build "${WIN32_BUILD}" "${WIN64_BUILD}")
  execute_process(COMMAND "${CMAKE_COMMAND}" --install "${build}" --prefix "${stage}/${name}" --strip
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# The guides link to files of the source tree. A link to a file that the
# archive does not hold (tests, benchmarks, the Linux-only guides) keeps
# its words and loses its target, so that no link leads nowhere.
file(GLOB_RECURSE guides "${stage}/${name}/*.md")
set(link_pattern "^\\[([^]\n]*)\\]\\(([^)#\n]*)(#[^)\n]*)?\\)$")
foreach(guide IN LISTS guides)
  file(READ "${guide}" text)
  get_filename_component(folder "${guide}" DIRECTORY)
  string(REGEX MATCHALL "\\[[^]\n]*\\]\\([^)\n]*\\)" links "${text}")
  foreach(link IN LISTS links)
    string(REGEX REPLACE "${link_pattern}" "\\1" words "${link}")
    string(REGEX REPLACE "${link_pattern}" "\\2" target "${link}")
    if(NOT target MATCHES "^[a-z]+:" AND NOT target STREQUAL "" AND NOT EXISTS "${folder}/${target}")
      string(REPLACE "${link}" "${words}" text "${text}")
    endif()
  endforeach()
  file(WRITE "${guide}" "${text}")
endforeach()

file(REMOVE "${OUTPUT_DIR}/${name}.zip")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUTPUT_DIR}/${name}.zip" --format=zip "${name}"
  WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${stage}")
message(STATUS "${OUTPUT_DIR}/${name}.zip")
