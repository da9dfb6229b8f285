# Read by cpack once per generator, with CPACK_GENERATOR naming that one.
set(CPACK_PRE_BUILD_SCRIPTS "${CPACK_TESSERA_SOURCE_DIR}/cmake/ReleaseLayout.cmake")
if(CPACK_GENERATOR STREQUAL "DEB")
  list(APPEND CPACK_PRE_BUILD_SCRIPTS "${CPACK_TESSERA_SOURCE_DIR}/cmake/DebianLayout.cmake")
endif()
