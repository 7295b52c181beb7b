#include "tools/scan_options.h"

#include <charconv>

#include "platform/ascii.h"

namespace orv::tools {
namespace {

bool ParseCount(const std::string& text, std::size_t& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

}  // namespace

bool ParseScanArguments(const std::vector<std::string>& args, ScanOptions& options,
                        std::string& error) {
  bool haveFile = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    if (arg == "--dir") {
      if (!value(options.directory)) return false;
      if (options.directory.empty()) {
        error = "--dir needs a folder";
        return false;
      }
    } else if (arg == "--url") {
      if (!value(options.url)) return false;
    } else if (arg == "--method") {
      if (!value(options.method)) return false;
      if (options.method.empty()) {
        error = "--method needs a method name";
        return false;
      }
    } else if (arg == "--remote-addr") {
      if (!value(options.remoteAddress)) return false;
    } else if (arg == "-H") {
      std::string header;
      if (!value(header)) return false;
      const std::size_t colon = header.find(':');
      const std::string_view line = header;
      const std::string name(colon == std::string::npos ? std::string_view()
                                                        : ascii::TrimBlanks(line.substr(0, colon)));
      if (name.empty()) {
        error = "header '" + header + "' is not of the form 'Name: value'";
        return false;
      }
      options.headers.emplace_back(name, ascii::TrimBlanks(line.substr(colon + 1)));
    } else if (arg == "--chunk") {
      std::string count;
      if (!value(count)) return false;
      if (!ParseCount(count, options.chunkSize) || options.chunkSize == 0) {
        error = "--chunk needs a whole number of bytes greater than 0, not '" + count + "'";
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else {
      if (haveFile) {
        error = "only one FILE may be given";
        return false;
      }
      options.file = arg;
      haveFile = true;
    }
  }
  if (!haveFile) {
    error = "no FILE given";
    return false;
  }
  return true;
}

bool ParseScanUrl(const std::string& url, ScanTarget& target, std::string& error) {
  std::string rest = url;
  std::string defaultPort = "80";
  if (ascii::StartsWithNoCase(rest, "http://")) {
    rest.erase(0, 7);
  } else if (ascii::StartsWithNoCase(rest, "https://")) {
    rest.erase(0, 8);
    defaultPort = "443";
  }
  if (auto hash = rest.find('#'); hash != std::string::npos) rest.resize(hash);

  const std::size_t hostEnd = rest.find_first_of("/?");
  std::string authority = rest.substr(0, hostEnd);
  std::string requestTarget = hostEnd == std::string::npos ? "/" : rest.substr(hostEnd);
  if (requestTarget.front() == '?') requestTarget.insert(requestTarget.begin(), '/');

  target.serverPort = defaultPort;
  if (auto colon = authority.rfind(':'); colon != std::string::npos) {
    const std::string port = authority.substr(colon + 1);
    std::size_t number = 0;
    if (!ParseCount(port, number) || number == 0 || number > 65535) {
      error = "bad port in URL '" + url + "'";
      return false;
    }
    target.serverPort = std::to_string(number);
    authority.resize(colon);
  }
  if (authority.empty()) {
    error = "no host in URL '" + url + "'";
    return false;
  }
  target.serverName = authority;

  const std::size_t question = requestTarget.find('?');
  target.path = DecodePath(requestTarget.substr(0, question));
  target.query = question == std::string::npos ? "" : requestTarget.substr(question + 1);
  return true;
}

std::string DecodePath(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size()) {
      const int high = ascii::HexValue(path[i + 1]);
      const int low = ascii::HexValue(path[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += path[i];
  }
  return out;
}

}  // namespace orv::tools
