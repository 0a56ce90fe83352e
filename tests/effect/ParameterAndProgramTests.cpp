// SPDX-License-Identifier: GPL-3.0-or-later
#include <limits>

#include "EffectFixture.h"
#include "TriBandDistortion.h"

namespace {
constexpr float kDefaults[15] = {1.0f, 0.5f, 0.0f, 0.7f, 0.7f, 0.7f, 0, 0, 0, 0, 0, 0, 0.5f, 0.5f, 0.5f};
constexpr uint32_t kLowQLimitBits = 0x3F7AE148;
constexpr uint32_t kBandQLimitBits = 0x3C23D70A;
}  // namespace

TEST_F(EffectTest, RecordAndStateAfterConstruction) {
  const AEffect* r = host.effect;
  EXPECT_EQ(r->numInputs, 2);
  EXPECT_EQ(r->numOutputs, 2);
  EXPECT_EQ(r->numPrograms, 16);
  EXPECT_EQ(r->numParams, 15);
  EXPECT_EQ(r->uniqueID, fourCharCode('Q', 'd', '3', 'r'));
  EXPECT_EQ(r->flags, 24);
  for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(host.get(i), kDefaults[i]) << i;
  EXPECT_EQ(bits(host.get(3)), 0x3F333333u);
  EXPECT_EQ(host.dispatch(effGetProgram), 0);
  EXPECT_EQ(host.text(effGetProgramName), "--- Default ---");
  // The effect only asked the host its version, once, before it existed.
  EXPECT_EQ(FakeHost::calls().size(), 1u);
}

TEST_F(EffectTest, IndicesOutsideTheTableChangeAndReportNothing) {
  host.set(15, 0.3f);
  host.set(-1, 0.3f);
  EXPECT_EQ(host.get(15), 0.0f);
  EXPECT_EQ(host.get(-1), 0.0f);
  EXPECT_EQ(host.get(INT32_MIN), 0.0f);
  for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(host.get(i), kDefaults[i]) << i;
}

TEST_F(EffectTest, QLimitsActOnTheWorkingValueOnly) {
  host.selectProgram(4);
  host.set(3, 1.0f);
  EXPECT_EQ(bits(host.get(3)), kLowQLimitBits);
  host.set(3, 0.98f);
  EXPECT_EQ(bits(host.get(3)), kLowQLimitBits);
  host.set(4, 0.0f);
  host.set(5, -2.0f);
  EXPECT_EQ(bits(host.get(4)), kBandQLimitBits);
  EXPECT_EQ(bits(host.get(5)), kBandQLimitBits);
  host.set(3, 1.0f);
  // Away and back: the program kept the value as sent, so the limit applies again.
  host.selectProgram(1);
  EXPECT_EQ(host.get(3), 0.7f);
  host.selectProgram(4);
  EXPECT_EQ(bits(host.get(3)), kLowQLimitBits);
  EXPECT_EQ(host.text(effGetParamDisplay, 3), "98");
  EXPECT_EQ(host.text(effGetParamDisplay, 4), "1");
}

TEST_F(EffectTest, NonFiniteValuesAreIgnored) {
  host.selectProgram(2);
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()}) {
    for (int32_t i = 0; i < 15; ++i) host.set(i, bad);
  }
  for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(host.get(i), kDefaults[i]) << i;
  host.selectProgram(3);
  host.selectProgram(2);  // the program's record was not written either
  for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(host.get(i), kDefaults[i]) << i;
}

TEST(CurveSelection, BoundsSelectTheUpperCurve) {
  EXPECT_EQ(ParameterSide::curveSelectorFromType(0.0f), 1);
  EXPECT_EQ(ParameterSide::curveSelectorFromType(0.19f), 1);
  EXPECT_EQ(ParameterSide::curveSelectorFromType(0.2f), 2);
  EXPECT_EQ(ParameterSide::curveSelectorFromType(0.4f), 3);
  EXPECT_EQ(ParameterSide::curveSelectorFromType(0.6f), 4);  // 0.6f lies above 3 * 0.2f
  EXPECT_EQ(ParameterSide::curveSelectorFromType(0.8f), 5);
  EXPECT_EQ(ParameterSide::curveSelectorFromType(1.0f), 5);
  EXPECT_EQ(ParameterSide::curveSelectorFromType(1.5f), 0);
  EXPECT_EQ(ParameterSide::curveSelectorFromType(-0.1f), 0);
}

TEST(CurveSelection, DriveFromThreshold) {
  EXPECT_EQ(ParameterSide::driveFromThreshold(0.0f), 1.5f);
  EXPECT_EQ(ParameterSide::driveFromThreshold(0.5f), 26.5f);
  EXPECT_EQ(ParameterSide::driveFromThreshold(1.0f), 200.0f);
  EXPECT_GT(ParameterSide::driveFromThreshold(0.5000001f), 50.0f);
}

TEST_F(EffectTest, DistoTypeOutsideTheRangeKeepsTheCurve) {
  host.set(8, 0.8f);
  host.set(8, 1.5f);
  EXPECT_EQ(host.get(8), 1.5f);
  EXPECT_EQ(host.text(effGetParamDisplay, 8), "arnarchik");
  host.set(6, -0.1f);
  EXPECT_EQ(host.text(effGetParamDisplay, 6), "soft");
}

TEST_F(EffectTest, EditsStayWithTheirProgram) {
  host.selectProgram(3);
  EXPECT_EQ(host.text(effGetProgramName), "Init 3");
  for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(host.get(i), kDefaults[i]) << i;
  host.set(12, 1.0f);
  host.selectProgram(5);
  EXPECT_EQ(host.get(12), 0.5f);  // program 5 untouched
  host.selectProgram(3);
  EXPECT_EQ(host.get(12), 1.0f);
}

TEST_F(EffectTest, ProgramZeroAlwaysReloadsTheDefaults) {
  host.set(12, 1.0f);
  host.selectProgram(1);
  host.selectProgram(0);
  EXPECT_EQ(host.get(12), 0.5f);
  host.set(12, 1.0f);
  host.selectProgram(0);  // already current: reset all the same
  EXPECT_EQ(host.get(12), 0.5f);
  char name[] = "My Sound";
  host.dispatch(effSetProgramName, 0, 0, name);
  EXPECT_EQ(host.text(effGetProgramName), "--- Default ---");
}

TEST_F(EffectTest, ProgramNames) {
  host.selectProgram(2);
  char other[] = "Crunch";
  host.dispatch(effSetProgramName, 0, 0, other);
  EXPECT_EQ(host.text(effGetProgramName), "Crunch");
  char init[] = "Init";
  host.dispatch(effSetProgramName, 0, 0, init);
  EXPECT_EQ(host.text(effGetProgramName), "Init 2");
  host.selectProgram(15);
  EXPECT_EQ(host.text(effGetProgramName), "Init 15");
}

TEST_F(EffectTest, LongProgramNamesAreCutToTheField) {
  host.selectProgram(7);
  char longName[] = "A name far longer than twenty-three characters";
  host.dispatch(effSetProgramName, 0, 0, longName);
  const std::string stored = host.text(effGetProgramName);
  EXPECT_EQ(stored, std::string(longName, 23));
  host.selectProgram(8);  // the neighbouring program is intact
  EXPECT_EQ(host.text(effGetProgramName), "Init 8");
}

TEST(ProgramBounds, DirectCallsOutsideTheBankAreIgnored) {
  TriBandDistortion effect(nullptr);
  effect.setProgram(5);
  effect.setProgram(16);
  effect.setProgram(-1);
  EXPECT_EQ(effect.getProgram(), 5);
}

TEST_F(EffectTest, SampleRateIsKeptButFiltersStayAt44100) {
  host.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  host.dispatch(effSetBlockSize, 0, 64);
  EXPECT_EQ(EffectBase::fromRecord(host.effect)->getSampleRate(), 48000.0f);
  host.set(1, 0.5f);
  host.set(7, 0.0f);
  host.set(12, 0.0f);
  host.set(14, 0.0f);
  float in[3] = {1, 0, 0}, zero[3] = {}, outL[3], outR[3];
  host.replace(in, zero, outL, outR, 3);
  BandPassFilter expected;
  expected.setup(4350.0f, 0.7f, 44100.0f);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(outL[i], expected.processSample(Channel::left, in[i])) << i;
}

TEST(Lifecycle, AThousandEffectsCreatedAndClosedLeaveNothingBehind) {
  // Run under valgrind or LeakSanitizer, a leak or a double release here fails the run.
  FakeHost::reset();
  for (int i = 0; i < 1000; ++i) {
    AEffect* effect = createPlugin(FakeHost::callback);
    ASSERT_NE(effect, nullptr);
    effect->setParameter(effect, i % 15, 0.3f);
    ASSERT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
  }
}
