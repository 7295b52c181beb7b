// The online keyword client's transport in the console: each request goes through the
// console's background downloader, so the window keeps handling events while it runs.
#pragma once

#include "console/foundation/http_download.h"
#include "online/transport.h"

namespace orv::console {

class FetcherTransport : public online::HttpTransport {
 public:
  // Runs on the user-interface thread and returns when the download has ended; meanwhile the
  // event loop runs, so callers disable whatever could start a second request.
  online::HttpReply HttpGet(const std::string& url) override;

  HttpFetcher& Fetcher() { return fetcher_; }

 private:
  HttpFetcher fetcher_;
};

}  // namespace orv::console
