// Text downloads over HTTP for the online keyword service, the update check and the
// advertisement feed. One attempt, no retry; the body's lines are joined without separators.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace orv::console {

// The URL with the cache-buster "rnum=" + `number` appended ("?" or "&" as the URL needs).
std::string WithCacheBuster(std::string_view url, int number);
// A cache-buster number, 1..998.
int CacheBusterNumber();

// Upper bound of a whole download unless the caller names another; a server that stalls
// longer counts as a network failure. A reply body beyond online::kMaxReplyBytes is one too.
inline constexpr int kDownloadTimeoutMs = 30000;

// Downloads on the caller's thread (which blocks). 1 once a response came, whatever its
// status (only 200 and 500 fill `text`); 0 for an empty URL or a network failure.
int HttpGetText(std::string_view url, std::string& text,
                int transferTimeoutMs = kDownloadTimeoutMs);

// Downloads on a worker thread while the calling user-interface thread keeps dispatching
// events. Not re-entrant: callers disable whatever could start a second Fetch meanwhile.
class HttpFetcher {
 public:
  // 1 for status 200 or 500 (body in `text`), 0 for any other status or an empty URL,
  // 2 on a network failure, with `text` "x" when nothing had been read.
  int Fetch(std::string_view url, std::string& text);

  static constexpr int kTransferTimeoutMs = kDownloadTimeoutMs;
  // Pause between two event dispatches while waiting (the window stays responsive).
  void SetPollIntervalMs(int ms) { pollIntervalMs_ = ms; }

 private:
  std::string url_;
  std::string result_;
  int code_ = 0;
  std::atomic<bool> done_{false};
  int pollIntervalMs_ = 100;
};

}  // namespace orv::console
