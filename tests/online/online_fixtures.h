// Shared pieces of the online service tests: a scratch folder, a scripted transport, orvkeyd's
// server on a thread, and a raw TCP peer that answers with canned bytes.
#pragma once

#include <unistd.h>

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "online/md5.h"
#include "online/transport.h"
#include "platform/codepage.h"
#include "tests/support/temp_folder.h"
#include "tools/keyd_server.h"

namespace orv::online::testing {

namespace fs = std::filesystem;

inline std::string Gbk(std::string_view utf8) {
  return codepage::Utf8ToAnsi(utf8);
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::ssize(bytes));
}

using ScratchFolder = orv::testing::TempFolder;

// Answers each GET with the next scripted reply (a network failure once they run out) and
// keeps the URLs asked for.
class ScriptedTransport : public HttpTransport {
 public:
  void Answer(std::string body) { replies_.push_back({GetOutcome::Answered, std::move(body), ""}); }
  void Push(HttpReply reply) { replies_.push_back(std::move(reply)); }
  HttpReply HttpGet(const std::string& url) override {
    urls.push_back(url);
    if (replies_.empty()) return {GetOutcome::NetworkFailure, "", "no reply scripted"};
    HttpReply reply = std::move(replies_.front());
    replies_.pop_front();
    return reply;
  }
  std::vector<std::string> urls;

 private:
  std::deque<HttpReply> replies_;
};

// orvkeyd's server on 127.0.0.1, a free port, on its own thread.
class KeyServerThread {
 public:
  explicit KeyServerThread(std::shared_ptr<const tools::KeyData> data) : server_(std::move(data)) {
    std::string error;
    listening_ = server_.Listen("127.0.0.1:0", error);
    if (listening_) thread_ = std::thread([this] { server_.Run(); });
  }
  ~KeyServerThread() {
    server_.Stop();
    if (thread_.joinable()) thread_.join();
  }
  bool Listening() const { return listening_; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(server_.Port()); }
  tools::KeyServer& Server() { return server_; }

 private:
  tools::KeyServer server_;
  bool listening_ = false;
  std::thread thread_;
};

// Accepts connections on 127.0.0.1 and answers each, once its request head has arrived, with
// `reply` (then closes). An empty reply closes without a word.
class CannedPeer {
 public:
  explicit CannedPeer(std::string reply) : reply_(std::move(reply)) {
    acceptor_.open(boost::asio::ip::tcp::v4());
    acceptor_.bind({boost::asio::ip::make_address("127.0.0.1"), 0});
    acceptor_.listen();
    Accept();
    thread_ = std::thread([this] { ioc_.run(); });
  }
  ~CannedPeer() {
    ioc_.stop();
    thread_.join();
  }
  std::string BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(acceptor_.local_endpoint().port());
  }

 private:
  struct Exchange {
    explicit Exchange(boost::asio::io_context& ioc) : socket(ioc) {}
    boost::asio::ip::tcp::socket socket;
    boost::asio::streambuf request;
  };

  void Accept() {
    auto exchange = std::make_shared<Exchange>(ioc_);
    acceptor_.async_accept(exchange->socket, [this, exchange](boost::system::error_code ec) {
      if (ec) return;
      boost::asio::async_read_until(exchange->socket, exchange->request, "\r\n\r\n",
                                    [this, exchange](boost::system::error_code, std::size_t) {
                                      boost::asio::async_write(
                                          exchange->socket, boost::asio::buffer(reply_),
                                          [exchange](boost::system::error_code, std::size_t) {
                                            boost::system::error_code ignored;
                                            exchange->socket.close(ignored);
                                          });
                                    });
      Accept();
    });
  }

  std::string reply_;
  boost::asio::io_context ioc_;
  boost::asio::ip::tcp::acceptor acceptor_{ioc_};
  std::thread thread_;
};

}  // namespace orv::online::testing
