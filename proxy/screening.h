// The engine's phases for one request, as the connection runs them: the request (headers and
// URL) with its body, each piece of the response, and the end of the request.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "filter/phases.h"
#include "proxy/request_facts.h"
#include "proxy/screening_engine.h"

namespace orv::proxy {

struct RequestVerdict {
  bool blocked = false;
  std::string blockBytes;  // the page that ends the request
  filter::BlockCause cause = filter::BlockCause::kNone;
  // Why the request goes on unscreened (switched off, safe code, white list, unmonitored
  // type); kNone when its response is to be screened.
  filter::PassReason pass = filter::PassReason::kNone;
  // What the body phase made of the body: kScreened, kNotScreened (no body to screen), or a
  // reason it was let through unread.
  filter::PassReason bodyPass = filter::PassReason::kNone;
};

// Request and body. A block page ends the request there; header edits (Accept-Encoding,
// range fields) are left in `facts` for the request that goes on.
RequestVerdict ScreenRequest(ScreeningEngine& engine, RequestFacts& facts);

struct ChunkVerdict {
  enum class Kind {
    kPass,       // send the chunk as it was
    kRewritten,  // same length, words overwritten in place: `bytes`
    kBlockPage,  // `bytes` replace the rest of the response, which then ends
  };
  Kind kind = Kind::kPass;
  std::string bytes;
  bool accessDenied = false;  // the page answers "401 Access Denied"
  filter::BlockCause cause = filter::BlockCause::kNone;
  filter::PassReason pass = filter::PassReason::kNone;  // kPass: why
  std::size_t wordsReplaced = 0;                        // kRewritten: how many words
  bool recorded = false;                                // a record keyword was logged
};

ChunkVerdict ScreenChunk(ScreeningEngine& engine, RequestFacts& facts, std::string_view chunk);

// The request is done (the engine's hourly reload clock).
void LogRequest(ScreeningEngine& engine, RequestFacts& facts);

}  // namespace orv::proxy
