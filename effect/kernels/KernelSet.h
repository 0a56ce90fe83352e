// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct BlockJob;

/// One implementation of the audio path. Every set gives the same output to
/// the bit; they differ in the instructions they need.
struct KernelSet {
  const char* name;  // "frames", "sse2", "avx2", "avx512", "neon"
  void (*render)(BlockJob& job) noexcept;
  bool (*runsHere)() noexcept;  // whether this processor has the instructions
};

namespace kernels {

/// Every set this build has, the fastest last; the first, "frames", is the
/// frame-by-frame composition of the filter and curve classes and runs
/// anywhere.
const KernelSet* const* all(int& count) noexcept;

/// The fastest set this processor runs.
const KernelSet& best() noexcept;

/// The set of that name, or null when this build has none or the processor
/// cannot run it.
const KernelSet* named(const char* name) noexcept;

/// The baseline vector set of this architecture (SSE2 on x86, NEON on
/// 64-bit ARM), or "frames" where there is none.
const KernelSet& baseline() noexcept;

}  // namespace kernels
