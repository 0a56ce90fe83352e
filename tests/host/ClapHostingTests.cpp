// SPDX-License-Identifier: GPL-3.0-or-later
// tribandist through a CLAP plug-in as through a record one: the same
// commands, the same settings by displayed value, the same sound.

#include "HostTool.h"

TEST_F(HostTool, RendersThroughTheClapEditionAsThroughTheRecord) {
  const std::string settings = " --set 'Low Disto Type=fuzz exp' 'L Threshold=40' 'High Gain=-6' 'Mid Cutoff=1200'";
  const ToolRun viaRecord =
      run("render -q --plugin " TRIBAND_PLUGIN_PATH " " + input.string() + " " + path("record.wav") + settings);
  const ToolRun viaClap =
      run("render -q --plugin " TRIBAND_CLAP_PLUGIN " " + input.string() + " " + path("clap.wav") + settings);
  ASSERT_EQ(viaRecord.exitCode, 0) << viaRecord.err;
  ASSERT_EQ(viaClap.exitCode, 0) << viaClap.err;
  const AudioData a = readFile(path("record.wav")), b = readFile(path("clap.wav"));
  ASSERT_EQ(a.samples.size(), b.samples.size());
  EXPECT_EQ(std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(float)), 0);
  // The same settings again, by index and normalised value: another sound.
  ASSERT_EQ(run("render -q --plugin " TRIBAND_CLAP_PLUGIN " " + input.string() + " " + path("plain.wav")).exitCode, 0);
  const AudioData c = readFile(path("plain.wav"));
  EXPECT_NE(std::memcmp(a.samples.data(), c.samples.data(), a.samples.size() * sizeof(float)), 0);
}

TEST_F(HostTool, InfoShowsAClapPluginsDescriptorAndParameters) {
  const ToolRun r = run("info --plugin " TRIBAND_CLAP_PLUGIN);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* line : {"interface   CLAP", "identifier  org.example.tribanddistortion",
                           "features    audio-effect distortion stereo", "inputs      2", "parameters  21",
                           "    6  Low Disto Type     0.000000   soft", "    0  Low Cutoff         1.000000   700"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  EXPECT_EQ(r.out.find("programs"), std::string::npos);  // CLAP has none
}

TEST_F(HostTool, BatchAndAnalyzeTakeAClapPlugin) {
  fs::create_directories(dir / "out");
  const ToolRun batch =
      run("render -q --plugin " TRIBAND_CLAP_PLUGIN " -o " + path("out") + " " + input.string() + " --set 7=fuzz");
  EXPECT_NE(batch.exitCode, 0);  // "fuzz" names no curve alone
  EXPECT_NE(batch.err.find("fuzz"), std::string::npos) << batch.err;
  ASSERT_EQ(run("render -q --plugin " TRIBAND_CLAP_PLUGIN " -o " + path("out") + " " + input.string()).exitCode, 0);
  EXPECT_TRUE(fs::exists(dir / "out" / "in.wav"));
  const ToolRun analysis = run("analyze --plugin " TRIBAND_CLAP_PLUGIN " --csv " + path("out"));
  ASSERT_EQ(analysis.exitCode, 0) << analysis.err;
  EXPECT_FALSE(fs::is_empty(dir / "out"));
}

TEST_F(HostTool, ABrokenClapFileIsRefusedByName) {
  { std::ofstream(dir / "fake.clap") << "not a library"; }
  expectRefused("render --plugin " + path("fake.clap") + " " + input.string() + " " + path("keep.wav"), "fake.clap");
}
