// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostTool.h"

namespace fs = std::filesystem;

TEST_F(HostTool, InfoShowsEveryParameterAsAHostWould) {
  const ToolRun r = run("info");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Qd3r (1365521266)"), std::string::npos);
  EXPECT_NE(r.out.find("CanMono CanReplacing"), std::string::npos);
  EXPECT_NE(r.out.find("--- Default ---"), std::string::npos);
  EXPECT_NE(r.out.find("Init 15"), std::string::npos);
  for (const char* line :
       {"Low Cutoff         1.000000   700          Hz", "High Disto Type    0.000000   soft",
        "High Gain          0.500000   0.000000     dB", "H Threshold        0.000000   0            %"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line;
}

TEST_F(HostTool, RendersAFileAddingNothingOfItsOwn) {
  const ToolRun r = run("render " + input.string() + " " + path("out.wav") +
                        " --block 300 --set 'mid disto type=fuzz exp' --set 'Low Gain=6.020599 dB'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const AudioData in = readFile(input), out = readFile(path("out.wav"));
  ASSERT_EQ(out.info.frames, 5000);
  EXPECT_EQ(out.info.channels, 2);
  EXPECT_EQ(out.info.samplerate, 48000);
  EXPECT_EQ(out.info.format, SF_FORMAT_WAVEX | SF_FORMAT_FLOAT);  // float WAV with its extended format chunk

  // The same blocks through the plug-in, called directly.
  void* library = dlopen(TRIBAND_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr);
  auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
  FakeHost::reset();
  RecordDriver host(entry(FakeHost::callback));
  host.set(7, 0.5f);   // any value that shows "fuzz exp" selects the same curve
  host.set(12, 1.0f);  // the one value that shows 6.020599 dB
  host.dispatch(effMainsChanged, 0, 1);
  Stereo source = sineAndNoise(5000, 0.5f), expected(5000);
  for (size_t start = 0; start < 5000; start += 300) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(300, 5000 - start));
    host.replace(&source.left[start], &source.right[start], &expected.left[start], &expected.right[start], n);
  }
  host.close();
  dlclose(library);
  EXPECT_EQ(out.samples, interleave(expected));
  EXPECT_NE(out.samples, in.samples);
  EXPECT_NE(r.out.find("output"), std::string::npos);
}

TEST_F(HostTool, MonoInputFeedsBothChannels) {
  std::vector<float> mono = sineAndNoise(2000, 0.4f).left;
  writeFile(path("mono.flac"), mono, 1, 22050, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  const ToolRun r = run("render " + path("mono.flac") + " " + path("out.aiff") + " -q");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const AudioData out = readFile(path("out.aiff"));
  ASSERT_EQ(out.info.channels, 2);
  EXPECT_EQ(out.info.samplerate, 22050);
  EXPECT_EQ(out.info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_AIFF);
  for (size_t i = 0; i < out.samples.size(); i += 2) ASSERT_EQ(out.samples[i], out.samples[i + 1]) << i;
}

TEST_F(HostTool, SettingsChangeTheOutput) {
  ASSERT_EQ(run("render " + input.string() + " " + path("plain.wav")).exitCode, 0);
  ASSERT_EQ(
      run("render " + input.string() + " " + path("quiet.wav") + " --set 'LOW GAIN=-oo' --set 'Mid Gain=-oo'").exitCode,
      0);
  ASSERT_EQ(run("render " + input.string() + " " + path("program.wav") + " --program 3").exitCode, 0);
  const AudioData plain = readFile(path("plain.wav")), quiet = readFile(path("quiet.wav"));
  EXPECT_NE(plain.samples, quiet.samples);
  EXPECT_EQ(readFile(path("program.wav")).samples, plain.samples);  // program 3 holds the defaults
}

TEST_F(HostTool, TheDemoRendersWithNoInput) {
  const ToolRun r = run("render " + path("demo.wav"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const AudioData wet = readFile(path("demo.wav")), dry = readFile(path("demo-dry.wav"));
  EXPECT_EQ(wet.info.frames, dry.info.frames);
  EXPECT_GT(wet.info.frames, 44100 * 4);
  EXPECT_NE(wet.samples, dry.samples);
  EXPECT_NE(r.out.find(path("demo.wav")), std::string::npos);
  EXPECT_EQ(r.err, "");  // in particular no warning of levels above full scale
}

TEST_F(HostTool, BadInputIsRefusedAndLosesNothing) {
  const std::string out = " " + path("keep.wav");
  { std::ofstream(path("text.wav")) << "this is not audio"; }
  writeFile(path("three.wav"), std::vector<float>(300, 0.1f), 3, 44100);
  expectRefused("render " + path("missing.wav") + out, "missing.wav");
  expectRefused("render " + path("text.wav") + out, "text.wav");
  expectRefused("render " + path("three.wav") + out, "3 channels");
  expectRefused("render " + input.string() + " " + path("nowhere/out.wav"), "nowhere");
  expectRefused("render " + input.string() + out + " --plugin " + path("none.so"), "none.so");
  expectRefused("render " + input.string() + out + " --plugin " + path("text.wav"), "not a loadable shared library");
  expectRefused("render " + input.string() + out + " --plugin " TRIBAND_ODD_PLUGIN_1, "exports neither");
  expectRefused("render " + input.string() + out + " --plugin " TRIBAND_ODD_PLUGIN_2, "returned no effect");
  expectRefused("render " + input.string() + out + " --plugin " TRIBAND_ODD_PLUGIN_3, "wrong magic");
  expectRefused("render " + input.string() + out + " --set 'Loud Knob=0.5'", "Loud Knob");
  expectRefused("render " + input.string() + out + " --set 15=0.5", "15");
  expectRefused("render " + input.string() + out + " --set 'Low Gain=loud'", "loud");
  expectRefused("render " + input.string() + out + " --set 'Low Gain=12'", "between 0 and 1");
  expectRefused("render " + input.string() + out + " --set 'Low Gain=12 dB'", "12 dB");
  expectRefused("render " + input.string() + out + " --program 16", "--program 16");
  expectRefused("render " + input.string() + out + " --program -1", "--program -1");
  expectRefused("render " + input.string() + out + " --block 0", "--block 0");
  expectRefused("render " + path("keep.wav") + out, "is the input file");
}

// A plug-in of the interface that nobody here wrote, from Debian's packages.
TEST_F(HostTool, DrivesAThirdPartyPlugin) {
  fs::path plugin;
  for (const char* candidate : {"/usr/lib/vst/3BandEQ-vst.so", "/usr/lib/x86_64-linux-gnu/vst/3BandEQ-vst.so"})
    if (fs::exists(candidate)) plugin = candidate;
  if (plugin.empty()) GTEST_SKIP() << "3BandEQ-vst.so is not installed (package dpf-plugins-vst)";
  const ToolRun info = run("info --plugin " + plugin.string());
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("parameters"), std::string::npos);
  const ToolRun render =
      run("render " + input.string() + " " + path("eq.wav") + " --plugin " + plugin.string() + " --set 0=0.0");
  ASSERT_EQ(render.exitCode, 0) << render.err;
  const AudioData in = readFile(input), out = readFile(path("eq.wav"));
  EXPECT_EQ(out.info.frames, in.info.frames);
  EXPECT_NE(out.samples, in.samples);
}
