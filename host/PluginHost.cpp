#include "PluginHost.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace {

constexpr intptr_t kHostVersion = 2400;
// Generous room for texts: a well-behaved effect writes far less.
constexpr size_t kTextBufferSize = 512;

using EntryPoint = AEffect* (*)(audioMasterCallback);

std::runtime_error failure(const std::string& path, const std::string& what) {
  return std::runtime_error("plug-in '" + path + "': " + what);
}

}  // namespace

intptr_t LoadedPlugin::hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == audioMasterVersion ? kHostVersion : 0;
}

LoadedPlugin::LoadedPlugin(const std::string& path) : libraryPath(path) {
  if (!std::filesystem::exists(path)) throw failure(path, "no such file");
  library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* reason = dlerror();
    throw failure(path, std::string("not a loadable shared library (") + (reason ? reason : "unknown") + ")");
  }
  auto entry = reinterpret_cast<EntryPoint>(dlsym(library, "VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<EntryPoint>(dlsym(library, "main"));
  if (!entry) {
    dlclose(library);
    throw failure(path, "exports neither VSTPluginMain nor main");
  }
  effect = entry(hostCallback);
  if (!effect) {
    dlclose(library);
    throw failure(path, "its entry point returned no effect");
  }
  if (effect->magic != kEffectMagic) {
    // Not a record of this interface: nothing in it can be trusted, not even
    // its close entry, so the library stays loaded.
    effect = nullptr;
    library = nullptr;
    throw failure(path, "its entry point returned a record with the wrong magic number");
  }
  // Hosts open an effect right after creating it; some plug-ins set
  // themselves up only then.
  dispatch(effOpen);
}

LoadedPlugin::~LoadedPlugin() {
  if (effect) dispatch(effClose);
  if (library) dlclose(library);
}

intptr_t LoadedPlugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string LoadedPlugin::text(int32_t opcode, int32_t index) {
  char buffer[kTextBufferSize] = {};
  dispatch(opcode, index, 0, buffer);
  buffer[kTextBufferSize - 1] = '\0';
  return buffer;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
