#include "scenario.h"

#include <cstdio>
#include <map>

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

namespace {

std::string LowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

// Checks header lines ("Name: value\r\n" each, then the blank line) against the block
// page's head for a page of `pageLength` bytes.
void ExpectBlockHeaders(Outcome& outcome, std::string_view lines, std::size_t pageLength,
                        bool connectionClose, const std::string& where) {
  const std::string shown = " '" + Printable(lines, 400) + "'";
  std::map<std::string, std::string> fields;
  bool blankLine = false;
  std::size_t start = 0;
  while (start < lines.size()) {
    const std::size_t end = lines.find("\r\n", start);
    if (end == std::string_view::npos) break;
    const std::string_view line = lines.substr(start, end - start);
    start = end + 2;
    if (line.empty()) {
      blankLine = true;
      outcome.Expect(start == lines.size(), where + " bytes after the blank line:" + shown);
      break;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || line.find('\n') != std::string_view::npos) {
      outcome.Expect(false, where + " malformed line '" + Printable(line) + "'");
      continue;
    }
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    const bool fresh = fields.emplace(LowerAscii(line.substr(0, colon)), value).second;
    outcome.Expect(fresh, where + " repeated header '" + Printable(line) + "'");
  }
  outcome.Expect(blankLine, where + " does not end with a blank line:" + shown);
  auto field = [&](const char* name) {
    auto found = fields.find(name);
    return found == fields.end() ? std::string("(none)") : found->second;
  };
  const std::string type = LowerAscii(field("content-type"));
  outcome.Expect(type.rfind("text/html", 0) == 0 && Contains(type, "charset=gb2312"),
                 where + " Content-Type '" + type + "'");
  outcome.Expect(field("content-length") == std::to_string(pageLength),
                 where + " Content-Length '" + field("content-length") + "' for a page of " +
                     std::to_string(pageLength) + " bytes");
  outcome.Expect(LowerAscii(field("cache-control")) == "no-cache",
                 where + " Cache-Control '" + field("cache-control") + "'");
  if (connectionClose) {
    outcome.Expect(LowerAscii(field("connection")) == "close",
                   where + " Connection '" + field("connection") + "'");
  }
}

}  // namespace

std::string ExpectFramedBlockPage(Outcome& outcome, const std::string& written) {
  const std::size_t lineEnd = written.find("\r\n");
  const std::size_t headEnd = written.find("\r\n\r\n");
  if (lineEnd == std::string::npos || headEnd == std::string::npos) {
    outcome.Expect(false, "no response head in '" + Printable(written) + "'");
    return {};
  }
  const std::string statusLine = written.substr(0, lineEnd);
  outcome.Expect(statusLine == "HTTP/1.1 403 Forbidden", "status line '" + statusLine + "'");
  std::string page = written.substr(headEnd + 4);
  ExpectBlockHeaders(outcome, std::string_view(written).substr(lineEnd + 2, headEnd + 2 - lineEnd),
                     page.size(), true, "written head");
  return page;
}

void ExpectBlockHeadSent(Outcome& outcome, const FakeRequest& request) {
  if (request.heads.size() != 1) {
    outcome.Expect(false, std::to_string(request.heads.size()) + " response heads sent");
    return;
  }
  const HeadCall& head = request.heads[0];
  outcome.Expect(head.status == "403 Forbidden", "head status '" + Printable(head.status) + "'");
  outcome.Expect(head.countsMatch, "head string lengths differ from their counts");
  outcome.Expect(!head.keepConnection, "connection kept after a block page");
  outcome.Expect(head.writesBefore == 0, "page written before its head");
  outcome.Expect(head.headers.rfind("HTTP/", 0) != 0, "status line inside the header lines");
  ExpectBlockHeaders(outcome, head.headers, request.written.size(), false, "sent head");
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
