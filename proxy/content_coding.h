// Content codings of response bodies: orvproxy reads every page it screens in plain text, so a
// body the upstream encoded anyway (gzip, deflate, br, zstd) is decoded first, with a bound on
// how large it may grow; and a screened page may be encoded again for a client that offers it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::proxy {

enum class Coding { kIdentity, kGzip, kDeflate, kBrotli, kZstd };

// More codings stacked on one body than any origin has reason to apply: refused.
inline constexpr std::size_t kMaxContentCodings = 4;

// The codings a Content-Encoding value names, in the order the origin applied them ("gzip, br":
// gzip first). "identity" and empty elements are left out; names are case-insensitive;
// "x-gzip" is gzip. Nothing when any element names a coding that cannot be decoded here, or
// when there are more than kMaxContentCodings of them.
std::optional<std::vector<Coding>> ParseContentEncoding(std::string_view value);

// Undoes a list of codings, last applied first, as the body arrives piece by piece.
class BodyDecoder {
 public:
  enum class Status {
    kOk,        // everything fed so far is decoded; more may follow
    kCorrupt,   // not valid data of its coding (or, at Finish, cut short)
    kTooLarge,  // the decoded body would pass `limit` bytes: refused, not expanded
  };

  // `codings` as ParseContentEncoding gives them; `limit` bounds the total decoded size. With
  // stacked codings the bytes between two stages are bounded too (by twice `limit` and a
  // little), so a stream of empty members cannot keep an inner stage busy for nothing.
  // A body of no bytes at all decodes to no bytes, whatever its codings.
  BodyDecoder(std::vector<Coding> codings, std::uint64_t limit);
  ~BodyDecoder();
  BodyDecoder(const BodyDecoder&) = delete;
  BodyDecoder& operator=(const BodyDecoder&) = delete;

  // Decodes `in` and appends what it gives to `out`: never more than `limit` bytes in all, and
  // on kTooLarge exactly the first `limit`. After a status other than kOk the decoder stays in
  // that state; bytes fed after a successful Finish are kCorrupt.
  Status Feed(std::string_view in, std::string& out);
  // The encoded body has ended: kOk only when every coding's stream ended properly.
  Status Finish(std::string& out);

  std::uint64_t DecodedBytes() const;

 private:
  struct Stage;
  // Runs `in` through the stages from `index` on, one bounded step at a time.
  Status Pump(std::size_t index, std::string_view in, std::string& out);

  std::vector<std::unique_ptr<Stage>> stages_;  // in decoding order
  std::uint64_t limit_;
  std::uint64_t passLimit_;  // bound of each stage's output but the last one's
  std::uint64_t decoded_ = 0;
  Status status_ = Status::kOk;
  bool finished_ = false;
};

// The coding to answer a client with, from its Accept-Encoding value: br, then gzip, when
// offered with a quality above zero (directly or by "*"); gzip before br only when the client
// rates it higher. An element with a malformed quality counts as not sent. kIdentity otherwise.
Coding ChooseResponseCoding(std::string_view acceptEncoding);

// The token of a coding as written in Content-Encoding ("gzip", "br", ...).
std::string_view CodingName(Coding coding);

// Worth compressing: text, markup, scripts, JSON, XML, SVG (by media type, parameters ignored).
bool CompressibleType(std::string_view contentType);

// Encodes a body that is wholly in hand, appending the encoded stream to `out`: for a page
// screened as one piece, the common case. The same format BodyEncoder gives, in one call.
void EncodeWhole(Coding coding, std::string_view body, std::string& out);

// Encodes a body as it is sent, piece by piece, in gzip or br (the codings offered to clients;
// deflate and zstd work as well, and kIdentity passes the bytes through unchanged).
class BodyEncoder {
 public:
  // `wholeSize`: the size of the whole body when it is known before the first Feed. A small
  // body then gets a window and match tables to its size, which cost a fraction of the full
  // ones to set up; the output is the same format either way.
  explicit BodyEncoder(Coding coding, std::optional<std::uint64_t> wholeSize = std::nullopt);
  ~BodyEncoder();
  BodyEncoder(const BodyEncoder&) = delete;
  BodyEncoder& operator=(const BodyEncoder&) = delete;

  // Encodes `in`, appending to `out` what the encoder lets go of now.
  void Feed(std::string_view in, std::string& out);
  // Everything fed so far becomes decodable by the client (a sync flush): for a stream that
  // pauses, so the client is not kept waiting for bytes the encoder holds.
  void Flush(std::string& out);
  // Ends the encoded stream. Feed and Flush after Finish add nothing.
  void Finish(std::string& out);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace orv::proxy
