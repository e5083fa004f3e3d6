#include "playback/fluid_api.h"

#include <dlfcn.h>

namespace vellumix::playback {
namespace {

struct Loaded {
  FluidApi api;
  std::string error;
  bool ok = false;
};

Loaded Load() {
  Loaded loaded;
  void* library = nullptr;
  for (const char* name : {"libfluidsynth.so.3", "libfluidsynth.so"})
    if ((library = dlopen(name, RTLD_NOW | RTLD_LOCAL)) != nullptr) break;
  if (library == nullptr) {
    loaded.error = "The FluidSynth library (libfluidsynth3) is not installed";
    return loaded;
  }
#define VELLUMIX_FLUID_LOOKUP(name)                                                     \
  loaded.api.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));         \
  if (loaded.api.name == nullptr) {                                                     \
    loaded.error = "The FluidSynth library is too old: it lacks " + std::string(#name); \
    return loaded;                                                                      \
  }
  VELLUMIX_FLUID_FUNCTIONS(VELLUMIX_FLUID_LOOKUP)
#undef VELLUMIX_FLUID_LOOKUP
  // The library stays loaded for the program's life: synths and drivers may outlive any user.
  loaded.ok = true;
  return loaded;
}

}  // namespace

const FluidApi* LoadFluidSynth(std::string& error) {
  static const Loaded loaded = Load();
  if (!loaded.ok) {
    error = loaded.error;
    return nullptr;
  }
  return &loaded.api;
}

}  // namespace vellumix::playback
