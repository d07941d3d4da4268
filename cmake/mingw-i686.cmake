# Cross build for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686).
#
# Produces brindlework.dll and Win32 console test programs.  The posix thread
# model is chosen because GoogleTest needs std::mutex; every program links its
# C++ runtime, libgcc and winpthread statically (-static), so the DLL and the
# test programs depend on system DLLs only.  Test programs run under wine
# through the emulator below, so ctest runs them as it runs native ones.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(BRINDLE_MINGW_TRIPLE i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${BRINDLE_MINGW_TRIPLE}-gcc-posix ${BRINDLE_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${BRINDLE_MINGW_TRIPLE}-g++-posix ${BRINDLE_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${BRINDLE_MINGW_TRIPLE}-windres)
find_program(CMAKE_OBJDUMP NAMES ${BRINDLE_MINGW_TRIPLE}-objdump)

# Libraries and headers come from the cross sysroot, plus any prefix the
# caller adds (the cross-built GoogleTest goes into one).
set(CMAKE_FIND_ROOT_PATH /usr/${BRINDLE_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program, test programs included, carries its C++ runtime inside.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

find_program(BRINDLE_WINE NAMES wine)
if(BRINDLE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${BRINDLE_WINE})
endif()
