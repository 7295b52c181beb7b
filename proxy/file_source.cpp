#include "proxy/file_source.h"

#include <algorithm>
#include <filesystem>

#include "proxy/loop_stream.h"

namespace orv::proxy {

void FileSource::Canned(ResponseHead& head, unsigned status, std::string reason, std::string body) {
  head.status = status;
  head.reason = std::move(reason);
  head.fields.push_back({"Content-Type", "text/html"});
  head.contentLength = body.size();
  canned_ = std::move(body);
}

LoopAwaitable<SourceResult> FileSource::Start(ForwardRequest&, const RequestFacts& facts,
                                              ResponseHead& head) {
  Finish(false);
  remaining_ = 0;
  canned_.clear();
  head = ResponseHead{};
  head.fields.push_back({"Server", "orvproxy"});
  bool headOnly = facts.method == "HEAD";
  if (facts.method != "GET" && !headOnly && facts.method != "POST") {
    head.fields.push_back({"Allow", "GET, HEAD"});
    Canned(head, 405, "Method Not Allowed",
           "<html><body><h1>405 Method Not Allowed</h1></body></html>\n");
    co_return SourceResult::kOk;
  }
  SiteLookup found = site_.Lookup(facts.url, facts.rawPath);
  if (found.kind == SiteLookup::Kind::kRedirect) {
    head.fields.push_back({"Location", found.location});
    Canned(head, 301, "Moved Permanently",
           "<html><body><a href=\"" + found.location + "\">moved</a></body></html>\n");
    co_return SourceResult::kOk;
  }
  if (found.kind == SiteLookup::Kind::kFile && facts.method == "POST") {
    // A folder of files has nothing to post to; the body was screened all the same.
    head.fields.push_back({"Allow", "GET, HEAD"});
    Canned(head, 405, "Method Not Allowed",
           "<html><body><h1>405 Method Not Allowed</h1></body></html>\n");
    co_return SourceResult::kOk;
  }
  if (found.kind == SiteLookup::Kind::kFile) {
    std::error_code ec;
    std::uint64_t size = std::filesystem::file_size(found.file, ec);
    file_.open(found.file, std::ios::binary);
    if (!ec && file_) {
      head.fields.push_back({"Content-Type", std::string(ContentTypeFor(found.file))});
      head.contentLength = size;
      remaining_ = headOnly ? 0 : size;
      co_return SourceResult::kOk;
    }
  }
  Canned(head, 404, "Not Found", "<html><body><h1>404 Not Found</h1></body></html>\n");
  if (headOnly) canned_.clear();
  co_return SourceResult::kOk;
}

LoopAwaitable<SourceResult> FileSource::Read(std::string& out, std::size_t limit, bool& complete,
                                             std::chrono::milliseconds) {
  if (!canned_.empty()) {
    out += canned_;
    canned_.clear();
  }
  while (remaining_ > 0 && out.size() < limit) {
    std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, limit - out.size()));
    std::size_t old = out.size();
    out.resize(old + want);
    file_.read(out.data() + old, static_cast<std::streamsize>(want));
    std::size_t got = static_cast<std::size_t>(file_.gcount());
    out.resize(old + got);
    remaining_ -= got;
    // A file cut short while it was being read: the response breaks off like an upstream one.
    if (got < want) co_return SourceResult::kBrokenOff;
  }
  complete = remaining_ == 0;
  co_return SourceResult::kOk;
}

}  // namespace orv::proxy
