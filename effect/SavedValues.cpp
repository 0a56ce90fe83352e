// SPDX-License-Identifier: GPL-3.0-or-later
#include "SavedValues.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace saved {

namespace {

constexpr int32_t kHeaderBytes = 12;  // magic, version, count
constexpr int32_t kValueBytes = 8;
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

// A source may give fewer bytes per call than asked: read until the count is
// met or it gives nothing more.
bool readFully(Source source, void* from, unsigned char* to, int64_t bytes) {
  int64_t done = 0;
  while (done < bytes) {
    const int64_t got = source(from, to + done, bytes - done);
    if (got <= 0 || got > bytes - done) return false;
    done += got;
  }
  return true;
}

}  // namespace

bool write(const Format& format, const double* values, int32_t count, Sink sink, void* to) {
  std::vector<unsigned char> bytes(static_cast<size_t>(kHeaderBytes + kValueBytes * count));
  std::memcpy(bytes.data(), format.magic, sizeof format.magic);
  putU32(bytes.data() + 4, format.version);
  putU32(bytes.data() + 8, static_cast<uint32_t>(count));
  for (int32_t i = 0; i < count; ++i) putF64(bytes.data() + kHeaderBytes + kValueBytes * i, values[i]);
  const int64_t total = static_cast<int64_t>(bytes.size());
  int64_t done = 0;
  while (done < total) {
    const int64_t took = sink(to, bytes.data() + done, total - done);
    if (took <= 0 || took > total - done) return false;
    done += took;
  }
  return true;
}

bool read(const Format& format, double* values, int32_t count, const double* defaults, Source source, void* from) {
  unsigned char header[kHeaderBytes];
  if (!readFully(source, from, header, kHeaderBytes) || std::memcmp(header, format.magic, sizeof format.magic) != 0)
    return false;
  const uint32_t version = getU32(header + 4);
  const uint32_t stored = getU32(header + 8);
  if (version == 0 || stored > kMostValues) return false;
  std::vector<double> loaded(defaults, defaults + count);
  unsigned char value[kValueBytes];
  for (uint32_t i = 0; i < stored; ++i) {
    if (!readFully(source, from, value, kValueBytes)) return false;
    const double v = getF64(value);
    if (!std::isfinite(v)) return false;
    if (i < static_cast<uint32_t>(count)) loaded[i] = v;
  }
  std::copy(loaded.begin(), loaded.end(), values);
  return true;
}

}  // namespace saved
