# SPDX-License-Identifier: GPL-3.0-or-later
# 32-bit x86 Linux build on an x86-64 machine (Debian's g++-12-multilib). The
# kernel here may refuse to run 32-bit programs directly, so tests run under
# qemu's user-mode emulation.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
# The kernel's asm headers serve both widths. Debian links them for -m32 in
# gcc-multilib, which conflicts with the ARM cross compiler; without that
# link, the compiler looks for them after its own folders.
set(TRIBAND_M32_FLAGS "-m32")
if(NOT EXISTS /usr/include/asm AND EXISTS /usr/include/x86_64-linux-gnu/asm)
  string(APPEND TRIBAND_M32_FLAGS " -idirafter /usr/include/x86_64-linux-gnu")
endif()
set(CMAKE_C_FLAGS_INIT "${TRIBAND_M32_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${TRIBAND_M32_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
find_program(TRIBAND_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TRIBAND_QEMU_I386})
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
