// The request target on arbitrary bytes: whatever the client sends, the path the screening sees
// starts with "/", holds no "." or ".." segment, no "\" and no NUL, and is its own resolution;
// the raw path and query put back together give the target as sent. Host values and header
// names from the same request go through their parsers too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "proxy/request_facts.h"
#include "proxy/request_target.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Starts with "/", and no segment between slashes is "." or "..".
void CheckResolved(std::string_view path) {
  Check(!path.empty() && path.front() == '/');
  std::size_t pos = 1;
  for (;;) {
    std::size_t slash = path.find('/', pos);
    std::string_view segment =
        path.substr(pos, slash == std::string_view::npos ? std::string_view::npos : slash - pos);
    Check(segment != "." && segment != "..");
    if (slash == std::string_view::npos) break;
    pos = slash + 1;
  }
  Check(orv::proxy::RemoveDotSegments(path) == path);
}

void CheckDecoded(std::string_view raw, const std::string& path) {
  CheckResolved(path);
  Check(path.find('\\') == std::string::npos);
  Check(path.find('\0') == std::string::npos);
  // Decoding only shrinks; resolution adds at most the leading "/" (or a trailing one for a
  // path that resolves to nothing but the root).
  Check(path.size() <= raw.size() + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A heap copy of exactly `size` bytes, so reading one past the end trips ASan.
  const std::string input(reinterpret_cast<const char*>(data), size);

  if (std::optional<std::string> path = orv::proxy::DecodePath(input)) {
    CheckDecoded(input, *path);
  } else {
    // Only a NUL, literal or encoded, refuses a path.
    Check(input.find('\0') != std::string::npos || input.find('%') != std::string::npos);
  }
  CheckResolved(orv::proxy::RemoveDotSegments(input));

  if (std::optional<orv::proxy::RequestTarget> target = orv::proxy::ParseRequestTarget(input)) {
    if (target->path == "*") {
      Check(input == "*" && target->rawPath == "*");
    } else {
      CheckDecoded(target->rawPath, target->path);
      Check(!target->rawPath.empty() && target->rawPath.front() == '/');
      Check(target->rawPath.find('?') == std::string::npos);
      // The upstream gets the target exactly as sent: in origin form it is the raw path and
      // the query put back together.
      if (target->authority.empty()) {
        std::size_t question = input.find('?');
        Check(input.substr(0, question) == target->rawPath);
        Check(question == std::string::npos ? target->query.empty()
                                            : input.substr(question + 1) == target->query);
      } else {
        Check(target->authority.find_first_of("/?") == std::string::npos);
        Check(input.find(target->authority) != std::string::npos);
      }
    }
  }

  auto [name, port] = orv::proxy::ServerNameAndPort(input, "fallback", "80");
  Check(!name.empty());
  Check(!port.empty() && port.size() <= 5);
  for (char c : port) Check(c >= '0' && c <= '9');
  if (name != "fallback" || port != "80") Check(input.find(name) == 0);

  orv::proxy::RequestFacts facts;
  facts.url = input;
  facts.headers.push_back({input, "value"});
  const std::string variable = orv::proxy::HeaderVariableName(input);
  Check(variable.size() == input.size() + 5);
  for (std::size_t bufferSize : {std::size_t{0}, std::size_t{1}, size, size + 1, size + 6}) {
    std::string value;
    if (facts.GetServerVariable("URL", bufferSize, value)) {
      Check(value == input && value.size() + 1 <= bufferSize);
    } else {
      Check(value.empty() && input.size() + 1 > bufferSize);
    }
    if (facts.GetServerVariable(variable, bufferSize, value))
      Check(value == "value" && value.size() + 1 <= bufferSize);
  }
  return 0;
}
