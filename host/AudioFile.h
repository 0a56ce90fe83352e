#pragma once

#include <string>
#include <vector>

/// Audio held as two channels of float samples; mono files are fed to both.
struct StereoAudio {
  std::vector<float> left;
  std::vector<float> right;
  int sampleRate = 44100;
  int sourceChannels = 2;
  int sourceFormat = 0;  // libsndfile's major format of the file read, 0 if none
  size_t frames() const { return left.size(); }
};

/// Reads any file libsndfile reads, with one or two channels. Throws
/// std::runtime_error naming the file and what is wrong.
StereoAudio readAudio(const std::string& path);

/// Writes a finished file into place: the samples go to a temporary file in
/// the same folder, which replaces `path` only once it is complete. The
/// container follows the file name's extension, else `fallbackFormat`, else
/// WAV; samples are 32-bit float wherever the container holds them.
/// Returns a note when the container cannot hold float samples.
std::string writeAudio(const std::string& path, const StereoAudio& audio, int fallbackFormat);

/// Throws unless `path` could be written: its folder exists and it is not `input`.
void checkWritableOutput(const std::string& path, const std::string& input);
