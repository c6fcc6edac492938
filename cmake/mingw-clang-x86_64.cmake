# Cross-compiles for 64-bit Windows with Debian's clang, against the headers
# and libraries of the posix-thread MinGW-w64 toolchain, linked by lld.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

# clang does not find the MinGW GCC's C++ library by itself, and would search
# the host's /usr/include: name the MinGW folders and nothing else.
file(GLOB TOLLIX_MINGW_GCC_DIRS /usr/lib/gcc/${TOOLCHAIN_PREFIX}/*-posix)
if(NOT TOLLIX_MINGW_GCC_DIRS)
  message(FATAL_ERROR "No posix-thread MinGW-w64 GCC under /usr/lib/gcc/${TOOLCHAIN_PREFIX}")
endif()
list(GET TOLLIX_MINGW_GCC_DIRS 0 TOLLIX_MINGW_GCC_DIR)
set(TOLLIX_MINGW_INCLUDE "-nostdlibinc -isystem /usr/${TOOLCHAIN_PREFIX}/include")
set(CMAKE_C_FLAGS_INIT "${TOLLIX_MINGW_INCLUDE}")
set(CMAKE_CXX_FLAGS_INIT "-nostdinc++ -isystem ${TOLLIX_MINGW_GCC_DIR}/include/c++ \
-isystem ${TOLLIX_MINGW_GCC_DIR}/include/c++/${TOOLCHAIN_PREFIX} \
-isystem ${TOLLIX_MINGW_GCC_DIR}/include/c++/backward ${TOLLIX_MINGW_INCLUDE}")
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static -fuse-ld=lld -Wno-unused-command-line-argument -L${TOLLIX_MINGW_GCC_DIR} -L/usr/${TOOLCHAIN_PREFIX}/lib -lpthread")

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(WINE_PROGRAM NAMES wine wine64)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
