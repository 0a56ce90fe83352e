// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

/// The small state every edition with a host-side store saves: a magic of
/// four bytes naming the edition, a format version, the number of values and
/// the values by parameter id, each a little-endian double as the host sent
/// it, so a song moves between x86, ARM, Windows and Linux. Later versions
/// only append values (and may append more after them), so any version loads
/// what this one knows.
namespace saved {

struct Format {
  char magic[4];
  uint32_t version;
};

/// Takes up to `count` bytes, returns how many it took (0 or less: failure).
using Sink = int64_t (*)(void* to, const void* bytes, int64_t count);
/// Gives up to `count` bytes, returns how many it gave (0 at the end, less on error).
using Source = int64_t (*)(void* from, void* bytes, int64_t count);

/// False when the sink takes fewer bytes than the state has.
bool write(const Format& format, const double* values, int32_t count, Sink sink, void* to);

/// Reads a whole state into `values` (count of them). False, with `values`
/// untouched, for a foreign, truncated or corrupt stream (another magic, a
/// value that is not finite, more values than any version will have). From
/// an older version with fewer values, the rest are `defaults`.
bool read(const Format& format, double* values, int32_t count, const double* defaults, Source source, void* from);

}  // namespace saved
