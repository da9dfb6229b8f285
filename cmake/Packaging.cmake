# Release archives of the Linux build: cpack -G TGZ in the build folder, and
# cpack -G DEB in one configured with CMAKE_INSTALL_PREFIX=/usr, so that
# libraries go to Debian's multiarch folder (scripts/package.sh). The Windows archive joins two builds, one per
# processor, and is made by cmake/WindowsZip.cmake instead.
if(WIN32)
  return()
endif()

set(CPACK_PACKAGE_NAME tessera)
set(CPACK_PACKAGE_VENDOR "The Tessera developers")
set(CPACK_PACKAGE_CONTACT "The Tessera developers <tessera-developers@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}: library, header and command-line tool")
set(CPACK_PACKAGE_FILE_NAME tessera-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_GENERATOR TGZ DEB)
# Release binaries carry no debug information; a RelWithDebInfo build folder keeps it.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Every archive gets its static library without debug information, and the
# .deb what Debian's layout expects on top of the plain install.
set(CPACK_TESSERA_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
set(CPACK_TESSERA_STRIP "${CMAKE_STRIP}")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/CPackPerGenerator.cmake")
include(CPack)
