// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <cstring>

/// How long the property tests run (the identity of every kernel set, the
/// vector maths): the full lane sets TRIBAND_TEST_SIZE=large, and runs what
/// the fast lane runs at a tenth.
inline long scaledCount(long largeCount) {
  constexpr long kSmallShare = 10;
  const char* size = std::getenv("TRIBAND_TEST_SIZE");
  return size && std::strcmp(size, "large") == 0 ? largeCount : largeCount / kSmallShare;
}
