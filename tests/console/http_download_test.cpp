#include "console/foundation/http_download.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "online/transport.h"

namespace orv::console {
namespace {

// A plain-socket HTTP server on 127.0.0.1 on its own thread, so it answers even while the
// test's thread blocks in HttpGetText. Paths: /ok 200, /fail 500, /missing 404.
class LocalHttpServer {
 public:
  LocalHttpServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 8);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }

  ~LocalHttpServer() {
    stopping_ = true;
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    thread_.join();
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  std::vector<std::string> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    while (!stopping_) {
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0) {
        return;
      }
      std::string request;
      char buffer[2048];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) {
          break;
        }
        request.append(buffer, static_cast<std::size_t>(got));
      }
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      std::string status = "404 Not Found";
      std::string body = "not here\r\n";
      if (request.rfind("GET /ok", 0) == 0) {
        status = "200 OK";
        body = "<OrvKeyFlag>OK</OrvKeyFlag>\r\nsecond line\nthird";
      } else if (request.rfind("GET /fail", 0) == 0) {
        status = "500 Internal Server Error";
        body = "server\r\ntrouble\r\n";
      } else if (request.rfind("GET /announced-huge", 0) == 0) {
        // Announces more than the reply bound, sends a little and waits for the client.
        const std::string head =
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(online::kMaxReplyBytes + 1) +
            "\r\n\r\nabc";
        send(client, head.data(), head.size(), MSG_NOSIGNAL);
        char drain[256];
        while (recv(client, drain, sizeof drain, 0) > 0) {
        }
        close(client);
        continue;
      } else if (request.rfind("GET /endless", 0) == 0) {
        // No length: the body runs on past the bound until the client gives up.
        const std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
        send(client, head.data(), head.size(), MSG_NOSIGNAL);
        const std::string block(64 * 1024, 'k');
        std::size_t sent = 0;
        while (sent <= online::kMaxReplyBytes * 2 &&
               send(client, block.data(), block.size(), MSG_NOSIGNAL) > 0) {
          sent += block.size();
        }
        close(client);
        continue;
      }
      const std::string response =
          "HTTP/1.1 " + status +
          "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
          "\r\nConnection: close\r\n\r\n" + body;
      send(client, response.data(), response.size(), MSG_NOSIGNAL);
      close(client);
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

// A port nobody listens on: bound once to learn a free number, then released.
std::string RefusedUrl() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  close(probe);
  return "http://127.0.0.1:" + std::to_string(port) + "/ok";
}

TEST(CacheBuster, AppendsWithTheRightSeparator) {
  EXPECT_EQ(WithCacheBuster("http://h/a", 7), "http://h/a?rnum=7");
  EXPECT_EQ(WithCacheBuster("http://h/a?u=x", 998), "http://h/a?u=x&rnum=998");
  for (int i = 0; i < 200; ++i) {
    const int n = CacheBusterNumber();
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 998);
  }
}

TEST(HttpGetText, StatusesAndNetworkFailure) {
  LocalHttpServer server;
  std::string text;
  EXPECT_EQ(HttpGetText(server.Url("/ok"), text), 1);
  EXPECT_EQ(text, "<OrvKeyFlag>OK</OrvKeyFlag>second linethird");
  EXPECT_EQ(HttpGetText(server.Url("/fail"), text), 1);
  EXPECT_EQ(text, "servertrouble");
  EXPECT_EQ(HttpGetText(server.Url("/missing"), text), 1);
  EXPECT_EQ(text, "");
  EXPECT_EQ(HttpGetText(RefusedUrl(), text), 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(HttpGetText("", text), 0);
}

TEST(HttpGetText, SendsCacheBusterAndUserAgent) {
  LocalHttpServer server;
  std::string text;
  ASSERT_EQ(HttpGetText(server.Url("/ok?u=a"), text), 1);
  ASSERT_EQ(HttpGetText(server.Url("/ok"), text), 1);
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].rfind("GET /ok?u=a&rnum=", 0), 0u) << requests[0];
  EXPECT_EQ(requests[1].rfind("GET /ok?rnum=", 0), 0u) << requests[1];
  // The user agent is the program's name (here the test program's).
  EXPECT_NE(requests[0].find("User-Agent: orv_console_foundation_tests\r\n"), std::string::npos)
      << requests[0];
}

TEST(HttpFetcher, ResultCodesAndTheNetworkFailureMark) {
  LocalHttpServer server;
  HttpFetcher fetcher;
  fetcher.SetPollIntervalMs(5);
  std::string text;
  EXPECT_EQ(fetcher.Fetch(server.Url("/ok"), text), 1);
  EXPECT_EQ(text, "<OrvKeyFlag>OK</OrvKeyFlag>second linethird");
  EXPECT_EQ(fetcher.Fetch(server.Url("/fail"), text), 1);
  EXPECT_EQ(text, "servertrouble");
  EXPECT_EQ(fetcher.Fetch(server.Url("/missing"), text), 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(fetcher.Fetch(RefusedUrl(), text), 2);
  EXPECT_EQ(text, "x");
  EXPECT_EQ(fetcher.Fetch("", text), 0);
  EXPECT_EQ(text, "");
}

TEST(HttpDownload, AReplyBeyondTheBoundIsANetworkFailure) {
  LocalHttpServer server;
  std::string text;
  EXPECT_EQ(HttpGetText(server.Url("/announced-huge"), text), 0);
  EXPECT_EQ(text, "");
  HttpFetcher fetcher;
  fetcher.SetPollIntervalMs(5);
  EXPECT_EQ(fetcher.Fetch(server.Url("/endless"), text), 2);
  EXPECT_EQ(text, "x");
}

TEST(HttpFetcher, KeepsTheUserInterfaceThreadDispatching) {
  LocalHttpServer server;
  HttpFetcher fetcher;
  fetcher.SetPollIntervalMs(5);
  bool timerRan = false;
  QTimer::singleShot(0, [&] { timerRan = true; });
  std::string text;
  EXPECT_EQ(fetcher.Fetch(server.Url("/ok"), text), 1);
  EXPECT_TRUE(timerRan);
}

}  // namespace
}  // namespace orv::console
