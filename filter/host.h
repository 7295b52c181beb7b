// The ISAPI shape of a host: the operations of IIS's filter and extension interfaces that
// FilterEngine::HttpFilterProc and HttpExtensionProc carry the phases out with
// (filter/iis_mapping.cpp). The ISAPI DLL binds them to IIS, orvscan and the tests to memory.
// A host of another kind calls the phases itself (filter/phases.h) and needs none of this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::filter {

// Notification types (SF_NOTIFY_*), as the host passes them to HttpFilterProc.
inline constexpr std::uint32_t kNotifyReadRawData = 0x8000;
inline constexpr std::uint32_t kNotifyPreprocHeaders = 0x4000;
inline constexpr std::uint32_t kNotifyAuthentication = 0x2000;
inline constexpr std::uint32_t kNotifyUrlMap = 0x1000;
inline constexpr std::uint32_t kNotifySendRawData = 0x400;
inline constexpr std::uint32_t kNotifyLog = 0x200;
inline constexpr std::uint32_t kNotifyEndOfNetSession = 0x100;
inline constexpr std::uint32_t kNotifyEndOfRequest = 0x80;
inline constexpr std::uint32_t kNotifyOrderLow = 0x20000;

// Filter results (SF_STATUS_REQ_*).
inline constexpr std::uint32_t kStatusFinished = 0x8000000;
inline constexpr std::uint32_t kStatusNextNotification = 0x8000002;

// Extension results (HSE_STATUS_*).
inline constexpr std::uint32_t kExtensionSuccess = 1;
inline constexpr std::uint32_t kExtensionPending = 3;
inline constexpr std::uint32_t kExtensionError = 4;

// What a host may keep for the engine from one notification of a request to the next: the
// settings record the request was screened under, and the outcome of the request-side list
// checks, which the URL notification and every response chunk would otherwise repeat. Only a
// host whose request identity (server variables, client address) cannot change between the
// notifications of one request offers one.
struct RequestMemo;

// Operations common to both roles.
class RequestHost {
 public:
  virtual ~RequestHost() = default;

  // The request's memo, or nullptr (the default: every notification starts afresh).
  virtual RequestMemo* Memo() { return nullptr; }

  // Reads a server variable as into a zeroed buffer of `bufferSize` bytes. True gives the
  // value; false (unknown or unreadable variable, or a value that with its NUL does not fit
  // the buffer) counts as the empty value.
  virtual bool GetServerVariable(const char* name, std::size_t bufferSize, std::string& value) = 0;

  // Sends bytes to the client as the raw response (a block page).
  virtual bool WriteClient(std::string_view bytes) = 0;
};

// The filter role: one object per notification.
class FilterHost : public RequestHost {
 public:
  // SF_NOTIFY_PREPROC_HEADERS only. `name` ends with a colon ("Accept-Encoding:"). A host
  // that has the field more than once gives the values joined by ", ".
  virtual bool GetHeader(const char* name, std::size_t bufferSize, std::string& value) = 0;
  // Sets the field to `value`; an EMPTY value removes the field from the request (IIS's
  // SetHeader with "" does the same), so it does not reach the server as an empty field.
  virtual bool SetHeader(const char* name, std::string_view value) = 0;
  // True when the request has the field, however long its value. The default asks GetHeader
  // with a buffer no value can outgrow, which suits a host that does not allocate the buffer;
  // a host that does (IIS) answers from the size the server reports instead.
  virtual bool HeaderPresent(const char* name) {
    std::string ignored;
    return GetHeader(name, static_cast<std::size_t>(-1), ignored);
  }

  // SF_NOTIFY_SEND_RAW_DATA only: the chunk about to be sent (pvInData, cbInData).
  virtual std::string_view RawData() = 0;
  // Replaces the chunk by `chunk` copied into memory the host keeps until the chunk is sent
  // (IIS: the connection's AllocMem buffer, then pvInData / cbInData / cbInBuffer). False when
  // no memory could be had; the chunk then stays as it was.
  virtual bool ReplaceRawData(std::string_view chunk) = 0;

  // ServerSupportFunction(SF_REQ_SEND_RESPONSE_HEADER, status, 0, 0).
  virtual bool SendResponseHeader(std::string_view status) = 0;
};

// The extension role: one object per request (EXTENSION_CONTROL_BLOCK).
class ExtensionHost : public RequestHost {
 public:
  virtual std::string_view Method() = 0;         // lpszMethod
  virtual std::uint32_t TotalBytes() = 0;        // cbTotalBytes
  virtual std::string_view AvailableData() = 0;  // lpbData, cbAvailable bytes

  // ServerSupportFunction(HSE_REQ_IO_COMPLETION) with the completion routine that ends the
  // session (HSE_REQ_DONE_WITH_SESSION) once the URL has run.
  virtual bool SetIoCompletion() = 0;
  // ServerSupportFunction(HSE_REQ_EXEC_URL) with a zeroed HSE_EXEC_URL_INFO: the server runs
  // the request's own URL unchanged.
  virtual bool ExecuteUrl() = 0;
};

}  // namespace orv::filter
