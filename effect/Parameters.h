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
  count,  // the record's fifteen; the options of the newer editions follow
  bypass = count,
  bandEdges,
  mix,
  output,
  oversampling,
  stereo,
  allCount
};

constexpr int kBands = 3;
/// The band a parameter belongs to; options of the whole effect are global.
enum Band : int32_t { low, mid, high, global };
enum class Kind : int32_t { cutoff, q, distoType, threshold, gain, choice, mix, level };

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
  const char* const* choices = nullptr;  // a choice's names, by index
  int32_t choiceCount = 0;
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
    {"", true, false},     // choice
    {"%", false, false},   // mix
    {"dB", false, false},  // level
};
constexpr const KindInfo& kindOf(Kind kind) { return kKinds[static_cast<int>(kind)]; }

constexpr const char* kHertzLabel = "   Hz   ";
constexpr const char* kPercentLabel = "   %    ";
constexpr const char* kNoUnitLabel = "        ";
constexpr const char* kDecibelLabel = "   dB   ";
constexpr float kDefaultQ = 0.7f;  // 0x3F333333

// The options' choices. A choice's normalised value is index / (count - 1);
// the first is always the default, and the one that sounds as the record.
constexpr const char* kBypassChoices[] = {"off", "on"};
constexpr const char* kBandEdgesChoices[] = {"classic", "host rate"};
constexpr const char* kOversamplingChoices[] = {"off", "2x", "4x", "8x"};
constexpr const char* kStereoChoices[] = {"left/right", "mid/side"};
template <int32_t N>
constexpr int32_t countOf(const char* const (&)[N]) {
  return N;
}
constexpr float kOutputDefault = 2.0f / 3.0f;  // 0 dB on -24..+12

constexpr Info kTable[allCount] = {
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
    // The options: not in the record edition, which has exactly the fifteen
    // above; at their defaults the output is the record's to the bit.
    {"Bypass", kNoUnitLabel, "bypass", "Passes the input through, fading over 10 ms; the effect keeps running", 0.0f,
     global, Kind::choice, kBypassChoices, countOf(kBypassChoices)},
    {"Band Edges", kNoUnitLabel, "band_edges",
     "classic: the filters are designed for 44100 Hz whatever the rate, as the original; host rate: each cut-off is "
     "the real one at the host's rate",
     0.0f, global, Kind::choice, kBandEdgesChoices, countOf(kBandEdgesChoices)},
    {"Mix", kPercentLabel, "mix", "Share of the processed signal; the rest is the input, aligned with it", 1.0f, global,
     Kind::mix},
    {"Output", kDecibelLabel, "output", "Level of the output", kOutputDefault, global, Kind::level},
    {"Oversampling", kNoUnitLabel, "oversampling",
     "Runs the bands at 2, 4 or 8 times the rate, so the curves' harmonics fold back far less", 0.0f, global,
     Kind::choice, kOversamplingChoices, countOf(kOversamplingChoices)},
    {"Stereo", kNoUnitLabel, "stereo", "mid/side: the bands shape (L+R)/2 and (L-R)/2, decoded back to left and right",
     0.0f, global, Kind::choice, kStereoChoices, countOf(kStereoChoices)},
};

/// Indices outside 0..14, negative ones included, name no parameter of the record.
constexpr bool isValid(int32_t index) { return static_cast<uint32_t>(index) < static_cast<uint32_t>(count); }
/// A record parameter or an option of the newer editions.
constexpr bool isKnown(int32_t index) { return static_cast<uint32_t>(index) < static_cast<uint32_t>(allCount); }
constexpr bool isOption(int32_t index) { return index >= count && isKnown(index); }

/// A choice's index for a normalised value: the nearest, held to the list.
constexpr int32_t choiceOf(const Info& p, float value) {
  const float last = static_cast<float>(p.choiceCount - 1);
  const float v = value > 1.0f ? 1.0f : value >= 0.0f ? value : 0.0f;  // NaN gives 0
  return static_cast<int32_t>(v * last + 0.5f);
}
constexpr float valueOfChoice(const Info& p, int32_t index) {
  return static_cast<float>(index) / static_cast<float>(p.choiceCount - 1);
}

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
