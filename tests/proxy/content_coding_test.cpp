#include "proxy/content_coding.h"

#include <brotli/decode.h>
#include <brotli/encode.h>
#include <gtest/gtest.h>
#include <zlib.h>
#include <zstd.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace orv::proxy {
namespace {

using Status = BodyDecoder::Status;
constexpr std::uint64_t kNoLimit = std::uint64_t{1} << 40;

// A page-like text (compresses about threefold) or random bytes (does not compress).
std::string Body(std::size_t size, bool compressible, unsigned seed = 1) {
  std::mt19937 random(seed);
  static const char* const kWords[] = {"<p>", "filter ", "页面", "keyword ", "\r\n", "</div>", "a"};
  std::string text;
  while (text.size() < size) {
    if (compressible) {
      text += kWords[random() % 7];
      if (random() % 5 == 0) text += std::to_string(random() % 1000);
    } else {
      text += static_cast<char>(random());
    }
  }
  text.resize(size);
  return text;
}

// The libraries' one-shot encoders. windowBits: 16+15 gzip, 15 zlib, -15 raw deflate.
std::string Zlib(std::string_view in, int windowBits, int flush = Z_FINISH) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, in.size()) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  stream.avail_in = static_cast<uInt>(in.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, flush);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}
std::string Gzip(std::string_view in) {
  return Zlib(in, 16 + MAX_WBITS);
}

std::string Brotli(std::string_view in, int quality = 5) {
  std::size_t size = BrotliEncoderMaxCompressedSize(in.size()) + 16;
  std::string out(size, '\0');
  EXPECT_TRUE(BrotliEncoderCompress(quality, 22, BROTLI_MODE_GENERIC, in.size(),
                                    reinterpret_cast<const std::uint8_t*>(in.data()), &size,
                                    reinterpret_cast<std::uint8_t*>(out.data())));
  out.resize(size);
  return out;
}

std::string Zstd(std::string_view in, bool writeSize = true) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_contentSizeFlag, writeSize ? 1 : 0);
  std::string out(ZSTD_compressBound(in.size()), '\0');
  const std::size_t size = ZSTD_compress2(context, out.data(), out.size(), in.data(), in.size());
  ZSTD_freeCCtx(context);
  EXPECT_FALSE(ZSTD_isError(size));
  out.resize(size);
  return out;
}

struct Decoded {
  Status status;
  std::string body;
  std::uint64_t decodedBytes;
};

// Feeds `wire` in pieces of `piece` bytes (0: random sizes from 1 to 300), then finishes.
Decoded Decode(std::vector<Coding> codings, std::string_view wire, std::size_t piece = 0,
               std::uint64_t limit = kNoLimit) {
  BodyDecoder decoder(std::move(codings), limit);
  std::mt19937 random(7);
  Decoded result{Status::kOk, {}, 0};
  while (!wire.empty() && result.status == Status::kOk) {
    const std::size_t n = std::min(wire.size(), piece != 0 ? piece : 1 + random() % 300);
    result.status = decoder.Feed(wire.substr(0, n), result.body);
    wire.remove_prefix(n);
  }
  if (result.status == Status::kOk) result.status = decoder.Finish(result.body);
  result.decodedBytes = decoder.DecodedBytes();
  EXPECT_EQ(result.body.size(), result.decodedBytes);
  return result;
}

struct Sample {
  const char* name;
  Coding coding;
  std::string (*encode)(std::string_view);
};
const Sample kSamples[] = {
    {"gzip", Coding::kGzip, Gzip},
    {"zlib deflate", Coding::kDeflate, [](std::string_view in) { return Zlib(in, MAX_WBITS); }},
    {"raw deflate", Coding::kDeflate, [](std::string_view in) { return Zlib(in, -MAX_WBITS); }},
    {"br", Coding::kBrotli, [](std::string_view in) { return Brotli(in); }},
    {"zstd", Coding::kZstd, [](std::string_view in) { return Zstd(in); }},
    {"zstd, size unknown", Coding::kZstd, [](std::string_view in) { return Zstd(in, false); }},
};

TEST(BodyDecoder, EveryCodingDecodesWhateverThePieces) {
  const std::string bodies[] = {Body(100'000, true), Body(70'000, false), "x"};
  for (const Sample& sample : kSamples) {
    for (const std::string& body : bodies) {
      const std::string wire = sample.encode(body);
      for (std::size_t piece : {std::size_t{1}, std::size_t{0}, wire.size()}) {
        SCOPED_TRACE(std::string(sample.name) + ", " + std::to_string(body.size()) +
                     " bytes, pieces of " + std::to_string(piece));
        const Decoded decoded = Decode({sample.coding}, wire, piece);
        EXPECT_EQ(decoded.status, Status::kOk);
        EXPECT_TRUE(decoded.body == body);
      }
    }
  }
}

TEST(BodyDecoder, GzipMembersAndZstdFramesFollowOneAnother) {
  const std::string a = Body(5000, true, 1), b = Body(3000, true, 2);
  EXPECT_EQ(Decode({Coding::kGzip}, Gzip(a) + Gzip("") + Gzip(b), 1).body, a + b);
  // A skippable frame (magic 0x184D2A50, 4 bytes of content) between two frames.
  const std::string skippable("\x50\x2a\x4d\x18\x04\x00\x00\x00skip", 12);
  const Decoded zstd = Decode({Coding::kZstd}, Zstd(a, false) + skippable + Zstd(b), 1);
  EXPECT_EQ(zstd.status, Status::kOk);
  EXPECT_EQ(zstd.body, a + b);
}

TEST(BodyDecoder, StackedCodingsAreUndoneLastFirst) {
  const std::string body = Body(50'000, true);
  const auto gzipThenBr = ParseContentEncoding("gzip, br");
  ASSERT_TRUE(gzipThenBr);
  EXPECT_EQ(Decode(*gzipThenBr, Brotli(Gzip(body))).body, body);
  const std::string threefold = Zstd(Brotli(Zlib(body, -MAX_WBITS)));
  const Decoded decoded = Decode({Coding::kDeflate, Coding::kBrotli, Coding::kZstd}, threefold, 1);
  EXPECT_EQ(decoded.status, Status::kOk);
  EXPECT_TRUE(decoded.body == body);
  // In the wrong order the outer stage reads the inner one's bytes.
  EXPECT_EQ(Decode({Coding::kBrotli, Coding::kGzip}, Brotli(Gzip(body))).status, Status::kCorrupt);
}

TEST(BodyDecoder, AStreamCutShortIsCorruptAtFinish) {
  const std::string body = Body(400, true);
  for (const Sample& sample : kSamples) {
    const std::string wire = sample.encode(body);
    for (std::size_t size = 1; size < wire.size(); ++size) {
      SCOPED_TRACE(std::string(sample.name) + " cut to " + std::to_string(size));
      EXPECT_EQ(Decode({sample.coding}, wire.substr(0, size)).status, Status::kCorrupt);
    }
    // No body at all is an empty body, as browsers read it.
    const Decoded empty = Decode({sample.coding}, "");
    EXPECT_EQ(empty.status, Status::kOk);
    EXPECT_EQ(empty.decodedBytes, 0u);
  }
}

TEST(BodyDecoder, BadOrTrailingBytesAreCorrupt) {
  const std::string body = Body(2000, true);
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(sample.name);
    const std::string wire = sample.encode(body);
    EXPECT_EQ(Decode({sample.coding}, "<html>not encoded at all</html>").status, Status::kCorrupt);
    EXPECT_EQ(Decode({sample.coding}, wire + "x").status, Status::kCorrupt);
    EXPECT_EQ(Decode({sample.coding}, wire + std::string(2, '\0'), 1).status, Status::kCorrupt);
    BodyDecoder decoder({sample.coding}, kNoLimit);
    std::string out;
    EXPECT_EQ(decoder.Feed(wire, out), Status::kOk);
    EXPECT_EQ(decoder.Finish(out), Status::kOk);
    EXPECT_EQ(decoder.Feed("more", out), Status::kCorrupt);
  }
  // The checksums: gzip's CRC-32 and zlib's Adler-32 at the end of the stream.
  std::string gzip = Gzip(body), zlib = Zlib(body, MAX_WBITS);
  gzip[gzip.size() - 6] ^= 1;
  zlib.back() ^= 1;
  EXPECT_EQ(Decode({Coding::kGzip}, gzip).status, Status::kCorrupt);
  EXPECT_EQ(Decode({Coding::kDeflate}, zlib).status, Status::kCorrupt);
}

TEST(BodyDecoder, TheLimitIsExact) {
  const std::string body = Body(200'000, true);
  for (const std::vector<Coding>& codings :
       std::vector<std::vector<Coding>>{{}, {Coding::kGzip}, {Coding::kGzip, Coding::kBrotli}}) {
    std::string wire = body;
    for (Coding coding : codings) wire = coding == Coding::kGzip ? Gzip(wire) : Brotli(wire);
    EXPECT_EQ(Decode(codings, wire, 0, body.size()).status, Status::kOk);
    for (std::uint64_t limit : {std::uint64_t{0}, std::uint64_t{1}, body.size() - 1}) {
      const Decoded decoded = Decode(codings, wire, 0, limit);
      EXPECT_EQ(decoded.status, Status::kTooLarge);
      EXPECT_EQ(decoded.decodedBytes, limit);
      EXPECT_TRUE(decoded.body == body.substr(0, limit));
    }
  }
}

// Feeds `unit` again and again after `head` until the decoder stops: how many units it took.
std::size_t FeedUntilStopped(BodyDecoder& decoder, std::string_view head, std::string_view unit,
                             std::size_t units, Status& status) {
  std::string out;
  status = decoder.Feed(head, out);
  std::size_t fed = 0;
  std::uint64_t total = out.size();
  while (status == Status::kOk && fed < units) {
    out.clear();  // as a proxy sends on what it screened
    status = decoder.Feed(unit, out);
    ++fed;
    total += out.size();
    EXPECT_EQ(total, decoder.DecodedBytes());
  }
  return fed;
}

TEST(BodyDecoder, BombsAreRefusedAtTheLimit) {
  constexpr std::uint64_t kLimit = 1 << 20;
  const std::string zeros(1 << 20, '\0');
  Status status;
  // 1 GiB of zeros in gzip: a header, then 1024 times the same flushed deflate block of 1 MiB.
  const std::string flushed = Zlib(zeros, -MAX_WBITS, Z_FULL_FLUSH);
  const std::string gzipHead("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
  {
    BodyDecoder decoder({Coding::kGzip}, kLimit);
    EXPECT_LE(FeedUntilStopped(decoder, gzipHead, flushed, 1024, status), 2u);
    EXPECT_EQ(status, Status::kTooLarge);
    EXPECT_EQ(decoder.DecodedBytes(), kLimit);
  }
  // The same 1 GiB of zeros as 1024 zstd frames.
  {
    BodyDecoder decoder({Coding::kZstd}, kLimit);
    EXPECT_LE(FeedUntilStopped(decoder, "", Zstd(zeros), 1024, status), 2u);
    EXPECT_EQ(status, Status::kTooLarge);
  }
  // 64 MiB of zeros in one brotli stream, made piece by piece.
  {
    BrotliEncoderState* encoder = BrotliEncoderCreateInstance(nullptr, nullptr, nullptr);
    BrotliEncoderSetParameter(encoder, BROTLI_PARAM_QUALITY, 1);
    std::string brotli;
    for (int i = 0; i < 64; ++i) {
      std::size_t available = zeros.size();
      auto* next = reinterpret_cast<const std::uint8_t*>(zeros.data());
      const auto op = i == 63 ? BROTLI_OPERATION_FINISH : BROTLI_OPERATION_PROCESS;
      while (available > 0 || BrotliEncoderHasMoreOutput(encoder) ||
             (op == BROTLI_OPERATION_FINISH && !BrotliEncoderIsFinished(encoder))) {
        std::size_t room = 0;
        BrotliEncoderCompressStream(encoder, op, &available, &next, &room, nullptr, nullptr);
        std::size_t size = 0;
        const std::uint8_t* data = BrotliEncoderTakeOutput(encoder, &size);
        brotli.append(reinterpret_cast<const char*>(data), size);
      }
    }
    BrotliEncoderDestroyInstance(encoder);
    const Decoded decoded = Decode({Coding::kBrotli}, brotli, 4096, kLimit);
    EXPECT_EQ(decoded.status, Status::kTooLarge);
    EXPECT_EQ(decoded.decodedBytes, kLimit);
  }
  // The gzip bomb inside gzip: the inner stream is small, what it gives is not.
  {
    std::string bomb = gzipHead;
    for (int i = 0; i < 64; ++i) bomb += flushed;
    EXPECT_EQ(Decode({Coding::kGzip, Coding::kGzip}, Gzip(bomb), 0, kLimit).status,
              Status::kTooLarge);
  }
  // Empty gzip members packed in zstd frames decode to nothing at all, but the gzip stage
  // would read gigabytes: the bytes between stages are bounded too.
  {
    std::string members;
    const std::string empty = Gzip("");
    while (members.size() < (1 << 20)) members += empty;
    BodyDecoder decoder({Coding::kGzip, Coding::kZstd}, kLimit);
    EXPECT_LE(FeedUntilStopped(decoder, "", Zstd(members), 1024, status), 4u);
    EXPECT_EQ(status, Status::kTooLarge);
    EXPECT_EQ(decoder.DecodedBytes(), 0u);
  }
}

TEST(ContentEncoding, ListsAreParsedInTheOrderApplied) {
  using Codings = std::vector<Coding>;
  EXPECT_EQ(ParseContentEncoding(""), Codings{});
  EXPECT_EQ(ParseContentEncoding("identity"), Codings{});
  EXPECT_EQ(ParseContentEncoding("GZIP"), Codings{Coding::kGzip});
  EXPECT_EQ(ParseContentEncoding("x-gzip"), Codings{Coding::kGzip});
  EXPECT_EQ(ParseContentEncoding(" gzip ,\tBr"), (Codings{Coding::kGzip, Coding::kBrotli}));
  EXPECT_EQ(ParseContentEncoding(",deflate,, identity ,zstd,"),
            (Codings{Coding::kDeflate, Coding::kZstd}));
  EXPECT_EQ(ParseContentEncoding("gzip, gzip, gzip, gzip, identity"), Codings(4, Coding::kGzip));
  for (const char* refused :
       {"compress", "exi", "foo", "gzip, foo", "gzip;q=1", "g zip", "x-br", "br, br, br, br, br"}) {
    EXPECT_EQ(ParseContentEncoding(refused), std::nullopt) << refused;
  }
}

TEST(ContentEncoding, TheResponseCodingFollowsTheClientsQualities) {
  const struct {
    const char* accept;
    Coding chosen;
  } kCases[] = {
      {"", Coding::kIdentity},
      {"gzip, deflate, br, zstd", Coding::kBrotli},
      {"gzip", Coding::kGzip},
      {"deflate, zstd", Coding::kIdentity},
      {"BR;Q=0.5, gzip;q=0.5", Coding::kBrotli},
      {"br;q=0.5, gzip;q=0.6", Coding::kGzip},
      {"br;q=0, gzip", Coding::kGzip},
      {"br;q=0, gzip;q=0.000", Coding::kIdentity},
      {"*", Coding::kBrotli},
      {"*;q=0", Coding::kIdentity},
      {"gzip, *;q=0", Coding::kGzip},
      {"br;q=0.2, *;q=0.9", Coding::kGzip},  // gzip unlisted: "*" gives it 0.9
      {"identity;q=0", Coding::kIdentity},
      {"x-gzip", Coding::kGzip},
      {"gzip ; q=1.000 , br ; q=0.999", Coding::kGzip},
      {"br;level=9;q=0.8", Coding::kBrotli},
      // A malformed quality makes its element absent.
      {"br;q=2, gzip", Coding::kGzip},
      {"br;q=0.5000, gzip;q=0.1", Coding::kGzip},
      {"br;q=, gzip;q=abc", Coding::kIdentity},
      {"br;q=1.5", Coding::kIdentity},
      {"br;q=-1, *", Coding::kBrotli},
      {",,;, gzip;;", Coding::kGzip},
  };
  for (const auto& c : kCases) EXPECT_EQ(ChooseResponseCoding(c.accept), c.chosen) << c.accept;
  EXPECT_EQ(CodingName(Coding::kBrotli), "br");
  EXPECT_EQ(CodingName(Coding::kGzip), "gzip");
}

TEST(ContentEncoding, TextualTypesAreCompressible) {
  for (const char* type :
       {"text/html", "TEXT/HTML; charset=gbk", "text/css", "text/plain;charset=utf-8",
        "application/javascript", "application/json", "application/xml", " application/xhtml+xml",
        "image/svg+xml", "application/ld+json", "application/rss+xml; charset=utf-8"}) {
    EXPECT_TRUE(CompressibleType(type)) << type;
  }
  for (const char* type : {"", "text", "text/", "/html", "image/png", "application/octet-stream",
                           "application/zip", "video/mp4", "application/jsonx", "font/woff2"}) {
    EXPECT_FALSE(CompressibleType(type)) << type;
  }
}

// Decoded by the library's own one-shot decoder, to check the encoder against more than ours.
std::string LibraryDecode(Coding coding, std::string_view wire, std::size_t size) {
  std::string out(size + 1, '\0');
  if (coding == Coding::kBrotli) {
    std::size_t n = out.size();
    if (BrotliDecoderDecompress(wire.size(), reinterpret_cast<const std::uint8_t*>(wire.data()), &n,
                                reinterpret_cast<std::uint8_t*>(out.data())) !=
        BROTLI_DECODER_RESULT_SUCCESS)
      return "error";
    out.resize(n);
  } else if (coding == Coding::kZstd) {
    const std::size_t n = ZSTD_decompress(out.data(), out.size(), wire.data(), wire.size());
    if (ZSTD_isError(n)) return "error";
    out.resize(n);
  } else {
    z_stream stream{};
    inflateInit2(&stream, coding == Coding::kGzip ? 16 + MAX_WBITS : MAX_WBITS);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(wire.data()));
    stream.avail_in = static_cast<uInt>(wire.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    if (rc != Z_STREAM_END) return "error";
  }
  return out;
}

TEST(BodyEncoder, EncodedBodiesDecodeBackAndFlushReleasesAPrefix) {
  const std::string body = Body(300'000, true);
  for (Coding coding : {Coding::kGzip, Coding::kBrotli, Coding::kDeflate, Coding::kZstd}) {
    SCOPED_TRACE(CodingName(coding));
    BodyEncoder encoder(coding);
    std::string wire;
    std::mt19937 random(3);
    std::size_t fed = 0;
    while (fed < body.size()) {
      const std::size_t n = std::min(body.size() - fed, std::size_t{1} + random() % 5000);
      encoder.Feed(std::string_view(body).substr(fed, n), wire);
      fed += n;
      if (fed > 100'000 && fed - n <= 100'000) {
        // Everything fed so far can be read by the client now.
        encoder.Flush(wire);
        encoder.Flush(wire);
        BodyDecoder decoder({coding}, kNoLimit);
        std::string prefix;
        EXPECT_EQ(decoder.Feed(wire, prefix), Status::kOk);
        EXPECT_TRUE(prefix == body.substr(0, fed));
      }
    }
    encoder.Finish(wire);
    encoder.Feed("after the end", wire);
    encoder.Finish(wire);
    EXPECT_LT(wire.size(), body.size() / 2);
    EXPECT_TRUE(LibraryDecode(coding, wire, body.size()) == body);
    EXPECT_TRUE(Decode({coding}, wire, 1).body == body);
  }
  BodyEncoder nothing(Coding::kGzip);
  std::string empty;
  nothing.Finish(empty);
  EXPECT_EQ(LibraryDecode(Coding::kGzip, empty, 0), "");
}

// A body's announced size only sizes the encoder: bodies of any size, also ones that turn out
// larger than announced, still come out whole in the standard format.
TEST(BodyEncoder, SizedForTheWholeBodyStillEncodesAnyBody) {
  for (Coding coding : {Coding::kGzip, Coding::kBrotli, Coding::kDeflate}) {
    SCOPED_TRACE(CodingName(coding));
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{300}, std::size_t{5000},
                             std::size_t{70'000}}) {
      SCOPED_TRACE(size);
      const std::string body = Body(size, true);
      for (std::uint64_t announced : {std::uint64_t{size}, std::uint64_t{size / 4}}) {
        BodyEncoder encoder(coding, announced);
        std::string wire;
        encoder.Feed(body, wire);
        encoder.Finish(wire);
        EXPECT_TRUE(LibraryDecode(coding, wire, body.size()) == body);
      }
    }
  }
}

// A body in hand is encoded in one call: it decodes back whatever its size and coding, lands
// after what the output held already, and compresses as well as the streaming encoder does.
TEST(EncodeWhole, DecodesBackAfterWhatTheOutputHeld) {
  for (Coding coding : {Coding::kGzip, Coding::kDeflate, Coding::kBrotli, Coding::kZstd}) {
    SCOPED_TRACE(CodingName(coding));
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{300}, std::size_t{7000},
                             std::size_t{95'000}}) {
      SCOPED_TRACE(size);
      for (bool compressible : {true, false}) {
        const std::string body = Body(size, compressible, 5);
        std::string out = "head";
        EncodeWhole(coding, body, out);
        ASSERT_EQ(out.substr(0, 4), "head");
        const std::string wire = out.substr(4);
        EXPECT_TRUE(LibraryDecode(coding, wire, body.size()) == body);
        EXPECT_TRUE(Decode({coding}, wire, 1).body == body);
        if (compressible && size >= 7000) {
          std::string streamed;
          BodyEncoder encoder(coding);
          encoder.Feed(body, streamed);
          encoder.Finish(streamed);
          EXPECT_LT(wire.size(), streamed.size() + streamed.size() / 20);
        }
      }
    }
  }
  std::string identity;
  EncodeWhole(Coding::kIdentity, "as it is", identity);
  EXPECT_EQ(identity, "as it is");
}

}  // namespace
}  // namespace orv::proxy
