// SPDX-License-Identifier: GPL-3.0-or-later
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "HostTool.h"

// What tribandist promises about files, streams, values and failures: nothing
// lost, nothing left behind, nothing reported as fine that is not.

namespace {

bool noTemporaryIn(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind('.', 0) == 0) return false;
  return true;
}

}  // namespace

TEST_F(HostTool, ValuesAreReadAsTheParameterShowsThem) {
  const auto rendered = [this](const std::string& sets) {
    const ToolRun r = run("render " + input.string() + " " + path("v.wav") + " -q " + sets);
    EXPECT_EQ(r.exitCode, 0) << sets << "\n" << r.err;
    return readFile(path("v.wav")).samples;
  };
  const std::vector<float> plain = rendered("");
  // The defaults, named as the displays show them.
  EXPECT_EQ(rendered("--set 'Low Cutoff=700' --set 'Low Gain=0 dB' --set 'High Disto Type=soft'"), plain);
  // A percentage with or without its sign, and not a normalised value.
  const std::vector<float> half = rendered("--set 'L Threshold=50%' --set 'Low Disto Type=fuzz sqrt'");
  EXPECT_EQ(rendered("--set 'L Threshold=50' --set 'Low Disto Type=fuzz sqrt'"), half);
  EXPECT_NE(rendered("--set 'L Threshold=0.5' --set 'Low Disto Type=fuzz sqrt'"), half);
  // A value no display shows but inside 0..1 is normalised.
  EXPECT_NE(rendered("--set 'Low Cutoff=0.5'"), plain);
  const ToolRun r = run("render " + input.string() + " " + path("x.wav") + " --set 'High Disto Type=anarchik'");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("did you mean 'arnarchik'?"), std::string::npos) << r.err;
  const ToolRun name = run("render " + input.string() + " " + path("x.wav") + " --set 'Low Gian=0 dB'");
  EXPECT_NE(name.err.find("did you mean 'Low Gain'?"), std::string::npos) << name.err;
}

TEST_F(HostTool, EveryContainerByItsExtensionAndUnknownOnesRefused) {
  for (const char* name : {"o.wav", "o.flac", "o.ogg", "o.mp3", "o.aiff", "o.caf", "o.w64", "o.rf64", "o.au"}) {
    const ToolRun r = run("render " + input.string() + " " + path(name) + " -q");
    ASSERT_EQ(r.exitCode, 0) << name << "\n" << r.err;
    const AudioData out = readFile(path(name));
    EXPECT_EQ(out.info.channels, 2) << name;
    EXPECT_GE(out.info.frames, 4000) << name;  // lossy encoders pad and trim a little
  }
  EXPECT_EQ(readFile(path("o.ogg")).info.format & SF_FORMAT_SUBMASK, SF_FORMAT_VORBIS);
  EXPECT_EQ(readFile(path("o.mp3")).info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_MPEG);
  // Opus holds 48 kHz, the input's rate.
  ASSERT_EQ(run("render " + input.string() + " " + path("o.opus") + " -q").exitCode, 0);
  EXPECT_EQ(readFile(path("o.opus")).info.format & SF_FORMAT_SUBMASK, SF_FORMAT_OPUS);
  ASSERT_EQ(run("render " + input.string() + " " + path("chosen.bin") + " --format flac -q").exitCode, 0);
  EXPECT_EQ(readFile(path("chosen.bin")).info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
  expectRefused("render " + input.string() + " " + path("out.xyz"), "known: wav, flac");
  expectRefused("render " + input.string() + " " + path("out.wav") + " --format mod", "no container is called 'mod'");
}

TEST_F(HostTool, StreamsThroughPipes) {
  // An Ogg stream on standard input has no length, and a WAV header on a
  // pipe claims what the pipe may not hold; both are read until they end.
  // (libsndfile 1.2 reads no FLAC from a pipe.)
  ASSERT_EQ(run("render " + input.string() + " " + path("in.ogg") + " -q").exitCode, 0);
  const std::string tool = TRIBAND_HOST_PATH;
  for (const char* in : {"in.ogg", "in.wav"}) {
    const int status = std::system(("cat " + path(in) + " | " + tool + " render - - --format au -q > " +
                                    path("piped.au") + " 2>" + path("err.txt"))
                                       .c_str());
    ASSERT_EQ(WEXITSTATUS(status), 0) << in << ": " << slurp(path("err.txt"));
    const AudioData piped = readFile(path("piped.au"));
    EXPECT_EQ(piped.info.channels, 2) << in;
    EXPECT_NEAR(static_cast<double>(piped.info.frames), 5000.0, 100.0) << in;
  }
  expectRefused("render " + input.string() + " -", "needs --format");
}

TEST_F(HostTool, PipesDevicesAndLinksAreWrittenThroughNeverReplaced) {
  // A link keeps being a link; its target gets the result.
  { std::ofstream(path("target.wav")) << "old"; }
  fs::create_symlink(path("target.wav"), path("link.wav"));
  ASSERT_EQ(run("render " + input.string() + " " + path("link.wav") + " -q").exitCode, 0);
  EXPECT_TRUE(fs::is_symlink(path("link.wav")));
  EXPECT_EQ(readFile(path("target.wav")).info.frames, 5000);
  // A FIFO is written into, for the reader at its other end.
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0644), 0);
  std::thread reader(
      [this] { std::system(("timeout 20 cat " + path("fifo") + " > " + path("from-fifo.au")).c_str()); });
  const ToolRun r = run("render " + input.string() + " " + path("fifo") + " --format au -q");
  reader.join();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  struct stat st {};
  ASSERT_EQ(lstat(path("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(readFile(path("from-fifo.au")).info.channels, 2);
  // A device stays the device.
  ASSERT_EQ(run("render " + input.string() + " /dev/null --format wav -q").exitCode, 0);
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_TRUE(noTemporaryIn(dir));
}

TEST_F(HostTool, TheResultKeepsThePermissionsOfTheFileItReplaces) {
  { std::ofstream(path("out.wav")) << "old"; }
  fs::permissions(path("out.wav"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(run("render " + input.string() + " " + path("out.wav") + " -q").exitCode, 0);
  EXPECT_EQ(fs::status(path("out.wav")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(HostTool, AnInterruptionLeavesNoTemporaryAndTheOldFile) {
  { std::ofstream(path("out.flac")) << "precious"; }
  const std::string audio = slurp(input);
  for (int signal : {SIGINT, SIGTERM}) {
    // The input arrives through a pipe that stays open, so the render is
    // under way, waiting for more, when the signal comes.
    int feed[2];
    ASSERT_EQ(pipe(feed), 0);
    const pid_t tool = fork();
    if (tool == 0) {
      dup2(feed[0], STDIN_FILENO);
      close(feed[0]);
      close(feed[1]);
      const std::string out = path("out.flac");
      execl(TRIBAND_HOST_PATH, TRIBAND_HOST_PATH, "render", "-", out.c_str(), "-q", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(feed[0]);
    ASSERT_EQ(write(feed[1], audio.data(), audio.size()), static_cast<ssize_t>(audio.size()));
    // The signal follows the opening of the result's file as closely as the
    // test can, where a tool that names a temporary to its handler late
    // would leave it.
    waitUntilWritingInto(tool, dir);
    EXPECT_TRUE(writesInto(tool, dir)) << "the render did not start";
    kill(tool, signal);
    int status = 0;
    waitpid(tool, &status, 0);
    close(feed[1]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    EXPECT_TRUE(noTemporaryIn(dir)) << "a temporary was left behind";
    EXPECT_EQ(slurp(path("out.flac")), "precious");
    // Each signal is tried on its own: what one left must not start the next.
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.path().filename().string().rfind('.', 0) == 0) fs::remove(entry.path());
  }
}

TEST_F(HostTool, AReadOnlyFolderIsReportedBeforeAnyWork) {
  if (geteuid() == 0 && std::system("command -v setpriv >/dev/null") != 0)
    GTEST_SKIP() << "as root, and without setpriv to drop the privilege, a read-only folder is writable";
  fs::create_directories(dir / "locked");
  fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const std::string asUser = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const ToolRun r = runAs(asUser, "render " + input.string() + " " + (dir / "locked" / "out.wav").string());
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("cannot create a file in"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("rendered"), std::string::npos);
}

TEST_F(HostTool, AFullDiskFailsLoudlyAndKeepsTheOldFile) {
  // A small tmpfs fills at every point of a render in turn: in the middle
  // and, in fine steps around the finished file's size, as the encoders
  // write their last blocks at the close, which libsndfile does not report.
  // The old OUT is tiny, so it frees no room that would hide the failure.
  fs::create_directories(dir / "small");
  if (mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=16k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): the full-disk case is not run";
  umount((dir / "small").c_str());
  constexpr int kFrames = 100000;
  writeFile(path("long.wav"), interleave(sineAndNoise(kFrames, 0.3f)), 2, 48000);
  int failures = 0, successes = 0;
  for (const char* name : {"out.flac", "out.ogg", "out.wav"}) {
    ASSERT_EQ(run("render " + path("long.wav") + " " + path(name) + " -q").exitCode, 0);
    const int fullKilobytes = static_cast<int>(fs::file_size(path(name)) / 1024);
    std::vector<int> sizes;
    for (int kilobytes = 8; kilobytes < fullKilobytes; kilobytes += 24) sizes.push_back(kilobytes);
    for (int kilobytes = fullKilobytes - 40; kilobytes <= fullKilobytes + 16; kilobytes += 4)
      sizes.push_back(std::max(kilobytes, 4));
    for (int kilobytes : sizes) {
      const fs::path small = dir / "small";
      ASSERT_EQ(mount("tmpfs", small.c_str(), "tmpfs", 0, ("size=" + std::to_string(kilobytes) + "k").c_str()), 0);
      { std::ofstream(small / name) << std::string(44, 'o'); }
      const ToolRun r = run("render " + path("long.wav") + " " + (small / name).string() + " -q");
      if (r.exitCode == 0) {
        ++successes;
        EXPECT_EQ(readFile(small / name).info.frames, kFrames) << name << " in " << kilobytes << "k";
      } else {
        ++failures;
        EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
        EXPECT_EQ(slurp(small / name), std::string(44, 'o')) << name << " in " << kilobytes << "k";
      }
      EXPECT_TRUE(noTemporaryIn(small)) << name << " in " << kilobytes << "k";
      umount(small.c_str());
    }
  }
  EXPECT_GT(failures, 0);
  EXPECT_GT(successes, 0);
}

TEST_F(HostTool, AnyPlugInsInputsAndOutputs) {
  // One input and one output: the stereo file is refused, a mono one renders to mono.
  expectRefused("render " + input.string() + " " + path("keep.wav") + " --plugin " TRIBAND_ODD_PLUGIN_5,
                "the plug-in takes 1");
  writeFile(path("mono.wav"), sineAndNoise(3000, 0.4f).left, 1, 44100);
  ASSERT_EQ(run("render " + path("mono.wav") + " " + path("half.wav") + " -q --plugin " TRIBAND_ODD_PLUGIN_5).exitCode,
            0);
  const AudioData in = readFile(path("mono.wav")), half = readFile(path("half.wav"));
  ASSERT_EQ(half.info.channels, 1);
  for (size_t i = 0; i < in.samples.size(); ++i) ASSERT_EQ(half.samples[i], 0.5f * in.samples[i]) << i;
  // Six outputs: all of them in a WAV file, the first two in an MP3 with a note.
  const fs::path splitter = "/usr/lib/vst/3BandSplitter-vst.so";
  if (!fs::exists(splitter)) GTEST_SKIP() << "3BandSplitter-vst.so is not installed (package dpf-plugins-vst)";
  ASSERT_EQ(run("render " + input.string() + " " + path("six.wav") + " -q --plugin " + splitter.string()).exitCode, 0);
  EXPECT_EQ(readFile(path("six.wav")).info.channels, 6);
  const ToolRun mp3 = run("render " + input.string() + " " + path("two.mp3") + " -q --plugin " + splitter.string());
  ASSERT_EQ(mp3.exitCode, 0) << mp3.err;
  EXPECT_EQ(readFile(path("two.mp3")).info.channels, 2);
  EXPECT_NE(mp3.err.find("the others are left out"), std::string::npos) << mp3.err;
}

TEST_F(HostTool, RatesOtherThanTheDesignRateAreNamedAndCanBeConverted) {
  const ToolRun note = run("render " + input.string() + " " + path("48k.wav") + " -q");
  EXPECT_NE(note.err.find("at 48000 Hz; the effect's bands are designed for 44100 Hz"), std::string::npos) << note.err;
  const ToolRun converted = run("render " + input.string() + " " + path("at44k.wav") + " -q --rate 44100");
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_EQ(converted.err, "");
  const AudioData out = readFile(path("at44k.wav"));
  EXPECT_EQ(out.info.samplerate, 48000);
  EXPECT_NEAR(static_cast<double>(out.info.frames), 5000.0, 4.0);
  EXPECT_NE(out.samples, readFile(path("48k.wav")).samples);
}

TEST_F(HostTool, ABatchRendersEveryFileItCanAndNamesTheOthers) {
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  for (const char* name : {"a.wav", "b.flac", "c.wav"})
    writeFile(dir / "in" / name, interleave(sineAndNoise(3000, 0.3f)), 2, 44100,
              name[2] == 'f' ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16 : SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  { std::ofstream(dir / "in" / "broken.wav") << "not audio"; }
  const std::string inputs = (dir / "in" / "a.wav").string() + " " + (dir / "in" / "broken.wav").string() + " " +
                             (dir / "in" / "b.flac").string() + " " + (dir / "in" / "c.wav").string();
  const ToolRun r = run("render -o " + (dir / "out").string() + " -j 3 -q " + inputs);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("rendered 3 of 4 files"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("broken.wav"), std::string::npos) << r.err;
  for (const char* name : {"a.wav", "b.flac", "c.wav"})
    EXPECT_EQ(readFile(dir / "out" / name).info.frames, 3000) << name;
  EXPECT_FALSE(fs::exists(dir / "out" / "broken.wav"));
  EXPECT_TRUE(noTemporaryIn(dir / "out"));
}
