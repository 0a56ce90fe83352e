// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ResultFile.h"

// Audio files read and written block by block through libsndfile, so memory
// stays bounded whatever a file's length.

/// A container tribandist writes, chosen by extension or by --format.
struct Container {
  const char* name;  // as --format takes it, and the usual extension
  int major;         // libsndfile's major format
};

/// The container of a name ("flac") or of a file's extension; throws
/// std::runtime_error listing the known ones when there is none.
const Container& containerNamed(const std::string& name);
const Container& containerForPath(const std::string& path);
/// "wav, flac, ogg, ..." for messages and --help.
std::string knownContainers();

/// Interleaved float frames from somewhere.
class Source {
public:
  virtual ~Source() = default;
  virtual int channels() const = 0;
  virtual int rate() const = 0;
  /// The number of frames, or -1 when it is not known (a pipe).
  virtual int64_t frames() const = 0;
  /// Reads up to `count` frames into `interleaved`; returns how many, 0 at
  /// the end. Throws std::runtime_error on a read error.
  virtual int64_t read(float* interleaved, int64_t count) = 0;
  /// The libsndfile major format it was read from, 0 if none.
  virtual int majorFormat() const { return 0; }
};

/// A file read through libsndfile; "-" is standard input.
class SoundReader : public Source {
public:
  /// Throws std::runtime_error naming the file and what is wrong.
  explicit SoundReader(const std::string& path);
  ~SoundReader() override;
  SoundReader(const SoundReader&) = delete;
  SoundReader& operator=(const SoundReader&) = delete;

  int channels() const override { return info.channels; }
  int rate() const override { return info.samplerate; }
  int64_t frames() const override { return knownLength ? info.frames : -1; }
  int64_t read(float* interleaved, int64_t count) override;
  int majorFormat() const override { return info.format & SF_FORMAT_TYPEMASK; }

private:
  std::string path;
  SF_INFO info{};
  SNDFILE* file = nullptr;
  bool knownLength = false;
};

/// Frames held in memory (the built-in demo).
class MemorySource : public Source {
public:
  MemorySource(std::vector<float> interleaved, int channels, int rate);
  int channels() const override { return channelCount; }
  int rate() const override { return sampleRate; }
  int64_t frames() const override { return static_cast<int64_t>(samples.size()) / channelCount; }
  int64_t read(float* interleaved, int64_t count) override;

private:
  std::vector<float> samples;
  int channelCount;
  int sampleRate;
  int64_t position = 0;
};

/// Writes a sound file through a ResultFile, so nothing is lost. A file
/// that replaces OUT is written through libsndfile's virtual I/O, which
/// records every short or failed write: libsndfile's encoders write their
/// last blocks inside its close and do not report a failure there, so the
/// close alone cannot be trusted.
class SoundWriter {
public:
  /// Opens OUT (or the file that replaces it) at once, so an unwritable place
  /// is reported before any work. `note` receives what the container cannot
  /// hold. Throws std::runtime_error naming the file and what is wrong.
  SoundWriter(const std::string& path, const Container& container, int channels, int rate, std::string& note);
  /// Leaves OUT as it was when the file was not finished.
  ~SoundWriter();
  SoundWriter(const SoundWriter&) = delete;
  SoundWriter& operator=(const SoundWriter&) = delete;

  void write(const float* interleaved, int64_t frames);
  /// Closes, checks that every byte was written, syncs and moves the file into place.
  void finish();
  /// Drops what was written, leaving OUT as it was; true when OUT is thereby
  /// untouched (false when it was written through, a pipe or device).
  bool abandon();

  /// The channel count the container takes for `wanted` channels (at most 2
  /// for the formats that hold no more), or 0 when it takes none.
  static int channelsFor(const Container& container, int wanted, int rate);

  /// Every write of libsndfile, with the first failure kept.
  struct Channel {
    int fd = -1;
    int error = 0;  // errno of the first failed or short write
  };

private:
  [[noreturn]] void fail(const std::string& what);

  ResultFile result;
  Channel channel;
  SNDFILE* file = nullptr;
};
