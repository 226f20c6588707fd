# Cross build for 64-bit Windows with Debian's MinGW-w64: the -posix thread model, so that
# std::thread and std::mutex exist, and everything linked statically, so that no MinGW DLL has
# to travel with the executables.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KT6_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KT6_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KT6_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KT6_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KT6_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows 7 and later: the calls the serial and socket layers use are all there.
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)

# GoogleTest and the JSON headers built or copied for this compiler (scripts/windows), and for
# the window Qt and Hamlib for Windows (scripts/windows-qt): a list of prefixes.
if(KT6_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KT6_WINDOWS_DEPS})
endif()

# GCC 12 for MinGW warns falsely inside libstdc++'s own string code (-Wrestrict,
# -Warray-bounds), so warnings stay warnings here; the native builds make them errors.
set(KT6_WERROR OFF CACHE BOOL "Treat compiler warnings as errors")
