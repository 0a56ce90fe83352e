// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "ClapAbi.h"
#include "Parameters.h"

/// The CLAP edition's parameters: the engine's table in its index order
/// (ids 0..14 are the record's indices, then bypass and the other options;
/// stable forever). A CLAP value is the normalised value the engine receives
/// (0..1), except the stepped ones: a Disto Type is the curve's index 0..4 in
/// the table's order, an option's choice its index.
namespace clapparams {

constexpr int32_t kCount = param::allCount;

constexpr bool isValid(clap_id id) { return id < static_cast<clap_id>(kCount); }

/// The parameter's description as hosts list it; false for an unknown index.
bool describe(uint32_t index, clap_param_info_t& info);
double defaultValue(clap_id id);
double minimum(clap_id id);
double maximum(clap_id id);
/// Held to the range; a Disto Type to its nearest index.
double held(clap_id id, double value);

/// The value the engine receives for a (held) CLAP value.
float engineValue(clap_id id, double value);

/// The record edition's display of the value, within `capacity` bytes (at
/// least 1) and NUL-terminated.
void text(clap_id id, double value, char* out, uint32_t capacity);
/// Reads what text() shows, and numbers and curve names as the engine's
/// displays read them; false when the text means nothing for the parameter.
bool fromText(clap_id id, const char* in, double& value);

}  // namespace clapparams
