// The engine's notifications for one request, in the order IIS raises them: request headers,
// URL mapping, the wildcard extension with the body, each raw response chunk, and the log.
#pragma once

#include <string>
#include <string_view>

#include "proxy/request_facts.h"
#include "proxy/screening_engine.h"

namespace orv::proxy {

struct RequestVerdict {
  bool blocked = false;
  std::string blockBytes;  // what the engine wrote to the client
};

// Headers, URL and body. A block page written by any of them ends the request there; header
// edits (Accept-Encoding) are left in `facts` for the request that goes on.
RequestVerdict ScreenRequest(ScreeningEngine& engine, RequestFacts& facts);

struct ChunkVerdict {
  enum class Kind {
    kPass,       // send the chunk as it was
    kRewritten,  // same length, words overwritten in place: `bytes`
    kBlockPage,  // `bytes` replace the rest of the response, which then ends
  };
  Kind kind = Kind::kPass;
  std::string bytes;
  bool accessDenied = false;  // the engine asked for "401 Access Denied"
};

ChunkVerdict ScreenChunk(ScreeningEngine& engine, RequestFacts& facts, std::string_view chunk);

// The log notification, once the response is done (the engine's hourly reload clock).
void LogRequest(ScreeningEngine& engine, RequestFacts& facts);

}  // namespace orv::proxy
