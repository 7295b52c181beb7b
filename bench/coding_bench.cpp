// orvcodingbench [--pages DIR] [--rounds N]
//
// What orvproxy's content codings cost per page: every page of DIR (*.html, recursively;
// examples/site by default, corpus/pages/utf8 from scripts/make-bench-corpus.sh for real pages)
// is encoded with BodyEncoder and decoded with BodyDecoder, fed in 16 KiB pieces as they come
// off a socket. Prints the compression ratio, the median throughput over the rounds (MB/s of
// page text, CPU time of this thread), and the ratio of the streaming decoder to the library's
// one-shot decoder on the same bytes.
#include <brotli/decode.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "proxy/content_coding.h"

namespace {

using orv::proxy::BodyDecoder;
using orv::proxy::BodyEncoder;
using orv::proxy::Coding;

constexpr std::size_t kPiece = 16 * 1024;

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::vector<std::string> LoadPages(const std::string& folder) {
  std::vector<std::string> pages;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.path().extension() != ".html") continue;
    std::string body;
    if (orv::files::ReadWholeFile(entry.path().string(), body)) pages.push_back(std::move(body));
  }
  return pages;
}

std::string Encode(Coding coding, const std::string& page) {
  // orvproxy encodes a page it holds whole with its size known, as here.
  BodyEncoder encoder(coding, page.size());
  std::string wire;
  for (std::size_t at = 0; at < page.size(); at += kPiece)
    encoder.Feed(std::string_view(page).substr(at, kPiece), wire);
  encoder.Finish(wire);
  return wire;
}

bool Decode(Coding coding, const std::string& wire, std::string& out) {
  BodyDecoder decoder({coding}, std::uint64_t{1} << 30);
  out.clear();
  for (std::size_t at = 0; at < wire.size(); at += kPiece) {
    if (decoder.Feed(std::string_view(wire).substr(at, kPiece), out) != BodyDecoder::Status::kOk)
      return false;
  }
  return decoder.Finish(out) == BodyDecoder::Status::kOk;
}

// The library's own one-shot decoder into a buffer of the known size: the floor to compare to.
bool DecodeOneShot(Coding coding, const std::string& wire, std::string& out) {
  if (coding == Coding::kBrotli) {
    std::size_t size = out.size();
    return BrotliDecoderDecompress(wire.size(), reinterpret_cast<const std::uint8_t*>(wire.data()),
                                   &size, reinterpret_cast<std::uint8_t*>(out.data())) ==
           BROTLI_DECODER_RESULT_SUCCESS;
  }
  if (coding == Coding::kZstd)
    return !ZSTD_isError(ZSTD_decompress(out.data(), out.size(), wire.data(), wire.size()));
  z_stream stream{};
  inflateInit2(&stream, coding == Coding::kGzip ? 16 + MAX_WBITS : MAX_WBITS);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(wire.data()));
  stream.avail_in = static_cast<uInt>(wire.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&stream, Z_FINISH);
  inflateEnd(&stream);
  return rc == Z_STREAM_END;
}

template <typename Work>
double MedianSeconds(int rounds, Work work) {
  std::vector<double> times;
  for (int round = 0; round < rounds; ++round) {
    const double start = ThreadSeconds();
    work();
    times.push_back(ThreadSeconds() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = "examples/site";
  int rounds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--pages") folder = argv[i + 1];
    if (option == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  const std::vector<std::string> pages = LoadPages(folder);
  std::size_t total = 0;
  for (const std::string& page : pages) total += page.size();
  if (total == 0) {
    std::fprintf(stderr, "orvcodingbench: no pages in %s\n", folder.c_str());
    return 1;
  }
  // Small pages are repeated so that one round takes long enough to time.
  const int repeat = static_cast<int>(std::max<std::size_t>(1, (64u << 20) / total));
  const double megabytes = static_cast<double>(total) * repeat / 1e6;
  std::printf("%zu pages, %.1f MB per round (%d times over), median of %d rounds\n\n", pages.size(),
              megabytes, repeat, rounds);
  std::printf("%-8s %7s %14s %14s %16s %9s\n", "coding", "ratio", "encode MB/s", "decode MB/s",
              "one-shot MB/s", "decode/1s");

  for (Coding coding : {Coding::kGzip, Coding::kBrotli, Coding::kDeflate, Coding::kZstd}) {
    std::vector<std::string> wires;
    std::size_t encoded = 0;
    for (const std::string& page : pages) {
      wires.push_back(Encode(coding, page));
      encoded += wires.back().size();
    }
    const double encodeTime = MedianSeconds(rounds, [&] {
      for (int r = 0; r < repeat; ++r)
        for (const std::string& page : pages) Encode(coding, page);
    });
    std::string out;
    bool ok = true;
    const double decodeTime = MedianSeconds(rounds, [&] {
      for (int r = 0; r < repeat; ++r)
        for (const std::string& wire : wires) ok = Decode(coding, wire, out) && ok;
    });
    const double oneShotTime = MedianSeconds(rounds, [&] {
      for (int r = 0; r < repeat; ++r) {
        for (std::size_t i = 0; i < wires.size(); ++i) {
          out.resize(pages[i].size());
          ok = DecodeOneShot(coding, wires[i], out) && ok;
        }
      }
    });
    std::printf("%-8s %7.2f %14.1f %14.1f %16.1f %9.2f%s\n",
                std::string(orv::proxy::CodingName(coding)).c_str(),
                static_cast<double>(total) / static_cast<double>(encoded), megabytes / encodeTime,
                megabytes / decodeTime, megabytes / oneShotTime, oneShotTime / decodeTime,
                ok ? "" : "  (decoding failed)");
  }
  return 0;
}
