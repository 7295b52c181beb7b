#include "bench_texts.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "keywords/page_text.h"
#include "platform/codepage.h"

namespace orv::bench {

namespace {

std::vector<std::string> Cut(const std::string& joined, std::size_t pieceBytes,
                             std::size_t maxPieces) {
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at + pieceBytes <= joined.size() && pieces.size() < maxPieces;
       at += pieceBytes) {
    pieces.push_back(codepage::LowerAscii(std::string_view(joined).substr(at, pieceBytes)));
  }
  return pieces;
}

}  // namespace

BenchTexts LoadBenchTexts(const std::string& folder, std::size_t pieceBytes,
                          std::size_t maxPieces) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const auto ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".html" || ext == ".htm" || ext == ".txt"))
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::string gbk, utf8;
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    (keywords::LooksLikeUtf8(page) ? utf8 : gbk) += page;
  }
  if (gbk.empty()) gbk = codepage::Utf8ToAnsi(utf8);
  if (utf8.empty()) utf8 = codepage::AnsiToUtf8(gbk);
  return {Cut(gbk, pieceBytes, maxPieces), Cut(utf8, pieceBytes, maxPieces)};
}

}  // namespace orv::bench
