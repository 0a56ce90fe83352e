// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct BlockJob;

// The band values the curves-alone rows read come in the kernels' chunks:
// 64 frames, left and right interleaved, the three bands of a chunk in turn,
// each chunk 64-byte aligned.
constexpr int kShapeChunkFrames = 64;
constexpr int kShapeChunkValues = 2 * kShapeChunkFrames;

/// Shapes and mixes `frames` frames of the job's bands, already filtered,
/// with the kernel set's own curve code and no recursion beside it;
/// returns whether a chunk was suspect.
using ShapeAlone = bool (*)(const BlockJob& job, const float* bandValues, float* mixed, int frames);

/// The curves alone built for a kernel set ("sse2", "avx2", "avx512"), or null.
ShapeAlone shapeAloneFor(const char* kernelSet);
