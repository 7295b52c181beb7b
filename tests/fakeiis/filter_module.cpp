#include "filter_module.h"

namespace fakeiis {
namespace {

template <typename Proc>
void Resolve(HMODULE module, const char* name, Proc& proc, std::string& error) {
  proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (!proc) error += std::string(error.empty() ? "" : ", ") + "missing export " + name;
}

}  // namespace

FilterModule::FilterModule(const std::string& path) {
  module_ = LoadLibraryA(path.c_str());
  if (!module_) {
    error_ = "LoadLibrary(" + path + ") failed, error " + std::to_string(GetLastError());
    return;
  }
  Resolve(module_, "GetFilterVersion", getFilterVersion, error_);
  Resolve(module_, "HttpFilterProc", httpFilterProc, error_);
  Resolve(module_, "GetExtensionVersion", getExtensionVersion, error_);
  Resolve(module_, "HttpExtensionProc", httpExtensionProc, error_);
  Resolve(module_, "TerminateExtension", terminateExtension, error_);
}

FilterModule::~FilterModule() {
  Unload();
}

bool FilterModule::Unload() {
  if (!module_) return true;
  const bool freed = FreeLibrary(module_) != FALSE;
  module_ = nullptr;
  getFilterVersion = nullptr;
  httpFilterProc = nullptr;
  getExtensionVersion = nullptr;
  httpExtensionProc = nullptr;
  terminateExtension = nullptr;
  return freed;
}

}  // namespace fakeiis
