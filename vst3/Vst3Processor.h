// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "EditionProcessor.h"
#include "Vst3Abi.h"
#include "Vst3Parameters.h"

/// The VST3 parameters as the processing side applies them.
struct Vst3Rules {
  static constexpr int32_t kCount = vst3params::kCount;
  static bool isValid(uint32_t id) { return vst3params::isValid(id); }
  static double defaultValue(uint32_t id) { return vst3params::defaultValue(id); }
  static float engineValue(uint32_t id, double value) { return vst3params::engineValue(id, value); }
};

/// The edition's processing side: process() reads the host's parameter
/// queues point by point and cuts the block at each point's frame, so a
/// change at offset k sounds from frame k; a block without points is one
/// engine call, the record edition's output bit for bit.
class Vst3Processor : public EditionProcessor<Vst3Rules> {
public:
  vst3::tresult process(vst3::ProcessData& data) noexcept;

private:
  static constexpr int32_t kMostQueues = 64;  // a queue per parameter, and room for hosts that repeat one
  struct Cursor;
};
