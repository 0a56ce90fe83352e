# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the Windows toolchain files: Debian's mingw-w64 for the target
# named by TRIBAND_MINGW_TRIPLE, in its posix-thread variant, whose standard
# library has std::mutex (GoogleTest needs it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TRIBAND_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRIBAND_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TRIBAND_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TRIBAND_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
