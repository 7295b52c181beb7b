// The request side: the header step and the list step.
#include "filter/screen_worker.h"

#include <string_view>
#include <utility>
#include <vector>

#include "filter/compression_offer.h"
#include "filter/request_identity.h"
#include "filter/screen_common.h"
#include "platform/codepage.h"

namespace orv::filter {
namespace {

constexpr std::string_view kAcceptEncoding = "Accept-Encoding";
constexpr std::string_view kIdentityOnly = "identity";

// Leaves the request offering no content coding but "identity", so the response comes back as
// bytes the keyword lists can read.
void StripCompression(const RequestFields& fields, std::vector<HeaderEdit>& edits) {
  if (!fields.hasAcceptEncoding) return;
  if (fields.acceptEncodingUnread) {
    edits.push_back({kAcceptEncoding, std::string(kIdentityOnly)});
    return;
  }
  std::string value(fields.acceptEncoding);
  // What follows a NUL is not part of the value as the server reads it; the field is set to
  // the part before it so no hidden coding stays behind.
  bool changed = false;
  if (auto nul = value.find('\0'); nul != std::string::npos) {
    value.resize(nul);
    changed = true;
  }
  codepage::LowerAsciiInPlace(value);
  changed |= StripCompressionOffer(value);
  if (changed) {
    edits.push_back({kAcceptEncoding, value.empty() ? std::string(kIdentityOnly) : value});
  }
}

// Request fields that ask for a part of the response: a page fetched in pieces would reach the
// client in chunks the screen never sees whole.
void RemovePartialRequestFields(const RequestFields& fields, std::vector<HeaderEdit>& edits) {
  if (fields.hasRange) edits.push_back({"Range", {}});
  if (fields.hasIfRange) edits.push_back({"If-Range", {}});
  if (fields.hasRequestRange) edits.push_back({"Request-Range", {}});
}

RequestResult Passed(PassReason reason) {
  RequestResult result;
  result.pass = reason;
  return result;
}

}  // namespace

ScreenWorker::ScreenWorker(store::EventLog& log, std::shared_ptr<const store::Clock> clock)
    : log_(log), clock_(std::move(clock)) {}

RequestResult ScreenWorker::ScreenHeaders(const store::FilterSettings& settings,
                                          const RequestDescription& request) {
  if (!settings.enabled) return Passed(PassReason::kSwitchedOff);

  const std::string url = codepage::LowerAscii(request.siteUrl);
  if (WhiteListedUrl(settings, url)) return Passed(PassReason::kWhiteList);
  const std::string_view address = request.clientAddress;
  if (address.find('.') != std::string_view::npos && WhiteListedAddress(settings, address)) {
    return Passed(PassReason::kWhiteList);
  }
  if (UnmonitoredFileType(settings, ExtensionToken(url))) {
    return Passed(PassReason::kUnmonitoredType);
  }

  RequestResult result;
  if (settings.stripEncoding) StripCompression(request.fields, result.edits);
  RemovePartialRequestFields(request.fields, result.edits);

  log_.ForceFlushIfDue();
  return result;
}

RequestResult ScreenWorker::ScreenUrl(const store::FilterSettings& settings,
                                      const RequestDescription& request, RequestMemo* memo) {
  if (!settings.enabled) return Passed(PassReason::kSwitchedOff);
  // A POST's lists are applied by the body phase, together with its body. Nothing is kept in
  // the request's memo here: the response to the POST is screened like any other.
  if (request.method == "POST") return {};
  ListedRequest listed;
  return ScreenRequestLists(settings, request, memo, listed).value_or(RequestResult{});
}

}  // namespace orv::filter
