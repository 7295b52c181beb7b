#include "filter/isapi/isapi_filter_host.h"

#include <limits>

#include "filter/isapi/block_page_head.h"
#include "filter/isapi/bounded_read.h"
#include "filter/isapi/connection_buffer.h"
#include "filter/isapi/own_write_guard.h"

namespace orv::isapi {

IsapiFilterHost::IsapiFilterHost(HTTP_FILTER_CONTEXT* context, std::uint32_t notificationType,
                                 void* notification)
    : context_(context), notificationType_(notificationType), notification_(notification) {}

HTTP_FILTER_PREPROC_HEADERS* IsapiFilterHost::PreprocHeaders() const {
  if (notificationType_ != SF_NOTIFY_PREPROC_HEADERS) return nullptr;
  return static_cast<HTTP_FILTER_PREPROC_HEADERS*>(notification_);
}

HTTP_FILTER_RAW_DATA* IsapiFilterHost::RawDataRecord() const {
  if (notificationType_ != SF_NOTIFY_SEND_RAW_DATA) return nullptr;
  return static_cast<HTTP_FILTER_RAW_DATA*>(notification_);
}

bool IsapiFilterHost::GetServerVariable(const char* name, std::size_t bufferSize,
                                        std::string& value) {
  value.clear();
  if (!context_ || !context_->GetServerVariable || !name) return false;
  return ReadBounded(bufferSize, value, [&](char* buffer, DWORD* size) {
    return context_->GetServerVariable(context_, const_cast<LPSTR>(name), buffer, size);
  });
}

bool IsapiFilterHost::WriteClient(std::string_view bytes) {
  if (!context_ || !context_->WriteClient) return false;
  // A filter's WriteClient goes straight to the socket: a bare page gets its status line and
  // headers in the same write, so that no reader ever sees a head without its page.
  std::string framed;
  if (!IsWholeResponse(bytes)) {
    framed = "HTTP/1.1 ";
    framed += kBlockStatus;
    framed += "\r\n";
    framed += BlockHeaderLines(bytes.size(), true);
    framed += bytes;
    bytes = framed;
  }
  if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
  DWORD length = static_cast<DWORD>(bytes.size());
  const OwnWriteGuard guard(context_);
  // IIS only reads the buffer; the prototype merely lacks the const.
  return context_->WriteClient(context_, const_cast<char*>(bytes.data()), &length, 0) != FALSE;
}

bool IsapiFilterHost::GetHeader(const char* name, std::size_t bufferSize, std::string& value) {
  value.clear();
  HTTP_FILTER_PREPROC_HEADERS* headers = PreprocHeaders();
  if (!context_ || !headers || !headers->GetHeader || !name) return false;
  return ReadBounded(bufferSize, value, [&](char* buffer, DWORD* size) {
    return headers->GetHeader(context_, const_cast<LPSTR>(name), buffer, size);
  });
}

bool IsapiFilterHost::HeaderPresent(const char* name) {
  HTTP_FILTER_PREPROC_HEADERS* headers = PreprocHeaders();
  if (!context_ || !headers || !headers->GetHeader || !name) return false;
  // A one-byte buffer holds only an empty value; a longer one is refused for want of room,
  // which tells that the field is there without reading it.
  char buffer[1] = {'\0'};
  DWORD size = sizeof buffer;
  if (headers->GetHeader(context_, const_cast<LPSTR>(name), buffer, &size)) return true;
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

bool IsapiFilterHost::SetHeader(const char* name, std::string_view value) {
  HTTP_FILTER_PREPROC_HEADERS* headers = PreprocHeaders();
  if (!context_ || !headers || !headers->SetHeader || !name) return false;
  // SetHeader wants NUL-terminated strings; a value with a NUL inside would be cut by IIS
  // anyway, so refuse it rather than send half of it.
  if (value.find('\0') != std::string_view::npos) return false;
  std::string ownName(name);
  std::string ownValue(value);
  return headers->SetHeader(context_, ownName.data(), ownValue.data()) != FALSE;
}

std::string_view IsapiFilterHost::RawData() {
  HTTP_FILTER_RAW_DATA* raw = RawDataRecord();
  if (!raw || !raw->pvInData || raw->cbInData == 0) return {};
  return {static_cast<const char*>(raw->pvInData), raw->cbInData};
}

bool IsapiFilterHost::ReplaceRawData(std::string_view chunk) {
  HTTP_FILTER_RAW_DATA* raw = RawDataRecord();
  if (!context_ || !raw) return false;
  // The connection's own buffer: IIS has sent the previous chunk from it before it asks
  // about the next one, and frees it when the connection ends.
  char* bytes = CopyIntoConnectionBuffer(*context_, chunk);
  if (!bytes) return false;
  const DWORD length = static_cast<DWORD>(chunk.size());
  raw->pvInData = bytes;
  raw->cbInData = length;
  raw->cbInBuffer = length;
  return true;
}

bool IsapiFilterHost::SendResponseHeader(std::string_view status) {
  if (!context_ || !context_->ServerSupportFunction) return false;
  if (status.find('\0') != std::string_view::npos) return false;
  std::string ownStatus(status);
  return context_->ServerSupportFunction(context_, SF_REQ_SEND_RESPONSE_HEADER, ownStatus.data(), 0,
                                         0) != FALSE;
}

}  // namespace orv::isapi
