// What the proxy needs of the screening engine: the phases of a request and the operations its
// signals trigger. FilterEngine serves it in orvproxy; tests put a scripted stand-in in its
// place to drive every outcome the framing must survive.
#pragma once

#include <cstddef>
#include <string_view>

#include "filter/phases.h"
#include "filter/request_memo.h"

namespace orv::proxy {

class ScreeningEngine {
 public:
  virtual ~ScreeningEngine() = default;
  // The phases, in their order; `memo` is the request's own (RequestFacts::memo).
  virtual filter::RequestResult RequestPhase(const filter::RequestDescription& request,
                                             filter::RequestMemo& memo) = 0;
  virtual filter::BodyResult BodyPhase(const filter::RequestDescription& request,
                                       filter::RequestMemo& memo) = 0;
  virtual filter::ChunkResult ChunkPhase(const filter::RequestDescription& request,
                                         std::string_view chunk, filter::RequestMemo& memo) = 0;
  virtual void LoggedPhase(filter::RequestMemo& memo) = 0;

  virtual filter::LoadOutcome Reload() = 0;
  virtual void FlushLog() = 0;
  virtual bool FilteringOn() const = 0;
  // The last load's outcome and what the phases swallowed. A stand-in has nothing to report.
  virtual filter::EngineHealth Health() const {
    filter::EngineHealth health;
    health.lastLoad.ok = true;
    return health;
  }
  // How many bytes at the end of a screened piece of a response a keyword could begin in
  // without ending there: the proxy keeps them back and screens them again in front of the
  // next piece. An engine that cannot tell keeps nothing back.
  virtual std::size_t HeldTail(std::string_view window) {
    (void)window;
    return 0;
  }
};

}  // namespace orv::proxy
