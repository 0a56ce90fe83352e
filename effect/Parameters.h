// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The fifteen parameters as the host sees them, in index order: five kinds,
// each for the low, mid and high band.
namespace param {

enum Index : int32_t {
  lowCutoff,
  midCutoff,
  highCutoff,
  lowQ,
  midQ,
  highQ,
  lowDistoType,
  midDistoType,
  highDistoType,
  lowThreshold,
  midThreshold,
  highThreshold,
  lowGain,
  midGain,
  highGain,
  count
};

constexpr int kBands = 3;
/// The band a parameter belongs to; options of the whole effect are global.
enum Band : int32_t { low, mid, high, global };
enum class Kind : int32_t { cutoff, q, distoType, threshold, gain };

/// One parameter: everything an edition lists about it derives from its row.
/// Its range in its unit and the mapping to and from the normalised value
/// follow from its kind and band (UnitValues.h).
struct Info {
  const char* name;     // as the record shows it, padding spaces included
  const char* label;    // the record's unit label, always 8 characters
  const char* symbol;   // stable identifier (LV2 port symbol): saved sessions refer to it
  const char* comment;  // what it does, for hosts that show a description
  float defaultValue;   // normalised
  Band band;
  Kind kind;
};

/// What a kind of parameter is measured in.
struct KindInfo {
  const char* unit;  // as displays show it after the number: "Hz", "%", "dB", or none
  bool stepped;      // whole numbers only (a selector)
  bool logarithmic;  // spans decades, best shown on a logarithmic scale
};
constexpr KindInfo kKinds[] = {
    {"Hz", false, true},   // cutoff
    {"%", false, false},   // q
    {"", true, false},     // distoType
    {"%", false, false},   // threshold
    {"dB", false, false},  // gain
};
constexpr const KindInfo& kindOf(Kind kind) { return kKinds[static_cast<int>(kind)]; }

constexpr const char* kHertzLabel = "   Hz   ";
constexpr const char* kPercentLabel = "   %    ";
constexpr const char* kNoUnitLabel = "        ";
constexpr const char* kDecibelLabel = "   dB   ";
constexpr float kDefaultQ = 0.7f;  // 0x3F333333

constexpr Info kTable[count] = {
    {" Low Cutoff ", kHertzLabel, "low_cutoff", "Cut-off of the low band's low-pass filter", 1.0f, low, Kind::cutoff},
    {" Mid Cutoff ", kHertzLabel, "mid_cutoff", "Centre of the mid band's band-pass filter", 0.5f, mid, Kind::cutoff},
    {" High Cutoff ", kHertzLabel, "high_cutoff", "Cut-off of the high band's high-pass filter", 0.0f, high,
     Kind::cutoff},
    {" Low Q ", kPercentLabel, "low_q", "Resonance of the low band's filter (at most 98 %)", kDefaultQ, low, Kind::q},
    {" Mid Q ", kPercentLabel, "mid_q", "Quality factor of the mid band's filter (at least 1 %)", kDefaultQ, mid,
     Kind::q},
    {" High Q ", kPercentLabel, "high_q", "Quality factor of the high band's filter (at least 1 %)", kDefaultQ, high,
     Kind::q},
    {" Low Disto Type ", kNoUnitLabel, "low_disto_type", "The curve that shapes the low band", 0.0f, low,
     Kind::distoType},
    {" Mid Disto Type ", kNoUnitLabel, "mid_disto_type", "The curve that shapes the mid band", 0.0f, mid,
     Kind::distoType},
    {" High Disto Type ", kNoUnitLabel, "high_disto_type", "The curve that shapes the high band", 0.0f, high,
     Kind::distoType},
    {" L Threshold ", kPercentLabel, "low_threshold", "How hard the low band's curve drives", 0.0f, low,
     Kind::threshold},
    {" M Threshold ", kPercentLabel, "mid_threshold", "How hard the mid band's curve drives", 0.0f, mid,
     Kind::threshold},
    {" H Threshold ", kPercentLabel, "high_threshold", "How hard the high band's curve drives", 0.0f, high,
     Kind::threshold},
    {" Low Gain ", kDecibelLabel, "low_gain", "Level of the low band in the mix (the minimum is off)", 0.5f, low,
     Kind::gain},
    {" Mid Gain ", kDecibelLabel, "mid_gain", "Level of the mid band in the mix (the minimum is off)", 0.5f, mid,
     Kind::gain},
    {" High Gain ", kDecibelLabel, "high_gain", "Level of the high band in the mix (the minimum is off)", 0.5f, high,
     Kind::gain},
};

/// Indices outside 0..14, negative ones included, name no parameter.
constexpr bool isValid(int32_t index) { return static_cast<uint32_t>(index) < static_cast<uint32_t>(count); }

/// The index of a band's parameter of one kind.
constexpr int32_t indexOf(Kind kind, int band) { return static_cast<int32_t>(kind) * kBands + band; }

}  // namespace param

/// The curves a band selects, by selector; everything that lists them
/// derives from this table.
namespace curve {

enum Selector : int32_t { soft = 1, fuzzAtan = 2, fuzzExp = 3, fuzzSqrt = 4, anarchik = 5 };

struct Info {
  Selector selector;
  const char* name;      // as the low and mid bands show it
  const char* highName;  // as the high band shows it
  bool sharedState;      // one instance for all bands, whose running maxima every band that uses it raises
};

constexpr Info kTable[] = {
    {soft, "soft", "soft", false},
    {fuzzAtan, "fuzz atan", "fuzz atan", true},
    {fuzzExp, "fuzz exp", "fuzz exp", true},
    {fuzzSqrt, "fuzz sqrt", "fuzz sqrt", true},
    {anarchik, "anarchik", "arnarchik", false},
};
constexpr int kCount = static_cast<int>(sizeof kTable / sizeof kTable[0]);
static_assert(kTable[kCount - 1].selector == kCount, "selectors run 1..kCount in table order");

/// What a band's Disto Type shows for a selector (1..kCount).
constexpr const char* nameOf(int32_t selector, int band) {
  return band == param::high ? kTable[selector - 1].highName : kTable[selector - 1].name;
}

}  // namespace curve

/// Cut-off mappings of the three bands: frequencyHz = base + span * value,
/// formed in double from the float constants and stored as a float.
struct CutoffMapping {
  float baseHz;
  float spanHz;
  float frequency(float value) const {
    return static_cast<float>(static_cast<double>(baseHz) + static_cast<double>(spanHz) * static_cast<double>(value));
  }
};
constexpr CutoffMapping kLowCutoffMapping{25.0f, 675.0f};
constexpr CutoffMapping kMidCutoffMapping{700.0f, 7300.0f};
constexpr CutoffMapping kHighCutoffMapping{7000.0f, 13000.0f};
constexpr CutoffMapping kCutoffMappings[param::kBands] = {kLowCutoffMapping, kMidCutoffMapping, kHighCutoffMapping};
