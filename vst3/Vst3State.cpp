// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst3State.h"

#include <algorithm>
#include <climits>

#include "SavedValues.h"

namespace vst3state {

namespace {

constexpr saved::Format kFormat{{'T', 'B', 'D', '3'}, kVersion};

int32_t chunk(int64_t count) { return static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX)); }

int64_t toStream(void* to, const void* bytes, int64_t count) {
  int32_t wrote = 0;
  auto* stream = static_cast<vst3::IBStream*>(to);
  if (stream->write(const_cast<void*>(bytes), chunk(count), &wrote) != vst3::kResultOk) return -1;
  return wrote;
}

int64_t fromStream(void* from, void* bytes, int64_t count) {
  int32_t got = 0;
  if (static_cast<vst3::IBStream*>(from)->read(bytes, chunk(count), &got) != vst3::kResultOk) return -1;
  return got;
}

}  // namespace

bool write(vst3::IBStream* stream, const Values& values) {
  return saved::write(kFormat, values.data(), vst3params::kCount, toStream, stream);
}

bool read(vst3::IBStream* stream, Values& values) {
  Values defaults, loaded;
  for (int32_t i = 0; i < vst3params::kCount; ++i)
    defaults[static_cast<size_t>(i)] = vst3params::defaultValue(static_cast<vst3::ParamID>(i));
  if (!saved::read(kFormat, loaded.data(), vst3params::kCount, defaults.data(), fromStream, stream)) return false;
  for (double& v : loaded) v = std::clamp(v, 0.0, 1.0);
  values = loaded;
  return true;
}

}  // namespace vst3state
