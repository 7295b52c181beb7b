#include "proxy/response_relay.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "proxy/content_coding.h"
#include "proxy/head_fields.h"
#include "proxy/outcome_counts.h"
#include "proxy/screening.h"
#include "proxy/wire_format.h"

namespace orv::proxy {
namespace {

using namespace std::chrono_literals;

// Encoded bytes are fed to the decoder this much at a time, so that a body that expands
// greatly is cut into chunks near the buffer's size rather than one chunk of all of it.
constexpr std::size_t kDecodeSlice = 16 * 1024;

// One line, written at once so that lines of several connections do not interleave.
void LogRefusal(std::ostream& log, const RequestFacts& facts, std::string_view reason) {
  std::string line = "orvproxy: refused ";
  line += facts.rawPath;
  if (!facts.query.empty()) line.append("?").append(facts.query);
  line.append(": ").append(reason).append("\n");
  log.write(line.data(), static_cast<std::streamsize>(line.size()));
  log.flush();
}

void CountFailure(ProxyMetrics* metrics, SourceResult result) {
  if (metrics == nullptr) return;
  switch (result) {
    case SourceResult::kOk:
      return;
    case SourceResult::kUnreachable:
      return metrics->CountUpstreamError(UpstreamError::kConnect);
    case SourceResult::kTimeout:
      return metrics->CountUpstreamError(UpstreamError::kTimeout);
    case SourceResult::kBrokenOff:
      return metrics->CountUpstreamError(UpstreamError::kClosed);
    case SourceResult::kMalformed:
      return metrics->CountUpstreamError(UpstreamError::kBadResponse);
    case SourceResult::kTlsFailed:
      return metrics->CountUpstreamError(UpstreamError::kTls);
  }
}

// The client asked for a part of the page, and the engine let it ask: only then may a 206
// come back. A Range the engine blanked counts as none.
bool ClientAskedForRange(const RequestFacts& facts) {
  const std::optional<std::string> range = facts.Header("Range");
  return range && range->find_first_not_of(" \t") != std::string::npos;
}

// How the body's content coding changes on the way: decoded for the screen (when the
// upstream encoded it), encoded for the client (when it offers a coding).
struct CodingPlan {
  std::optional<std::vector<Coding>> decode;  // set: decode with these
  std::string undecodable;                    // non-empty: a coding that cannot be decoded
  Coding encode = Coding::kIdentity;
  bool varies = false;  // the coding sent depends on the client's Accept-Encoding
};

CodingPlan PlanCodings(const ResponseHead& head, const RequestFacts& facts, bool filtering,
                       bool noBody, const ProxyOptions& options) {
  CodingPlan plan;
  if (!filtering || noBody) return plan;
  std::string encoding;
  for (const HeaderField& field : head.fields) {
    if (!EqualsNoCase(field.name, "Content-Encoding")) continue;
    if (!encoding.empty()) encoding += ", ";
    encoding += field.value;
  }
  if (!encoding.empty()) plan.decode = ParseContentEncoding(encoding);
  // A 206 that may pass here is for a request the engine left alone. A part of an encoded body
  // cannot be decoded, so it cannot be screened either: it is refused like an unknown coding.
  const bool part = head.status == 206 || FirstField(head.fields, "Content-Range");
  if (part) {
    if (!encoding.empty() && (!plan.decode || !plan.decode->empty()))
      plan.undecodable = encoding + " (a part of the body)";
    plan.decode.reset();
    return plan;
  }
  if (!encoding.empty() && !plan.decode) {
    plan.undecodable = encoding;
    return plan;
  }
  const std::optional<std::string_view> type = FirstField(head.fields, "Content-Type");
  plan.varies = options.compress && type && CompressibleType(*type);
  if (plan.varies) plan.encode = ChooseResponseCoding(facts.clientAcceptEncoding);
  return plan;
}

// The response's bytes in plain text, whatever coding the upstream sent them in. Without a
// decoder, reads go straight to the source.
class PlainBody {
 public:
  PlainBody(ResponseSource& source, const std::optional<std::vector<Coding>>& codings,
            std::uint64_t limit, std::size_t rawChunk)
      : source_(source), rawChunk_(rawChunk) {
    if (codings && !codings->empty()) decoder_ = std::make_unique<BodyDecoder>(*codings, limit);
  }

  bool Decoding() const { return decoder_ != nullptr; }
  // Why the last read failed when the source itself did not: the encoded body was not what
  // it said it was.
  const std::string& Refusal() const { return refusal_; }

  // As ResponseSource::Read, on the decoded body. kOk with a refusal set: the body cannot be
  // decoded. A pause of the source ends the read once the bytes it sent gave something.
  LoopAwaitable<SourceResult> Read(std::string& out, std::size_t limit, bool& complete,
                                   std::chrono::milliseconds pause) {
    if (!decoder_) co_return co_await source_.Read(out, limit, complete, pause);
    complete = false;
    const std::size_t before = out.size();
    bool paused = false;
    for (;;) {
      while (pendingAt_ < pending_.size() && out.size() < limit) {
        const std::size_t slice = std::min(kDecodeSlice, pending_.size() - pendingAt_);
        const BodyDecoder::Status status =
            decoder_->Feed(std::string_view(pending_).substr(pendingAt_, slice), out);
        pendingAt_ += slice;
        if (Failed(status)) co_return SourceResult::kOk;
      }
      if (out.size() >= limit || (paused && out.size() > before)) co_return SourceResult::kOk;
      if (rawComplete_) {
        complete = true;
        Failed(decoder_->Finish(out));
        co_return SourceResult::kOk;
      }
      pending_.clear();
      pendingAt_ = 0;
      const SourceResult result = co_await source_.Read(pending_, rawChunk_, rawComplete_, pause);
      if (result != SourceResult::kOk) co_return result;
      paused = !rawComplete_ && pending_.size() < rawChunk_;
    }
  }

 private:
  bool Failed(BodyDecoder::Status status) {
    if (status == BodyDecoder::Status::kOk) return false;
    refusal_ = status == BodyDecoder::Status::kTooLarge
                   ? "the decoded body would pass the limit of the decoded size"
                   : "the encoded body is corrupt or cut short";
    return true;
  }

  ResponseSource& source_;
  std::size_t rawChunk_;
  std::unique_ptr<BodyDecoder> decoder_;
  std::string pending_;  // encoded bytes read but not yet decoded, from pendingAt_
  std::size_t pendingAt_ = 0;
  bool rawComplete_ = false;
  std::string refusal_;
};

// Text in UTF-16 or UTF-32, by its declared charset or a byte-order mark: every other byte of
// it is a NUL and no keyword list is spelled that way, so it cannot be screened. Browsers show
// such a page all the same.
bool WideText(const ResponseHead& head, std::string_view body) {
  const std::optional<std::string_view> type = FirstField(head.fields, "Content-Type");
  if (!type || !CompressibleType(*type)) return false;
  std::string lowered(*type);
  for (char& c : lowered)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (std::string_view wide : {"utf-16", "utf-32", "ucs-2", "ucs-4", "utf16", "utf32"})
    if (lowered.find(wide) != std::string::npos) return true;
  for (std::string_view mark : {std::string_view("\xff\xfe", 2), std::string_view("\xfe\xff", 2),
                                std::string_view("\0\0\xfe\xff", 4)})
    if (body.substr(0, mark.size()) == mark) return true;
  return false;
}

// Bodies smaller than this are sent as they are: the coding's own framing and the work of
// setting up an encoder outweigh what it would save.
constexpr std::size_t kSmallestEncodedBody = 256;

// The screened body in the coding the client gets, piece by piece.
class ClientCoding {
 public:
  explicit ClientCoding(Coding coding) : coding_(coding) {}
  bool Encoding() const { return coding_ != Coding::kIdentity; }

  // A piece of a streamed body, flushed so that the client can read all of it now.
  std::string Piece(std::string_view data) {
    if (!Encoding()) return std::string(data);
    std::string out;
    if (data.empty()) return out;
    BodyEncoder& encoder = Encoder();
    encoder.Feed(data, out);
    encoder.Flush(out);
    return out;
  }
  // The last piece (or the whole body), ending the encoded stream.
  std::string Last(std::string_view data) {
    if (!Encoding()) return std::string(data);
    std::string out;
    if (!encoder_) {
      // The whole body at once: no stream to keep going.
      EncodeWhole(coding_, data, out);
      return out;
    }
    encoder_->Feed(data, out);
    encoder_->Finish(out);
    return out;
  }

 private:
  BodyEncoder& Encoder() {
    if (!encoder_) encoder_ = std::make_unique<BodyEncoder>(coding_);
    return *encoder_;
  }

  Coding coding_;
  std::unique_ptr<BodyEncoder> encoder_;
};

// The head's fields when the body's coding is no longer the upstream's.
void MarkDecoded(ResponseHead& head) {
  RemoveFields(head.fields, "Content-Encoding");
  head.contentLength.reset();
}

void MarkCoding(ResponseHead& head, const CodingPlan& plan, bool decoded, bool encoded) {
  if (plan.varies) VaryOnAcceptEncoding(head.fields);
  if (encoded) head.fields.push_back({"Content-Encoding", std::string(CodingName(plan.encode))});
  if (decoded || encoded) WeakenEntityTag(head.fields);
}

}  // namespace

LoopAwaitable<bool> RelayResponse(RelayContext& context, ForwardRequest& request,
                                  RequestFacts& facts, ClientShape client) {
  const ProxyOptions& options = context.options;
  ResponseSource& source = context.source;

  auto gatewayError = [&context](SourceResult result) -> LoopAwaitable<bool> {
    CountFailure(context.metrics, result);
    const std::string response = result == SourceResult::kTimeout
                                     ? ErrorResponseText(504, "Gateway Timeout")
                                     : ErrorResponseText(502, "Bad Gateway");
    co_await context.write(response, {});
    co_return false;
  };
  // The upstream's answer is not passed on as it is: 502 when nothing was sent yet.
  auto refuse = [&context, &source, &facts](std::string_view reason) -> LoopAwaitable<bool> {
    source.Finish(false);
    if (context.metrics != nullptr) context.metrics->CountRefusal();
    LogRefusal(context.log, facts, reason);
    const std::string response = ErrorResponseText(502, "Bad Gateway");
    co_await context.write(response, {});
    co_return false;
  };

  ResponseHead head;
  SourceResult result = co_await source.Start(request, facts, head);
  if (result != SourceResult::kOk) co_return co_await gatewayError(result);

  const bool filtering = context.engine.FilteringOn();
  const bool noBody = client.headOnly || StatusHasNoBody(head.status);
  if (filtering && head.status == 206 && !ClientAskedForRange(facts))
    co_return co_await refuse("a part of the page (206) to a request for all of it");

  const CodingPlan plan = PlanCodings(head, facts, filtering, noBody, options);
  if (!plan.undecodable.empty())
    co_return co_await refuse("content coding \"" + plan.undecodable + "\" cannot be decoded");
  PlainBody body(source, plan.decode, options.decodedLimit, options.chunkBuffer);
  if (plan.decode) MarkDecoded(head);  // an "identity" alone says nothing either
  ClientCoding coding(plan.encode);

  // The first chunk: the head and as much of the body as the buffer holds, so that a whole
  // page is screened at once. When the length is known, that is the length the engine's head
  // names, so the head is written first and the body read in right behind it; otherwise the
  // head waits for the body, and a stream that pauses is passed on at its first pause.
  std::string chunk;
  std::size_t headSize = 0;
  if (head.contentLength) {
    chunk = EngineHeadText(head, head.contentLength);
    headSize = chunk.size();
    chunk.reserve(headSize + static_cast<std::size_t>(std::min<std::uint64_t>(
                                 *head.contentLength, options.chunkBuffer)));
  }
  bool complete = false;
  result = co_await body.Read(chunk, headSize + options.chunkBuffer, complete,
                              head.contentLength ? 0ms : options.flushPause);
  if (result != SourceResult::kOk) {
    source.Finish(false);
    co_return co_await gatewayError(result);
  }
  if (!body.Refusal().empty()) co_return co_await refuse(body.Refusal());
  if (filtering && !noBody && WideText(head, std::string_view(chunk).substr(headSize)))
    co_return co_await refuse("a page in UTF-16 or UTF-32, which the screen cannot read");
  // A whole body counts with its own length. With a length announced that is the same one
  // (the parser holds the upstream to it); the check keeps the head true regardless.
  const std::optional<std::uint64_t> knownLength =
      complete && !noBody ? std::optional<std::uint64_t>(chunk.size() - headSize)
                          : head.contentLength;
  if (!head.contentLength || knownLength != head.contentLength) {
    const std::string engineHead = EngineHeadText(head, knownLength);
    chunk.replace(0, headSize, engineHead);
    headSize = engineHead.size();
  }
  ChunkVerdict verdict = ScreenChunk(context.engine, facts, chunk);
  CountChunkOutcome(context.metrics, verdict);
  // The response passes unchanged when no piece of it is rewritten or blocked: it then counts
  // once, with the first piece's reason.
  bool changed = verdict.kind != ChunkVerdict::Kind::kPass;
  const filter::PassReason firstPass = verdict.pass;
  if (verdict.kind == ChunkVerdict::Kind::kBlockPage) {
    source.Finish(false);
    const std::string response =
        BlockPageText(ReadBlockPage(verdict.bytes, verdict.accessDenied), client.headOnly);
    co_await context.write(response, {});
    co_return false;
  }
  // A rewrite in place keeps every length; the head stays the origin's, so that a word that
  // also occurs in a field name or the status line cannot break the framing.
  if (verdict.kind == ChunkVerdict::Kind::kRewritten) chunk = std::move(verdict.bytes);
  const std::string_view firstBody = std::string_view(chunk).substr(headSize);

  if (complete || noBody) {
    const bool encoded = coding.Encoding() && !noBody && firstBody.size() >= kSmallestEncodedBody;
    MarkCoding(head, plan, body.Decoding(), encoded);
    const std::string encodedBody = encoded ? coding.Last(firstBody) : std::string();
    const std::string_view sent = encoded ? std::string_view(encodedBody) : firstBody;
    const Framing framing = noBody ? Framing::kNoBody : Framing::kLength;
    const std::string headText = ClientHeadText(
        head, framing, noBody ? head.contentLength : std::optional<std::uint64_t>(sent.size()),
        client.keepAlive, client.http10);
    const bool written = co_await context.write(headText, noBody ? std::string_view() : sent);
    source.Finish(complete && written);
    if (written && !changed) CountResponsePass(context.metrics, firstPass);
    co_return written;
  }

  // Larger responses stream on, each piece screened as it comes. The end of a piece that a
  // keyword could begin in is kept back and screened again in front of the next, so a word
  // cut by the buffer's edge is still seen whole; only what lies before it is sent. Chunked
  // framing (or, for HTTP/1.0, the end of the connection) lets a block page end the body
  // cleanly.
  const Framing framing = client.http10 ? Framing::kUntilClose : Framing::kChunked;
  const bool chunked = framing == Framing::kChunked;
  auto frame = [chunked](std::string data) { return chunked ? ChunkFrame(data) : data; };
  auto heldOf = [&](std::string_view window, std::size_t screenable) {
    return filtering ? std::min(context.engine.HeldTail(window), screenable) : 0;
  };

  MarkCoding(head, plan, body.Decoding(), coding.Encoding());
  const std::string headText =
      ClientHeadText(head, framing, std::nullopt, client.keepAlive, client.http10);
  std::size_t held = heldOf(chunk, firstBody.size());
  const std::string first = frame(coding.Piece(firstBody.substr(0, firstBody.size() - held)));
  std::string carry(firstBody.substr(firstBody.size() - held));
  chunk = std::string();
  bool written = co_await context.write(headText, first);
  while (written && !complete) {
    std::string window = std::move(carry);
    const std::size_t carried = window.size();
    result =
        co_await body.Read(window, carried + options.chunkBuffer, complete, options.flushPause);
    if (result != SourceResult::kOk || !body.Refusal().empty()) {
      // Broken off upstream, or undecodable from here on: the client's response ends without
      // its last chunk, which is how HTTP tells a truncated body from a complete one.
      if (!body.Refusal().empty()) LogRefusal(context.log, facts, body.Refusal());
      CountFailure(context.metrics, result);
      source.Finish(false);
      co_return false;
    }
    if (window.size() == carried) {
      // Nothing new: what is kept was screened already and, at the end, goes as it is.
      carry = std::move(window);
      continue;
    }
    ChunkVerdict later = ScreenChunk(context.engine, facts, window);
    CountChunkOutcome(context.metrics, later);
    changed = changed || later.kind != ChunkVerdict::Kind::kPass;
    if (later.kind == ChunkVerdict::Kind::kBlockPage) {
      source.Finish(false);
      const std::string page = coding.Last(ReadBlockPage(later.bytes, false).body);
      const std::string tail = chunked ? ChunkFrame(page) + std::string(kLastChunk) : page;
      co_await context.write(tail, {});
      co_return false;
    }
    if (later.kind == ChunkVerdict::Kind::kRewritten) window = std::move(later.bytes);
    if (complete) {
      carry = std::move(window);  // sent below, with the end of the encoded stream
      break;
    }
    held = heldOf(window, window.size());
    carry = window.substr(window.size() - held);
    if (held < window.size()) {
      const std::string framed =
          frame(coding.Piece(std::string_view(window).substr(0, window.size() - held)));
      written = co_await context.write(framed, {});
    }
  }
  if (written) {
    const std::string last = frame(coding.Last(carry));
    written = co_await context.write(last, chunked ? kLastChunk : std::string_view());
  }
  source.Finish(written && complete);
  if (written && complete && !changed) CountResponsePass(context.metrics, firstPass);
  co_return written&& chunked;
}

}  // namespace orv::proxy
