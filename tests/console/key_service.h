// orvkeyd's server on 127.0.0.1 (a free port) on its own thread, for the console's tests of
// the online pages and the feeds.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "tools/keyd_server.h"

namespace orv::console::testing {

class KeyService {
 public:
  explicit KeyService(tools::KeyData data)
      : server_(std::make_shared<const tools::KeyData>(std::move(data))) {
    std::string error;
    listening_ = server_.Listen("127.0.0.1:0", error);
    if (listening_) thread_ = std::thread([this] { server_.Run(); });
  }
  ~KeyService() {
    server_.Stop();
    if (thread_.joinable()) thread_.join();
  }
  bool Listening() const { return listening_; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(server_.Port()); }

 private:
  tools::KeyServer server_;
  bool listening_ = false;
  std::thread thread_;
};

// Nobody listens on port 1 of the loopback address: every request is refused at once.
inline constexpr char kRefusingService[] = "http://127.0.0.1:1";

}  // namespace orv::console::testing
