// The socket and coroutine types of a connection. Every connection lives on one worker's
// io_context, so the types name that executor directly: Asio's type-erased executor would box
// and unbox it on every operation and every completion. Connections read and write the bare
// socket; their time limits are kept by Deadline, so Beast's timed stream would only add a
// layer to every operation.
#pragma once

#include <boost/asio/awaitable.hpp>
#include <boost/asio/basic_stream_socket.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <utility>

namespace orv::proxy {

using LoopExecutor = boost::asio::io_context::executor_type;
using LoopSocket = boost::asio::basic_stream_socket<boost::asio::ip::tcp, LoopExecutor>;

template <class T>
using LoopAwaitable = boost::asio::awaitable<T, LoopExecutor>;
inline constexpr boost::asio::use_awaitable_t<LoopExecutor> kUseLoopAwaitable{};

}  // namespace orv::proxy
