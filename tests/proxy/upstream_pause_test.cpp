// clang-format off
#include <utility>  // first: Boost 1.74's awaitable.hpp uses std::exchange without including it
// clang-format on

#include <gtest/gtest.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <string>

#include "proxy/upstream.h"

namespace orv::proxy {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;

// An upstream that sends the head and a first piece, says nothing for a while (much longer
// than the pause the proxy waits for), then sends the rest.
LoopAwaitable<void> PausingUpstream(tcp::acceptor& acceptor) {
  LoopSocket socket(co_await asio::this_coro::executor);
  co_await acceptor.async_accept(socket, kUseLoopAwaitable);
  std::string request;
  co_await asio::async_read_until(socket, asio::dynamic_buffer(request), "\r\n\r\n",
                                  kUseLoopAwaitable);
  const std::string first = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nfirst\r\n";
  co_await asio::async_write(socket, asio::buffer(first), kUseLoopAwaitable);
  asio::steady_timer quiet(socket.get_executor(), 300ms);
  co_await quiet.async_wait(kUseLoopAwaitable);
  const std::string rest = "6\r\nsecond\r\n0\r\n\r\n";
  co_await asio::async_write(socket, asio::buffer(rest), kUseLoopAwaitable);
}

struct Reads {
  std::vector<std::string> pieces;
  std::vector<bool> complete;
};

Reads ReadAll(std::chrono::milliseconds pause) {
  asio::io_context io;
  tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  UpstreamPool pool({acceptor.local_endpoint()}, 4);
  Reads reads;
  asio::co_spawn(io, PausingUpstream(acceptor), asio::detached);
  asio::co_spawn(
      io,
      [&]() -> LoopAwaitable<void> {
        UpstreamSource source(pool, io.get_executor(), 5s);
        ForwardRequest request(boost::beast::http::verb::get, "/events", 11);
        request.set(boost::beast::http::field::host, "localhost");
        RequestFacts facts;
        facts.method = "GET";
        ResponseHead head;
        if (co_await source.Start(request, facts, head) != SourceResult::kOk) co_return;
        for (bool complete = false; !complete;) {
          std::string piece;
          if (co_await source.Read(piece, 1 << 20, complete, pause) != SourceResult::kOk) co_return;
          reads.pieces.push_back(piece);
          reads.complete.push_back(complete);
        }
        source.Finish(true);
      },
      asio::detached);
  io.run_for(5s);
  return reads;
}

TEST(UpstreamSource, AReadEndsAtAPauseAndLosesNothing) {
  const Reads paused = ReadAll(20ms);
  ASSERT_EQ(paused.pieces, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(paused.complete, (std::vector<bool>{false, true}));
  // Without a pause the read waits for the buffer or the end.
  const Reads whole = ReadAll(0ms);
  EXPECT_EQ(whole.pieces, (std::vector<std::string>{"firstsecond"}));
}

}  // namespace
}  // namespace orv::proxy
