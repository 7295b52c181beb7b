// The texts a benchmark screens: HTML pages (or plain text pages) of a folder, sorted by encoding,
// lower-cased as the filter's handlers pass them, and cut into equal pieces.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orv::bench {

struct BenchTexts {
  std::vector<std::string> gbk;
  std::vector<std::string> utf8;
};

// Reads every .html/.htm/.txt file under `folder` (recursively). A page that passes the filter's
// UTF-8 guess counts as UTF-8, every other as GBK; when one encoding has no pages, the other
// one's are converted. The pages of each encoding are joined and cut into pieces of
// `pieceBytes` (at most `maxPieces` of them).
BenchTexts LoadBenchTexts(const std::string& folder, std::size_t pieceBytes, std::size_t maxPieces);

}  // namespace orv::bench
