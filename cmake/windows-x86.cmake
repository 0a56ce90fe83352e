# SPDX-License-Identifier: GPL-3.0-or-later
# 32-bit Windows DLL. Its record is the 144-byte layout, proven at compile
# time; no 32-bit Wine runs its tests here.
set(TRIBAND_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
