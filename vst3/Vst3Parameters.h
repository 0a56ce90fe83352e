// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "Parameters.h"
#include "Vst3Abi.h"

/// The VST3 edition's parameters: the engine's table in its index order
/// (IDs 0..14 are the record's indices, 15 is bypass, then the other
/// options; stable forever). A VST3 value is normalised 0..1 in double; this
/// says what each one is called, shows, means in its unit and hands the
/// engine.
namespace vst3params {

constexpr vst3::ParamID kBypassId = param::bypass;
constexpr int32_t kCount = param::allCount;
/// A Disto Type is a list of the curves: index / kTypeSteps.
constexpr int32_t kTypeSteps = curve::kCount - 1;

constexpr bool isValid(vst3::ParamID id) { return id < static_cast<vst3::ParamID>(kCount); }

/// The parameter's description as hosts list it; false for an unknown index.
bool describe(int32_t index, vst3::ParameterInfo& info);
double defaultValue(vst3::ParamID id);

/// The value the engine receives for a VST3 value (held to 0..1): the same
/// float for continuous parameters, the record's value of the curve for a
/// Disto Type (the list's index is floor(v * 5), which picks the same curve
/// as the record's fifths; a choice's index is the nearest of its steps).
float engineValue(vst3::ParamID id, double normalised);

/// In the unit the displays show: Hz, %, the curve's selector 1..5, dB
/// (whose minimum, -60, is the band off), a choice's index (bypass 0 or 1),
/// the output level's dB. Exact inverses on the values a host stores, and
/// both monotonic.
double toPlain(vst3::ParamID id, double normalised);
double toNormalised(vst3::ParamID id, double plain);

/// The record edition's display of the value, NUL-terminated, at most 127
/// characters.
void text(vst3::ParamID id, double normalised, char* out);
/// Reads what text() shows (spaces around it allowed), a curve by either of
/// its names or its selector, and numbers in the unit; false when the text
/// means nothing for the parameter.
bool fromText(vst3::ParamID id, const char* in, double& normalised);

}  // namespace vst3params
