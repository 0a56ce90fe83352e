#pragma once

#include <cstdint>

// The fifteen parameters as the host sees them, in index order.
namespace param {

enum Index : int32_t {
  lowCutoff, midCutoff, highCutoff,
  lowQ, midQ, highQ,
  lowDistoType, midDistoType, highDistoType,
  lowThreshold, midThreshold, highThreshold,
  lowGain, midGain, highGain,
  count
};

struct Info {
  const char* name;   // as the host shows it, padding spaces included
  const char* label;  // unit, always 8 characters
  float defaultValue;
};

constexpr const char* kHertzLabel = "   Hz   ";
constexpr const char* kPercentLabel = "   %    ";
constexpr const char* kNoUnitLabel = "        ";
constexpr const char* kDecibelLabel = "   dB   ";
constexpr float kDefaultQ = 0.7f;  // 0x3F333333

constexpr Info kTable[count] = {
    {" Low Cutoff ", kHertzLabel, 1.0f},
    {" Mid Cutoff ", kHertzLabel, 0.5f},
    {" High Cutoff ", kHertzLabel, 0.0f},
    {" Low Q ", kPercentLabel, kDefaultQ},
    {" Mid Q ", kPercentLabel, kDefaultQ},
    {" High Q ", kPercentLabel, kDefaultQ},
    {" Low Disto Type ", kNoUnitLabel, 0.0f},
    {" Mid Disto Type ", kNoUnitLabel, 0.0f},
    {" High Disto Type ", kNoUnitLabel, 0.0f},
    {" L Threshold ", kPercentLabel, 0.0f},
    {" M Threshold ", kPercentLabel, 0.0f},
    {" H Threshold ", kPercentLabel, 0.0f},
    {" Low Gain ", kDecibelLabel, 0.5f},
    {" Mid Gain ", kDecibelLabel, 0.5f},
    {" High Gain ", kDecibelLabel, 0.5f},
};

/// Indices outside 0..14, negative ones included, name no parameter.
constexpr bool isValid(int32_t index) { return static_cast<uint32_t>(index) < static_cast<uint32_t>(count); }

}  // namespace param

/// Curve selector of a band: which curve shapes it.
namespace curve {

enum Selector : int32_t { soft = 1, fuzzAtan = 2, fuzzExp = 3, fuzzSqrt = 4, anarchik = 5 };

constexpr const char* kLowMidLabels[] = {"soft", "fuzz atan", "fuzz exp", "fuzz sqrt", "anarchik"};
constexpr const char* kHighLabels[] = {"soft", "fuzz atan", "fuzz exp", "fuzz sqrt", "arnarchik"};

}  // namespace curve

/// Cut-off mappings of the three bands: frequencyHz = base + span * value,
/// formed in double from the float constants and rounded once to float.
struct CutoffMapping {
  float baseHz;
  float spanHz;
  float frequency(float value) const {
    return static_cast<float>(static_cast<double>(baseHz) + static_cast<double>(spanHz) * value);
  }
};
constexpr CutoffMapping kLowCutoffMapping{25.0f, 675.0f};
constexpr CutoffMapping kMidCutoffMapping{700.0f, 7300.0f};
constexpr CutoffMapping kHighCutoffMapping{7000.0f, 13000.0f};
