#include "filter/isapi/module_engine.h"

#include <atomic>
#include <mutex>

namespace orv::isapi {
namespace {

std::atomic<HMODULE> g_module{nullptr};
std::once_flag g_engineOnce;
// Owned here; a plain pointer so that the C runtime's exit-time destructors never run the
// engine's teardown behind DllMain's back.
filter::FilterEngine* g_engine = nullptr;

}  // namespace

void RememberModule(HMODULE module) {
  g_module.store(module);
}

HMODULE ThisModule() {
  return g_module.load();
}

std::string ModuleDirectory(HMODULE module) {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  // Zero is failure; MAX_PATH means the name was cut, and a cut path names the wrong folder.
  if (length == 0 || length >= MAX_PATH) return {};
  std::string directory(path, length);
  const std::size_t slash = directory.find_last_of('\\');
  if (slash == std::string::npos) return {};
  directory.resize(slash + 1);
  return directory;
}

filter::FilterEngine* Engine() {
  std::call_once(g_engineOnce, [] {
    try {
      g_engine = new filter::FilterEngine(ModuleDirectory(ThisModule()));
    } catch (...) {
      // Fail open: without an engine every request passes unfiltered, which beats taking
      // the web server down with us. Not retried: a failure here is not transient.
      g_engine = nullptr;
    }
  });
  return g_engine;
}

void DestroyEngine() {
  filter::FilterEngine* engine = g_engine;
  g_engine = nullptr;
  delete engine;
}

}  // namespace orv::isapi
