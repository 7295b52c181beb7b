// The request head as it goes to the upstream.
#pragma once

#include <boost/beast/http/message.hpp>
#include <string>

#include "proxy/response_source.h"
#include "proxy/wire_format.h"

namespace orv::proxy {

// The bytes of the request's fields on the wire ("name: value" and the line end).
std::size_t FieldBytes(const ForwardRequest& request);

// The request line and fields exactly as Beast's serializer writes them, with the blank line
// that ends the head, built in one allocation; the body follows it on the wire as it is.
std::string RequestHeadText(const ForwardRequest& request);

}  // namespace orv::proxy
