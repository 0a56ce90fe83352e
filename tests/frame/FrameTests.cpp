// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "FakeHost.h"
#include "RecordingEffect.h"

EffectBase* createEffectInstance(audioMasterCallback host) { return new (std::nothrow) RecordingEffect(host); }

namespace {

class Frame : public ::testing::Test {
protected:
  void SetUp() override { FakeHost::reset(); }
  RecordingEffect effect{FakeHost::callback};
  RecordDriver host{effect.record()};
};

}  // namespace

TEST(Entry, AsksTheHostVersionWithANullRecordAndCreatesTheEffect) {
  FakeHost::reset();
  for (intptr_t version : {intptr_t{2400}, intptr_t{-3}}) {
    FakeHost::answer(audioMasterVersion) = version;
    AEffect* record = createPlugin(FakeHost::callback);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->magic, 0x56737450);
    ASSERT_FALSE(FakeHost::calls().empty());
    const HostCall& first = FakeHost::calls().front();
    EXPECT_EQ(first.effect, nullptr);
    EXPECT_EQ(first.opcode, audioMasterVersion);
    const int before = RecordingEffect::destroyed();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(RecordingEffect::destroyed(), before + 1);
  }
}

TEST(Entry, RefusesAHostWithoutVersionOrWithoutCallback) {
  FakeHost::reset();
  FakeHost::answer(audioMasterVersion) = 0;
  EXPECT_EQ(createPlugin(FakeHost::callback), nullptr);
  EXPECT_EQ(createPlugin(nullptr), nullptr);
}

TEST_F(Frame, RecordDefaultsOfTheBase) {
  const AEffect* r = effect.record();
  EXPECT_EQ(std::memcmp(&r->magic, "PtsV", 4), 0);  // 'VstP' with V most significant, little-endian
  EXPECT_EQ(r->numPrograms, 4);
  EXPECT_EQ(r->numParams, 3);
  EXPECT_EQ(r->numInputs, 1);
  EXPECT_EQ(r->numOutputs, 2);
  EXPECT_EQ(r->flags, 0);
  EXPECT_EQ(r->uniqueID, 0x4E6F4566);
  EXPECT_EQ(r->version, 1);
  EXPECT_EQ(r->ioRatio, 1.0f);
  EXPECT_EQ(r->object, static_cast<void*>(static_cast<EffectBase*>(&effect)));
  EXPECT_EQ(r->user, nullptr);
  EXPECT_EQ(r->resvd1, 0);
  EXPECT_EQ(r->resvd2, 0);
  for (char byte : r->future) EXPECT_EQ(byte, 0);
  EXPECT_EQ(effect.getSampleRate(), 44100.0f);
  EXPECT_EQ(effect.getBlockSize(), 1024);
  EXPECT_EQ(host.dispatch(effGetProgram), 0);
}

TEST_F(Frame, FlagSettersTouchOnlyTheirBit) {
  effect.setCanMono(true);
  effect.setCanMono(true);
  EXPECT_EQ(effect.record()->flags, effFlagsCanMono);
  effect.setHasClip(false);
  EXPECT_EQ(effect.record()->flags, effFlagsCanMono);
  effect.setCanReplacing(true);
  effect.setHasVu(true);
  effect.setHasClip(true);
  effect.setProgramChunks(true);
  EXPECT_EQ(effect.record()->flags, 2 | 4 | 8 | 16 | 32);
  effect.setHasVu(false);
  EXPECT_EQ(effect.record()->flags, 2 | 8 | 16 | 32);
}

TEST_F(Frame, DispatcherAnswersUnknownOpcodesWithZero) {
  for (int32_t opcode : {25, 1000, -1, INT32_MIN}) EXPECT_EQ(host.dispatch(opcode, 1, 1, nullptr, 1.0f), 0) << opcode;
  for (int32_t opcode = effEditGetRect; opcode <= effEditSleep; ++opcode) EXPECT_EQ(host.dispatch(opcode), 0);
  EXPECT_TRUE(effect.log.empty());
  EXPECT_EQ(host.dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(host.dispatch(effIdentify), 0x4E764566);
}

TEST_F(Frame, DispatcherGuardsTheProgramNumber) {
  host.dispatch(effSetProgram, 0, 4);   // equal to numPrograms
  host.dispatch(effSetProgram, 0, -1);  // names no program
  host.dispatch(effSetProgram, 0, INTPTR_MAX);
  EXPECT_EQ(host.dispatch(effGetProgram), 0);
  host.dispatch(effSetProgram, 0, 3);
  EXPECT_EQ(host.dispatch(effGetProgram), 3);
  EXPECT_EQ(effect.log, std::vector<std::string>{"program 3"});
}

TEST_F(Frame, DispatcherRoutesMainsRateBlockVuAndChunks) {
  host.dispatch(effMainsChanged, 0, 1);
  host.dispatch(effMainsChanged, 0, -7);
  host.dispatch(effMainsChanged, 0, 0);
  host.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  host.dispatch(effSetBlockSize, 0, 256);
  EXPECT_EQ(effect.getSampleRate(), 48000.0f);
  EXPECT_EQ(effect.getBlockSize(), 256);
  EXPECT_EQ(host.dispatch(effGetVu), 0);
  effect.vu = 0.5f;
  EXPECT_EQ(host.dispatch(effGetVu), 16383);
  effect.vu = 1e30f;  // saturates instead of overflowing the integer
  EXPECT_EQ(host.dispatch(effGetVu), INT32_MAX);
  void* chunk = &effect;
  EXPECT_EQ(host.dispatch(effGetChunk, 2, 0, &chunk), 17);
  EXPECT_EQ(host.dispatch(effGetChunk, 0, 0, &chunk), 17);
  EXPECT_EQ(host.dispatch(effSetChunk, 0, 9, &chunk), 5);
  EXPECT_EQ(effect.log,
            (std::vector<std::string>{"resume", "resume", "suspend", "chunk preset", "chunk bank", "setChunk 9 bank"}));
}

TEST_F(Frame, DefaultTextsAreEmpty) {
  for (int32_t opcode : {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName})
    EXPECT_EQ(host.text(opcode, 1), "") << opcode;
  char name[8] = "abc";
  host.dispatch(effSetProgramName, 0, 0, name);
  EXPECT_STREQ(name, "");
}

TEST(HostServices, WithoutACallback) {
  RecordingEffect effect(nullptr);
  EXPECT_EQ(effect.getHostVersion(), 1);
  EXPECT_EQ(effect.getHostCurrentId(), 0);
  EXPECT_TRUE(effect.isInputPinConnected(0));
  EXPECT_TRUE(effect.isOutputPinConnected(1));
  effect.hostIdle();
  effect.setParameterAutomated(2, 0.5f);
  EXPECT_EQ(effect.log, std::vector<std::string>{"set 2 0.500000"});
}

TEST(HostServices, CallTheHostWithTheirOpcodes) {
  FakeHost::reset();
  RecordingEffect effect(FakeHost::callback);
  FakeHost::answer(audioMasterVersion) = 0;
  EXPECT_EQ(effect.getHostVersion(), 1);
  FakeHost::answer(audioMasterVersion) = 2;
  EXPECT_EQ(effect.getHostVersion(), 2);
  FakeHost::answer(audioMasterCurrentId) = 77;
  EXPECT_EQ(effect.getHostCurrentId(), 77);
  FakeHost::answer(audioMasterPinConnected) = 1;
  EXPECT_FALSE(effect.isInputPinConnected(1));
  FakeHost::answer(audioMasterPinConnected) = 0;
  EXPECT_TRUE(effect.isOutputPinConnected(3));
  effect.hostIdle();
  FakeHost::calls().clear();
  effect.setParameterAutomated(3, 0.25f);
  EXPECT_EQ(effect.log, std::vector<std::string>{"set 3 0.250000"});
  ASSERT_EQ(FakeHost::calls().size(), 1u);
  const HostCall& call = FakeHost::calls()[0];
  EXPECT_EQ(call.effect, effect.record());
  EXPECT_EQ(call.opcode, audioMasterAutomate);
  EXPECT_EQ(call.index, 3);
  EXPECT_EQ(call.value, 0);
  EXPECT_EQ(call.opt, 0.25f);
}
