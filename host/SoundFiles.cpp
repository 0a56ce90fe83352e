// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::runtime_error failure(const std::string& path, const std::string& what) {
  return std::runtime_error("'" + path + "': " + what);
}

constexpr Container kContainers[] = {
    {"wav", SF_FORMAT_WAVEX}, {"flac", SF_FORMAT_FLAC}, {"ogg", SF_FORMAT_OGG}, {"opus", SF_FORMAT_OGG},
    {"mp3", SF_FORMAT_MPEG},  {"aiff", SF_FORMAT_AIFF}, {"caf", SF_FORMAT_CAF}, {"w64", SF_FORMAT_W64},
    {"rf64", SF_FORMAT_RF64}, {"au", SF_FORMAT_AU},
};

// Other names of the same containers.
constexpr std::pair<const char*, const char*> kAliases[] = {{"oga", "ogg"}, {"aif", "aiff"}, {"snd", "au"}};

std::string lowered(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The richest sample type the container holds: float where it can.
int subtypesFor(const Container& c, int index) {
  if (std::strcmp(c.name, "ogg") == 0) return index == 0 ? SF_FORMAT_VORBIS : 0;
  if (std::strcmp(c.name, "opus") == 0) return index == 0 ? SF_FORMAT_OPUS : 0;
  if (std::strcmp(c.name, "mp3") == 0) return index == 0 ? SF_FORMAT_MPEG_LAYER_III : 0;
  constexpr int kOrder[] = {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16};
  return index < 3 ? kOrder[index] : 0;
}

int formatFor(const Container& c, int channels, int rate, std::string& note) {
  SF_INFO probe{};
  probe.channels = channels;
  probe.samplerate = rate;
  for (int i = 0; subtypesFor(c, i); ++i) {
    probe.format = c.major | subtypesFor(c, i);
    if (sf_format_check(&probe)) {
      if (subtypesFor(c, i) != SF_FORMAT_FLOAT)
        note = "this container holds no float samples; levels above 0 dBFS are clipped in it";
      return probe.format;
    }
  }
  return 0;
}

}  // namespace

std::string knownContainers() {
  std::string list;
  for (const Container& c : kContainers) list += (list.empty() ? "" : ", ") + std::string(c.name);
  return list;
}

const Container& containerNamed(const std::string& name) {
  std::string wanted = lowered(name);
  for (const auto& [alias, real] : kAliases)
    if (wanted == alias) wanted = real;
  for (const Container& c : kContainers)
    if (wanted == c.name) return c;
  throw std::runtime_error("no container is called '" + name + "' (known: " + knownContainers() + ")");
}

const Container& containerForPath(const std::string& path) {
  const std::string extension = fs::path(path).extension().string();
  if (extension.size() < 2)
    throw failure(path,
                  "has no extension to choose a container by; name one with --format (" + knownContainers() + ")");
  try {
    return containerNamed(extension.substr(1));
  } catch (const std::runtime_error&) {
    throw failure(path, "tribandist writes no '" + extension + "' files; known: " + knownContainers() +
                            " (or choose with --format)");
  }
}

// ---- reading ----

SoundReader::SoundReader(const std::string& name) : path(name) {
  if (path == "-") {
    file = sf_open_fd(STDIN_FILENO, SFM_READ, &info, 0);
    if (!file) throw failure("-", std::string("cannot read standard input as audio (") + sf_strerror(nullptr) + ")");
  } else {
    if (!fs::exists(path)) throw failure(path, "no such file");
    if (fs::is_directory(path)) throw failure(path, "is a folder, not an audio file");
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw failure(path, std::string("cannot read it as audio (") + sf_strerror(nullptr) + ")");
  }
  // A pipe, or a header that claims more than there is: the length is what
  // the reads deliver, and the header only guides the progress display.
  knownLength = info.frames > 0 && info.frames < SF_COUNT_MAX && info.seekable;
  if (info.channels < 1) throw failure(path, "has no channels");
}

SoundReader::~SoundReader() {
  if (file) sf_close(file);
}

int64_t SoundReader::read(float* interleaved, int64_t count) {
  const sf_count_t got = sf_readf_float(file, interleaved, count);
  if (got < 0 || (got < count && sf_error(file) != SF_ERR_NO_ERROR))
    throw failure(path, std::string("read error (") + sf_strerror(file) + ")");
  return got;
}

MemorySource::MemorySource(std::vector<float> interleaved, int channels, int rate)
    : samples(std::move(interleaved)), channelCount(channels), sampleRate(rate) {}

int64_t MemorySource::read(float* interleaved, int64_t count) {
  const int64_t n = std::min(count, frames() - position);
  std::copy_n(samples.begin() + position * channelCount, n * channelCount, interleaved);
  position += n;
  return n;
}

// ---- writing ----

namespace {

SoundWriter::Channel& channelOf(void* user) { return *static_cast<SoundWriter::Channel*>(user); }

sf_count_t channelLength(void* user) {
  struct stat st {};
  return fstat(channelOf(user).fd, &st) == 0 ? st.st_size : -1;
}

sf_count_t channelSeek(sf_count_t offset, int whence, void* user) { return lseek(channelOf(user).fd, offset, whence); }

sf_count_t channelTell(void* user) { return lseek(channelOf(user).fd, 0, SEEK_CUR); }

sf_count_t channelRead(void* to, sf_count_t count, void* user) {
  sf_count_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(channelOf(user).fd, static_cast<char*>(to) + done, static_cast<size_t>(count - done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  return done;
}

sf_count_t channelWrite(const void* from, sf_count_t count, void* user) {
  SoundWriter::Channel& c = channelOf(user);
  sf_count_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(c.fd, static_cast<const char*>(from) + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (c.error == 0) c.error = put < 0 ? errno : ENOSPC;
      break;
    }
    done += put;
  }
  return done;
}

}  // namespace

int SoundWriter::channelsFor(const Container& container, int wanted, int rate) {
  std::string note;
  for (int channels = wanted; channels >= 1; channels = channels > 2 ? 2 : channels - 1)
    if (formatFor(container, channels, rate, note)) return channels;
  return 0;
}

SoundWriter::SoundWriter(const std::string& path, const Container& container, int channels, int rate, std::string& note)
    : result(path) {
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = rate;
  info.format = formatFor(container, channels, rate, note);
  if (!info.format) {
    std::string what = "a " + std::string(container.name) + " file cannot hold " + std::to_string(channels) +
                       " channels at " + std::to_string(rate) + " Hz";
    if (std::strcmp(container.name, "opus") == 0)
      what +=
          " (Opus takes 8000, 12000, 16000, 24000 or 48000 Hz): write .ogg or .flac instead, or resample the "
          "input first (sox IN -r 48000 IN48.wav)";
    fail(what);
  }
  channel.fd = result.descriptor();
  if (result.replaces()) {
    static SF_VIRTUAL_IO io = {channelLength, channelSeek, channelRead, channelWrite, channelTell};
    file = sf_open_virtual(&io, SFM_WRITE, &info, &channel);
  } else {
    // Pipes and devices cannot seek; libsndfile writes them as streams.
    file = sf_open_fd(channel.fd, SFM_WRITE, &info, 0);
  }
  if (!file) fail("cannot write (" + std::string(sf_strerror(nullptr)) + ")");
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

SoundWriter::~SoundWriter() {
  if (file) sf_close(file);
}

void SoundWriter::fail(const std::string& what) {
  if (file) sf_close(file);
  file = nullptr;
  result.abandon();
  throw failure(result.path(), what);
}

void SoundWriter::write(const float* interleaved, int64_t frames) {
  if (sf_writef_float(file, interleaved, frames) != frames || channel.error)
    fail(channel.error ? "write failed (" + std::string(std::strerror(channel.error)) + ")"
                       : "write failed (" + std::string(sf_strerror(file)) + ")");
}

void SoundWriter::finish() {
  // Encoders write their last blocks when closed: a full disk shows here,
  // in the channel's record, whatever the close answers.
  const int closed = sf_close(file);
  file = nullptr;
  if (channel.error) fail("writing its end failed (" + std::string(std::strerror(channel.error)) + ")");
  if (closed != 0) fail(std::string("writing its end failed (") + sf_error_number(closed) + ")");
  result.commit();
}

bool SoundWriter::abandon() {
  if (file) sf_close(file);
  file = nullptr;
  const bool untouched = result.replaces();
  result.abandon();
  return untouched;
}
