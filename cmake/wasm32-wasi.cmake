# SPDX-License-Identifier: GPL-3.0-or-later
# The web edition: WebAssembly through Debian's clang-14 with wasi-libc and
# libc++ for wasm32 (packages wasi-libc, libc++-14-dev-wasm32,
# libclang-rt-14-dev-wasm32, lld-14).
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -fno-rtti")
