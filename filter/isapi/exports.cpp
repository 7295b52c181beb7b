// The five ISAPI entry points of OrvFilter.dll and its DllMain. Each entry binds IIS's
// records to the host interface and hands over to the engine; nothing may escape these
// functions, so every one of them catches everything and falls back to letting the request
// pass.
#include <windows.h>
// windows.h first: the ISAPI headers rely on its types.
#include <httpext.h>
#include <httpfilt.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "filter/engine.h"
#include "filter/isapi/isapi_extension_host.h"
#include "filter/isapi/isapi_filter_host.h"
#include "filter/isapi/module_engine.h"
#include "filter/isapi/own_write_guard.h"
#include "filter/isapi/resource_ids.h"

namespace {

// Copies `text` into a fixed ISAPI field of `capacity` bytes, cut to leave room for the NUL.
void CopyDescription(std::string_view text, char* field, std::size_t capacity) {
  const std::size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

// The extension's description lives in the string table so that it can be localised with
// the other resources; the engine's own text is the fallback.
std::string ExtensionDescriptionResource() {
  // LoadStringA cuts to the buffer and terminates; 255 bytes of text at most.
  char text[HSE_MAX_EXT_DLL_NAME_LEN] = {};
  const int length =
      LoadStringA(orv::isapi::ThisModule(), IDS_EXTENSION_DESCRIPTION, text, sizeof text);
  if (length <= 0) return {};
  return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace

extern "C" {

BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* version) {
  if (!version) return FALSE;
  try {
    orv::filter::FilterVersion filled;
    bool result = true;
    if (orv::filter::FilterEngine* engine = orv::isapi::Engine()) {
      result = engine->GetFilterVersion(filled);
    } else {
      // No engine: still register for the notifications, which will all pass.
      using namespace orv::filter;
      filled.filterVersion = 0x40000;
      filled.description = "OrvFilter Ver2.1";
      filled.flags =
          kNotifyOrderLow | kNotifyPreprocHeaders | kNotifyUrlMap | kNotifySendRawData | kNotifyLog;
    }
    version->dwFilterVersion = filled.filterVersion;
    CopyDescription(filled.description, version->lpszFilterDesc, SF_MAX_FILTER_DESC_LEN);
    version->dwFlags = filled.flags;
    return result ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

DWORD WINAPI HttpFilterProc(HTTP_FILTER_CONTEXT* context, DWORD notificationType,
                            VOID* notification) {
  try {
    orv::filter::FilterEngine* engine = orv::isapi::Engine();
    if (!engine || !context) return SF_STATUS_REQ_NEXT_NOTIFICATION;
    // What our own block page causes while it is being written is not screened again.
    if (orv::isapi::OwnWriteGuard::Inside(context)) return SF_STATUS_REQ_NEXT_NOTIFICATION;
    orv::isapi::IsapiFilterHost host(context, notificationType, notification);
    return engine->HttpFilterProc(host, notificationType);
  } catch (...) {
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
}

BOOL WINAPI GetExtensionVersion(HSE_VERSION_INFO* version) {
  if (!version) return FALSE;
  try {
    orv::filter::ExtensionVersion filled;
    bool result = true;
    if (orv::filter::FilterEngine* engine = orv::isapi::Engine()) {
      result = engine->GetExtensionVersion(filled);
    } else {
      filled.extensionVersion = HSE_VERSION;
    }
    std::string description = ExtensionDescriptionResource();
    if (description.empty()) description = filled.description;
    version->dwExtensionVersion = filled.extensionVersion ? filled.extensionVersion : HSE_VERSION;
    CopyDescription(description, version->lpszExtensionDesc, HSE_MAX_EXT_DLL_NAME_LEN);
    return result ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

DWORD WINAPI HttpExtensionProc(EXTENSION_CONTROL_BLOCK* ecb) {
  if (!ecb) return HSE_STATUS_ERROR;
  orv::isapi::IsapiExtensionHost host(ecb);
  try {
    if (orv::filter::FilterEngine* engine = orv::isapi::Engine()) {
      return engine->HttpExtensionProc(host);
    }
  } catch (...) {
    // Fall through: the request is run as if the filter were off.
  }
  try {
    return orv::isapi::HandOn(host);
  } catch (...) {
    return HSE_STATUS_ERROR;
  }
}

BOOL WINAPI TerminateExtension(DWORD /*flags*/) {
  // IIS is shutting the extension down, and the worker process may end without unloading
  // us: what is pending in the event log is written now. The engine itself stays until
  // FreeLibrary, since the filter role may still be called after the extension role ends.
  try {
    if (orv::filter::FilterEngine* engine = orv::isapi::Engine()) {
      return engine->TerminateExtension() ? TRUE : FALSE;
    }
  } catch (...) {
  }
  return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // Only remember who we are: anything heavier waits for the first entry call.
      orv::isapi::RememberModule(instance);
      break;
    case DLL_PROCESS_DETACH:
      // reserved == NULL: FreeLibrary, our threads' work is done and the engine can be
      // torn down in order. Otherwise the process is ending and other threads were stopped
      // wherever they were, possibly holding the engine's locks: leave everything alone.
      if (reserved == nullptr) orv::isapi::DestroyEngine();
      break;
    default:
      break;
  }
  return TRUE;
}

}  // extern "C"
