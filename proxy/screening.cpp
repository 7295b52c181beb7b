#include "proxy/screening.h"

#include <optional>
#include <utility>

namespace orv::proxy {
namespace {

// The request as the engine judges it, built from the facts the connection gathered. The
// client's address is the one orvproxy determined (never a client's Via or X-Forwarded-For),
// and no client-sent X-Rewrite-URL stands in for the URL: honouring it would let any client
// name a white-listed URL for its request and have the response pass unscreened.
class DescribedRequest {
 public:
  explicit DescribedRequest(const RequestFacts& facts)
      : url_(filter::SiteUrlWithQuery(facts.serverName, facts.serverPort, facts.url, facts.query)),
        siteUrl_(url_.substr(0, url_.size() - QuerySuffixLength(facts.query))),
        userAgent_(facts.Header("User-Agent").value_or("")),
        acceptEncoding_(facts.Header("Accept-Encoding")) {
    request_.method = facts.method;
    request_.url = url_;
    request_.siteUrl = siteUrl_;
    request_.query = facts.query;
    request_.clientAddress = facts.remoteAddr;
    request_.userAgent = userAgent_;
    request_.fields.hasAcceptEncoding = acceptEncoding_.has_value();
    if (acceptEncoding_) request_.fields.acceptEncoding = *acceptEncoding_;
    request_.fields.hasRange = facts.Header("Range").has_value();
    request_.fields.hasIfRange = facts.Header("If-Range").has_value();
    request_.fields.hasRequestRange = facts.Header("Request-Range").has_value();
    request_.body = facts.body;
    request_.declaredBodyLength = facts.totalBytes;
  }
  DescribedRequest(const DescribedRequest&) = delete;
  DescribedRequest& operator=(const DescribedRequest&) = delete;

  const filter::RequestDescription& Get() const { return request_; }

 private:
  static std::size_t QuerySuffixLength(std::string_view query) {
    return query.empty() ? 0 : query.size() + 1;
  }

  std::string url_;
  std::string siteUrl_;
  std::string userAgent_;
  std::optional<std::string> acceptEncoding_;
  filter::RequestDescription request_;
};

// A line break would split the header when it goes upstream.
void ApplyEdits(const std::vector<filter::HeaderEdit>& edits, RequestFacts& facts) {
  for (const filter::HeaderEdit& edit : edits) {
    if (edit.name.empty() || edit.value.find_first_of("\r\n") != std::string::npos) continue;
    facts.SetHeader(edit.name, edit.value);
  }
}

}  // namespace

RequestVerdict ScreenRequest(ScreeningEngine& engine, RequestFacts& facts) {
  RequestVerdict verdict;
  facts.clientAcceptEncoding = facts.Header("Accept-Encoding").value_or("");
  const DescribedRequest described(facts);
  filter::RequestResult request = engine.RequestPhase(described.Get(), facts.memo);
  verdict.pass = request.pass;
  if (request.action == filter::Action::kBlock) {
    verdict.blocked = true;
    verdict.cause = request.block.cause;
    verdict.blockBytes = std::move(request.block.bytes);
    return verdict;
  }
  ApplyEdits(request.edits, facts);
  filter::BodyResult body = engine.BodyPhase(described.Get(), facts.memo);
  verdict.bodyPass = body.pass;
  if (body.action == filter::Action::kBlock) {
    verdict.blocked = true;
    verdict.cause = body.block.cause;
    verdict.blockBytes = std::move(body.block.bytes);
  }
  return verdict;
}

ChunkVerdict ScreenChunk(ScreeningEngine& engine, RequestFacts& facts, std::string_view chunk) {
  const DescribedRequest described(facts);
  filter::ChunkResult result = engine.ChunkPhase(described.Get(), chunk, facts.memo);
  ChunkVerdict verdict;
  verdict.pass = result.pass;
  verdict.recorded = result.recorded;
  switch (result.action) {
    case filter::Action::kContinue:
      break;
    case filter::Action::kReplaceChunk:
      verdict.wordsReplaced = result.wordsReplaced;
      verdict.bytes = std::move(result.chunk);
      // Only a rewrite that keeps every length can go out in place; anything else ends the
      // response rather than break its framing.
      verdict.kind = verdict.bytes.size() == chunk.size() ? ChunkVerdict::Kind::kRewritten
                                                          : ChunkVerdict::Kind::kBlockPage;
      break;
    case filter::Action::kBlock:
      verdict.kind = ChunkVerdict::Kind::kBlockPage;
      verdict.cause = result.block.cause;
      verdict.accessDenied = result.block.cause == filter::BlockCause::kKeyword;
      verdict.bytes = std::move(result.block.bytes);
      break;
  }
  return verdict;
}

void LogRequest(ScreeningEngine& engine, RequestFacts& facts) {
  engine.LoggedPhase(facts.memo);
}

}  // namespace orv::proxy
