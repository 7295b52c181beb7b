// The heads exchanged with the upstream: the request head as it goes out, and the upstream's
// response head as the proxy keeps it.
#pragma once

#include <boost/beast/http/message.hpp>
#include <string>

#include "proxy/response_source.h"
#include "proxy/wire_format.h"

namespace orv::proxy {

// Status, reason, fields in order, and the body length when the upstream framed it with a
// valid Content-Length (not chunked).
ResponseHead HeadFromUpstream(const boost::beast::http::response_header<>& message);

// The bytes of the request's fields on the wire ("name: value" and the line end).
std::size_t FieldBytes(const ForwardRequest& request);

// The request line and fields exactly as Beast's serializer writes them, with the blank line
// that ends the head, built in one allocation; the body follows it on the wire as it is.
std::string RequestHeadText(const ForwardRequest& request);

}  // namespace orv::proxy
