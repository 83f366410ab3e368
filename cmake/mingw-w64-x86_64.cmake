# Cross-compiling for 64-bit Windows with mingw-w64's -posix compilers (the
# win32-thread ones lack std::thread and std::mutex). Everything links
# statically, so no toolchain DLL has to sit beside ours; programs run
# under Wine when CTest runs them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNWICK_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_HOST}-windres)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# The cross-built OpenSSL and GoogleTest live under TARNWICK_WINDOWS_DEPS
# (include/, lib/); headers and libraries are looked up only there and in
# the toolchain's own tree, programs only on the build machine.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARNWICK_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_HOST})
if(TARNWICK_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TARNWICK_WINDOWS_DEPS})
  set(OPENSSL_ROOT_DIR ${TARNWICK_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(OPENSSL_USE_STATIC_LIBS TRUE)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
