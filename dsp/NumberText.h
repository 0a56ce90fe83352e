// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Number texts of a host's parameter view, as every edition shows them;
// each is at most 8 characters.
constexpr const char* kOverflowText = " Huge!  ";
constexpr const char* kMinusInfinityText = "  -oo   ";
constexpr const char* kNotANumberText = "  NaN   ";

/// Fixed-point text of at most 8 characters, digits cut rather than rounded;
/// kOverflowText when the whole part does not fit.
void writeFixedPoint(float value, char* text);

/// 20 log10 of a linear factor, in double, stored as a float.
float decibelsOf(float linear);

/// A linear factor in decibels as a fixed-point text; kMinusInfinityText for
/// zero, negative factors and NaN.
void writeDecibels(float linear, char* text);

/// "%7d" text, or kOverflowText when it would need more than 8 characters.
void writeInteger(int32_t value, char* text);
