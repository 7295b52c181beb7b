// Bytes the filter writes to the client itself (a block page during the URL mapping or a raw
// data notification) may come back to it as raw data on some hosts, on the same thread before
// WriteClient returns, or on another thread for the same connection. Screened again, a black
// listed request's page would be blocked again, and written again, without end. While such a
// write is under way, every notification it causes for its thread or connection passes as it
// is.
#pragma once

#include <windows.h>
// windows.h first: httpfilt.h relies on its types.
#include <httpfilt.h>

namespace orv::isapi {

class OwnWriteGuard {
 public:
  explicit OwnWriteGuard(const HTTP_FILTER_CONTEXT* context);
  ~OwnWriteGuard();
  OwnWriteGuard(const OwnWriteGuard&) = delete;
  OwnWriteGuard& operator=(const OwnWriteGuard&) = delete;

  // True while a write of the filter's own is under way on this thread or for `context`.
  static bool Inside(const HTTP_FILTER_CONTEXT* context);

 private:
  const HTTP_FILTER_CONTEXT* context_;
  DWORD thread_;
};

}  // namespace orv::isapi
