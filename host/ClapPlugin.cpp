// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClapPlugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace {

constexpr const char* kOurId = "org.example.tribanddistortion";
constexpr uint32_t kMostChannels = 256;
constexpr uint32_t kMostParameters = 100000;
// A plug-in asking for callbacks without end gets this many rounds after a block.
constexpr int kMostCallbackRounds = 10;

std::runtime_error failure(const std::string& path, const std::string& what) {
  return std::runtime_error("plug-in '" + path + "': " + what);
}

}  // namespace

bool ClapPlugin::isClap(const std::string& path) {
  void* library = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (!library) return false;
  const bool clap = dlsym(library, "clap_entry") != nullptr;
  dlclose(library);
  return clap;
}

ClapPlugin::ClapPlugin(const std::string& path) : LoadedPlugin(path) {
  if (!std::filesystem::exists(path)) throw failure(path, "no such file");
  library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* reason = dlerror();
    throw failure(path, std::string("not a loadable shared library (") + (reason ? reason : "unknown") + ")");
  }
  const auto fail = [&](const std::string& what) {
    if (plugin) plugin->destroy(plugin);
    if (descriptor || entry) entry->deinit();
    dlclose(library);
    return failure(path, what);
  };
  entry = static_cast<const clap_plugin_entry_t*>(dlsym(library, "clap_entry"));
  if (!entry || !entry->init || !entry->deinit || !entry->get_factory) {
    entry = nullptr;
    throw fail("its clap_entry is missing or incomplete");
  }
  if (const uint32_t major = entry->clap_version.major; major < 1) {
    entry = nullptr;  // never initialised: no deinit
    throw fail("it declares CLAP " + std::to_string(major) + ".x, before 1.0");
  }
  if (!entry->init(path.c_str())) {
    entry = nullptr;  // a failed init is not followed by deinit
    throw fail("its entry's init failed");
  }
  factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
  if (!factory || !factory->get_plugin_count || !factory->get_plugin_descriptor || !factory->create_plugin)
    throw fail("it has no plug-in factory");
  if (factory->get_plugin_count(factory) < 1) throw fail("its factory holds no plug-in");
  descriptor = factory->get_plugin_descriptor(factory, 0);
  if (!descriptor || !descriptor->id || !*descriptor->id || !descriptor->name)
    throw fail("its first plug-in has no descriptor with an id and a name");
  plugin = factory->create_plugin(factory, &host, descriptor->id);
  if (!plugin) throw fail("it creates no plug-in for '" + std::string(descriptor->id) + "'");
  if (!plugin->init || !plugin->destroy || !plugin->activate || !plugin->process || !plugin->get_extension)
    throw fail("its plug-in lacks functions every host calls");
  if (!plugin->init(plugin)) throw fail("its plug-in's init failed");

  ports = static_cast<const clap_plugin_audio_ports_t*>(plugin->get_extension(plugin, CLAP_EXT_AUDIO_PORTS));
  params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
  state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
  // One main port each way at most: this host drives no side chains.
  for (bool input : {true, false}) {
    const uint32_t count = ports && ports->count ? ports->count(plugin, input) : 0;
    if (count > 1)
      throw fail("it has " + std::to_string(count) + (input ? " input" : " output") +
                 " ports; this host drives one each way");
    clap_audio_port_info_t info{};
    if (count == 1 && (!ports->get || !ports->get(plugin, 0, input, &info)))
      throw fail("it describes no audio port it counts");
    if (info.channel_count > kMostChannels)
      throw fail("its audio port claims " + std::to_string(info.channel_count) + " channels");
    (input ? inputChannels : outputChannels) = count == 1 ? info.channel_count : 0;
  }
  const uint32_t count = params && params->count ? params->count(plugin) : 0;
  if (count > kMostParameters) throw fail("it claims " + std::to_string(count) + " parameters");
  for (uint32_t i = 0; i < count; ++i) {
    clap_param_info_t info{};
    if (!params->get_info || !params->get_info(plugin, i, &info))
      throw fail("it describes no parameter " + std::to_string(i));
    info.name[sizeof info.name - 1] = '\0';
    if (!std::isfinite(info.min_value) || !std::isfinite(info.max_value) || info.min_value > info.max_value)
      throw fail("parameter " + std::to_string(i) + " has no finite range");
    infos.push_back(info);
  }
}

ClapPlugin::~ClapPlugin() {
  stop();
  plugin->destroy(plugin);
  entry->deinit();
  dlclose(library);
}

bool ClapPlugin::isOurEffect() const { return std::strcmp(descriptor->id, kOurId) == 0; }

std::vector<std::pair<std::string, std::string>> ClapPlugin::details() const {
  std::string features;
  for (const char* const* f = descriptor->features; f && *f; ++f)
    features += (features.empty() ? "" : " ") + std::string(*f);
  const auto text = [](const char* t) { return std::string(t ? t : ""); };
  return {{"name", text(descriptor->name)},
          {"vendor", text(descriptor->vendor)},
          {"version", text(descriptor->version)},
          {"clap", std::to_string(entry->clap_version.major) + "." + std::to_string(entry->clap_version.minor) + "." +
                       std::to_string(entry->clap_version.revision)},
          {"features", features.empty() ? "none" : features},
          {"inputs", std::to_string(inputChannels)},
          {"outputs", std::to_string(outputChannels)},
          {"parameters", std::to_string(infos.size())},
          {"state", state ? "saved and loaded" : "none"}};
}

std::string ClapPlugin::parameterName(int32_t index) {
  return index >= 0 && index < parameterCount() ? infos[static_cast<size_t>(index)].name : "";
}

double ClapPlugin::plainOf(int32_t index, float normalised) const {
  const clap_param_info_t& info = infos[static_cast<size_t>(index)];
  const double v = std::clamp(static_cast<double>(normalised), 0.0, 1.0);
  const double span = info.max_value - info.min_value;
  if (!(info.flags & CLAP_PARAM_IS_STEPPED)) return info.min_value + v * span;
  const double steps = std::round(span);
  return info.min_value + std::min(steps, std::floor(v * (steps + 1.0)));
}

float ClapPlugin::parameter(int32_t index) {
  if (index < 0 || index >= parameterCount() || !params->get_value) return 0.0f;
  const clap_param_info_t& info = infos[static_cast<size_t>(index)];
  double plain = info.default_value;
  params->get_value(plugin, info.id, &plain);
  const double span = info.max_value - info.min_value;
  return span > 0.0 ? static_cast<float>((plain - info.min_value) / span) : 0.0f;
}

std::string ClapPlugin::parameterDisplay(int32_t index) {
  if (index < 0 || index >= parameterCount() || !params->get_value || !params->value_to_text) return "";
  const clap_param_info_t& info = infos[static_cast<size_t>(index)];
  double plain = info.default_value;
  params->get_value(plugin, info.id, &plain);
  char text[CLAP_NAME_SIZE] = "";
  if (!params->value_to_text(plugin, info.id, plain, text, sizeof text)) return "";
  text[sizeof text - 1] = '\0';
  return text;
}

void ClapPlugin::setParameter(int32_t index, float value) {
  if (index < 0 || index >= parameterCount()) return;
  const clap_param_info_t& info = infos[static_cast<size_t>(index)];
  pending.add(info.id, plainOf(index, value), 0, info.cookie);
  if (!active) flushPending();  // inactive: on the main thread now; else at the next block
}

void ClapPlugin::flushPending() {
  if (pending.empty() || !params->flush) return;
  params->flush(plugin, pending.list(), &discard);
  pending.clear();
}

void ClapPlugin::start(double rate, int32_t blockFrames) {
  activate(rate, blockFrames);
  try {
    startProcessing();
  } catch (...) {
    deactivate();
    throw;
  }
}

void ClapPlugin::stop() {
  stopProcessing();
  deactivate();
}

void ClapPlugin::activate(double rate, int32_t blockFrames) {
  activating = true;
  const bool done = plugin->activate(plugin, rate, 1, static_cast<uint32_t>(blockFrames));
  activating = false;
  if (!done) throw failure(path(), "its plug-in does not activate at " + std::to_string(rate) + " Hz");
  active = true;
  steadyTime = 0;
}

void ClapPlugin::startProcessing() {
  audioThread = std::this_thread::get_id();
  if (plugin->start_processing && !plugin->start_processing(plugin))
    throw failure(path(), "its plug-in does not start processing");
  processing = true;
}

void ClapPlugin::stopProcessing() {
  if (!processing) return;
  if (plugin->stop_processing) plugin->stop_processing(plugin);
  processing = false;
}

void ClapPlugin::deactivate() {
  if (!active) return;
  if (plugin->deactivate) plugin->deactivate(plugin);
  active = false;
  flushPending();
  serviceCallbacks();
}

void ClapPlugin::processReplacing(float** inputs, float** outputs, int32_t frames) {
  clap_audio_buffer_t in{inputs, nullptr, inputChannels, 0, 0};
  clap_audio_buffer_t out{outputs, nullptr, outputChannels, 0, 0};
  const clap_process_t process{steadyTime,
                               static_cast<uint32_t>(frames),
                               nullptr,
                               &in,
                               &out,
                               inputChannels > 0 ? 1u : 0u,
                               outputChannels > 0 ? 1u : 0u,
                               pending.list(),
                               &discard};
  const clap_process_status status = plugin->process(plugin, &process);
  pending.clear();
  steadyTime += frames;
  if (std::this_thread::get_id() == mainThread) serviceCallbacks();
  if (status == CLAP_PROCESS_ERROR) throw failure(path(), "its plug-in reported an error while processing");
}

const void* ClapPlugin::hostExtension(const clap_host_t* h, const char* id) {
  if (!id) return nullptr;
  const ClapPlugin& p = of(h);
  if (!std::strcmp(id, CLAP_EXT_PARAMS)) return &p.hostParams;
  if (!std::strcmp(id, CLAP_EXT_STATE)) return &p.hostState;
  if (!std::strcmp(id, CLAP_EXT_LATENCY)) return &p.hostLatency;
  if (!std::strcmp(id, CLAP_EXT_THREAD_CHECK)) return &p.hostThreadCheck;
  return nullptr;
}

void ClapPlugin::wrongThread(const char* call) {
  const char* none = nullptr;
  firstWrongThread.compare_exchange_strong(none, call);
  ++wrongThreadCount;
}

void ClapPlugin::onMainThreadOnly(const char* call) {
  if (std::this_thread::get_id() != mainThread) wrongThread(call);
}

void ClapPlugin::rescan(const clap_host_t* h, uint32_t flags) {
  ClapPlugin& p = of(h);
  p.onMainThreadOnly("params.rescan");
  if (flags & CLAP_PARAM_RESCAN_VALUES) ++p.valueRescanCount;
}

void ClapPlugin::requestFlush(const clap_host_t* h) {
  ClapPlugin& p = of(h);
  if (p.processing && std::this_thread::get_id() == p.audioThread.load()) p.wrongThread("params.request_flush");
}

void ClapPlugin::latencyChanged(const clap_host_t* h) {
  ClapPlugin& p = of(h);
  p.onMainThreadOnly("latency.changed");
  if (!p.activating) p.wrongThread("latency.changed outside activate");
}

bool ClapPlugin::isAudioThread(const clap_host_t* h) {
  const ClapPlugin& p = of(h);
  return p.processing && std::this_thread::get_id() == p.audioThread.load();
}

void ClapPlugin::requestCallback(const clap_host_t* h) {
  static_cast<ClapPlugin*>(h->host_data)->callbackRequested.store(true, std::memory_order_relaxed);
}

void ClapPlugin::serviceCallbacks() {
  for (int round = 0; round < kMostCallbackRounds && callbackRequested.exchange(false); ++round)
    if (plugin->on_main_thread) plugin->on_main_thread(plugin);
}
