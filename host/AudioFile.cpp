#include "AudioFile.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

struct CloseFile {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, CloseFile>;

std::runtime_error failure(const std::string& path, const std::string& what) {
  return std::runtime_error("'" + path + "': " + what);
}

int formatFromExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == ".wav") return SF_FORMAT_WAV;
  if (ext == ".aif" || ext == ".aiff") return SF_FORMAT_AIFF;
  if (ext == ".flac") return SF_FORMAT_FLAC;
  if (ext == ".ogg" || ext == ".oga") return SF_FORMAT_OGG;
  if (ext == ".caf") return SF_FORMAT_CAF;
  if (ext == ".w64") return SF_FORMAT_W64;
  if (ext == ".au" || ext == ".snd") return SF_FORMAT_AU;
  return 0;
}

// Float where the container holds it; otherwise its richest sample type.
int sampleFormatFor(int major, int channels, int sampleRate, std::string& note) {
  SF_INFO probe{};
  probe.channels = channels;
  probe.samplerate = sampleRate;
  for (int subtype : {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_VORBIS, SF_FORMAT_PCM_16}) {
    probe.format = major | subtype;
    if (sf_format_check(&probe)) {
      if (subtype != SF_FORMAT_FLOAT)
        note = "this container holds no float samples; levels above 0 dBFS are clipped in it";
      return probe.format;
    }
  }
  return 0;
}

}  // namespace

StereoAudio readAudio(const std::string& path) {
  if (!fs::exists(path)) throw failure(path, "no such file");
  SF_INFO info{};
  SoundFile file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) throw failure(path, std::string("cannot read it as audio (") + sf_strerror(nullptr) + ")");
  if (info.channels < 1 || info.channels > 2)
    throw failure(path, "has " + std::to_string(info.channels) + " channels; only mono and stereo are supported");
  StereoAudio audio;
  audio.sampleRate = info.samplerate;
  audio.sourceChannels = info.channels;
  audio.sourceFormat = info.format & SF_FORMAT_TYPEMASK;
  std::vector<float> interleaved(static_cast<size_t>(info.frames) * info.channels);
  const sf_count_t got = sf_readf_float(file.get(), interleaved.data(), info.frames);
  if (got < 0) throw failure(path, "read error");
  audio.left.resize(static_cast<size_t>(got));
  audio.right.resize(static_cast<size_t>(got));
  for (sf_count_t i = 0; i < got; ++i) {
    audio.left[i] = interleaved[i * info.channels];
    audio.right[i] = interleaved[i * info.channels + info.channels - 1];
  }
  return audio;
}

void checkWritableOutput(const std::string& path, const std::string& input) {
  const fs::path out(path);
  const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
  if (!fs::is_directory(folder)) throw failure(path, "its folder '" + folder.string() + "' does not exist");
  if (fs::is_directory(out)) throw failure(path, "is a folder");
  std::error_code ec;
  if (!input.empty() && (fs::weakly_canonical(out, ec) == fs::weakly_canonical(input, ec) ||
                         (fs::exists(out) && fs::equivalent(out, input, ec))))
    throw failure(path, "is the input file; write the result to another file");
}

std::string writeAudio(const std::string& path, const StereoAudio& audio, int fallbackFormat) {
  int major = formatFromExtension(path);
  if (!major) major = fallbackFormat ? fallbackFormat : SF_FORMAT_WAV;
  std::string note;
  SF_INFO info{};
  info.channels = 2;
  info.samplerate = audio.sampleRate;
  info.format = sampleFormatFor(major, info.channels, info.samplerate, note);
  if (!info.format) throw failure(path, "cannot write this kind of audio file");

  const fs::path out(path);
  const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
  std::string temporary = (folder / ("." + out.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temporary.data());
  if (fd < 0) throw failure(path, "cannot create a file in '" + folder.string() + "'");
  const mode_t mask = umask(0);  // mkstemp makes the file private; give it the usual permissions
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);

  {
    SoundFile file(sf_open(temporary.c_str(), SFM_WRITE, &info));
    if (!file) {
      std::remove(temporary.c_str());
      throw failure(path, std::string("cannot write (") + sf_strerror(nullptr) + ")");
    }
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::vector<float> interleaved(audio.frames() * 2);
    for (size_t i = 0; i < audio.frames(); ++i) {
      interleaved[2 * i] = audio.left[i];
      interleaved[2 * i + 1] = audio.right[i];
    }
    const sf_count_t frames = static_cast<sf_count_t>(audio.frames());
    if (sf_writef_float(file.get(), interleaved.data(), frames) != frames) {
      const std::string reason = sf_strerror(file.get());
      file.reset();
      std::remove(temporary.c_str());
      throw failure(path, "write failed (" + reason + ")");
    }
  }
  std::error_code ec;
  fs::rename(temporary, out, ec);
  if (ec) {
    std::remove(temporary.c_str());
    throw failure(path, "cannot move the finished file into place (" + ec.message() + ")");
  }
  return note;
}
