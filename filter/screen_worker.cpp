// The request side: ScreenHeaders and ScreenUrl, and what all handlers share.
#include "filter/screen_worker.h"

#include <array>
#include <string_view>
#include <utility>

#include "filter/compression_offer.h"
#include "filter/request_identity.h"
#include "filter/screen_common.h"
#include "platform/codepage.h"

namespace orv::filter {
namespace {

constexpr const char* kAcceptEncoding = "Accept-Encoding:";
// The buffers the offer is read into, smallest first. A value that fits none is not read at
// all; it is then replaced whole.
constexpr std::array<std::size_t, 3> kAcceptEncodingBuffers = {128, 4096, 65536};
constexpr std::string_view kIdentityOnly = "identity";

// Request fields that ask for a part of the response: a page fetched in pieces would reach the
// client in chunks the screen never sees whole.
constexpr std::array<const char*, 3> kPartialRequestFields = {
    "Range:", "If-Range:", "Request-Range:"};

// Leaves the request offering no content coding but "identity", so the response comes back as
// bytes the keyword lists can read.
void StripCompression(FilterHost& host) {
  std::string value;
  bool read = false;
  for (std::size_t buffer : kAcceptEncodingBuffers) {
    if (host.GetHeader(kAcceptEncoding, buffer, value)) {
      read = true;
      break;
    }
  }
  if (!read) {
    if (host.HeaderPresent(kAcceptEncoding)) host.SetHeader(kAcceptEncoding, kIdentityOnly);
    return;
  }
  // What follows a NUL is not part of the value as the server reads it; the field is set to
  // the part before it so no hidden coding stays behind.
  bool changed = false;
  if (auto nul = value.find('\0'); nul != std::string::npos) {
    value.resize(nul);
    changed = true;
  }
  codepage::LowerAsciiInPlace(value);
  changed |= StripCompressionOffer(value);
  if (changed) host.SetHeader(kAcceptEncoding, value.empty() ? std::string(kIdentityOnly) : value);
}

void RemovePartialRequestFields(FilterHost& host) {
  for (const char* name : kPartialRequestFields) {
    if (host.HeaderPresent(name)) host.SetHeader(name, "");
  }
}

}  // namespace

ScreenWorker::ScreenWorker(store::EventLog& log, std::shared_ptr<const store::Clock> clock)
    : log_(log), clock_(std::move(clock)) {}

std::uint32_t ScreenWorker::ScreenHeaders(const store::FilterSettings& settings, FilterHost& host) {
  if (!settings.enabled) return kStatusNextNotification;

  std::string url = BuiltUrl(host, Role::Filter, false);
  codepage::LowerAsciiInPlace(url);
  if (WhiteListedUrl(settings, url)) return kStatusNextNotification;
  const std::string address = ClientAddress(host);
  if (address.find('.') != std::string::npos && WhiteListedAddress(settings, address)) {
    return kStatusNextNotification;
  }
  if (UnmonitoredFileType(settings, ExtensionToken(url))) return kStatusNextNotification;

  if (settings.stripEncoding) StripCompression(host);
  RemovePartialRequestFields(host);

  log_.ForceFlushIfDue();
  return kStatusNextNotification;
}

std::uint32_t ScreenWorker::ScreenUrl(const store::FilterSettings& settings, FilterHost& host) {
  if (!settings.enabled) return kStatusNextNotification;
  // A POST's lists are applied by the extension, together with its body. Nothing is kept in
  // the request's memo here: the response to the POST is screened like any other.
  if (ReadVariable(host, "REQUEST_METHOD", kLongVariableBuffer) == "POST") {
    return kStatusNextNotification;
  }
  ListedRequest request;
  return ScreenRequestLists(settings, host, request).value_or(kStatusNextNotification);
}

std::uint32_t ScreenWorker::HandOn(ExtensionHost& host) {
  if (!host.SetIoCompletion()) return kExtensionError;
  return host.ExecuteUrl() ? kExtensionPending : kExtensionError;
}

}  // namespace orv::filter
