// The socket and stream types of a connection. Every connection lives on one worker's
// io_context, so the types name that executor directly: Asio's type-erased executor would
// box and unbox it on every operation.
#pragma once

#include <boost/asio/basic_stream_socket.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/basic_stream.hpp>

namespace orv::proxy {

using LoopExecutor = boost::asio::io_context::executor_type;
using LoopSocket = boost::asio::basic_stream_socket<boost::asio::ip::tcp, LoopExecutor>;
using LoopStream = boost::beast::basic_stream<boost::asio::ip::tcp, LoopExecutor>;

}  // namespace orv::proxy
