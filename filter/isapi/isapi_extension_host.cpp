#include "filter/isapi/isapi_extension_host.h"

#include <limits>

#include "filter/isapi/block_page_head.h"
#include "filter/isapi/bounded_read.h"

namespace orv::isapi {
namespace {

// IIS calls this once the URL handed on with HSE_REQ_EXEC_URL has run; the request is ours
// until we say we are done with it.
VOID WINAPI EndSessionAfterExecUrl(EXTENSION_CONTROL_BLOCK* ecb, PVOID, DWORD, DWORD) {
  if (!ecb || !ecb->ServerSupportFunction) return;
  ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_DONE_WITH_SESSION, nullptr, nullptr, nullptr);
}

}  // namespace

IsapiExtensionHost::IsapiExtensionHost(EXTENSION_CONTROL_BLOCK* ecb) : ecb_(ecb) {}

bool IsapiExtensionHost::GetServerVariable(const char* name, std::size_t bufferSize,
                                           std::string& value) {
  value.clear();
  if (!ecb_ || !ecb_->GetServerVariable || !name) return false;
  return ReadBounded(bufferSize, value, [&](char* buffer, DWORD* size) {
    return ecb_->GetServerVariable(ecb_->ConnID, const_cast<LPSTR>(name), buffer, size);
  });
}

bool IsapiExtensionHost::WriteClient(std::string_view bytes) {
  if (!ecb_ || !ecb_->WriteClient) return false;
  if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
  // Without a head first the page would not be a valid response. Should the head fail,
  // the page is still sent: whatever the browser makes of it, the request stays blocked.
  if (!IsWholeResponse(bytes)) SendBlockHead(bytes.size());
  DWORD length = static_cast<DWORD>(bytes.size());
  // Flags 0: a synchronous write, done before the call returns, so the bytes may live on
  // the caller's stack. IIS only reads the buffer; the prototype merely lacks the const.
  return ecb_->WriteClient(ecb_->ConnID, const_cast<char*>(bytes.data()), &length, 0) != FALSE;
}

bool IsapiExtensionHost::SendBlockHead(std::size_t pageLength) {
  if (!ecb_->ServerSupportFunction) return false;
  const std::string headers = BlockHeaderLines(pageLength, false);
  HSE_SEND_HEADER_EX_INFO info{};
  info.pszStatus = kBlockStatus;
  info.cchStatus = static_cast<DWORD>(sizeof kBlockStatus - 1);
  info.pszHeader = headers.c_str();
  info.cchHeader = static_cast<DWORD>(headers.size());
  // The request ends with the page; IIS closes the connection after it.
  info.fKeepConn = FALSE;
  return ecb_->ServerSupportFunction(ecb_->ConnID, HSE_REQ_SEND_RESPONSE_HEADER_EX, &info, nullptr,
                                     nullptr) != FALSE;
}

std::string_view IsapiExtensionHost::Method() {
  if (!ecb_ || !ecb_->lpszMethod) return {};
  return ecb_->lpszMethod;
}

std::uint32_t IsapiExtensionHost::TotalBytes() {
  return ecb_ ? ecb_->cbTotalBytes : 0;
}

std::string_view IsapiExtensionHost::AvailableData() {
  if (!ecb_ || !ecb_->lpbData || ecb_->cbAvailable == 0) return {};
  return {reinterpret_cast<const char*>(ecb_->lpbData), ecb_->cbAvailable};
}

bool IsapiExtensionHost::SetIoCompletion() {
  if (!ecb_ || !ecb_->ServerSupportFunction) return false;
  return ecb_->ServerSupportFunction(ecb_->ConnID, HSE_REQ_IO_COMPLETION,
                                     reinterpret_cast<LPVOID>(&EndSessionAfterExecUrl), nullptr,
                                     nullptr) != FALSE;
}

bool IsapiExtensionHost::ExecuteUrl() {
  if (!ecb_ || !ecb_->ServerSupportFunction) return false;
  // All zero: the request's own URL, method, headers and body, run as received.
  HSE_EXEC_URL_INFO info{};
  return ecb_->ServerSupportFunction(ecb_->ConnID, HSE_REQ_EXEC_URL, &info, nullptr, nullptr) !=
         FALSE;
}

DWORD HandOn(filter::ExtensionHost& host) {
  if (host.SetIoCompletion() && host.ExecuteUrl()) return HSE_STATUS_PENDING;
  return HSE_STATUS_ERROR;
}

}  // namespace orv::isapi
