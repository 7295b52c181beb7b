#include "proxy/notification_hosts.h"

#include <limits>

namespace orv::proxy {
namespace {

// Header names come as "Accept-Encoding:"; the colon is IIS's convention, not the name's.
std::string_view HeaderName(const char* name) {
  std::string_view view = name ? std::string_view(name) : std::string_view();
  if (!view.empty() && view.back() == ':') view.remove_suffix(1);
  return view;
}

}  // namespace

bool NotificationHost::GetServerVariable(const char* name, std::size_t bufferSize,
                                         std::string& value) {
  if (!name) {
    value.clear();
    return false;
  }
  return facts_.GetServerVariable(name, bufferSize, value);
}

bool NotificationHost::WriteClient(std::string_view bytes) {
  wroteClient_ = true;
  written_.append(bytes);
  return true;
}

bool NotificationHost::GetHeader(const char* name, std::size_t bufferSize, std::string& value) {
  value.clear();
  // As absent as their server variables: the client's address is REMOTE_ADDR alone.
  if (IsClientAddressHeader(HeaderName(name))) return false;
  std::optional<std::string> found = facts_.Header(HeaderName(name));
  if (!found || found->size() + 1 > bufferSize) return false;
  value = std::move(*found);
  return true;
}

bool NotificationHost::SetHeader(const char* name, std::string_view value) {
  std::string_view header = HeaderName(name);
  // A line break would split the header when it goes upstream.
  if (header.empty() || value.find_first_of("\r\n") != std::string_view::npos) return false;
  facts_.SetHeader(header, value);
  return true;
}

bool NotificationHost::ReplaceRawData(std::string_view chunk) {
  replacement_ = std::string(chunk);
  return true;
}

bool NotificationHost::SendResponseHeader(std::string_view status) {
  requestedStatus_ = std::string(status);
  return true;
}

bool BodyScreenHost::GetServerVariable(const char* name, std::size_t bufferSize,
                                       std::string& value) {
  if (!name) {
    value.clear();
    return false;
  }
  return facts_.GetServerVariable(name, bufferSize, value);
}

bool BodyScreenHost::WriteClient(std::string_view bytes) {
  wroteClient_ = true;
  written_.append(bytes);
  return true;
}

std::uint32_t BodyScreenHost::TotalBytes() {
  constexpr std::uint64_t max = std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(facts_.totalBytes > max ? max : facts_.totalBytes);
}

bool BodyScreenHost::ExecuteUrl() {
  handedOn_ = true;
  return true;
}

}  // namespace orv::proxy
