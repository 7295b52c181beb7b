// orvkeyd's HTTP side: one thread, one request per connection, bounded sizes and times.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tools/keyd_data.h"

namespace orv::tools {

class KeyServer {
 public:
  // Longest request head (request line and header fields) and whole-exchange time.
  static constexpr std::size_t kMaxRequestHeadBytes = 16 * 1024;
  static constexpr int kExchangeTimeoutSeconds = 15;
  // Connections served at once; more are closed at once.
  static constexpr std::size_t kMaxConnections = 256;

  explicit KeyServer(std::shared_ptr<const KeyData> data);
  ~KeyServer();
  KeyServer(const KeyServer&) = delete;
  KeyServer& operator=(const KeyServer&) = delete;

  // Binds "ADDR:PORT" ("[v6]:PORT" for IPv6; port 0 picks a free one). False with `error`.
  bool Listen(const std::string& addressAndPort, std::string& error);
  unsigned short Port() const;

  // Serves until Stop(). With `reload` given, SIGHUP calls it on the serving thread and a
  // non-null result replaces the data; SIGTERM and SIGINT stop the server.
  void Run(std::function<std::shared_ptr<const KeyData>()> reload = {});
  // Thread-safe.
  void Stop();
  void Replace(std::shared_ptr<const KeyData> data);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orv::tools
