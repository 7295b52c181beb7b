// The upstream's response head as the proxy keeps it: status, reason, fields in order, and the
// body length when the upstream framed it with a valid Content-Length (not chunked).
#pragma once

#include <boost/beast/http/message.hpp>

#include "proxy/wire_format.h"

namespace orv::proxy {

ResponseHead HeadFromUpstream(const boost::beast::http::response_header<>& message);

}  // namespace orv::proxy
