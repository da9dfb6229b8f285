# Run by cpack on every archive's staged files. CPACK_STRIP_FILES strips the
# programs and shared libraries; static libraries lose their debug
# information here, as distributions ship them.
file(GLOB_RECURSE archives "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.a")
foreach(archive IN LISTS archives)
  execute_process(COMMAND "${CPACK_TESSERA_STRIP}" --strip-debug "${archive}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
