# Cross-compiling the Windows executable on Linux with mingw-w64 (the POSIX thread model, for
# std::thread and std::mutex in the core).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZEB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZEB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEB_MINGW_PREFIX}-windres)
set(CMAKE_ASM_COMPILER ${ZEB_MINGW_PREFIX}-gcc-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained executable: the C++ and GCC run-time libraries are linked in, so only
# Windows system DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in the prefix tests/windows/run_wine_tests.sh prepares.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine_emulator.sh)
