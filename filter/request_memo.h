// What the request-side checks learn about a request, and the memo a host keeps of it between
// the request's phases. Kept apart from the handlers so a host can hold a memo without taking
// in the engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "filter/charset_code.h"
#include "store/settings_pin.h"

namespace orv::filter {

// What the URL-mapping and response handlers know of a request once its lists let it go on.
struct ListedRequest {
  std::string url;      // request URL, lower-cased
  std::string address;  // client address
  std::string stop;     // stop script for the block pages
  std::string_view path() const;
};

// The engine's state for one request between its phases: owned by the host, one per request,
// passed to every phase of that request (a host that cannot keep one passes none, and every
// phase starts afresh). The host must not change the request's description between phases
// but for the header edits the engine asked for. A request that was blocked has no later
// phase and is never remembered.
struct RequestMemo {
  std::uint64_t settingsSerial = 0;  // FilterSettings::serial the list outcome holds for; 0: none
  bool safeCode = false;             // the lists were skipped for the safe code
  ListedRequest request;
  // The record the request's notifications read, taken again whenever a new one was published.
  store::SettingsPin settings;
  // The charset of the response being sent, decided by the chunk that starts with its status
  // line and used by every later chunk of it; nothing before that chunk.
  std::optional<CharsetCode> charset;
  // Set once a final (not 1xx) response head decided it: a later chunk whose body happens to
  // begin like a status line does not decide again.
  bool charsetFinal = false;
  // The response's head declared a text type: a NUL byte in its body is then no sign of binary
  // data (a page can carry one to be passed unscreened), and its chunks are screened anyway.
  bool textResponse = false;
};

}  // namespace orv::filter
