// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct BlockJob;

/// Renders a job with the kernel set's own block code, every filter step's
/// feedback cut (see Unchained.inc): not the effect's output, only its work.
using Unchained = void (*)(BlockJob& job);

/// The unchained block built for a kernel set ("sse2", "avx2", "avx512"), or null.
Unchained unchainedFor(const char* kernelSet);
