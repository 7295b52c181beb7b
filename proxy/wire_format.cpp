#include "proxy/wire_format.h"

#include <array>
#include <charconv>

#include "platform/ascii.h"

namespace orv::proxy {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

void AppendField(std::string& out, std::string_view name, std::string_view value) {
  out.append(name).append(": ").append(value).append("\r\n");
}

void AppendStatusLine(std::string& out, unsigned status, std::string_view reason) {
  out.append("HTTP/1.1 ").append(std::to_string(status)).append(" ").append(reason).append("\r\n");
}

// Room for the status line, the fields and a framing field, so a head is built in one
// allocation.
std::size_t HeadBytes(const ResponseHead& head) {
  std::size_t bytes = head.reason.size() + 64;
  for (const HeaderField& field : head.fields) bytes += field.name.size() + field.value.size() + 4;
  return bytes;
}

void AppendEndToEndFields(std::string& out, const std::vector<HeaderField>& fields) {
  for (const HeaderField& field : fields)
    if (!IsHopByHopField(field.name)) AppendField(out, field.name, field.value);
}

// Block pages come in the engine's byte encoding; a status line or field it wrote must not
// smuggle a line break into ours, nor any other control byte that a client would take for a
// malformed response (a NUL from a fixed-size buffer, say). Tabs and the encoding's bytes
// above 0x7f are allowed in both places and stay.
std::string Clean(std::string_view text) {
  std::string out;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\t' || (byte >= 0x20 && byte != 0x7f)) out += c;
  }
  return out;
}

}  // namespace

bool IsHopByHopField(std::string_view name) {
  // By length first: every head's every field is asked about twice per response, and most
  // lengths name none of these.
  switch (name.size()) {
    case 2:
      return EqualsNoCase(name, "TE");
    case 7:
      return EqualsNoCase(name, "Trailer") || EqualsNoCase(name, "Upgrade");
    case 8:
      return EqualsNoCase(name, "Trailers");
    case 10:
      return EqualsNoCase(name, "Connection") || EqualsNoCase(name, "Keep-Alive");
    case 14:
      return EqualsNoCase(name, "Content-Length");
    case 16:
      return EqualsNoCase(name, "Proxy-Connection");
    case 17:
      return EqualsNoCase(name, "Transfer-Encoding");
    default:
      return false;
  }
}

bool StatusHasNoBody(unsigned status) {
  return (status >= 100 && status < 200) || status == 204 || status == 304;
}

std::string EngineHeadText(const ResponseHead& head, std::optional<std::uint64_t> contentLength) {
  std::string out;
  out.reserve(HeadBytes(head));
  AppendStatusLine(out, head.status, head.reason);
  AppendEndToEndFields(out, head.fields);
  if (contentLength) AppendField(out, "Content-Length", std::to_string(*contentLength));
  out += "\r\n";
  return out;
}

std::string ClientHeadText(const ResponseHead& head, Framing framing,
                           std::optional<std::uint64_t> length, bool keepAlive, bool http10Client) {
  std::string out;
  out.reserve(HeadBytes(head));
  AppendStatusLine(out, head.status, head.reason);
  AppendEndToEndFields(out, head.fields);
  switch (framing) {
    case Framing::kLength:
      AppendField(out, "Content-Length", std::to_string(length.value_or(0)));
      break;
    case Framing::kChunked:
      AppendField(out, "Transfer-Encoding", "chunked");
      break;
    case Framing::kUntilClose:
      keepAlive = false;
      break;
    case Framing::kNoBody:
      if (length && head.status != 204 && !(head.status >= 100 && head.status < 200))
        AppendField(out, "Content-Length", std::to_string(*length));
      break;
  }
  if (!keepAlive)
    AppendField(out, "Connection", "close");
  else if (http10Client)
    AppendField(out, "Connection", "keep-alive");
  out += "\r\n";
  return out;
}

std::string ChunkFrame(std::string_view data) {
  if (data.empty()) return {};
  std::array<char, 20> hex{};
  auto [end, ec] = std::to_chars(hex.data(), hex.data() + hex.size(), data.size(), 16);
  std::string out(hex.data(), end);
  out.reserve(out.size() + data.size() + 4);
  out.append("\r\n").append(data).append("\r\n");
  return out;
}

BlockPage ReadBlockPage(std::string_view bytes, bool accessDenied) {
  BlockPage page;
  page.body = std::string(bytes);
  if (ascii::StartsWithNoCase(bytes, "HTTP/")) {
    // The head ends at the first empty line, whether lines end in "\n" or "\r\n".
    std::size_t end = std::string_view::npos, bodyStart = 0;
    for (std::size_t pos = bytes.find('\n'); pos != std::string_view::npos;
         pos = bytes.find('\n', pos + 1)) {
      std::size_t next = pos + 1;
      if (next < bytes.size() && bytes[next] == '\r') ++next;
      if (next < bytes.size() && bytes[next] == '\n') {
        end = pos;
        bodyStart = next + 1;
        break;
      }
    }
    if (end != std::string_view::npos) {
      std::string_view head = bytes.substr(0, end);
      std::size_t lineEnd = head.find('\n');
      std::string_view statusLine = Trim(head.substr(0, lineEnd));
      // "HTTP/1.1 200 OK": the code after the first blank, the reason after the second.
      std::size_t space = statusLine.find(' ');
      unsigned status = 0;
      if (space != std::string_view::npos) {
        std::string_view rest = statusLine.substr(space + 1);
        auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), status);
        // 204 and 304 cannot carry the page: the client would take its body for the start of
        // another response. Those keep our status, like any nonsense one.
        if (ec == std::errc() && status >= 200 && status <= 599 && !StatusHasNoBody(status)) {
          page.status = status;
          page.reason = Clean(Trim(std::string_view(ptr, rest.data() + rest.size() - ptr)));
          if (page.reason.empty()) page.reason = status == 200 ? "OK" : "Blocked";
        }
      }
      while (lineEnd != std::string_view::npos) {
        std::size_t next = head.find('\n', lineEnd + 1);
        std::string_view line =
            Trim(head.substr(lineEnd + 1, next == std::string_view::npos ? std::string_view::npos
                                                                         : next - lineEnd - 1));
        lineEnd = next;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        std::string_view name = Trim(line.substr(0, colon));
        if (EqualsNoCase(name, "Content-Type") || EqualsNoCase(name, "Cache-Control"))
          page.fields.push_back({std::string(name), Clean(Trim(line.substr(colon + 1)))});
      }
      page.body = std::string(bytes.substr(bodyStart));
    }
  }
  bool hasType = false;
  for (const HeaderField& field : page.fields) hasType |= EqualsNoCase(field.name, "Content-Type");
  if (!hasType) page.fields.insert(page.fields.begin(), {"Content-Type", "text/html"});
  if (accessDenied) {
    page.status = 401;
    page.reason = "Access Denied";
  }
  return page;
}

std::string BlockPageText(const BlockPage& page, bool headRequest) {
  std::string out;
  AppendStatusLine(out, page.status, page.reason);
  for (const HeaderField& field : page.fields) AppendField(out, field.name, field.value);
  AppendField(out, "Content-Length", std::to_string(page.body.size()));
  AppendField(out, "Connection", "close");
  out += "\r\n";
  if (!headRequest) out += page.body;
  return out;
}

std::string ErrorResponseText(unsigned status, std::string_view reason) {
  std::string body = "<html><head><title>" + std::to_string(status) + " " + std::string(reason) +
                     "</title></head><body><h1>" + std::to_string(status) + " " +
                     std::string(reason) + "</h1><hr>orvproxy</body></html>\n";
  std::string out;
  AppendStatusLine(out, status, reason);
  AppendField(out, "Content-Type", "text/html");
  AppendField(out, "Content-Length", std::to_string(body.size()));
  AppendField(out, "Connection", "close");
  out += "\r\n";
  out += body;
  return out;
}

}  // namespace orv::proxy
