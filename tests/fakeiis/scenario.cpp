#include "scenario.h"

#include <cstdio>

namespace fakeiis {

std::string Outcome::Summary() const {
  std::string text;
  for (const std::string& failure : failures_) {
    if (!text.empty()) text += "; ";
    text += failure;
  }
  return text;
}

void SetRequest(FakeRequest& request, const std::string& path, const std::string& query,
                const std::string& ip, const std::string& method) {
  request.method = method;
  request.variables["URL"] = path;
  request.variables["QUERY_STRING"] = query;
  request.variables["REQUEST_METHOD"] = method;
  request.variables["REMOTE_ADDR"] = ip;
  request.variables["SERVER_NAME"] = "www.example.com";
  request.variables["SERVER_PORT"] = "80";
  request.variables["HTTP_USER_AGENT"] = "Mozilla/5.0 (Windows NT 10.0; Win64; x64)";
}

std::string Response(const std::string& charset, const std::string& html) {
  std::string head = "HTTP/1.1 200 OK\r\nServer: Microsoft-IIS/10.0\r\nContent-Type: text/html";
  if (!charset.empty()) head += "; charset=" + charset;
  head += "\r\nContent-Length: " + std::to_string(html.size()) + "\r\n\r\n";
  return head + html;
}

DWORD Preproc(Fixture& fixture, FakeRequest& request) {
  return fixture.module.httpFilterProc(request.FilterContext(), SF_NOTIFY_PREPROC_HEADERS,
                                       request.PreprocHeaders());
}

DWORD UrlMap(Fixture& fixture, FakeRequest& request) {
  static char physical[] = "C:\\inetpub\\wwwroot\\index.htm";
  HTTP_FILTER_URL_MAP map{};
  const std::string& url = request.variables["URL"];
  map.pszURL = url.c_str();
  map.pszPhysicalPath = physical;
  map.cbPathBuff = sizeof physical;
  return fixture.module.httpFilterProc(request.FilterContext(), SF_NOTIFY_URL_MAP, &map);
}

DWORD SendRaw(Fixture& fixture, FakeRequest& request, const std::string& chunk) {
  return fixture.module.httpFilterProc(request.FilterContext(), SF_NOTIFY_SEND_RAW_DATA,
                                       request.RawData(chunk));
}

DWORD Extension(Fixture& fixture, FakeRequest& request) {
  return fixture.module.httpExtensionProc(request.ControlBlock());
}

bool Contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

std::string Printable(std::string_view bytes, std::size_t limit) {
  std::string text;
  for (unsigned char c : bytes.substr(0, limit)) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  if (bytes.size() > limit) text += "...";
  return text;
}

}  // namespace fakeiis
