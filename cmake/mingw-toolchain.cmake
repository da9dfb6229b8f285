# Cross build of the Windows module with mingw-w64, for the processor that
# the including toolchain file names in TESSERA_MINGW_ARCH (i686, x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TESSERA_MINGW_ARCH})
set(CMAKE_C_COMPILER ${TESSERA_MINGW_ARCH}-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER ${TESSERA_MINGW_ARCH}-w64-mingw32-g++)
set(CMAKE_RC_COMPILER ${TESSERA_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TESSERA_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs carry their runtime, so nothing but the module sits beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
# Tests run under Wine's loader of the module's own width: scripts/wine.sh
# picks it (native, or the 32-bit one under qemu where the kernel runs no
# 32-bit programs) from what scripts/setup.sh found on this machine.
if(TESSERA_MINGW_ARCH STREQUAL "i686")
  set(TESSERA_WINE_BITS 32)
else()
  set(TESSERA_WINE_BITS 64)
endif()
get_filename_component(TESSERA_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine.sh" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${TESSERA_WINE_RUN};${TESSERA_WINE_BITS}")
