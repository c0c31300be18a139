# Cross build of the Windows installer with Debian's mingw-w64 (x86_64-w64-mingw32):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The executables link the C and C++ runtimes statically, so they need no mingw DLL beside them,
# and run under Wine (the emulator CTest and test discovery use).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NEXLUME_MINGW_TRIPLE x86_64-w64-mingw32)
# The POSIX thread model: GoogleTest needs std::mutex, which the win32 model's library lacks. The
# installer starts no thread; the threading library is linked statically like the rest.
set(CMAKE_C_COMPILER ${NEXLUME_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NEXLUME_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NEXLUME_MINGW_TRIPLE}-windres)
set(CMAKE_ASM_COMPILER ${NEXLUME_MINGW_TRIPLE}-gcc-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${NEXLUME_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Unicode Win32 declarations, Windows 7 as the oldest target.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(NEXLUME_WINE NAMES wine wine64)
if(NEXLUME_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NEXLUME_WINE})
endif()
