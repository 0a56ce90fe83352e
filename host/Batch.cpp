// SPDX-License-Identifier: GPL-3.0-or-later
#include "Batch.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
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
  const Container& container = request.format.empty() ? containerForPath(input) : containerNamed(request.format);
  const std::unique_ptr<LoadedPlugin> loaded = loadPlugin(request.pluginPath);
  LoadedPlugin& plugin = *loaded;
  if (request.program != kNoProgram) plugin.selectProgram(request.program);
  std::vector<ParameterSetting> resolved;
  for (const std::string& s : request.settings) resolved.push_back(resolveSetting(plugin, s));
  for (const ParameterSetting& s : resolved) plugin.setParameter(s.index, s.value);
  SoundReader source(input);
  RenderResult result = renderThrough(plugin, source, output, container, request.options, progress);
  const std::string rate = rateNote(plugin, source.rate(), request.options);
  if (!rate.empty()) result.notes.insert(result.notes.begin(), rate);
  return result;
}

/// Every input's output in the folder, named as the input (with the
/// container's extension when --format is given). Throws, before any work,
/// when an output would be an input of the batch, or the output of another.
std::vector<std::string> outputsOf(const BatchRequest& request) {
  std::vector<std::string> outputs;
  for (const std::string& input : request.inputs) {
    fs::path name = fs::path(input).filename();
    if (!request.format.empty()) name.replace_extension(containerNamed(request.format).name);
    outputs.push_back((fs::path(request.folder) / name).string());
  }
  for (size_t i = 0; i < outputs.size(); ++i) {
    for (const std::string& input : request.inputs)
      if (sameFile(outputs[i], input))
        throw std::runtime_error("'" + outputs[i] + "' (the output of '" + request.inputs[i] + "') is the input '" +
                                 input + "'; write the results into another folder");
    for (size_t j = 0; j < i; ++j)
      if (sameFile(outputs[i], outputs[j]))
        throw std::runtime_error("'" + request.inputs[j] + "' and '" + request.inputs[i] +
                                 "' would both be written to '" + outputs[i] + "'; render them into different folders");
  }
  return outputs;
}

}  // namespace

int renderBatch(const BatchRequest& request) {
  if (!fs::is_directory(request.folder)) throw std::runtime_error("'" + request.folder + "': no such folder");
  const size_t count = request.inputs.size();
  const std::vector<std::string> outputs = outputsOf(request);
  std::vector<std::string> errors(count);
  std::vector<std::vector<std::string>> notes(count);

  // One line for the batch: the share of its files done.
  std::atomic<size_t> next{0}, done{0};
  std::mutex lineMutex;
  auto line = std::make_unique<ProgressLine>(!request.quiet, "rendering " + std::to_string(count) + " files");
  const auto worker = [&] {
    for (size_t i = next++; i < count; i = next++) {
      const Progress progress = [&](int64_t, int64_t) {
        std::lock_guard<std::mutex> guard(lineMutex);
        line->update(static_cast<int64_t>(done), static_cast<int64_t>(count));
      };
      try {
        checkOutputPlace(outputs[i], request.inputs[i]);
        const RenderResult r = renderOne(request, request.inputs[i], outputs[i], progress);
        notes[i] = r.notes;
        if (r.nonFinite > 0)
          errors[i] = std::to_string(r.nonFinite) + " output samples are not finite (NaN or infinite)" +
                      (r.discarded ? "; nothing was written" : "");
      } catch (const std::exception& e) {
        errors[i] = e.what();
      }
      ++done;
      std::lock_guard<std::mutex> guard(lineMutex);
      line->update(static_cast<int64_t>(done), static_cast<int64_t>(count));
    }
  };
  std::vector<std::thread> threads;
  const int jobs = std::max(1, std::min<int>(request.jobs, static_cast<int>(count)));
  for (int j = 1; j < jobs; ++j) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();
  line.reset();  // the progress line ends before the summary

  int failed = 0;
  for (size_t i = 0; i < count; ++i) {
    for (const std::string& note : notes[i])
      std::fprintf(stderr, "warning: '%s': %s\n", request.inputs[i].c_str(), note.c_str());
    if (errors[i].empty()) continue;
    ++failed;
    std::fprintf(stderr, "tribandist: error: %s: %s\n", request.inputs[i].c_str(), errors[i].c_str());
  }
  if (!request.quiet || failed)
    std::printf("rendered %zu of %zu files into %s%s\n", count - failed, count, request.folder.c_str(),
                failed ? (", " + std::to_string(failed) + " failed").c_str() : "");
  return failed;
}
