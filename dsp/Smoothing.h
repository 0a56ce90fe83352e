// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

/// A level that glides to each new target in a straight line over a fixed
/// number of steps and then holds it exactly, so a settled level of 1 can be
/// skipped and leaves every bit as it was.
class LinearRamp {
public:
  explicit LinearRamp(float start) : value(start), from(start), target(start) {}

  /// Steps of the next glide (at least 1); one in progress keeps its own.
  void setSteps(int32_t count) noexcept { steps = count < 1 ? 1 : count; }
  void aim(float to) noexcept {
    if (to == target) return;
    from = value;
    target = to;
    left = steps;
    total = steps;
  }
  /// Holds `to` from now on, without gliding.
  void jump(float to) noexcept {
    value = from = target = to;
    left = 0;
  }
  bool settled() const { return left == 0; }
  bool settledAt(float v) const { return left == 0 && value == v; }
  float current() const { return value; }

  float next() noexcept {
    if (left == 0) return value;
    --left;
    value =
        left == 0 ? target : from + (target - from) * (static_cast<float>(total - left) / static_cast<float>(total));
    return value;
  }

private:
  float value;
  float from;
  float target;
  int32_t steps = 1;
  int32_t total = 1;
  int32_t left = 0;
};

/// The share of the processed signal while bypass fades it in or out: k / n
/// after k of n steps, so it moves monotonically and ends at exactly 0 or 1.
/// A change of direction midway turns back from where the fade is.
class BypassFade {
public:
  /// Steps of a whole fade (at least 1); the position keeps its share.
  void setSteps(int32_t count) noexcept {
    const int32_t n = count < 1 ? 1 : count;
    position = static_cast<int32_t>(static_cast<int64_t>(position) * n / steps);
    steps = n;
  }
  void aim(bool bypassed) noexcept { towardsInput = bypassed; }
  /// Ends the fade where it is heading.
  void finish() noexcept { position = towardsInput ? 0 : steps; }
  bool fullyProcessed() const { return !towardsInput && position == steps; }
  bool fullyBypassed() const { return towardsInput && position == 0; }

  /// The processed signal's share of the next sample.
  float next() noexcept {
    if (towardsInput ? position > 0 : position < steps) position += towardsInput ? -1 : 1;
    return static_cast<float>(static_cast<double>(position) / steps);
  }

private:
  int32_t steps = 1;
  int32_t position = 1;  // of steps: 0 is the input alone
  bool towardsInput = false;
};
