// The one buffer a client connection's rewritten response chunks are put in.
//
// IIS frees AllocMem memory only when the client's connection ends, not with the request: a
// block per rewritten chunk would pile up for as long as a keep-alive connection lasts, which
// behind a proxy that keeps its connections to IIS open is for ever. So the filter takes one
// block per connection, keeps it in the connection's filter context and puts every chunk it
// rewrites there; only a chunk larger than the block takes a new one, at least twice as large.
// A connection therefore holds at most about four times its largest rewritten chunk.
#pragma once

#include <windows.h>
// windows.h first: httpfilt.h relies on its types.
#include <httpfilt.h>

#include <cstddef>
#include <string_view>

namespace orv::isapi {

// The smallest block taken: an ordinary page's block page fits without growing.
inline constexpr DWORD kFirstConnectionBuffer = 8 * 1024;

// `chunk` copied into the connection's buffer and NUL-terminated, or null when no memory could
// be had (the chunk then stays as it was). The copy stays valid until the next call for the
// same connection.
char* CopyIntoConnectionBuffer(HTTP_FILTER_CONTEXT& context, std::string_view chunk);

}  // namespace orv::isapi
