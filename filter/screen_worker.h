// The screening handlers behind the phases: the request's header and list steps, the body
// screen and the response screen. Each call works on one settings snapshot that the caller
// took for the whole phase; the worker itself only keeps the charset cache.
#pragma once

#include <cstdint>
#include <memory>

#include "filter/charset_cache.h"
#include "filter/phases.h"
#include "store/clock.h"
#include "store/event_log.h"
#include "store/filter_settings.h"

namespace orv::filter {

class ScreenWorker {
 public:
  ScreenWorker(store::EventLog& log, std::shared_ptr<const store::Clock> clock);

  // Header step: leaves screened requests offering no content coding but "identity" and
  // asking for the whole response (no range fields), and keeps the event log's flush clock
  // going.
  RequestResult ScreenHeaders(const store::FilterSettings& settings,
                              const RequestDescription& request);
  // List step: the safe code, the URL and address black lists. A POST's lists are left to
  // the body phase.
  RequestResult ScreenUrl(const store::FilterSettings& settings, const RequestDescription& request,
                          RequestMemo* memo);
  // A piece of the response: lists, then free, record, deny and replace keywords.
  ChunkResult ScreenResponse(const store::FilterSettings& settings,
                             const RequestDescription& request, std::string_view chunk,
                             RequestMemo* memo);
  // The lists, and deny keywords in a POST, PUT or PATCH body.
  BodyResult ScreenBody(const store::FilterSettings& settings, const RequestDescription& request);

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
