// Response body decoding with hostile bytes. The first five bytes choose the setting:
//   [0] how many codings are stacked (0 to 3)   [1] which ones, two bits each
//   [2] [3] the limit, [2] << ([3] % 13)        [4] how the rest is cut into pieces
// and the rest is the encoded body. The decoder must never give more than the limit, must
// give exactly what it counts, and must stay in a state it reported. The header parsers get
// the whole input as a header value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "proxy/content_coding.h"

namespace {

using orv::proxy::BodyDecoder;
using orv::proxy::Coding;

void Check(bool condition) {
  if (!condition) std::abort();
}

void FuzzHeaders(std::string_view text) {
  if (const auto codings = orv::proxy::ParseContentEncoding(text)) {
    Check(codings->size() <= orv::proxy::kMaxContentCodings);
    for (Coding coding : *codings) Check(coding != Coding::kIdentity);
  }
  const Coding chosen = orv::proxy::ChooseResponseCoding(text);
  Check(chosen == Coding::kIdentity || chosen == Coding::kGzip || chosen == Coding::kBrotli);
  orv::proxy::CompressibleType(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  FuzzHeaders(input);
  if (size < 5) return 0;

  static constexpr Coding kCodings[] = {Coding::kGzip, Coding::kDeflate, Coding::kBrotli,
                                        Coding::kZstd};
  std::vector<Coding> codings;
  for (int i = 0; i < data[0] % 4; ++i) codings.push_back(kCodings[(data[1] >> (2 * i)) & 3]);
  const std::uint64_t limit = std::uint64_t{data[2]} << (data[3] % 13);
  const std::uint8_t cut = data[4];
  std::string_view body = input.substr(5);

  BodyDecoder decoder(codings, limit);
  std::string out;
  BodyDecoder::Status status = BodyDecoder::Status::kOk;
  while (!body.empty()) {
    // A piece's size comes from its own first byte: runs of 1-byte pieces and larger ones.
    const std::size_t piece =
        std::min<std::size_t>(body.size(), 1 + ((static_cast<std::uint8_t>(body[0]) ^ cut) % 97));
    const BodyDecoder::Status fed = decoder.Feed(body.substr(0, piece), out);
    Check(status == BodyDecoder::Status::kOk || fed == status);
    status = fed;
    body.remove_prefix(piece);
    Check(decoder.DecodedBytes() <= limit);
    Check(out.size() == decoder.DecodedBytes());
  }
  const BodyDecoder::Status finished = decoder.Finish(out);
  Check(status == BodyDecoder::Status::kOk || finished == status);
  Check(out.size() == decoder.DecodedBytes() && decoder.DecodedBytes() <= limit);
  return 0;
}
