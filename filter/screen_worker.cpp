// The request side: ScreenHeaders and ScreenUrl, and what all handlers share.
#include "filter/screen_worker.h"

#include <array>
#include <string_view>
#include <utility>

#include "filter/request_identity.h"
#include "filter/screen_common.h"
#include "platform/codepage.h"

namespace orv::filter {
namespace {

constexpr std::size_t kAcceptEncodingBuffer = 128;

// The compression offers that are blanked, most specific first; only the first that occurs
// is applied, so the header keeps its length and any other coding it named.
constexpr std::array<std::string_view, 4> kCompressionOffers = {"gzip, deflate", "gzip,deflate",
                                                                "gzip", "deflate"};

bool BlankCompressionOffer(std::string& value) {
  for (std::string_view offer : kCompressionOffers) {
    std::size_t at = value.find(offer);
    if (at == std::string::npos) continue;
    const std::string blanks(offer.size(), ' ');
    while (at != std::string::npos) {
      value.replace(at, offer.size(), blanks);
      at = value.find(offer, at + offer.size());
    }
    return true;
  }
  return false;
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

  if (settings.stripEncoding) {
    std::string value;
    if (host.GetHeader("Accept-Encoding:", kAcceptEncodingBuffer, value) &&
        value.size() < kAcceptEncodingBuffer) {
      if (auto nul = value.find('\0'); nul != std::string::npos) value.resize(nul);
      codepage::LowerAsciiInPlace(value);
      if (BlankCompressionOffer(value)) host.SetHeader("Accept-Encoding:", value);
    }
  }

  log_.ForceFlushIfDue();
  return kStatusNextNotification;
}

std::uint32_t ScreenWorker::ScreenUrl(const store::FilterSettings& settings, FilterHost& host) {
  ListedRequest request;
  return ScreenRequestLists(settings, host, request).value_or(kStatusNextNotification);
}

std::uint32_t ScreenWorker::HandOn(ExtensionHost& host) {
  if (!host.SetIoCompletion()) return kExtensionError;
  return host.ExecuteUrl() ? kExtensionPending : kExtensionError;
}

}  // namespace orv::filter
