#include "proxy/request_facts.h"

#include <algorithm>

namespace orv::proxy {
namespace {

bool Deliver(std::string_view source, std::size_t bufferSize, std::string& value) {
  if (source.size() + 1 > bufferSize) {
    value.clear();
    return false;
  }
  value.assign(source);
  return true;
}

// A client-sent X-Rewrite-URL is no rewrite module's word: honouring it would let any
// client name a white-listed URL for its request and have the response pass unscreened.
constexpr std::string_view kUntrustedRewriteVariable = "HTTP_X_REWRITE_URL";
// Any client can send these; the engine would take them for the client's address.
constexpr std::string_view kForwardedForVariable = "HTTP_X_FORWARDED_FOR";
constexpr std::string_view kViaVariable = "HTTP_VIA";

// `variable` (after its "HTTP_") names the header `headerName`, as HeaderVariableName
// would spell it; compared in place, since every notification looks up several headers.
bool NamesHeader(std::string_view variable, std::string_view headerName) {
  if (variable.size() != headerName.size()) return false;
  for (std::size_t i = 0; i < variable.size(); ++i) {
    const char c = headerName[i];
    if ((c == '-' ? '_' : ascii::UpperChar(c)) != variable[i]) return false;
  }
  return true;
}

}  // namespace

std::string HeaderVariableName(std::string_view headerName) {
  std::string name = "HTTP_";
  for (char c : headerName) name += c == '-' ? '_' : ascii::UpperChar(c);
  return name;
}

bool RequestFacts::GetServerVariable(std::string_view name, std::size_t bufferSize,
                                     std::string& value) const {
  value.clear();
  if (name == "URL") return Deliver(url, bufferSize, value);
  if (name == "QUERY_STRING") return Deliver(query, bufferSize, value);
  if (name == "REQUEST_METHOD") return Deliver(method, bufferSize, value);
  if (name == "REMOTE_ADDR" || name == "REMOTE_HOST") return Deliver(remoteAddr, bufferSize, value);
  if (name == "SERVER_NAME") return Deliver(serverName, bufferSize, value);
  if (name == "SERVER_PORT") return Deliver(serverPort, bufferSize, value);
  if (name == "SERVER_PROTOCOL") return Deliver(protocol, bufferSize, value);
  if (name.substr(0, 5) != "HTTP_" || name == kUntrustedRewriteVariable ||
      name == kForwardedForVariable || name == kViaVariable)
    return false;
  const std::string_view suffix = name.substr(5);
  std::string joined;
  bool found = false;
  for (const HeaderField& field : headers) {
    if (!NamesHeader(suffix, field.name)) continue;
    if (found) joined += ", ";
    joined += field.value;
    found = true;
  }
  return found && Deliver(joined, bufferSize, value);
}

bool IsClientAddressHeader(std::string_view headerName) {
  return EqualsNoCase(headerName, "X-Forwarded-For") || EqualsNoCase(headerName, "Via");
}

std::optional<std::string> RequestFacts::Header(std::string_view name) const {
  std::optional<std::string> value;
  for (const HeaderField& field : headers) {
    if (!EqualsNoCase(field.name, name)) continue;
    if (value) {
      *value += ", ";
      *value += field.value;
    } else {
      value = field.value;
    }
  }
  return value;
}

void RequestFacts::SetHeader(std::string_view name, std::string_view value) {
  auto named = [&](const HeaderField& field) { return EqualsNoCase(field.name, name); };
  auto it = std::find_if(headers.begin(), headers.end(), named);
  if (value.empty()) {
    headers.erase(std::remove_if(it, headers.end(), named), headers.end());
  } else if (it == headers.end()) {
    headers.push_back({std::string(name), std::string(value)});
  } else {
    it->value = std::string(value);
    headers.erase(std::remove_if(it + 1, headers.end(), named), headers.end());
  }
  if (std::none_of(editedHeaders.begin(), editedHeaders.end(),
                   [&](const std::string& edited) { return EqualsNoCase(edited, name); }))
    editedHeaders.emplace_back(name);
}

}  // namespace orv::proxy
