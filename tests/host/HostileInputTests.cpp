// SPDX-License-Identifier: GPL-3.0-or-later
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "HostTool.h"

// tribandist against what a careless user, an odd file system or a broken
// plug-in hands it: nothing of the user's is lost or overwritten, nothing
// named in a file is run, nothing is left behind, and every failure says so.

namespace {

bool hiddenFileIn(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind('.', 0) == 0) return true;
  return false;
}

pid_t startTool(const std::vector<std::string>& args) {
  const pid_t tool = fork();
  if (tool == 0) {
    std::vector<char*> argv{const_cast<char*>(TRIBAND_HOST_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TRIBAND_HOST_PATH, argv.data());
    _exit(127);
  }
  return tool;
}

int exitStatusOf(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(HostTool, ABatchNeverWritesOverItsInputsNorMergesTwoIntoOne) {
  for (const char* folder : {"clash", "other", "fmt", "out", "a", "b"}) fs::create_directories(dir / folder);
  const std::vector<float> audio = interleave(sineAndNoise(2000, 0.3f));
  for (const char* name : {"clash/t.wav", "other/t.wav", "fmt/x.wav", "a/t.wav", "b/t.wav", "b/u.wav"})
    writeFile(dir / name, audio, 2, 44100);
  writeFile(dir / "fmt/x.flac", audio, 2, 44100, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  const auto unchanged = [&](const char* name) { return readFile(dir / name).samples.size() == audio.size(); };

  expectRefused("render -o " + path("clash") + " " + path("clash/t.wav") + " " + path("other/t.wav"), "is the input");
  EXPECT_TRUE(unchanged("clash/t.wav"));
  const std::string flac = slurp(dir / "fmt/x.flac");
  expectRefused("render -o " + path("fmt") + " --format flac " + path("fmt/x.wav") + " " + path("fmt/x.flac"),
                "is the input");
  EXPECT_EQ(slurp(dir / "fmt/x.flac"), flac);
  // An output name that is a link to another input of the batch.
  fs::create_symlink(dir / "b/u.wav", dir / "out/t.wav");
  expectRefused("render -o " + path("out") + " " + path("a/t.wav") + " " + path("b/u.wav"), "is the input");
  EXPECT_TRUE(unchanged("b/u.wav"));
  fs::remove(dir / "out/t.wav");
  // Two inputs of one name, or of one name once --format changes it.
  expectRefused("render -o " + path("out") + " " + path("a/t.wav") + " " + path("b/t.wav"), "would both be written");
  expectRefused("render -o " + path("out") + " --format wav " + path("fmt/x.wav") + " " + path("fmt/x.flac"),
                "would both be written");
  EXPECT_TRUE(fs::is_empty(dir / "out")) << "nothing is rendered when the batch is refused";
}

TEST_F(HostTool, ANonFiniteRenderNeverReplacesAFile) {
  { std::ofstream(path("keep.wav")) << "precious"; }
  const ToolRun r = run("render " + input.string() + " " + path("keep.wav") + " -q --plugin " TRIBAND_ODD_PLUGIN_4);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.err.find("10000 of 10000 output samples are not finite"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(path("keep.wav")), "precious");
  EXPECT_FALSE(hiddenFileIn(dir));
  // In a batch too: the other files are still rendered.
  fs::create_directories(dir / "out");
  { std::ofstream(dir / "out" / "in.wav") << "precious"; }
  const ToolRun batch = run("render -q -o " + path("out") + " " + input.string() + " --plugin " TRIBAND_ODD_PLUGIN_4);
  EXPECT_EQ(batch.exitCode, 1);
  EXPECT_EQ(slurp(dir / "out" / "in.wav"), "precious");
}

TEST_F(HostTool, ABrokenPlugInIsRefusedOrReportedAndLeavesNothingBehind) {
  const std::vector<std::string> render = {"render", input.string(), path("keep.wav"),
                                           "-q",     "--plugin",     TRIBAND_MISBEHAVING_PLUGIN};
  const auto refusedNaming = [&](const std::string& misbehaviour, const std::string& named) {
    { std::ofstream(path("keep.wav")) << "precious"; }
    for (const char* command : {"info", "render", "analyze"}) {
      std::vector<std::string> args = render;
      args[0] = command;
      if (args[0] != "render") args = {command, "--plugin", TRIBAND_MISBEHAVING_PLUGIN};
      if (args[0] == "analyze") args.insert(args.end(), {"-o", path("keep.png")});
      const ToolRun r = runArgs(args, {"TRIBAND_MISBEHAVE=" + misbehaviour});
      EXPECT_EQ(r.exitCode, 1) << misbehaviour << " " << command << "\n" << r.err;
      EXPECT_NE(r.err.find(named), std::string::npos) << misbehaviour << " " << command << "\n" << r.err;
    }
    EXPECT_EQ(slurp(path("keep.wav")), "precious") << misbehaviour;
    EXPECT_FALSE(hiddenFileIn(dir)) << misbehaviour;
  };
  refusedNaming("no-dispatcher", "no dispatcher entry");
  refusedNaming("no-process", "no processReplacing entry");
  refusedNaming("many-inputs", "numInputs = 10000");
  refusedNaming("many-outputs", "numOutputs = 10000");
  refusedNaming("many-programs", "numPrograms = 2147483647");

  // A plug-in that ends the process or crashes in the middle of a render.
  for (const char* misbehaviour : {"exit", "crash"}) {
    { std::ofstream(path("keep.wav")) << "precious"; }
    const ToolRun r = runArgs(render, {std::string("TRIBAND_MISBEHAVE=") + misbehaviour});
    EXPECT_NE(r.exitCode, 0) << misbehaviour;
    EXPECT_NE(r.err.find("no result was written"), std::string::npos) << misbehaviour << "\n" << r.err;
    EXPECT_EQ(slurp(path("keep.wav")), "precious") << misbehaviour;
    EXPECT_FALSE(hiddenFileIn(dir)) << misbehaviour;
  }
  // A name far longer than any buffer a host should trust is cut, not a crash.
  const ToolRun info = runArgs({"info", "--plugin", TRIBAND_MISBEHAVING_PLUGIN}, {"TRIBAND_MISBEHAVE=long-name"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find(std::string(255, 'n')), std::string::npos);
  EXPECT_EQ(info.out.find(std::string(256, 'n')), std::string::npos);
}

TEST_F(HostTool, ARoundTripThroughTheDesignRateKeepsTheInputsLengthAndTiming) {
  for (int rate : {48000, 96000, 192000})
    for (int frames : {1, 2, 511, 12345}) {
      std::vector<float> mono(static_cast<size_t>(frames), 0.0f);
      mono[static_cast<size_t>(frames) / 2] = 0.5f;
      writeFile(path("mono.wav"), mono, 1, rate);
      const ToolRun r = run("render " + path("mono.wav") + " " + path("back.wav") +
                            " -q --rate 44100 --plugin " TRIBAND_ODD_PLUGIN_5);
      ASSERT_EQ(r.exitCode, 0) << r.err;
      const AudioData back = readFile(path("back.wav"));
      EXPECT_EQ(back.info.frames, frames) << rate << " Hz, " << frames << " frames";
      if (frames < 100) continue;
      // The impulse comes back where it was, spread by the band limit.
      const auto peak = std::max_element(back.samples.begin(), back.samples.end());
      EXPECT_EQ(peak - back.samples.begin(), frames / 2) << rate << " Hz, " << frames << " frames";
      EXPECT_GT(*peak, 0.04f);
    }
  expectRefused("render " + input.string() + " " + path("keep.wav") + " --rate 2147483647", "--rate 2147483647");
  expectRefused("render " + input.string() + " " + path("keep.wav") + " --rate 10", "--rate 10");
}

TEST_F(HostTool, AnalyzeRunsNothingNamedInAFileAndWritesThroughAFifo) {
  if (std::system("gnuplot --version >/dev/null 2>&1") != 0) {
    if (std::getenv("CI")) FAIL() << "gnuplot is not installed (package gnuplot-nox)";
    GTEST_SKIP() << "gnuplot is not installed (package gnuplot-nox)";
  }
  // gnuplot runs back-quoted commands in any string but a single-quoted one.
  const std::string hostile = "odd `touch PWNED1` $(touch PWNED2) ' \" \\ ; % \n `touch PWNED3`";
  const fs::path plugin = dir / (hostile + ".so");
  fs::copy_file(TRIBAND_PLUGIN_PATH, plugin);
  const ToolRun r = runArgs(
      {"analyze", "--plugin", plugin.string(), "--set", "Low Gain=-6 dB", "-o", (dir / (hostile + ".png")).string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* pwned : {"PWNED1", "PWNED2", "PWNED3"}) EXPECT_FALSE(fs::exists(dir / pwned)) << pwned;
  EXPECT_EQ(slurp(dir / (hostile + ".png")).substr(1, 3), "PNG");
  EXPECT_FALSE(hiddenFileIn(dir));

  // A FIFO given as the picture is written into, for the reader at its other end.
  ASSERT_EQ(mkfifo(path("picture.svg").c_str(), 0644), 0);
  std::thread svgReader(
      [this] { std::system(("timeout 60 cat " + path("picture.svg") + " > " + path("read.svg")).c_str()); });
  const ToolRun svg = runArgs({"analyze", "-o", path("picture.svg")}, {});
  svgReader.join();
  ASSERT_EQ(svg.exitCode, 0) << svg.err;
  struct stat st {};
  ASSERT_EQ(lstat(path("picture.svg").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_NE(slurp(path("read.svg")).find("<svg"), std::string::npos);
}

TEST_F(HostTool, AnalyzeDrawsWhatItCanOfASilentPlugInAndSaysWhatNot) {
  if (std::system("gnuplot --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "gnuplot is not installed";
  const ToolRun r = runArgs({"analyze", "--plugin", TRIBAND_MISBEHAVING_PLUGIN, "-o", path("silent.png")},
                            {"TRIBAND_MISBEHAVE=silent"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(slurp(path("silent.png")).substr(1, 3), "PNG");
  EXPECT_NE(r.err.find("is silent or not finite"), std::string::npos) << r.err;
}

TEST_F(HostTool, AnInterruptedBatchOrAnalysisLeavesNothingBehind) {
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  std::vector<std::string> args = {"render", "-q", "-j", "2", "-o", path("out")};
  const std::vector<float> audio = interleave(sineAndNoise(441000, 0.3f));
  for (int i = 0; i < 8; ++i) {
    const fs::path file = dir / "in" / ("take" + std::to_string(i) + ".flac");
    writeFile(file, audio, 2, 44100, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    args.push_back(file.string());
  }
  const pid_t batch = startTool(args);
  waitUntilWritingInto(batch, dir / "out");
  kill(batch, SIGINT);
  EXPECT_EQ(exitStatusOf(batch), 130);
  EXPECT_FALSE(hiddenFileIn(dir / "out"));

  fs::create_directories(dir / "scratch");
  setenv("TMPDIR", (dir / "scratch").c_str(), 1);
  const pid_t analysis = startTool({"analyze", "-o", path("a.png")});
  unsetenv("TMPDIR");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(analysis, SIGINT);
  const int status = exitStatusOf(analysis);
  EXPECT_TRUE(status == 130 || status == 0) << status;
  EXPECT_TRUE(fs::is_empty(dir / "scratch"));
  EXPECT_FALSE(hiddenFileIn(dir));
}

TEST_F(HostTool, OddNamesAndInputsAreAnsweredPlainly) {
  // An OUT name as long as the file system allows.
  const std::string longName = std::string(251, 'x') + ".wav";
  ASSERT_EQ(run("render " + input.string() + " " + path(longName.c_str()) + " -q").exitCode, 0);
  EXPECT_EQ(readFile(path(longName.c_str())).info.frames, 5000);
  fs::create_directories(dir / "folder.wav");
  expectRefused("render " + path("folder.wav") + " " + path("keep.wav"), "is a folder");
  // A file of NaN is not called silent.
  writeFile(path("nan.wav"), std::vector<float>(2000, std::nanf("")), 2, 44100);
  const ToolRun nan = run("render " + path("nan.wav") + " " + path("n.wav"));
  EXPECT_NE(nan.out.find("input   not finite"), std::string::npos) << nan.out;
  // Opus holds no 44.1 kHz: the message offers the way out.
  writeFile(path("44k.wav"), interleave(sineAndNoise(2000, 0.3f)), 2, 44100);
  expectRefused("render " + path("44k.wav") + " " + path("keep.opus"), "48000");
  // The demo checks where its dry copy goes before it renders the wet one.
  fs::create_directories(dir / "demo-dry.wav");
  expectRefused("render " + path("demo.wav"), "demo-dry.wav");
  EXPECT_FALSE(fs::exists(path("demo.wav")));
}

TEST_F(HostTool, QuietLeavesOnlyWarningsAndAmbiguousValuesAreNamed) {
  // The input is at 48 kHz: a warning even when quiet, and nothing else.
  const ToolRun quiet = run("render " + input.string() + " " + path("q.wav") + " -q --set 'L Threshold=0.5'");
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.out, "");
  std::istringstream lines(quiet.err);
  for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("warning: ", 0), 0u) << line;
  EXPECT_NE(quiet.err.find("at 48000 Hz"), std::string::npos) << quiet.err;
  // A value that reads as the display and as a normalised value: which was taken.
  const ToolRun loud = run("render " + input.string() + " " + path("q.wav") + " --set 'L Threshold=0.5'");
  EXPECT_NE(loud.err.find("would show 50 %"), std::string::npos) << loud.err;
  // A batch names the rate of each file as a single render does.
  fs::create_directories(dir / "out");
  const ToolRun batch = run("render -q -o " + path("out") + " " + input.string());
  EXPECT_NE(batch.err.find("at 48000 Hz"), std::string::npos) << batch.err;
}
