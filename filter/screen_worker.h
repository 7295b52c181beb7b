// The screening handlers: one per notification the filter takes part in, and the body
// screen of the extension role. Each call works on one settings snapshot that the caller
// took for the whole notification; the worker itself only keeps the charset cache.
#pragma once

#include <cstdint>
#include <memory>

#include "filter/charset_cache.h"
#include "filter/host.h"
#include "store/clock.h"
#include "store/event_log.h"
#include "store/filter_settings.h"

namespace orv::filter {

class ScreenWorker {
 public:
  ScreenWorker(store::EventLog& log, std::shared_ptr<const store::Clock> clock);

  // Request headers read: leaves screened requests offering no content coding but "identity"
  // and asking for the whole response (no range fields), and keeps the event log's flush
  // clock going.
  std::uint32_t ScreenHeaders(const store::FilterSettings& settings, FilterHost& host);
  // URL mapped: the URL and address black lists.
  std::uint32_t ScreenUrl(const store::FilterSettings& settings, FilterHost& host);
  // A response chunk about to be sent: lists, then free, record, deny and replace keywords.
  std::uint32_t ScreenResponse(const store::FilterSettings& settings, FilterHost& host);
  // Extension role: the lists, and deny keywords in a POST, PUT or PATCH body; otherwise the
  // request is handed back to the server unchanged.
  std::uint32_t ScreenBody(const store::FilterSettings& settings, ExtensionHost& host);

  // Hands the request back to the server to run its own URL: PENDING, or ERROR when the
  // server refused.
  static std::uint32_t HandOn(ExtensionHost& host);

  CharsetCache& Charsets() { return charsets_; }

 private:
  store::EventLog& log_;
  std::shared_ptr<const store::Clock> clock_;
  CharsetCache charsets_;
};

// Frees the working memory of the screens (search texts, scan arrays) that no screen uses
// now. An engine calls it as it is torn down.
void ReleaseIdleScreenScratch();

}  // namespace orv::filter
