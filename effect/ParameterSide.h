// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "BlockSettings.h"
#include "Parameters.h"

/// One program: the fifteen values as the host sent them, and a name.
struct ProgramRecord {
  static constexpr int kNameSize = 24;  // 23 characters and the terminating zero
  std::atomic<float> values[param::count];
  char name[kNameSize] = "Init";  // guarded by the bank's name lock

  ProgramRecord();
};

/// The effect's control-thread state: the program bank, the working values
/// the host reads back, what is derived from them, and the texts.
///
/// Hosts call these from any thread, two at once included (automation on one,
/// program changes and renames on another). Every value is a relaxed atomic
/// and every call writes only whole values, so no call ever reads a torn one;
/// the names, which are strings, are guarded by a lock no audio call takes.
class ParameterSide {
public:
  static constexpr int32_t kNumPrograms = 16;

  ParameterSide();

  /// Stores value in the program's record and applies it; an option (index
  /// 15 on) is the effect's, in no program. Unknown indices and values that
  /// are not finite are ignored as a whole: a NaN would leave coefficients
  /// that silence the output for good.
  void set(int32_t program, int32_t index, float value);
  /// The working value (a Q after its limit); 0 for an unknown index.
  float get(int32_t index) const;
  /// Applies a program's values. Program 0 is the fixed default: loading it
  /// writes the defaults into its record first, so edits made in it last
  /// until it is loaded again.
  void load(int32_t program);

  void setProgramName(int32_t program, const char* name);
  void getProgramName(int32_t program, char* text);

  void getName(int32_t index, char* text) const;
  void getLabel(int32_t index, char* text) const;
  /// The display of the working value; gains in decibels of their factor.
  void getDisplay(int32_t index, char* text) const;
  /// What getDisplay shows once `value` (0..1) is set, without setting it:
  /// for editions whose hosts ask for the text of any value.
  static void displayOf(int32_t index, float value, char* text);

  /// Suspend and resume ask the audio side to clear its filter histories
  /// before its next block, so the request never races with a running block.
  void requestHistoryClear() { historyClearPending.store(true, std::memory_order_release); }

  /// Audio thread: everything the next block uses, read once (but the
  /// history clear, which takeHistoryClear() hands over).
  BlockSettings blockSettings() const;
  /// Audio thread: whether suspend or resume came since the last call.
  bool takeHistoryClear() {
    // A plain load first: the exchange is a locked instruction, and a clear
    // is pending in hardly any block.
    return historyClearPending.load(std::memory_order_acquire) &&
           historyClearPending.exchange(false, std::memory_order_acquire);
  }
  /// How many changes to what blockSettings() reads were made so far. Read
  /// before blockSettings(): a change made while it reads counts again.
  uint32_t changes() const { return changeCount.load(std::memory_order_acquire); }

  /// Disto Type value to selector: [0, 0.2) soft ... [0.8, 1] anarchik, with
  /// the bounds k * 0.2f formed in double. Values outside 0..1 (and NaN) give 0:
  /// no selector, the band keeps its curve.
  static int32_t curveSelectorFromType(float type);
  /// Threshold to the fuzz curves' drive: 1.5 + 50t up to 0.5, 50 + 300(t - 0.5) above.
  static float driveFromThreshold(float threshold);

private:
  static constexpr float kGainScale = 2.0f;  // linear band gain at Gain = 1
  static float limitedQ(int band, float value);
  static void writeDisplay(const param::Info& p, float workingValue, int32_t selector, float gainFactor, char* text);

  using Value = std::atomic<float>;
  using Selector = std::atomic<int32_t>;

  void apply(int32_t index, float value);
  OptionSettings optionSettings() const;
  void changed() { changeCount.fetch_add(1, std::memory_order_release); }
  static float relaxed(const Value& v) { return v.load(std::memory_order_relaxed); }
  const Value& working(int32_t index) const { return this->*kWorkingValue[index]; }

  ProgramRecord programs[kNumPrograms];
#if defined(_LIBCPP_HAS_NO_THREADS)
  // A build without threads (the web edition's WebAssembly) has one thread
  // for names as for everything else.
  struct NamesLock {
    void lock() noexcept {}
    void unlock() noexcept {}
  };
  struct NamesGuard {
    explicit NamesGuard(NamesLock&) noexcept {}
  };
#else
  using NamesLock = std::mutex;
  using NamesGuard = std::lock_guard<std::mutex>;
#endif
  mutable NamesLock namesLock;

  // The working values, in index order.
  Value lowCutoff{0.0f}, midCutoff{0.0f}, highCutoff{0.0f};
  Value lowQ{0.0f}, midQ{0.0f}, highQ{0.0f};
  Value lowDistoType{0.0f}, midDistoType{0.0f}, highDistoType{0.0f};
  Value lowThreshold{0.0f}, midThreshold{0.0f}, highThreshold{0.0f};
  Value lowGain{0.0f}, midGain{0.0f}, highGain{0.0f};
  // Derived, per band.
  Value lowDrive{1.5f}, midDrive{1.5f}, highDrive{1.5f};
  Value lowGainFactor{1.0f}, midGainFactor{1.0f}, highGainFactor{1.0f};
  Selector lowCurve{curve::soft}, midCurve{curve::soft}, highCurve{curve::soft};

  std::atomic<bool> historyClearPending{false};
  std::atomic<uint32_t> changeCount{0};

  // The options, normalised, in index order from param::count.
  Value options[param::allCount - param::count];
  Value outputFactor{1.0f};  // derived from the Output option

  static Value ParameterSide::*const kWorkingValue[param::count];
  static Value ParameterSide::*const kDrive[param::kBands];
  static Value ParameterSide::*const kGainFactor[param::kBands];
  static Selector ParameterSide::*const kCurve[param::kBands];
};

/// The audio thread's copy of the block settings, read again from the
/// parameter side only after a change: most blocks run on the settings of the
/// block before, which spares a short block most of its fixed cost.
class HeldSettings {
public:
  const BlockSettings& current(const ParameterSide& parameters) {
    const uint32_t now = parameters.changes();
    if (!held || now != heldAt) {
      settings = parameters.blockSettings();
      heldAt = now;
      held = true;
    }
    return settings;
  }

private:
  BlockSettings settings;
  uint32_t heldAt = 0;
  bool held = false;
};
