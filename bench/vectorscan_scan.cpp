#include "vectorscan_scan.h"

#include <hs.h>

#include <stdexcept>

namespace orv::bench {

VectorscanScan::VectorscanScan(const std::vector<std::string>& words) {
  std::vector<const char*> expressions;
  std::vector<std::size_t> lengths;
  std::vector<unsigned> flags, ids;
  for (const std::string& word : words) {
    if (word.empty()) continue;
    expressions.push_back(word.data());
    lengths.push_back(word.size());
    flags.push_back(HS_FLAG_SINGLEMATCH);
    ids.push_back(static_cast<unsigned>(ids.size()));
  }
  hs_compile_error_t* error = nullptr;
  if (hs_compile_lit_multi(expressions.data(), flags.data(), ids.data(), lengths.data(),
                           static_cast<unsigned>(expressions.size()), HS_MODE_BLOCK, nullptr,
                           &database_, &error) != HS_SUCCESS) {
    const std::string message = error != nullptr ? error->message : "unknown error";
    hs_free_compile_error(error);
    throw std::runtime_error("vectorscan: " + message);
  }
  if (hs_alloc_scratch(database_, &scratch_) != HS_SUCCESS) {
    hs_free_database(database_);
    throw std::runtime_error("vectorscan: cannot allocate scratch");
  }
}

VectorscanScan::~VectorscanScan() {
  hs_free_scratch(scratch_);
  hs_free_database(database_);
}

std::size_t VectorscanScan::Scan(std::string_view text) {
  std::size_t found = 0;
  const auto onMatch = [](unsigned, unsigned long long, unsigned long long, unsigned,
                          void* context) -> int {
    ++*static_cast<std::size_t*>(context);
    return 0;
  };
  hs_scan(database_, text.data(), static_cast<unsigned>(text.size()), 0, scratch_, onMatch, &found);
  return found;
}

}  // namespace orv::bench
