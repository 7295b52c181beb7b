// The anchor of the benchmark: vectorscan (the portable Hyperscan) scanning for a set of
// literal words in block mode, each word reported once per scan.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct hs_database;
struct hs_scratch;

namespace orv::bench {

class VectorscanScan {
 public:
  // Empty words are left out. Throws std::runtime_error when vectorscan refuses the set.
  explicit VectorscanScan(const std::vector<std::string>& words);
  ~VectorscanScan();
  VectorscanScan(const VectorscanScan&) = delete;
  VectorscanScan& operator=(const VectorscanScan&) = delete;

  // The number of distinct words found in `text`.
  std::size_t Scan(std::string_view text);

 private:
  hs_database* database_ = nullptr;
  hs_scratch* scratch_ = nullptr;
};

}  // namespace orv::bench
