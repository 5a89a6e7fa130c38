# Cross-build for 32-bit Windows with Debian's mingw-w64 (posix thread model, so that
# std::thread and std::mutex exist). This is the build shops get: the suite's fbUtils.dll is
# 32-bit, and many tills still run 32-bit Windows 7. Tests run through 32-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The compiler of the other bitness, for the stand-in library a test loads to see it refused.
set(VELMAR_OTHER_BITNESS_CXX x86_64-w64-mingw32-g++-posix)
set(VELMAR_OTHER_BITNESS_NAME x86-64)

# Every test executable runs under Wine through this wrapper (it sets the prefix and locale).
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run")
