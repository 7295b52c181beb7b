// OrvFilter.dll loaded as IIS loads it: by path, its five entry points looked up by their
// undecorated names.
#pragma once

#include <windows.h>
// windows.h first: the ISAPI headers rely on its types.
#include <httpext.h>
#include <httpfilt.h>

#include <string>

namespace fakeiis {

using GetFilterVersionProc = BOOL(WINAPI*)(HTTP_FILTER_VERSION*);
using HttpFilterProcProc = DWORD(WINAPI*)(HTTP_FILTER_CONTEXT*, DWORD, void*);
using GetExtensionVersionProc = BOOL(WINAPI*)(HSE_VERSION_INFO*);
using HttpExtensionProcProc = DWORD(WINAPI*)(EXTENSION_CONTROL_BLOCK*);
using TerminateExtensionProc = BOOL(WINAPI*)(DWORD);

class FilterModule {
 public:
  // Loads `path`; on failure Loaded() is false and Error() says why.
  explicit FilterModule(const std::string& path);
  ~FilterModule();
  FilterModule(const FilterModule&) = delete;
  FilterModule& operator=(const FilterModule&) = delete;

  bool Loaded() const { return module_ != nullptr && error_.empty(); }
  const std::string& Error() const { return error_; }

  // FreeLibrary, as IIS does when the worker process recycles. False if it failed.
  bool Unload();

  GetFilterVersionProc getFilterVersion = nullptr;
  HttpFilterProcProc httpFilterProc = nullptr;
  GetExtensionVersionProc getExtensionVersion = nullptr;
  HttpExtensionProcProc httpExtensionProc = nullptr;
  TerminateExtensionProc terminateExtension = nullptr;

 private:
  HMODULE module_ = nullptr;
  std::string error_;
};

}  // namespace fakeiis
