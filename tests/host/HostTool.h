// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
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

/// What a file holds, read until it ends (a header may claim any length);
/// `info.frames` is the count actually read.
inline AudioData readFile(const fs::path& path) {
  AudioData data;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &data.info);
  if (!f) return data;
  constexpr sf_count_t kChunk = 4096;
  std::vector<float> chunk(static_cast<size_t>(kChunk * data.info.channels));
  data.info.frames = 0;
  for (sf_count_t got; (got = sf_readf_float(f, chunk.data(), kChunk)) > 0; data.info.frames += got)
    data.samples.insert(data.samples.end(), chunk.begin(), chunk.begin() + got * data.info.channels);
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

/// True once process `pid` holds a file open in `folder`: its render is under way.
inline bool writesInto(pid_t pid, const fs::path& folder) {
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const fs::path target = fs::read_symlink(fd.path(), ec);
    if (!ec && target.string().rfind(folder.string() + "/", 0) == 0) return true;
  }
  return false;
}

inline void waitUntilWritingInto(pid_t pid, const fs::path& folder) {
  for (int i = 0; i < 40000 && !writesInto(pid, folder); ++i)
    std::this_thread::sleep_for(std::chrono::microseconds(250));
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
    // A tool that hangs or writes without end fails the test, not the machine.
    const std::string command = "ulimit -f 262144; timeout 120 " + prefix + std::string(TRIBAND_HOST_PATH) + " " +
                                args + " >" + out.string() + " 2>" + err.string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
  }
  std::string path(const char* name) { return (dir / name).string(); }

  /// With the arguments as they stand (no shell reads them), in the test's
  /// folder, with `environment` ("NAME=value") added.
  ToolRun runArgs(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
    const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
    const pid_t child = fork();
    if (child == 0) {
      // A tool that hangs or writes without end fails the test, not the machine.
      constexpr rlim_t kMostBytes = 256 << 20;
      constexpr unsigned kMostSeconds = 120;
      const rlimit size{kMostBytes, kMostBytes};
      setrlimit(RLIMIT_FSIZE, &size);
      alarm(kMostSeconds);
      for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
      if (chdir(dir.c_str()) != 0) _exit(126);
      const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (o < 0 || e < 0 || dup2(o, STDOUT_FILENO) < 0 || dup2(e, STDERR_FILENO) < 0) _exit(126);
      std::vector<char*> argv{const_cast<char*>(TRIBAND_HOST_PATH)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(TRIBAND_HOST_PATH, argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(out), slurp(err)};
  }

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
