// Responses from the served folder: the file with its content type, 301 for a folder named
// without its "/", 404, and 405 for methods a folder of files cannot answer.
#pragma once

#include <fstream>
#include <string>

#include "proxy/loop_stream.h"
#include "proxy/response_source.h"
#include "proxy/static_site.h"

namespace orv::proxy {

class FileSource final : public ResponseSource {
 public:
  explicit FileSource(const StaticSite& site) : site_(site) {}

  LoopAwaitable<SourceResult> Start(ForwardRequest& request, const RequestFacts& facts,
                                    ResponseHead& head) override;
  // A file never pauses.
  LoopAwaitable<SourceResult> Read(std::string& out, std::size_t limit, bool& complete,
                                   std::chrono::milliseconds pause) override;
  void Finish(bool) override {
    if (file_.is_open()) file_.close();
    file_.clear();
  }

 private:
  void Canned(ResponseHead& head, unsigned status, std::string reason, std::string body);

  const StaticSite& site_;
  std::ifstream file_;
  std::uint64_t remaining_ = 0;
  std::string canned_;  // body of a response made up here
};

}  // namespace orv::proxy
