// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst3State.h"

#include <cmath>
#include <cstring>

namespace vst3state {

namespace {

constexpr char kMagic[4] = {'T', 'B', 'D', '3'};
constexpr int32_t kHeaderBytes = 12;  // magic, version, count
// More values than any version will have: a stream claiming more is not ours.
constexpr uint32_t kMostValues = 4096;

void putU32(unsigned char* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}
uint32_t getU32(const unsigned char* at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(at[i]) << (8 * i);
  return v;
}
void putF64(unsigned char* at, double d) {
  uint64_t v = 0;
  std::memcpy(&v, &d, sizeof v);
  for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}
double getF64(const unsigned char* at) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(at[i]) << (8 * i);
  double d = 0.0;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

// A stream may hand out fewer bytes per call than asked: read until the count
// is met or it gives nothing more.
bool readFully(vst3::IBStream* stream, unsigned char* to, int32_t bytes) {
  int32_t done = 0;
  while (done < bytes) {
    int32_t got = 0;
    if (stream->read(to + done, bytes - done, &got) != vst3::kResultOk || got <= 0 || got > bytes - done) return false;
    done += got;
  }
  return true;
}

}  // namespace

bool write(vst3::IBStream* stream, const Values& values) {
  constexpr int32_t kBytes = kHeaderBytes + 8 * vst3params::kCount;
  unsigned char bytes[kBytes];
  std::memcpy(bytes, kMagic, sizeof kMagic);
  putU32(bytes + 4, kVersion);
  putU32(bytes + 8, vst3params::kCount);
  for (int32_t i = 0; i < vst3params::kCount; ++i) putF64(bytes + kHeaderBytes + 8 * i, values.byId[i]);
  int32_t done = 0;
  while (done < kBytes) {
    int32_t wrote = 0;
    if (stream->write(bytes + done, kBytes - done, &wrote) != vst3::kResultOk || wrote <= 0 || wrote > kBytes - done)
      return false;
    done += wrote;
  }
  return true;
}

bool read(vst3::IBStream* stream, Values& values) {
  unsigned char header[kHeaderBytes];
  if (!readFully(stream, header, kHeaderBytes) || std::memcmp(header, kMagic, sizeof kMagic) != 0) return false;
  const uint32_t version = getU32(header + 4);
  const uint32_t count = getU32(header + 8);
  if (version == 0 || count > kMostValues) return false;
  Values loaded;
  for (int32_t i = 0; i < vst3params::kCount; ++i) loaded.byId[i] = vst3params::defaultValue(static_cast<uint32_t>(i));
  unsigned char value[8];
  for (uint32_t i = 0; i < count; ++i) {
    if (!readFully(stream, value, sizeof value)) return false;
    const double v = getF64(value);
    if (!std::isfinite(v)) return false;
    if (i < static_cast<uint32_t>(vst3params::kCount)) loaded.byId[i] = v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v;
  }
  values = loaded;
  return true;
}

}  // namespace vst3state
