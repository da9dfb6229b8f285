# The checks as a shared and a static library, the tool, and the files that
# let other builds find them.

# Compiled once for both libraries.
add_library(tessera_checks OBJECT ${TESSERA_CHECK_SOURCES} frame/exports.cpp)
set_target_properties(tessera_checks PROPERTIES POSITION_INDEPENDENT_CODE ON)
# Hidden by default: only the names the header marks TESSERA_API leave the shared library.
target_compile_definitions(tessera_checks PRIVATE TESSERA_BUILDING)
target_include_directories(tessera_checks PRIVATE include .)

add_library(tessera SHARED $<TARGET_OBJECTS:tessera_checks>)
add_library(tessera_static STATIC $<TARGET_OBJECTS:tessera_checks>)
foreach(lib tessera tessera_static)
  target_include_directories(${lib} PUBLIC
    "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>"
    "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
  set_target_properties(${lib} PROPERTIES OUTPUT_NAME tessera PUBLIC_HEADER "include/tessera.h;include/tessera_text.h;include/tessera_scan.h")
endforeach()
set_target_properties(tessera PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})
# Every exported name carries the version it came with.
target_link_options(tessera PRIVATE "LINKER:--version-script=${PROJECT_SOURCE_DIR}/resources/tessera.map")
set_property(TARGET tessera APPEND PROPERTY LINK_DEPENDS "${PROJECT_SOURCE_DIR}/resources/tessera.map")
add_library(Tessera::tessera ALIAS tessera)
add_library(Tessera::tessera_static ALIAS tessera_static)

install(TARGETS tessera tessera_static EXPORT TesseraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

include(CMakePackageConfigHelpers)
set(TESSERA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tessera)
install(EXPORT TesseraTargets NAMESPACE Tessera:: DESTINATION ${TESSERA_CMAKE_DIR})
configure_package_config_file(cmake/TesseraConfig.cmake.in
  "${PROJECT_BINARY_DIR}/TesseraConfig.cmake" INSTALL_DESTINATION ${TESSERA_CMAKE_DIR})
write_basic_package_version_file("${PROJECT_BINARY_DIR}/TesseraConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/TesseraConfig.cmake" "${PROJECT_BINARY_DIR}/TesseraConfigVersion.cmake"
  DESTINATION ${TESSERA_CMAKE_DIR})

# The .pc file finds the prefix from its own place, so an install moved
# elsewhere (cmake --install --prefix, an unpacked archive) still works.
set(TESSERA_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TESSERA_PC_TO_PREFIX "/prefix/${TESSERA_PKGCONFIG_DIR}" "/prefix")
configure_file(cmake/tessera.pc.in "${PROJECT_BINARY_DIR}/tessera.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/tessera.pc" DESTINATION ${TESSERA_PKGCONFIG_DIR})
install(FILES docs/tessera.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessera)
