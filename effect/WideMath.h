#pragma once

// Batches of sines and exponentials, each rounded to float exactly as the
// library's double result rounded to float, four at a time on processors
// with AVX2 and FMA. The code for them lives in its own file, compiled for
// those instructions and called only after the processor reports them.

namespace widemath {

/// True when the processor runs the functions below.
bool available();

/// out[i] = (float)sin(arguments[i]) for i < count; count a multiple of 4.
void sines(const double* arguments, float* out, int count);

/// out[i] = (float)exp(arguments[i]) for i < count; count a multiple of 4.
void exponentials(const double* arguments, float* out, int count);

}  // namespace widemath
