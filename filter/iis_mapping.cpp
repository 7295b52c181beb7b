// IIS's filter notifications and extension call mapped onto the phases. The request is read
// through the host's server variables into buffers of the sizes IIS hands them over in, and
// each phase's result is carried out with the host's own operations: WriteClient for a page,
// ReplaceRawData and SendResponseHeader for a chunk, SetHeader for an edit, ExecuteUrl to
// hand the request back. The ISAPI DLL, orvscan and the in-memory host all come through here.
#include <array>
#include <cstddef>
#include <string>

#include "filter/engine.h"
#include "filter/request_identity.h"

namespace orv::filter {
namespace {

constexpr const char* kAcceptEncodingField = "Accept-Encoding:";
// The buffers the offer is read into, smallest first. A value that fits none is not read at
// all; it is then replaced whole.
constexpr std::array<std::size_t, 3> kAcceptEncodingBuffers = {128, 4096, 65536};

// The fields the header step reads; the offer's value is kept in `acceptEncoding`.
RequestFields ReadFields(FilterHost& host, std::string& acceptEncoding) {
  RequestFields fields;
  for (std::size_t buffer : kAcceptEncodingBuffers) {
    if (host.GetHeader(kAcceptEncodingField, buffer, acceptEncoding)) {
      fields.hasAcceptEncoding = true;
      fields.acceptEncoding = acceptEncoding;
      break;
    }
  }
  if (!fields.hasAcceptEncoding && host.HeaderPresent(kAcceptEncodingField)) {
    fields.hasAcceptEncoding = true;
    fields.acceptEncodingUnread = true;
  }
  fields.hasRange = host.HeaderPresent("Range:");
  fields.hasIfRange = host.HeaderPresent("If-Range:");
  fields.hasRequestRange = host.HeaderPresent("Request-Range:");
  return fields;
}

// What the list step and the chunk phase read of a filter notification.
struct ListedVariables {
  std::string url;
  std::string query;
  std::string address;
  std::string userAgent;

  explicit ListedVariables(FilterHost& host)
      : url(RequestUrl(host, Role::Filter)),
        query(ReadVariable(host, "QUERY_STRING", kLongVariableBuffer)),
        address(ClientAddress(host)),
        userAgent(ReadVariable(host, "HTTP_USER_AGENT", kLongVariableBuffer)) {}

  RequestDescription Describe() const {
    RequestDescription request;
    request.url = url;
    request.query = query;
    request.clientAddress = address;
    request.userAgent = userAgent;
    return request;
  }
};

std::uint32_t HeadersNotification(FilterEngine& engine, FilterHost& host) {
  const std::string siteUrl = BuiltUrl(host, Role::Filter, false);
  const std::string address = ClientAddress(host);
  std::string acceptEncoding;
  RequestDescription request;
  request.siteUrl = siteUrl;
  request.clientAddress = address;
  request.fields = ReadFields(host, acceptEncoding);
  const RequestResult result = engine.RequestPhase(request, host.Memo(), RequestSteps::kHeaders);
  for (const HeaderEdit& edit : result.edits) {
    host.SetHeader((std::string(edit.name) + ":").c_str(), edit.value);
  }
  return kStatusNextNotification;
}

std::uint32_t UrlNotification(FilterEngine& engine, FilterHost& host) {
  const std::string method = ReadVariable(host, "REQUEST_METHOD", kLongVariableBuffer);
  // A POST's lists are applied by the extension, together with its body.
  if (method == "POST") return kStatusNextNotification;
  const ListedVariables variables(host);
  RequestDescription request = variables.Describe();
  request.method = method;
  const RequestResult result = engine.RequestPhase(request, host.Memo(), RequestSteps::kLists);
  if (result.action != Action::kBlock) return kStatusNextNotification;
  host.WriteClient(result.block.bytes);
  return kStatusFinished;
}

std::uint32_t RawDataNotification(FilterEngine& engine, FilterHost& host) {
  const ListedVariables variables(host);
  // The host's buffer stays as it is until ReplaceRawData, which is the last use of it.
  const ChunkResult result = engine.ChunkPhase(variables.Describe(), host.RawData(), host.Memo());
  switch (result.action) {
    case Action::kContinue:
      break;
    case Action::kReplaceChunk:
      host.ReplaceRawData(result.chunk);
      break;
    case Action::kBlock:
      // A keyword's page takes the chunk's place; a list's page goes out before any of the
      // response and ends the request.
      if (result.block.cause != BlockCause::kKeyword) {
        host.WriteClient(result.block.bytes);
        return kStatusFinished;
      }
      if (host.ReplaceRawData(result.block.bytes)) host.SendResponseHeader(result.block.status);
      break;
  }
  return kStatusNextNotification;
}

// Hands the request back to the server to run its own URL: PENDING, or ERROR when the
// server refused.
std::uint32_t HandOn(ExtensionHost& host) {
  if (!host.SetIoCompletion()) return kExtensionError;
  return host.ExecuteUrl() ? kExtensionPending : kExtensionError;
}

}  // namespace

std::uint32_t FilterEngine::HttpFilterProc(FilterHost& host, std::uint32_t notificationType) {
  // The filter fails open: whatever goes wrong while screening, the request goes on as it was.
  Phase phase = Phase::kRequest;
  try {
    switch (notificationType) {
      case kNotifyPreprocHeaders:
        if (!Settings()->enabled) return kStatusNextNotification;
        return HeadersNotification(*this, host);
      case kNotifyUrlMap:
        if (!Settings()->enabled) return kStatusNextNotification;
        return UrlNotification(*this, host);
      case kNotifySendRawData:
        phase = Phase::kChunk;
        if (!Settings()->enabled) return kStatusNextNotification;
        return RawDataNotification(*this, host);
      case kNotifyLog:
        phase = Phase::kLogged;
        LoggedPhase(host.Memo());
        return kStatusNextNotification;
      default:
        return kStatusNextNotification;
    }
  } catch (...) {
    NoteSwallowed(phase);
    return kStatusNextNotification;
  }
}

std::uint32_t FilterEngine::HttpExtensionProc(ExtensionHost& host) {
  try {
    if (!Settings()->enabled) return HandOn(host);
    const std::string url = RequestUrl(host, Role::Extension);
    const std::string address = ClientAddress(host);
    const std::string userAgent = ReadVariable(host, "HTTP_USER_AGENT", kLongVariableBuffer);
    RequestDescription request;
    request.method = host.Method();
    request.url = url;
    request.clientAddress = address;
    request.userAgent = userAgent;
    request.body = host.AvailableData();
    request.declaredBodyLength = host.TotalBytes();
    const BodyResult result = BodyPhase(request, host.Memo());
    if (result.action != Action::kBlock) return HandOn(host);
    host.WriteClient(result.block.bytes);
    return kExtensionSuccess;
  } catch (...) {
    NoteSwallowed(Phase::kBody);
    return HandOn(host);
  }
}

}  // namespace orv::filter
