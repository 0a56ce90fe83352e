// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "Vst3Abi.h"
#include "Vst3Parameters.h"

/// The edition's saved state, the same for the component and the
/// controller: the magic "TBD3", a format version, the number of values and
/// the values by parameter ID, each a little-endian double as the host sent
/// it; so a song moves between x86, ARM, Windows and Linux. Later versions
/// only append values (and may append more after them), so any version
/// loads what this one knows.
namespace vst3state {

constexpr uint32_t kVersion = 1;

/// The values of all kCount parameters, by ID.
struct Values {
  double byId[vst3params::kCount];
};

/// False when the stream takes fewer bytes than the state has.
bool write(vst3::IBStream* stream, const Values& values);

/// Reads a whole state. False, with `values` untouched, for a foreign,
/// truncated or corrupt stream (a value that is not a number, too many
/// values to be ours). A state from an older version sets what it has and
/// the defaults for the rest; values outside 0..1 are held to it.
bool read(vst3::IBStream* stream, Values& values);

}  // namespace vst3state
