#include "proxy/content_coding.h"

#include <brotli/decode.h>
#include <brotli/encode.h>
#include <zlib.h>
#include <zstd.h>
#ifdef ORV_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <array>
#include <limits>
#include <new>

#include "platform/ascii.h"

namespace orv::proxy {

namespace {

// The most one decoding step writes: large enough that the libraries' calls amortise, small
// enough that a body which expands a thousandfold is refused before it costs memory.
constexpr std::size_t kStep = 64 * 1024;
// Added to twice the limit for the bytes between two stacked stages: room for headers and
// incompressible stored blocks around a body that is itself within the limit.
constexpr std::uint64_t kPassSlack = 64 * 1024;
// Largest zstd window a decoder accepts (8 MiB), as browsers do for the zstd content coding:
// a frame may not make a connection hold more than that.
constexpr int kZstdWindowLogMax = 23;

// Calls `visit` with each element of a `separator`-separated list, blanks trimmed.
template <typename Visit>
void ForEachElement(std::string_view list, char separator, Visit visit) {
  while (true) {
    const std::size_t end = list.find(separator);
    visit(ascii::TrimBlanks(list.substr(0, end)));
    if (end == std::string_view::npos) return;
    list.remove_prefix(end + 1);
  }
}

std::optional<Coding> CodingOfName(std::string_view name) {
  if (ascii::EqualsNoCase(name, "gzip") || ascii::EqualsNoCase(name, "x-gzip"))
    return Coding::kGzip;
  if (ascii::EqualsNoCase(name, "deflate")) return Coding::kDeflate;
  if (ascii::EqualsNoCase(name, "br")) return Coding::kBrotli;
  if (ascii::EqualsNoCase(name, "zstd")) return Coding::kZstd;
  if (ascii::EqualsNoCase(name, "identity")) return Coding::kIdentity;
  return std::nullopt;
}

// One coding's decoder, fed the output of the stage before it (or the body).
class StageCodec {
 public:
  virtual ~StageCodec() = default;
  // Decodes from the front of `in`, dropping what it read, into dst[0, cap): the number of
  // bytes written, or nothing when `in` is not valid data. Returns once `in` is used up or
  // `dst` is full; fewer than `cap` bytes means nothing more can come out without more input.
  virtual std::optional<std::size_t> Step(std::string_view& in, char* dst, std::size_t cap) = 0;
  // Every stream begun has ended properly; a stage that was given no byte has nothing cut short.
  virtual bool Ended() const = 0;
};

// The zlib side: gzip (members one after another, as files concatenated with cat are) and
// deflate, whose zlib wrapper many servers leave out.
class InflateCodec final : public StageCodec {
 public:
  explicit InflateCodec(Coding coding) : gzip_(coding == Coding::kGzip) {
    if (gzip_) Init(16 + MAX_WBITS);
  }
  ~InflateCodec() override {
    if (initialised_) inflateEnd(&stream_);
  }

  std::optional<std::size_t> Step(std::string_view& in, char* dst, std::size_t cap) override {
    if (!in.empty()) started_ = true;
    if (!initialised_ && !TakeDeflateHead(in)) return 0;
    std::size_t written = 0;
    while (written < cap) {
      std::string_view& source = head_.empty() ? in : head_;
      if (source.empty()) break;
      if (ended_) {
        if (!gzip_) return std::nullopt;  // bytes after the end of the stream
        if (inflateReset(&stream_) != Z_OK) return std::nullopt;
        ended_ = false;
      }
      const uInt given =
          static_cast<uInt>(std::min<std::size_t>(source.size(), std::numeric_limits<uInt>::max()));
      const uInt room =
          static_cast<uInt>(std::min<std::size_t>(cap - written, std::numeric_limits<uInt>::max()));
      stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(source.data()));
      stream_.avail_in = given;
      stream_.next_out = reinterpret_cast<Bytef*>(dst + written);
      stream_.avail_out = room;
      const int rc = inflate(&stream_, Z_NO_FLUSH);
      source.remove_prefix(given - stream_.avail_in);
      written += room - stream_.avail_out;
      if (rc == Z_STREAM_END) {
        ended_ = true;
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        return std::nullopt;  // bad data, a preset dictionary we cannot have, or no memory
      } else if (given == stream_.avail_in && room == stream_.avail_out) {
        break;
      }
    }
    return written;
  }

  bool Ended() const override { return !started_ || ended_; }

 private:
  void Init(int windowBits) {
    if (inflateInit2(&stream_, windowBits) != Z_OK) throw std::bad_alloc();
    initialised_ = true;
  }

  // Deflate is zlib-wrapped when its first two bytes make a zlib header (deflate method, a
  // window of at most 32 KiB, the check bits); otherwise it is read as raw deflate. A raw
  // stream starts with a block header, which zlib's header check tells apart. False while the
  // two bytes have not all arrived; then `head_` holds them for the first inflate.
  bool TakeDeflateHead(std::string_view& in) {
    while (headSize_ < headBytes_.size() && !in.empty()) {
      headBytes_[headSize_++] = in.front();
      in.remove_prefix(1);
    }
    if (headSize_ < headBytes_.size()) return false;
    const auto cmf = static_cast<unsigned char>(headBytes_[0]);
    const auto flg = static_cast<unsigned char>(headBytes_[1]);
    const bool zlib = (cmf & 0x0f) == Z_DEFLATED && (cmf >> 4) <= 7 && ((cmf << 8) | flg) % 31 == 0;
    Init(zlib ? MAX_WBITS : -MAX_WBITS);
    head_ = std::string_view(headBytes_.data(), headBytes_.size());
    return true;
  }

  const bool gzip_;
  z_stream stream_{};
  bool initialised_ = false;
  bool started_ = false;
  bool ended_ = false;
  std::array<char, 2> headBytes_{};
  std::size_t headSize_ = 0;
  std::string_view head_;  // the deflate head's bytes not yet given to inflate
};

class BrotliCodec final : public StageCodec {
 public:
  BrotliCodec() : state_(BrotliDecoderCreateInstance(nullptr, nullptr, nullptr)) {
    if (state_ == nullptr) throw std::bad_alloc();
  }
  ~BrotliCodec() override { BrotliDecoderDestroyInstance(state_); }

  std::optional<std::size_t> Step(std::string_view& in, char* dst, std::size_t cap) override {
    if (!in.empty()) started_ = true;
    if (ended_) return in.empty() ? std::optional<std::size_t>(0) : std::nullopt;
    std::size_t availableIn = in.size();
    const auto* nextIn = reinterpret_cast<const std::uint8_t*>(in.data());
    std::size_t availableOut = cap;
    auto* nextOut = reinterpret_cast<std::uint8_t*>(dst);
    const BrotliDecoderResult result = BrotliDecoderDecompressStream(
        state_, &availableIn, &nextIn, &availableOut, &nextOut, nullptr);
    in.remove_prefix(in.size() - availableIn);
    if (result == BROTLI_DECODER_RESULT_ERROR) return std::nullopt;
    if (result == BROTLI_DECODER_RESULT_SUCCESS) {
      ended_ = true;
      if (!in.empty()) return std::nullopt;  // bytes after the end of the stream
    }
    return cap - availableOut;
  }

  bool Ended() const override { return !started_ || ended_; }

 private:
  BrotliDecoderState* state_;
  bool started_ = false;
  bool ended_ = false;
};

// Frames one after another, of known or unknown content size; skippable frames are passed over.
class ZstdCodec final : public StageCodec {
 public:
  ZstdCodec() : context_(ZSTD_createDCtx()) {
    if (context_ == nullptr) throw std::bad_alloc();
    ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, kZstdWindowLogMax);
  }
  ~ZstdCodec() override { ZSTD_freeDCtx(context_); }

  std::optional<std::size_t> Step(std::string_view& in, char* dst, std::size_t cap) override {
    if (!in.empty()) started_ = true;
    // At a frame's end everything is flushed; asking for more would start reading a next frame.
    if (in.empty() && atFrameEnd_) return 0;
    ZSTD_inBuffer input{in.data(), in.size(), 0};
    ZSTD_outBuffer output{dst, cap, 0};
    while (output.pos < output.size) {
      const std::size_t inBefore = input.pos;
      const std::size_t outBefore = output.pos;
      const std::size_t rc = ZSTD_decompressStream(context_, &output, &input);
      if (ZSTD_isError(rc)) return std::nullopt;
      atFrameEnd_ = rc == 0;
      if (input.pos == input.size && (atFrameEnd_ || output.pos < output.size)) break;
      if (input.pos == inBefore && output.pos == outBefore) break;
    }
    in.remove_prefix(input.pos);
    return output.pos;
  }

  bool Ended() const override { return !started_ || atFrameEnd_; }

 private:
  ZSTD_DCtx* context_;
  bool started_ = false;
  bool atFrameEnd_ = true;
};

std::unique_ptr<StageCodec> MakeDecoder(Coding coding) {
  switch (coding) {
    case Coding::kGzip:
    case Coding::kDeflate:
      return std::make_unique<InflateCodec>(coding);
    case Coding::kBrotli:
      return std::make_unique<BrotliCodec>();
    case Coding::kZstd:
      return std::make_unique<ZstdCodec>();
    case Coding::kIdentity:
      break;
  }
  return nullptr;
}

}  // namespace

std::optional<std::vector<Coding>> ParseContentEncoding(std::string_view value) {
  std::vector<Coding> codings;
  bool decodable = true;
  ForEachElement(value, ',', [&](std::string_view element) {
    if (element.empty() || !decodable) return;
    const std::optional<Coding> coding = CodingOfName(element);
    if (!coding || (*coding != Coding::kIdentity && codings.size() == kMaxContentCodings)) {
      decodable = false;
    } else if (*coding != Coding::kIdentity) {
      codings.push_back(*coding);
    }
  });
  if (!decodable) return std::nullopt;
  return codings;
}

struct BodyDecoder::Stage {
  explicit Stage(std::unique_ptr<StageCodec> decoder)
      : codec(std::move(decoder)), buffer(std::make_unique_for_overwrite<char[]>(kStep)) {}

  std::unique_ptr<StageCodec> codec;
  std::uint64_t produced = 0;      // bytes this stage has decoded so far
  std::unique_ptr<char[]> buffer;  // one step's output, handed on at once
};

BodyDecoder::BodyDecoder(std::vector<Coding> codings, std::uint64_t limit)
    : limit_(limit),
      passLimit_(limit > (std::numeric_limits<std::uint64_t>::max() - kPassSlack) / 2
                     ? std::numeric_limits<std::uint64_t>::max()
                     : 2 * limit + kPassSlack) {
  // The origin applied the first coding first, so it is undone last.
  for (auto coding = codings.rbegin(); coding != codings.rend(); ++coding) {
    if (std::unique_ptr<StageCodec> codec = MakeDecoder(*coding))
      stages_.push_back(std::make_unique<Stage>(std::move(codec)));
  }
}

BodyDecoder::~BodyDecoder() = default;

BodyDecoder::Status BodyDecoder::Feed(std::string_view in, std::string& out) {
  if (status_ != Status::kOk || in.empty()) return status_;
  if (finished_) return status_ = Status::kCorrupt;
  return status_ = Pump(0, in, out);
}

BodyDecoder::Status BodyDecoder::Finish(std::string&) {
  // Every Feed has already passed on all its stages could give; what is left to tell is
  // whether each stream came to its end.
  if (status_ != Status::kOk) return status_;
  finished_ = true;
  for (const std::unique_ptr<Stage>& stage : stages_) {
    if (!stage->codec->Ended()) return status_ = Status::kCorrupt;
  }
  return status_;
}

std::uint64_t BodyDecoder::DecodedBytes() const {
  return decoded_;
}

BodyDecoder::Status BodyDecoder::Pump(std::size_t index, std::string_view in, std::string& out) {
  if (index == stages_.size()) {
    const std::uint64_t room = limit_ - decoded_;
    if (in.size() > room) {
      out.append(in.data(), static_cast<std::size_t>(room));
      decoded_ = limit_;
      return Status::kTooLarge;
    }
    out.append(in);
    decoded_ += in.size();
    return Status::kOk;
  }
  Stage& stage = *stages_[index];
  const bool last = index + 1 == stages_.size();
  const std::uint64_t bound = last ? limit_ : passLimit_;
  while (true) {
    // One byte past the room left is enough to know that the bound would be passed.
    const std::uint64_t room = bound - std::min(bound, stage.produced);
    const std::size_t cap = room < kStep ? static_cast<std::size_t>(room) + 1 : kStep;
    const std::size_t before = in.size();
    const std::optional<std::size_t> written = stage.codec->Step(in, stage.buffer.get(), cap);
    if (!written) return Status::kCorrupt;
    stage.produced += *written;
    if (*written > 0) {
      // The last stage's overflow is cut at the limit where it is appended.
      if (!last && stage.produced > bound) return Status::kTooLarge;
      const Status status = Pump(index + 1, std::string_view(stage.buffer.get(), *written), out);
      if (status != Status::kOk) return status;
    } else if (!in.empty() && in.size() == before) {
      return Status::kCorrupt;  // neither read nor wrote: nothing would ever change
    }
    if (*written < cap && in.empty()) return Status::kOk;
  }
}

Coding ChooseResponseCoding(std::string_view acceptEncoding) {
  struct Offer {
    bool listed = false;
    int quality = 0;  // thousandths
  };
  // A qvalue: "0" to "1" with at most three decimals; nothing when malformed.
  auto parseQuality = [](std::string_view text) -> std::optional<int> {
    if (text.empty() || (text[0] != '0' && text[0] != '1')) return std::nullopt;
    const int whole = text[0] - '0';
    text.remove_prefix(1);
    if (text.empty()) return whole * 1000;
    if (text[0] != '.' || text.size() > 4) return std::nullopt;
    int thousandths = 0;
    int scale = 100;
    for (const char digit : text.substr(1)) {
      if (digit < '0' || digit > '9') return std::nullopt;
      thousandths += (digit - '0') * scale;
      scale /= 10;
    }
    if (whole == 1 && thousandths != 0) return std::nullopt;
    return whole * 1000 + thousandths;
  };

  Offer brotli, gzip, any;
  ForEachElement(acceptEncoding, ',', [&](std::string_view element) {
    const std::size_t semicolon = element.find(';');
    const std::string_view name = ascii::TrimBlanks(element.substr(0, semicolon));
    if (name.empty()) return;
    int quality = 1000;
    bool wellFormed = true;
    if (semicolon != std::string_view::npos) {
      ForEachElement(element.substr(semicolon + 1), ';', [&](std::string_view parameter) {
        const std::size_t equals = parameter.find('=');
        if (!ascii::EqualsNoCase(ascii::TrimBlanks(parameter.substr(0, equals)), "q")) return;
        const std::optional<int> parsed =
            equals == std::string_view::npos
                ? std::nullopt
                : parseQuality(ascii::TrimBlanks(parameter.substr(equals + 1)));
        if (parsed) {
          quality = *parsed;
        } else {
          wellFormed = false;
        }
      });
    }
    if (!wellFormed) return;  // as if the element were not there
    Offer* offer = nullptr;
    if (ascii::EqualsNoCase(name, "br")) offer = &brotli;
    if (ascii::EqualsNoCase(name, "gzip") || ascii::EqualsNoCase(name, "x-gzip")) offer = &gzip;
    if (name == "*") offer = &any;
    if (offer != nullptr && !offer->listed) *offer = {true, quality};
  });

  const int brotliQuality = brotli.listed ? brotli.quality : any.quality;
  const int gzipQuality = gzip.listed ? gzip.quality : any.quality;
  if (brotliQuality > 0 && brotliQuality >= gzipQuality) return Coding::kBrotli;
  if (gzipQuality > 0) return Coding::kGzip;
  return Coding::kIdentity;
}

std::string_view CodingName(Coding coding) {
  switch (coding) {
    case Coding::kGzip:
      return "gzip";
    case Coding::kDeflate:
      return "deflate";
    case Coding::kBrotli:
      return "br";
    case Coding::kZstd:
      return "zstd";
    case Coding::kIdentity:
      break;
  }
  return "identity";
}

bool CompressibleType(std::string_view contentType) {
  const std::string_view mediaType =
      ascii::TrimBlanks(contentType.substr(0, contentType.find(';')));
  const std::size_t slash = mediaType.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash + 1 == mediaType.size()) return false;
  std::string lower(mediaType);
  ascii::LowerInPlace(lower);
  const std::string_view type(lower);
  const std::string_view subtype = type.substr(slash + 1);
  if (type.substr(0, slash) == "text") return true;
  if (subtype.ends_with("+json") || subtype.ends_with("+xml")) return true;
  for (const std::string_view known :
       {"application/javascript", "application/x-javascript", "application/ecmascript",
        "application/json", "application/xml", "application/xhtml+xml", "image/svg+xml"}) {
    if (type == known) return true;
  }
  return false;
}

namespace {

enum class EncodeStep { kProcess, kFlush, kFinish };

// Bytes zlib looks ahead of the window's end (MIN_LOOKAHEAD in zlib).
constexpr std::uint64_t kDeflateLookAhead = 262;

// The smallest number of bits whose power of two holds `size`.
int BitsFor(std::uint64_t size) {
  int bits = 0;
  while (bits < 63 && (std::uint64_t{1} << bits) < size) ++bits;
  return bits;
}

class EncodeCodec {
 public:
  virtual ~EncodeCodec() = default;
  virtual void Run(std::string_view in, EncodeStep step, std::string& out) = 0;
};

// Output of the zlib and zstd encoders is gathered here before it is appended, so that a small
// piece does not grow `out` by a whole buffer.
constexpr std::size_t kEncodeBuffer = 16 * 1024;

class DeflateEncoder final : public EncodeCodec {
 public:
  DeflateEncoder(Coding coding, std::optional<std::uint64_t> wholeSize) {
    // A window no larger than the body (with zlib's look-ahead) finds the same matches, and the
    // hash table follows it down: for a page of a few KiB the stream's state is a few KiB
    // instead of a quarter of a MiB that would be allocated and cleared for every response.
    int windowBits = MAX_WBITS;
    if (wholeSize) windowBits = std::clamp(BitsFor(*wholeSize + kDeflateLookAhead), 9, MAX_WBITS);
    const int memLevel = std::clamp(windowBits - 7, 1, 8);
    // Level 6 is zlib's own default: most of what level 9 saves on pages for a third of its time.
    const int wrapped = coding == Coding::kGzip ? 16 + windowBits : windowBits;
    if (deflateInit2(&stream_, 6, Z_DEFLATED, wrapped, memLevel, Z_DEFAULT_STRATEGY) != Z_OK)
      throw std::bad_alloc();
  }
  ~DeflateEncoder() override { deflateEnd(&stream_); }

  void Run(std::string_view in, EncodeStep step, std::string& out) override {
    const int flush = step == EncodeStep::kProcess ? Z_NO_FLUSH
                      : step == EncodeStep::kFlush ? Z_SYNC_FLUSH
                                                   : Z_FINISH;
    std::array<char, kEncodeBuffer> buffer;
    while (true) {
      const uInt given =
          static_cast<uInt>(std::min<std::size_t>(in.size(), std::numeric_limits<uInt>::max()));
      stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
      stream_.avail_in = given;
      stream_.next_out = reinterpret_cast<Bytef*>(buffer.data());
      stream_.avail_out = static_cast<uInt>(buffer.size());
      // The flush applies once all input is in; before that the input is only compressed.
      const bool lastInput = given == in.size();
      const int rc = deflate(&stream_, lastInput ? flush : Z_NO_FLUSH);
      in.remove_prefix(given - stream_.avail_in);
      out.append(buffer.data(), buffer.size() - stream_.avail_out);
      if (rc == Z_STREAM_END || rc == Z_BUF_ERROR || rc == Z_STREAM_ERROR) return;
      if (in.empty() && stream_.avail_out != 0) return;
    }
  }

 private:
  z_stream stream_{};
};

class BrotliEncoder final : public EncodeCodec {
 public:
  explicit BrotliEncoder(std::optional<std::uint64_t> wholeSize)
      : state_(BrotliEncoderCreateInstance(nullptr, nullptr, nullptr)) {
    if (state_ == nullptr) throw std::bad_alloc();
    // Quality 4 with a 4 MiB window: on pages it costs about what gzip's level 6 costs and still
    // comes out smaller; quality 5 saves a few per cent more for a third more time. A body of known
    // size gets a window to its size, and the hint lets the encoder size its tables to it.
    int windowBits = 22;
    if (wholeSize) {
      windowBits = std::clamp(BitsFor(*wholeSize), BROTLI_MIN_WINDOW_BITS, windowBits);
      BrotliEncoderSetParameter(state_, BROTLI_PARAM_SIZE_HINT,
                                static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                    *wholeSize, std::numeric_limits<std::uint32_t>::max())));
    }
    BrotliEncoderSetParameter(state_, BROTLI_PARAM_QUALITY, 4);
    BrotliEncoderSetParameter(state_, BROTLI_PARAM_LGWIN, static_cast<std::uint32_t>(windowBits));
    BrotliEncoderSetParameter(state_, BROTLI_PARAM_MODE, BROTLI_MODE_TEXT);
  }
  ~BrotliEncoder() override { BrotliEncoderDestroyInstance(state_); }

  void Run(std::string_view in, EncodeStep step, std::string& out) override {
    const BrotliEncoderOperation operation = step == EncodeStep::kProcess ? BROTLI_OPERATION_PROCESS
                                             : step == EncodeStep::kFlush ? BROTLI_OPERATION_FLUSH
                                                                          : BROTLI_OPERATION_FINISH;
    std::size_t availableIn = in.size();
    const auto* nextIn = reinterpret_cast<const std::uint8_t*>(in.data());
    while (true) {
      std::size_t availableOut = 0;
      if (!BrotliEncoderCompressStream(state_, operation, &availableIn, &nextIn, &availableOut,
                                       nullptr, nullptr))
        return;
      std::size_t size = 0;
      const std::uint8_t* data = BrotliEncoderTakeOutput(state_, &size);
      out.append(reinterpret_cast<const char*>(data), size);
      const bool done = step == EncodeStep::kFinish
                            ? BrotliEncoderIsFinished(state_) != 0
                            : availableIn == 0 && BrotliEncoderHasMoreOutput(state_) == 0;
      if (done) return;
    }
  }

 private:
  BrotliEncoderState* state_;
};

class ZstdEncoder final : public EncodeCodec {
 public:
  ZstdEncoder() : context_(ZSTD_createCCtx()) {
    if (context_ == nullptr) throw std::bad_alloc();
    ZSTD_CCtx_setParameter(context_, ZSTD_c_compressionLevel, 3);
    ZSTD_CCtx_setParameter(context_, ZSTD_c_windowLog, kZstdWindowLogMax - 2);
  }
  ~ZstdEncoder() override { ZSTD_freeCCtx(context_); }

  void Run(std::string_view in, EncodeStep step, std::string& out) override {
    const ZSTD_EndDirective directive = step == EncodeStep::kProcess ? ZSTD_e_continue
                                        : step == EncodeStep::kFlush ? ZSTD_e_flush
                                                                     : ZSTD_e_end;
    std::array<char, kEncodeBuffer> buffer;
    ZSTD_inBuffer input{in.data(), in.size(), 0};
    while (true) {
      ZSTD_outBuffer output{buffer.data(), buffer.size(), 0};
      const std::size_t rc = ZSTD_compressStream2(context_, &output, &input, directive);
      out.append(buffer.data(), output.pos);
      if (ZSTD_isError(rc)) return;
      const bool done = directive == ZSTD_e_continue ? input.pos == input.size : rc == 0;
      if (done) return;
    }
  }

 private:
  ZSTD_CCtx* context_;
};

class IdentityEncoder final : public EncodeCodec {
 public:
  void Run(std::string_view in, EncodeStep, std::string& out) override { out.append(in); }
};

std::unique_ptr<EncodeCodec> MakeEncoder(Coding coding, std::optional<std::uint64_t> wholeSize) {
  switch (coding) {
    case Coding::kGzip:
    case Coding::kDeflate:
      return std::make_unique<DeflateEncoder>(coding, wholeSize);
    case Coding::kBrotli:
      return std::make_unique<BrotliEncoder>(wholeSize);
    case Coding::kZstd:
      return std::make_unique<ZstdEncoder>();
    case Coding::kIdentity:
      break;
  }
  return std::make_unique<IdentityEncoder>();
}

}  // namespace

struct BodyEncoder::State {
  std::unique_ptr<EncodeCodec> codec;
  bool finished = false;
};

BodyEncoder::BodyEncoder(Coding coding, std::optional<std::uint64_t> wholeSize)
    : state_(std::make_unique<State>(State{MakeEncoder(coding, wholeSize), false})) {}

BodyEncoder::~BodyEncoder() = default;

void BodyEncoder::Feed(std::string_view in, std::string& out) {
  if (!state_->finished && !in.empty()) state_->codec->Run(in, EncodeStep::kProcess, out);
}

void BodyEncoder::Flush(std::string& out) {
  if (!state_->finished) state_->codec->Run({}, EncodeStep::kFlush, out);
}

void BodyEncoder::Finish(std::string& out) {
  if (state_->finished) return;
  state_->codec->Run({}, EncodeStep::kFinish, out);
  state_->finished = true;
}

#ifdef ORV_HAVE_LIBDEFLATE
namespace {

// libdeflate compresses a buffer in one call, with no stream state to keep between calls: at
// level 6 it comes out within a per cent of zlib's size at level 6 in about half zlib's time.
// Its compressor is large to set up, so each thread keeps one; a connection's work runs on one
// thread from start to end, so the compressor is never shared.
constexpr int kWholeLevel = 6;

struct CompressorDeleter {
  void operator()(libdeflate_compressor* compressor) const {
    libdeflate_free_compressor(compressor);
  }
};

libdeflate_compressor* ThreadCompressor() {
  thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
      libdeflate_alloc_compressor(kWholeLevel));
  return compressor.get();
}

// False when libdeflate cannot be used (no memory for the compressor): the caller falls back to
// the streaming encoder.
bool DeflateWhole(Coding coding, std::string_view body, std::string& out) {
  libdeflate_compressor* compressor = ThreadCompressor();
  if (compressor == nullptr) return false;
  const bool gzip = coding == Coding::kGzip;
  const std::size_t bound = gzip ? libdeflate_gzip_compress_bound(compressor, body.size())
                                 : libdeflate_zlib_compress_bound(compressor, body.size());
  const std::size_t start = out.size();
  out.resize(start + bound);
  const std::size_t written = gzip ? libdeflate_gzip_compress(compressor, body.data(), body.size(),
                                                              out.data() + start, bound)
                                   : libdeflate_zlib_compress(compressor, body.data(), body.size(),
                                                              out.data() + start, bound);
  out.resize(start + written);
  return written > 0;
}

}  // namespace
#endif

void EncodeWhole(Coding coding, std::string_view body, std::string& out) {
#ifdef ORV_HAVE_LIBDEFLATE
  if ((coding == Coding::kGzip || coding == Coding::kDeflate) && DeflateWhole(coding, body, out))
    return;
#endif
  BodyEncoder encoder(coding, body.size());
  encoder.Feed(body, out);
  encoder.Finish(out);
}

}  // namespace orv::proxy
