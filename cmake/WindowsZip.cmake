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
file(REMOVE "${OUTPUT_DIR}/${name}.zip")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUTPUT_DIR}/${name}.zip" --format=zip "${name}"
  WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${stage}")
message(STATUS "${OUTPUT_DIR}/${name}.zip")
