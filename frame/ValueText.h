#pragma once

#include <cstdint>

// Texts of the host's parameter view; each is 8 characters.
constexpr const char* kOverflowText = " Huge!  ";
constexpr const char* kMinusInfinityText = "  -oo   ";
constexpr const char* kNotANumberText = "  NaN   ";

/// Fixed-point text of at most 8 characters, digits cut rather than rounded;
/// kOverflowText when the whole part does not fit.
void writeFixedPoint(float value, char* text);

/// "%7d" text, or kOverflowText when it would need more than 8 characters.
void writeInteger(int32_t value, char* text);
