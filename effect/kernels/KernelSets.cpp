// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>

#include "BlockJob.h"
#include "KernelSet.h"

// Each set's entry lives in its own unit, compiled for its instructions.
#define TRIBAND_KERNEL_SET_ENTRIES(set) void render##set(BlockJob& job) noexcept;
TRIBAND_KERNEL_SET_ENTRIES(Frames)
#if defined(TRIBAND_KERNELS_X86)
TRIBAND_KERNEL_SET_ENTRIES(Sse2)
TRIBAND_KERNEL_SET_ENTRIES(Avx2)
#if defined(TRIBAND_KERNELS_AVX512)
TRIBAND_KERNEL_SET_ENTRIES(Avx512)
#endif
#elif defined(TRIBAND_KERNELS_NEON)
TRIBAND_KERNEL_SET_ENTRIES(Neon)
#endif
#undef TRIBAND_KERNEL_SET_ENTRIES

namespace {

bool always() noexcept { return true; }

#if defined(TRIBAND_KERNELS_X86)
bool hasSse2() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse2");
}
bool hasAvx2() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
// Its short blocks run the AVX2 unit, whose test covers FMA too.
[[maybe_unused]] bool hasAvx512() noexcept {
  return hasAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
}
#endif

constexpr KernelSet kFrames{"frames", renderFrames, always};
#if defined(TRIBAND_KERNELS_X86)
constexpr KernelSet kSse2{"sse2", renderSse2, hasSse2};
constexpr KernelSet kAvx2{"avx2", renderAvx2, hasAvx2};
#if defined(TRIBAND_KERNELS_AVX512)
constexpr KernelSet kAvx512{"avx512", renderAvx512, hasAvx512};
constexpr const KernelSet* kAll[] = {&kFrames, &kSse2, &kAvx2, &kAvx512};
#else
constexpr const KernelSet* kAll[] = {&kFrames, &kSse2, &kAvx2};
#endif
#elif defined(TRIBAND_KERNELS_NEON)
constexpr KernelSet kNeon{"neon", renderNeon, always};  // every 64-bit ARM processor has it
constexpr const KernelSet* kAll[] = {&kFrames, &kNeon};
#else
constexpr const KernelSet* kAll[] = {&kFrames};
#endif
constexpr int kCount = static_cast<int>(sizeof kAll / sizeof kAll[0]);

}  // namespace

namespace kernels {

const KernelSet* const* all(int& count) noexcept {
  count = kCount;
  return kAll;
}

const KernelSet& best() noexcept {
  for (int i = kCount - 1; i > 0; --i)
    if (kAll[i]->runsHere()) return *kAll[i];
  return kFrames;
}

const KernelSet* named(const char* name) noexcept {
  for (const KernelSet* set : kAll)
    if (std::strcmp(set->name, name) == 0) return set->runsHere() ? set : nullptr;
  return nullptr;
}

const KernelSet& baseline() noexcept { return kCount > 1 && kAll[1]->runsHere() ? *kAll[1] : kFrames; }

}  // namespace kernels
