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
enum Band : int32_t { low, mid, high };
enum class Kind : int32_t { cutoff, q, distoType, threshold, gain };

struct Info {
  const char* name;   // as the host shows it, padding spaces included
  const char* label;  // unit, always 8 characters
  float defaultValue;
  Band band;
  Kind kind;
};

constexpr const char* kHertzLabel = "   Hz   ";
constexpr const char* kPercentLabel = "   %    ";
constexpr const char* kNoUnitLabel = "        ";
constexpr const char* kDecibelLabel = "   dB   ";
constexpr float kDefaultQ = 0.7f;  // 0x3F333333

constexpr Info kTable[count] = {
    {" Low Cutoff ", kHertzLabel, 1.0f, low, Kind::cutoff},
    {" Mid Cutoff ", kHertzLabel, 0.5f, mid, Kind::cutoff},
    {" High Cutoff ", kHertzLabel, 0.0f, high, Kind::cutoff},
    {" Low Q ", kPercentLabel, kDefaultQ, low, Kind::q},
    {" Mid Q ", kPercentLabel, kDefaultQ, mid, Kind::q},
    {" High Q ", kPercentLabel, kDefaultQ, high, Kind::q},
    {" Low Disto Type ", kNoUnitLabel, 0.0f, low, Kind::distoType},
    {" Mid Disto Type ", kNoUnitLabel, 0.0f, mid, Kind::distoType},
    {" High Disto Type ", kNoUnitLabel, 0.0f, high, Kind::distoType},
    {" L Threshold ", kPercentLabel, 0.0f, low, Kind::threshold},
    {" M Threshold ", kPercentLabel, 0.0f, mid, Kind::threshold},
    {" H Threshold ", kPercentLabel, 0.0f, high, Kind::threshold},
    {" Low Gain ", kDecibelLabel, 0.5f, low, Kind::gain},
    {" Mid Gain ", kDecibelLabel, 0.5f, mid, Kind::gain},
    {" High Gain ", kDecibelLabel, 0.5f, high, Kind::gain},
};

/// Indices outside 0..14, negative ones included, name no parameter.
constexpr bool isValid(int32_t index) { return static_cast<uint32_t>(index) < static_cast<uint32_t>(count); }

/// The index of a band's parameter of one kind.
constexpr int32_t indexOf(Kind kind, int band) { return static_cast<int32_t>(kind) * kBands + band; }

}  // namespace param

/// Curve selector of a band: which curve shapes it.
namespace curve {

enum Selector : int32_t { soft = 1, fuzzAtan = 2, fuzzExp = 3, fuzzSqrt = 4, anarchik = 5 };

constexpr const char* kLowMidLabels[] = {"soft", "fuzz atan", "fuzz exp", "fuzz sqrt", "anarchik"};
constexpr const char* kHighLabels[] = {"soft", "fuzz atan", "fuzz exp", "fuzz sqrt", "arnarchik"};

/// The labels a band's Disto Type shows, by selector - 1.
constexpr const char* const* labelsOf(int band) { return band == param::high ? kHighLabels : kLowMidLabels; }

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
