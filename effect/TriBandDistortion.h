#pragma once

#include <atomic>
#include <cstdint>

#include "BandFilters.h"
#include "DistortionCurves.h"
#include "EffectBase.h"
#include "Parameters.h"

/// One program: the fifteen values as the host sent them, and a name.
struct ProgramRecord {
  static constexpr int kNameSize = 24;  // 23 characters and the terminating zero
  std::atomic<float> values[param::count];
  char name[kNameSize] = "Init";

  ProgramRecord();
};

/// The three-band stereo distortion.
///
/// The host may set parameters and programs on one thread while it processes
/// on another. Everything the audio path reads from the parameter side is a
/// relaxed atomic, read once at the start of each block; the filters and
/// curves belong to the audio path alone, which designs them from those
/// values before it runs the block. A change made between two processing calls
/// therefore takes effect on the first frame of the next call.
class TriBandDistortion : public EffectBase {
public:
  static constexpr int32_t kNumPrograms = 16;
  static constexpr int32_t kNumParams = param::count;

  explicit TriBandDistortion(audioMasterCallback audioMaster);
  ~TriBandDistortion() override;

  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t index) override;
  void process(float** inputs, float** outputs, int32_t sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
  void setProgram(int32_t program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(int32_t index, char* label) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterName(int32_t index, char* text) override;
  void suspend() override;
  void resume() override;

  /// Keeps the audio path to baseline x86 vector instructions even where the
  /// processor has more; the output is the same either way, which is what
  /// comparison runs check.
  void restrictToBaselineInstructions() { wideMath = false; }

  /// Disto Type value to selector: [0, 0.2) soft ... [0.8, 1] anarchik, with
  /// the bounds k * 0.2f formed in double. Values outside 0..1 (and NaN) give 0:
  /// no selector, the band keeps its curve.
  static int32_t curveSelectorFromType(float type);
  /// Threshold to the fuzz curves' drive: 1.5 + 50t up to 0.5, 50 + 300(t - 0.5) above.
  static float driveFromThreshold(float threshold);

private:
  using Value = std::atomic<float>;
  using Selector = std::atomic<int32_t>;

  template <bool adding>
  void render(float** inputs, float** outputs, int32_t sampleFrames) noexcept;
  void designForBlock() noexcept;
  void wholeNumberText(float x, char* text);
  static float relaxed(const Value& v) { return v.load(std::memory_order_relaxed); }

  ProgramRecord programs[kNumPrograms];

  // Audio side: touched only by the processing calls.
  LowPassFilter lowFilter;
  BandPassFilter midFilter;
  HighPassFilter highFilter;
  SoftCurve lowSoftCurve, midSoftCurve, highSoftCurve;
  FuzzAtanCurve fuzzAtanCurve;
  FuzzExpCurve fuzzExpCurve;
  FuzzSqrtCurve fuzzSqrtCurve;
  AnarchikCurve lowAnarchikCurve, midAnarchikCurve, highAnarchikCurve;

  // Parameter side: the working values getParameter reports (Q after its limit).
  Value lowCutoff{0.0f}, midCutoff{0.0f}, highCutoff{0.0f};
  Value lowQ{0.0f}, midQ{0.0f}, highQ{0.0f};
  Value lowDistoType{0.0f}, midDistoType{0.0f}, highDistoType{0.0f};
  Value lowThreshold{0.0f}, midThreshold{0.0f}, highThreshold{0.0f};
  Value lowGain{0.0f}, midGain{0.0f}, highGain{0.0f};
  Value lowDrive{1.5f}, midDrive{1.5f}, highDrive{1.5f};
  static constexpr float curveStep = 0.2f;  // 0x3E4CCCCD: one curve's share of a Disto Type value
  // Filters stay designed for the rate at construction, whatever the host
  // announces later: stored songs rely on how the effect sounds.
  const float filterSampleRate;
  static constexpr float gainScale = 2.0f;  // linear band gain at Gain = 1
  Value lowGainFactor{1.0f}, midGainFactor{1.0f}, highGainFactor{1.0f};
  Selector lowCurve{curve::soft}, midCurve{curve::soft}, highCurve{curve::soft};

  // Whether the audio path uses the AVX2 and FMA kernels.
  bool wideMath;

  // Suspend and resume ask the audio side to clear the filter histories
  // before its next block, so they never race with a running block.
  std::atomic<bool> historyResetPending{false};

  // What the audio side last designed its filters and curves from; NaN until
  // the first block, so that one designs everything.
  struct Designed {
    float frequencyHz;
    float q;
    float threshold;
  } designed[3];

  static Value TriBandDistortion::* const kWorkingValue[param::count];
};
