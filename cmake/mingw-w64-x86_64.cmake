# +--------------------------------------------------------------------------+
# | mingw-w64-x86_64.cmake                                                   |
# | Cross build for 64-bit Windows with Debian's mingw-w64 (GCC 12).         |
# | Our dependencies live in the Windows prefix that scripts/setup builds;   |
# | pass it in CMAKE_PREFIX_PATH. Cross-built tests run through Wine.        |
# +--------------------------------------------------------------------------+

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_vlr_triple x86_64-w64-mingw32)

# The -posix thread model: the -win32 one has no std::thread / std::mutex in GCC 12.
set(CMAKE_C_COMPILER ${_vlr_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_vlr_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_vlr_triple}-windres)
# CMake cannot derive the binutils prefix from a "-posix" compiler name.
find_program(CMAKE_AR ${_vlr_triple}-ar)
find_program(CMAKE_RANLIB ${_vlr_triple}-ranlib)

# Search only Windows files: the prefixes handed in through CMAKE_PREFIX_PATH
# (each made a root of its own, so it is not re-rooted under the sysroot) and
# the mingw-w64 sysroot. Host programs (code generators, tools) stay visible.
set(_vlr_roots "")
foreach(_vlr_p IN LISTS CMAKE_PREFIX_PATH)
  list(APPEND _vlr_roots "${_vlr_p}")
endforeach()
if(DEFINED ENV{CMAKE_PREFIX_PATH})
  string(REPLACE ":" ";" _vlr_env_prefixes "$ENV{CMAKE_PREFIX_PATH}")
  list(APPEND _vlr_roots ${_vlr_env_prefixes})
endif()
list(APPEND _vlr_roots /usr/${_vlr_triple})
list(REMOVE_DUPLICATES _vlr_roots)
set(CMAKE_FIND_ROOT_PATH ${_vlr_roots})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A self-contained exe: no libgcc / libstdc++ / winpthread DLLs to ship.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# CTest (and gtest_discover_tests) start the cross-built programs through Wine.
if(DEFINED ENV{VLR_WINE} AND NOT "$ENV{VLR_WINE}" STREQUAL "")
  set(CMAKE_CROSSCOMPILING_EMULATOR "$ENV{VLR_WINE}")
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
