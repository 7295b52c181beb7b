// One response, from its source to the client: read, decoded when the upstream encoded it,
// screened by the engine chunk by chunk with no seam left unscreened, encoded again for a
// client that offers it, and framed. The connection hands in how it writes; the relay owns
// every decision about the bytes in between.
#pragma once

// clang-format off
#include <utility>  // first: Boost 1.74's awaitable.hpp uses std::exchange without including it
// clang-format on
#include <functional>
#include <ostream>
#include <string_view>

#include "proxy/loop_stream.h"
#include "proxy/metrics.h"
#include "proxy/options.h"
#include "proxy/request_facts.h"
#include "proxy/response_source.h"
#include "proxy/screening_engine.h"

namespace orv::proxy {

// Writes one or two buffers to the client, in order: false when the client has gone.
using ClientWrite = std::function<LoopAwaitable<bool>(std::string_view, std::string_view)>;

struct RelayContext {
  const ProxyOptions& options;
  ScreeningEngine& engine;
  ResponseSource& source;
  ClientWrite write;
  std::ostream& log;  // one line for each response refused as it came from the upstream
  ProxyMetrics* metrics = nullptr;  // counts the source's failures, when given
};

struct ClientShape {
  bool keepAlive = true;
  bool http10 = false;
  bool headOnly = false;
};

// Fetches the response to `request` and writes what the engine lets through. True when the
// connection may serve another request.
LoopAwaitable<bool> RelayResponse(RelayContext& context, ForwardRequest& request,
                                  RequestFacts& facts, ClientShape client);

}  // namespace orv::proxy
