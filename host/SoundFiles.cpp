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

#include "Interruption.h"

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
    throw failure(path, "has no extension to choose a container by; name one with --format (" + knownContainers() + ")");
  try {
    return containerNamed(extension.substr(1));
  } catch (const std::runtime_error&) {
    throw failure(path, "tribandist writes no '" + extension + "' files; known: " + knownContainers() +
                            " (or choose with --format)");
  }
}

// ---- reading ----

SoundReader::SoundReader(const std::string& path) : path(path) {
  if (path == "-") {
    file = sf_open_fd(STDIN_FILENO, SFM_READ, &info, 0);
    if (!file) throw failure("-", std::string("cannot read standard input as audio (") + sf_strerror(nullptr) + ")");
  } else {
    if (!fs::exists(path)) throw failure(path, "no such file");
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

void checkOutputPlace(const std::string& path, const std::string& input) {
  if (path == "-") return;
  const fs::path out(path);
  const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
  if (!fs::is_directory(folder)) throw failure(path, "its folder '" + folder.string() + "' does not exist");
  if (fs::is_directory(out)) throw failure(path, "is a folder");
  std::error_code ec;
  if (!input.empty() && input != "-" &&
      (fs::weakly_canonical(out, ec) == fs::weakly_canonical(input, ec) ||
       (fs::exists(out) && fs::equivalent(out, input, ec))))
    throw failure(path, "is the input file; write the result to another file");
}

int SoundWriter::channelsFor(const Container& container, int wanted, int rate) {
  std::string note;
  for (int channels = wanted; channels >= 1; channels = channels > 2 ? 2 : channels - 1)
    if (formatFor(container, channels, rate, note)) return channels;
  return 0;
}

SoundWriter::SoundWriter(const std::string& path, const Container& container, int channels, int rate,
                         std::string& note)
    : path(path) {
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = rate;
  info.format = formatFor(container, channels, rate, note);
  if (!info.format)
    throw failure(path, "a " + std::string(container.name) + " file cannot hold " + std::to_string(channels) +
                            " channels at " + std::to_string(rate) + " Hz");

  struct stat st {};
  const bool exists = path != "-" && lstat(path.c_str(), &st) == 0;
  if (path == "-") {
    descriptor = STDOUT_FILENO;
  } else if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) {
    // A pipe or device is the reader's or the system's: written through.
    descriptor = ::open(path.c_str(), O_WRONLY);
    if (descriptor < 0) throw failure(path, std::string("cannot open it for writing (") + std::strerror(errno) + ")");
    ownDescriptor = true;
  } else {
    // A link stays a link: its target is what gets replaced.
    destination = exists && S_ISLNK(st.st_mode) ? fs::weakly_canonical(path).string() : path;
    const fs::path out(destination);
    const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
    temporary = (folder / ("." + out.filename().string() + ".XXXXXX")).string();
    descriptor = interruption::createTemporary(temporary, interruptSlot);
    if (descriptor < 0)
      throw failure(path, "cannot create a file in '" + folder.string() + "' (" + std::strerror(errno) + ")");
    ownDescriptor = true;
    // The result keeps the permissions of the file it replaces, or gets the
    // usual ones (the temporary is created private).
    struct stat old {};
    mode_t mode;
    if (stat(destination.c_str(), &old) == 0) {
      mode = old.st_mode & 07777;
    } else {
      const mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    fchmod(descriptor, mode);
  }
  file = sf_open_fd(descriptor, SFM_WRITE, &info, 0);
  if (!file) {
    const std::string reason = sf_strerror(nullptr);
    discard();
    throw failure(path, "cannot write (" + reason + ")");
  }
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

SoundWriter::~SoundWriter() {
  if (!finished) discard();
}

void SoundWriter::discard() {
  if (file) sf_close(file);
  file = nullptr;
  if (ownDescriptor && descriptor >= 0) ::close(descriptor);
  descriptor = -1;
  if (!temporary.empty()) {
    std::remove(temporary.c_str());
    temporary.clear();
  }
  interruption::forget(interruptSlot);
  interruptSlot = -1;
}

void SoundWriter::fail(const std::string& what) {
  discard();
  finished = true;
  throw failure(path, what);
}

void SoundWriter::write(const float* interleaved, int64_t frames) {
  if (sf_writef_float(file, interleaved, frames) != frames)
    fail(std::string("write failed (") + sf_strerror(file) + ")");
}

void SoundWriter::finish() {
  // Encoders write their last blocks when closed: a full disk shows here.
  const int closed = sf_close(file);
  file = nullptr;
  if (closed != 0) fail(std::string("writing its end failed (") + sf_error_number(closed) + ")");
  if (!temporary.empty() && fsync(descriptor) != 0)
    fail(std::string("cannot sync it to disk (") + std::strerror(errno) + ")");
  if (ownDescriptor && ::close(descriptor) != 0) {
    descriptor = -1;
    fail(std::string("closing it failed (") + std::strerror(errno) + ")");
  }
  descriptor = -1;
  if (!temporary.empty()) {
    if (std::rename(temporary.c_str(), destination.c_str()) != 0)
      fail("cannot move the finished file into place (" + std::string(std::strerror(errno)) + ")");
    temporary.clear();
    interruption::forget(interruptSlot);
    interruptSlot = -1;
  }
  finished = true;
}
