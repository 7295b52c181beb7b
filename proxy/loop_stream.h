// The socket type of a connection. Every connection lives on one worker's io_context, so the
// type names that executor directly: Asio's type-erased executor would box and unbox it on
// every operation. Connections read and write the bare socket; their time limits are kept by
// Deadline, so Beast's timed stream would only add a layer to every operation.
#pragma once

#include <boost/asio/basic_stream_socket.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

namespace orv::proxy {

using LoopExecutor = boost::asio::io_context::executor_type;
using LoopSocket = boost::asio::basic_stream_socket<boost::asio::ip::tcp, LoopExecutor>;

}  // namespace orv::proxy
