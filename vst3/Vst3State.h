// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

#include "Vst3Abi.h"
#include "Vst3Parameters.h"

/// The edition's saved state, the same for the component and the
/// controller: the engine's small saved-values format with the magic "TBD3",
/// holding the VST3 values by parameter ID (values outside 0..1 are held to
/// it on reading).
namespace vst3state {

constexpr uint32_t kVersion = 1;

using Values = std::array<double, vst3params::kCount>;

/// False when the stream takes fewer bytes than the state has.
bool write(vst3::IBStream* stream, const Values& values);

/// False, with `values` untouched, for a foreign, truncated or corrupt
/// stream; an older state's missing values are the defaults.
bool read(vst3::IBStream* stream, Values& values);

}  // namespace vst3state
