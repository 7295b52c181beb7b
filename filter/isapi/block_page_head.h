// The response head the adapter puts in front of a block page. The engine hands its pages
// over as bare HTML, but in IIS both a filter's and an extension's WriteClient put bytes on
// the wire as they are: without a head the browser would get no valid response. The head
// matches the one orvproxy sends, so a block looks the same behind either.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::isapi {

// NUL-terminated: the extension hands it to IIS as a C string.
inline constexpr char kBlockStatus[] = "403 Forbidden";

// Bytes that already start with a status line are a whole response and go out unchanged.
inline bool IsWholeResponse(std::string_view bytes) {
  return bytes.substr(0, 5) == "HTTP/";
}

// The header lines of a block page of `pageLength` bytes, ending with the blank line. The
// pages are GBK, which browsers know by the gb2312 label. The request ends with the page
// and IIS closes the connection after it, which "Connection: close" tells the browser.
inline std::string BlockHeaderLines(std::size_t pageLength, bool withConnectionClose) {
  std::string lines = "Content-Type: text/html; charset=gb2312\r\nContent-Length: ";
  lines += std::to_string(pageLength);
  lines += "\r\nCache-Control: no-cache\r\n";
  if (withConnectionClose) lines += "Connection: close\r\n";
  lines += "\r\n";
  return lines;
}

}  // namespace orv::isapi
