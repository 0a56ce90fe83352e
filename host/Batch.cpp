#include "Batch.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "ParameterSettings.h"
#include "PluginHost.h"

namespace fs = std::filesystem;

namespace {

/// One file of the batch, through its own instance of the plug-in.
RenderResult renderOne(const BatchRequest& request, const std::string& input, const std::string& output,
                       const Progress& progress) {
  const Container& container =
      request.format.empty() ? containerForPath(input) : containerNamed(request.format);
  LoadedPlugin plugin(request.pluginPath);
  if (request.program != kNoProgram) plugin.selectProgram(request.program);
  std::vector<ParameterSetting> resolved;
  for (const std::string& s : request.settings) resolved.push_back(resolveSetting(plugin, s));
  for (const ParameterSetting& s : resolved) plugin.setParameter(s.index, s.value);
  SoundReader source(input);
  return renderThrough(plugin, source, output, container, request.options, progress);
}

}  // namespace

int renderBatch(const BatchRequest& request) {
  if (!fs::is_directory(request.folder))
    throw std::runtime_error("'" + request.folder + "': no such folder");
  const size_t count = request.inputs.size();
  std::vector<std::string> outputs(count), errors(count);
  for (size_t i = 0; i < count; ++i) {
    const fs::path in(request.inputs[i]);
    fs::path name = in.filename();
    if (!request.format.empty()) name.replace_extension(containerNamed(request.format).name);
    outputs[i] = (fs::path(request.folder) / name).string();
  }

  // One line for the batch: the share of its files done.
  std::atomic<size_t> next{0}, done{0};
  std::mutex lineMutex;
  ProgressLine line(!request.quiet, "rendering " + std::to_string(count) + " files");
  const auto worker = [&] {
    for (size_t i = next++; i < count; i = next++) {
      const Progress progress = [&](int64_t, int64_t) {
        std::lock_guard<std::mutex> guard(lineMutex);
        line.update(static_cast<int64_t>(done), static_cast<int64_t>(count));
      };
      try {
        checkOutputPlace(outputs[i], request.inputs[i]);
        const RenderResult r = renderOne(request, request.inputs[i], outputs[i], progress);
        if (r.nonFinite > 0)
          errors[i] = std::to_string(r.nonFinite) + " output samples are not finite (NaN or infinite)";
      } catch (const std::exception& e) {
        errors[i] = e.what();
      }
      ++done;
      std::lock_guard<std::mutex> guard(lineMutex);
      line.update(static_cast<int64_t>(done), static_cast<int64_t>(count));
    }
  };
  std::vector<std::thread> threads;
  const int jobs = std::max(1, std::min<int>(request.jobs, static_cast<int>(count)));
  for (int j = 1; j < jobs; ++j) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();

  int failed = 0;
  for (size_t i = 0; i < count; ++i) {
    if (errors[i].empty()) continue;
    ++failed;
    std::fprintf(stderr, "tribandist: error: %s: %s\n", request.inputs[i].c_str(), errors[i].c_str());
  }
  std::printf("rendered %zu of %zu files into %s%s\n", count - failed, count, request.folder.c_str(),
              failed ? (", " + std::to_string(failed) + " failed").c_str() : "");
  return failed;
}
