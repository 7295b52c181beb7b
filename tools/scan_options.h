// orvscan's command line:
//   orvscan [--dir DIR] [--url URL] [--method M] [--remote-addr ADDR] [-H 'Name: value']...
//           [--chunk N] FILE
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace orv::tools {

struct ScanOptions {
  std::string directory;  // empty: the program's own folder
  std::string url = "http://localhost/index.html";
  std::string method = "GET";
  std::string remoteAddress = "127.0.0.1";
  std::vector<std::pair<std::string, std::string>> headers;
  std::size_t chunkSize = 0;  // 0: the whole file is one chunk
  std::string file;
};

// False with a message for the user on anything it cannot take.
bool ParseScanArguments(const std::vector<std::string>& args, ScanOptions& options,
                        std::string& error);

// The request target split up as the server would see it.
struct ScanTarget {
  std::string serverName;
  std::string serverPort;
  std::string path;  // percent-decoded, as IIS gives it in "URL"
  std::string query;
};

// "http://host[:port]/path?query" (the scheme may be left out). False with a message when
// there is no host or the port is not a number from 1 to 65535.
bool ParseScanUrl(const std::string& url, ScanTarget& target, std::string& error);

// "%41" -> "A"; a "%" without two hex digits stays as it is; "+" stays (it is not a space in
// a path).
std::string DecodePath(const std::string& path);

inline constexpr const char* kScanUsage =
    "usage: orvscan [--dir DIR] [--url URL] [--method M] [--remote-addr ADDR] "
    "[-H 'Name: value']... [--chunk N] FILE";

}  // namespace orv::tools
