#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "Signals.h"

// tribandist run as a user runs it, in a folder of its own per test.
namespace fs = std::filesystem;


inline namespace host_tool {

struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};

inline std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct AudioData {
  SF_INFO info{};
  std::vector<float> samples;  // interleaved
};

inline AudioData readFile(const fs::path& path) {
  AudioData data;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &data.info);
  if (!f) return data;
  data.samples.resize(static_cast<size_t>(data.info.frames * data.info.channels));
  sf_readf_float(f, data.samples.data(), data.info.frames);
  sf_close(f);
  return data;
}

inline void writeFile(const fs::path& path, const std::vector<float>& interleaved, int channels, int rate,
               int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = rate;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
  sf_close(f);
}

inline std::vector<float> interleave(const Stereo& s) {
  std::vector<float> out;
  for (size_t i = 0; i < s.frames(); ++i) {
    out.push_back(s.left[i]);
    out.push_back(s.right[i]);
  }
  return out;
}

class HostTool : public ::testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tribandist-test-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    input = dir / "in.wav";
    writeFile(input, interleave(sineAndNoise(5000, 0.5f)), 2, 48000);
  }
  void TearDown() override { fs::remove_all(dir); }

  ToolRun run(const std::string& args) { return runAs("", args); }
  /// With a command in front, such as one that drops privileges.
  ToolRun runAs(const std::string& prefix, const std::string& args) {
    const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
    const std::string command =
        prefix + std::string(TRIBAND_HOST_PATH) + " " + args + " >" + out.string() + " 2>" + err.string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
  }
  std::string path(const char* name) { return (dir / name).string(); }

  // Each failure ends with one line on stderr that names the culprit, a
  // non-zero exit and an untouched OUT.
  void expectRefused(const std::string& args, const std::string& named) {
    const fs::path out = dir / "keep.wav";
    { std::ofstream(out) << "precious"; }
    const ToolRun r = run(args);
    EXPECT_NE(r.exitCode, 0) << args;
    EXPECT_NE(r.err.find(named), std::string::npos) << args << "\n" << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(slurp(out), "precious") << args;
    for (const auto& entry : fs::directory_iterator(dir))
      EXPECT_EQ(entry.path().filename().string().find(".keep.wav"), std::string::npos) << "temporary left behind";
  }

  fs::path dir;
  fs::path input;
};

}  // namespace host_tool
