#include "filter/request_identity.h"

#include <utility>

#include "filter/phases.h"
#include "keywords/request_lists.h"
#include "platform/codepage.h"

namespace orv::filter {

bool TryReadVariable(RequestHost& host, const char* name, std::size_t bufferSize,
                     std::string& value) {
  value.clear();
  // A host may hand back more than a NUL-terminated buffer of this size could hold; the
  // screening must see exactly what IIS would have given it.
  if (!host.GetServerVariable(name, bufferSize, value) || value.size() + 1 > bufferSize) {
    value.clear();
    return false;
  }
  if (auto nul = value.find('\0'); nul != std::string::npos) value.resize(nul);
  return true;
}

std::string ReadVariable(RequestHost& host, const char* name, std::size_t bufferSize) {
  std::string value;
  TryReadVariable(host, name, bufferSize, value);
  return value;
}

std::string ClientAddress(RequestHost& host) {
  std::string address;
  if (!ReadVariable(host, "HTTP_VIA", kAddressBuffer).empty()) {
    address = ReadVariable(host, "HTTP_X_FORWARDED_FOR", kAddressBuffer);
  }
  // A Via without a forwarded address (or one too long to read) names no client: the peer's
  // own address stands, so that a sender cannot slip past the address lists with Via alone.
  if (address.empty()) address = ReadVariable(host, "REMOTE_ADDR", kAddressBuffer);
  if (address == "::1") address = "127.0.0.1";
  return address;
}

std::string RewriteUrl(RequestHost& host) {
  std::string rewrite;
  std::string name;
  std::string port;
  if (!TryReadVariable(host, "HTTP_X_REWRITE_URL", kRewriteUrlBuffer, rewrite) || rewrite.empty() ||
      !TryReadVariable(host, "SERVER_NAME", kRewriteServerNameBuffer, name) ||
      !TryReadVariable(host, "SERVER_PORT", kPortBuffer, port)) {
    return {};
  }
  return SiteUrl(name, port, rewrite);
}

std::string BuiltUrl(RequestHost& host, Role role, bool withQuery) {
  const bool extension = role == Role::Extension;
  const std::string name = ReadVariable(
      host, "SERVER_NAME", extension ? kExtensionServerNameBuffer : kFilterServerNameBuffer);
  const std::string port = ReadVariable(host, "SERVER_PORT", kPortBuffer);
  const std::string path = ReadVariable(host, "URL", kUrlBuffer);
  if (!withQuery) return SiteUrl(name, port, path);
  return SiteUrlWithQuery(
      name, port, path,
      ReadVariable(host, "QUERY_STRING", extension ? kLongVariableBuffer : kFilterQueryBuffer));
}

std::string RequestUrl(RequestHost& host, Role role) {
  std::string url;
  if (role == Role::Filter) url = RewriteUrl(host);
  if (url.empty()) url = BuiltUrl(host, role, true);
  codepage::LowerAsciiInPlace(url);
  return url;
}

std::string_view RequestPath(std::string_view requestUrl) {
  return requestUrl.substr(0, requestUrl.find('?'));
}

std::string ExtensionToken(std::string_view requestPath) {
  const std::size_t firstSlash = requestPath.find('/');
  if (firstSlash == std::string_view::npos) return {};  // a host alone: no file named
  std::string_view lastSegment = requestPath.substr(requestPath.rfind('/') + 1);
  if (lastSegment.find('.') == std::string_view::npos) return {};
  return keywords::FileTypeOf(lastSegment, true);
}

std::string StopScript(RequestHost& host) {
  std::string agent = ReadVariable(host, "HTTP_USER_AGENT", kLongVariableBuffer);
  codepage::LowerAsciiInPlace(agent);
  return std::string(agent.find("msie") != std::string::npos ? kStopScriptMsie : kStopScriptOther);
}

}  // namespace orv::filter
