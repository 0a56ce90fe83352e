// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstring>

// Number texts for a host's parameter view: always 8 characters or fewer.
// Digits are cut, never rounded, so 0.7f shows as 0.699999.

float decibelsOf(float linear) { return static_cast<float>(20.0 * std::log10(static_cast<double>(linear))); }

void writeDecibels(float linear, char* text) {
  if (!(linear > 0.0f)) {  // zero, negative or not a number
    std::strcpy(text, kMinusInfinityText);
    return;
  }
  writeFixedPoint(decibelsOf(linear), text);
}

void writeFixedPoint(float value, char* text) {
  constexpr int kWidth = 8;
  constexpr double kLargestPositive = 99999999.0;
  constexpr double kLargestNegative = 9999999.0;
  // Whole parts that would need more digits than the width leaves: 8 digits
  // when positive, 7 when negative (the sign takes one place).
  constexpr double kFirstUnfitPositive = 10000000.0;
  constexpr double kFirstUnfitNegative = 1000000.0;

  double v = static_cast<double>(value);
  if (v != v) {
    std::strcpy(text, kNotANumberText);
    return;
  }
  bool neg = false;
  int used = 0;
  if (v < 0) {
    neg = true;
    v = -v;
    used = 1;
    if (v > kLargestNegative || std::floor(v) >= kFirstUnfitNegative) {
      std::strcpy(text, kOverflowText);
      return;
    }
  } else if (v > kLargestPositive || std::floor(v) >= kFirstUnfitPositive) {
    std::strcpy(text, kOverflowText);
    return;
  }

  // Whole part, built from the point leftwards in the scratch buffer's tail.
  char scratch[32];
  int start = static_cast<int>(sizeof scratch) - 1;
  scratch[start] = '\0';
  scratch[--start] = '.';
  double n = std::floor(v);
  scratch[--start] = static_cast<char>('0' + static_cast<int>(std::fmod(n, 10.0)));
  n = n / 10.0;
  used += 2;
  while (n >= 1.0 && used < kWidth) {
    scratch[--start] = static_cast<char>('0' + static_cast<int>(std::fmod(n, 10.0)));
    n = n / 10.0;
    ++used;
  }
  if (neg) scratch[--start] = '-';
  std::strcpy(text, scratch + start);
  if (used >= kWidth) return;

  const int fractionDigits = kWidth - used;
  double m = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
  char* fraction = text + std::strlen(text);
  for (int i = fractionDigits - 1; i >= 0; --i) {
    if (m <= 0) {
      fraction[i] = '0';
    } else {
      fraction[i] = static_cast<char>('0' + static_cast<int>(std::fmod(m, 10.0)));
      m = m / 10.0;
    }
  }
  fraction[fractionDigits] = '\0';
}

void writeInteger(int32_t value, char* text) {
  constexpr int32_t kFirstTooLarge = 100000000;
  constexpr int32_t kSmallestThatFits = -9999999;  // "%7d" of anything lower needs 9 characters
  if (value >= kFirstTooLarge || value < kSmallestThatFits) {
    std::strcpy(text, kOverflowText);
    return;
  }
  char scratch[16];
  std::snprintf(scratch, sizeof scratch, "%7d", value);
  scratch[8] = '\0';
  std::strcpy(text, scratch);
}
