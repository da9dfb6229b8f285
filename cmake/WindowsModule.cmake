# Tessera.DLL: the checks as a Windows module that needs no C runtime.
enable_language(RC)

# Every processor that runs a supported 32-bit Windows has SSE2; x64 always does.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_options(-msse2)
endif()

configure_file(resources/version.rc.in "${PROJECT_BINARY_DIR}/version.rc" @ONLY)

# The scanner and the rules that judge its findings use the C++ runtime,
# which the module does without; it exports none of them (nor the redactor), nor of
# tessera_text.h, anyway.
set(TESSERA_MODULE_SOURCES ${TESSERA_CHECK_SOURCES})
list(FILTER TESSERA_MODULE_SOURCES EXCLUDE REGEX "^cards/(scan|redact|lookalikes|key_context|test_numbers|track_data)|tessera_text|tessera_scan")

add_library(tessera SHARED
  ${TESSERA_MODULE_SOURCES} frame/exports.cpp frame/entry.cpp frame/freestanding.cpp
  resources/tessera.def "${PROJECT_BINARY_DIR}/version.rc")
target_include_directories(tessera PRIVATE include .)
set_target_properties(tessera PROPERTIES OUTPUT_NAME Tessera PREFIX "" SUFFIX ".DLL" IMPORT_PREFIX "")
set_source_files_properties(frame/freestanding.cpp PROPERTIES
  COMPILE_OPTIONS "-fno-builtin;-fno-tree-loop-distribute-patterns")
target_compile_options(tessera PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-stack-protector>)


if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TESSERA_ENTRY _DLLEntryPoint@12)
else()
  set(TESSERA_ENTRY DLLEntryPoint)
endif()
# --kill-at exports the names without their stdcall @N; on x64, where there
# is no @N, stdcall fixup matches the table's names to the plain symbols.
target_link_options(tessera PRIVATE
  -nostdlib -static-libgcc "LINKER:--entry=${TESSERA_ENTRY}" "LINKER:--kill-at"
  "LINKER:--enable-stdcall-fixup" "LINKER:--no-insert-timestamp")
target_link_libraries(tessera PRIVATE kernel32 gcc)

# The same checks with the ordinary runtime, for test programs such as the
# fuzz replayer; hosts use the module.
add_library(tessera_static STATIC ${TESSERA_CHECK_SOURCES} frame/exports.cpp)
target_include_directories(tessera_static PRIVATE . PUBLIC include)

# Stdcall callers link against the decorated names (_CheckCard@4), which
# ld's own import library drops along with the exported decorations.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_custom_command(TARGET tessera POST_BUILD
    COMMAND "${CMAKE_DLLTOOL}" --input-def "${PROJECT_SOURCE_DIR}/resources/tessera.def"
            --dllname Tessera.DLL --kill-at --output-lib "$<TARGET_LINKER_FILE:tessera>"
    VERBATIM)
endif()

# The release archive holds both modules in folders of their own, with their
# import libraries, and the export definition, header and guides beside them:
# each build installs its module, and cmake/WindowsZip.cmake packs the two
# installs into one archive (scripts/package.sh).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TESSERA_ARCH_DIR win32)
else()
  set(TESSERA_ARCH_DIR win64)
endif()
install(TARGETS tessera RUNTIME DESTINATION ${TESSERA_ARCH_DIR} ARCHIVE DESTINATION ${TESSERA_ARCH_DIR})
install(FILES include/tessera.h resources/tessera.def README.md LICENSE DESTINATION .)
install(FILES docs/c.md docs/python.md docs/pascal.md docs/csharp.md docs/vba.md docs/tool.md docs/scan.md
  DESTINATION docs)
# In folders of their own beside docs/, as in the source tree.
install(FILES bindings/pascal/tessera.pas bindings/pascal/example.pas DESTINATION bindings/pascal)
install(FILES bindings/csharp/Tessera.cs bindings/csharp/Example.cs DESTINATION bindings/csharp)
install(FILES bindings/vba/Tessera.bas DESTINATION bindings/vba)
# The Python package without its extension module: over Tessera.DLL through ctypes.
install(DIRECTORY bindings/python/tessera DESTINATION bindings/python FILES_MATCHING PATTERN "*.py" PATTERN "py.typed")
file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/_version.py" CONTENT "__version__ = \"${PROJECT_VERSION}\"\n")
install(FILES "${PROJECT_BINARY_DIR}/_version.py" DESTINATION bindings/python/tessera)

set(TESSERA_PACKAGE_NAME tessera-${PROJECT_VERSION}-windows CACHE INTERNAL "The Windows archive's name")
