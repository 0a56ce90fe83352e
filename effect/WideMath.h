#pragma once

// The audio path's kernels for processors with AVX2 and FMA: sines and
// exponentials four at a time, each rounded to float exactly as the
// library's double result rounded to float, the "anarchik" curve built on
// them, and the shared fuzz curves eight values at a time; and the chunk
// size every kernel set shares. The code lives in its own file, compiled for
// those instructions and called only after the processor reports them.

namespace widemath {

/// The audio path's chunk: at most this many frames, so twice as many
/// interleaved values, go through one pass.
constexpr int kChunkFrames = 64;
constexpr int kChunkValues = 2 * kChunkFrames;

/// True when the processor runs the functions below.
bool available();

/// out[i] = (float)sin(arguments[i]) for i < count; count a multiple of 4.
void sines(const double* arguments, float* out, int count);

/// The "anarchik" curve over values (a multiple of 8), in place: exactly 1
/// above limit, else sin(x * scale) with the product in double.
void anarchik(float* values, int count, float limit, float scale);

/// out[i] = (float)exp(arguments[i]) for i < count; count a multiple of 4.
void exponentials(const double* arguments, float* out, int count);

/// A shared fuzz curve's state, each entry (left, right).
struct FuzzState {
  float peak[2];
  float shapedMax[2];
  float scaledMax[2];
  float shapedInv[2];  // "fuzz atan" and "fuzz exp" only
  float scaledInv[2];
  float quarterPi;     // "fuzz atan" only
};

enum class FuzzKind { atan, exp, sqrt };

/// One chunk of a shared fuzz curve while its state holds still: when no
/// peak or maximum would rise for any of the count bands, overwrites each
/// band's values with the curve's output times outputScale and returns true;
/// otherwise changes nothing and returns false. Bands hold left and right
/// interleaved; values is a multiple of 8; drives are as the curve uses them.
bool fuzzChunk(FuzzKind kind, const FuzzState& state, float* const* bands, const float* drives, int count,
               int values, float outputScale);

}  // namespace widemath
