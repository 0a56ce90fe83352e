// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

/// The record edition's displays as editions whose hosts ask for the text of
/// any value show them, and read back: without the record's padding, and
/// "0" where the record shows nothing (a positive amount below half a unit).
/// The options, which the record has not, show a choice by its name, Mix in
/// whole percent and Output in dB to its 0.01 dB steps.
namespace display {

constexpr int kTextSize = 128;

/// The display of parameter `index` at normalised `value`, at most 127
/// characters and NUL-terminated; empty for an unknown index.
void text(int32_t index, float value, char* out);

/// Reads what text() shows (spaces around it allowed): a number, optionally
/// followed by the parameter's unit; a curve by either of its names or its
/// selector 1..5; "-oo" for a gain that is off. On success `value` is the
/// normalised value the record would receive (for a curve the lower bound of
/// its share; for a number the value nearest it whose display is the text
/// given, so text and value go round unchanged). False when the text means
/// nothing for the parameter.
bool valueOf(int32_t index, const char* in, float& value);

}  // namespace display
