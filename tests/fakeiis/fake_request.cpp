#include "fake_request.h"

#include <algorithm>
#include <cstring>

namespace fakeiis {
namespace {

FakeRequest* FromContext(HTTP_FILTER_CONTEXT* context) {
  return context ? static_cast<FakeRequest*>(context->ServerContext) : nullptr;
}

FakeRequest* FromConnection(HCONN connection) {
  return static_cast<FakeRequest*>(connection);
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// IIS's contract for caller buffers: the value and its NUL must fit *size bytes; if not,
// ERROR_INSUFFICIENT_BUFFER and the size needed, and not one byte written.
BOOL CopyOut(const std::string& value, void* buffer, DWORD* size, int& shortReads) {
  const DWORD needed = static_cast<DWORD>(value.size() + 1);
  if (!buffer || *size < needed) {
    *size = needed;
    ++shortReads;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, value.c_str(), needed);
  *size = needed;
  return TRUE;
}

// --- filter callbacks ---

BOOL WINAPI FilterGetServerVariable(HTTP_FILTER_CONTEXT* context, LPSTR name, LPVOID buffer,
                                    LPDWORD size) {
  FakeRequest* request = FromContext(context);
  if (!request || !name || !size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return request->ReadVariable(name, buffer, size);
}

BOOL WINAPI FilterAddResponseHeaders(HTTP_FILTER_CONTEXT*, LPSTR, DWORD) {
  return TRUE;
}

BOOL WINAPI FilterWriteClient(HTTP_FILTER_CONTEXT* context, LPVOID buffer, LPDWORD length, DWORD) {
  FakeRequest* request = FromContext(context);
  if (!request || !length) return FALSE;
  if (!request->WriteBytes(buffer, length)) return FALSE;
  if (request->reenterOnWrite && request->reentryDepth < FakeRequest::kMaxReentry) {
    // The written bytes come back as the raw data of the same connection.
    std::vector<char> bytes(static_cast<const char*>(buffer),
                            static_cast<const char*>(buffer) + *length);
    bytes.push_back('\0');
    HTTP_FILTER_RAW_DATA raw{};
    raw.pvInData = bytes.data();
    raw.cbInData = *length;
    raw.cbInBuffer = static_cast<DWORD>(bytes.size());
    ++request->reentryDepth;
    request->deepestReentry = std::max(request->deepestReentry, request->reentryDepth);
    const DWORD result = request->reenterOnWrite(context, SF_NOTIFY_SEND_RAW_DATA, &raw);
    --request->reentryDepth;
    request->reentryResults.push_back(result);
  }
  return TRUE;
}

BOOL WINAPI FilterServerSupportFunction(HTTP_FILTER_CONTEXT* context, enum SF_REQ_TYPE type,
                                        PVOID data, ULONG_PTR, ULONG_PTR) {
  FakeRequest* request = FromContext(context);
  if (!request) return FALSE;
  if (type == SF_REQ_SEND_RESPONSE_HEADER) {
    request->responseStatuses.emplace_back(data ? static_cast<const char*>(data) : "");
  } else {
    request->otherSupportRequests.push_back(static_cast<DWORD>(type));
  }
  return TRUE;
}

BOOL WINAPI PreprocGetHeader(HTTP_FILTER_CONTEXT* context, LPSTR name, LPVOID buffer,
                             LPDWORD size) {
  FakeRequest* request = FromContext(context);
  if (!request || !name || !size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return request->ReadHeader(name, buffer, size);
}

BOOL WINAPI PreprocSetHeader(HTTP_FILTER_CONTEXT* context, LPSTR name, LPSTR value) {
  FakeRequest* request = FromContext(context);
  if (!request || !name || !value) return FALSE;
  request->setHeaders.push_back({name, value});
  // As IIS: an empty value removes the field.
  if (*value == '\0') {
    request->headers.erase(LowerAscii(name));
  } else {
    request->headers[LowerAscii(name)] = value;
  }
  return TRUE;
}

BOOL WINAPI PreprocAddHeader(HTTP_FILTER_CONTEXT*, LPSTR, LPSTR) {
  return TRUE;
}

// --- extension callbacks ---

BOOL WINAPI EcbGetServerVariable(HCONN connection, LPSTR name, LPVOID buffer, LPDWORD size) {
  FakeRequest* request = FromConnection(connection);
  if (!request || !name || !size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return request->ReadVariable(name, buffer, size);
}

BOOL WINAPI EcbWriteClient(HCONN connection, LPVOID buffer, LPDWORD length, DWORD) {
  FakeRequest* request = FromConnection(connection);
  if (!request || !length) return FALSE;
  return request->WriteBytes(buffer, length);
}

BOOL WINAPI EcbReadClient(HCONN, LPVOID, LPDWORD size) {
  if (size) *size = 0;  // the whole body was already in lpbData
  return TRUE;
}

BOOL WINAPI EcbServerSupportFunction(HCONN connection, DWORD type, LPVOID buffer, LPDWORD size,
                                     LPDWORD) {
  FakeRequest* request = FromConnection(connection);
  if (!request) return FALSE;
  switch (type) {
    case HSE_REQ_IO_COMPLETION:
      ++request->ioCompletionCalls;
      if (request->failIoCompletion) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      request->completion = reinterpret_cast<PFN_HSE_IO_COMPLETION>(buffer);
      request->completionContext = size;
      return TRUE;
    case HSE_REQ_EXEC_URL: {
      ++request->execUrlCalls;
      HSE_EXEC_URL_INFO zero{};
      request->execUrlInfoZeroed = buffer && std::memcmp(buffer, &zero, sizeof zero) == 0;
      if (request->failExecUrl) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      return TRUE;
    }
    case HSE_REQ_SEND_RESPONSE_HEADER_EX: {
      const auto* info = static_cast<const HSE_SEND_HEADER_EX_INFO*>(buffer);
      if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      HeadCall call;
      if (info->pszStatus) call.status.assign(info->pszStatus, info->cchStatus);
      if (info->pszHeader) call.headers.assign(info->pszHeader, info->cchHeader);
      call.keepConnection = info->fKeepConn != FALSE;
      call.countsMatch = info->pszStatus && info->pszHeader &&
                         std::strlen(info->pszStatus) == info->cchStatus &&
                         std::strlen(info->pszHeader) == info->cchHeader;
      call.writesBefore = request->writeCalls;
      request->heads.push_back(std::move(call));
      if (request->failSendHead) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      return TRUE;
    }
    case HSE_REQ_DONE_WITH_SESSION:
      ++request->doneWithSessionCalls;
      return TRUE;
    default:
      request->otherSupportRequests.push_back(type);
      return TRUE;
  }
}

}  // namespace

void* WINAPI AllocMemCallback(HTTP_FILTER_CONTEXT* context, DWORD size, DWORD) {
  FakeRequest* request = FromContext(context);
  if (!request || request->failAllocMem) return nullptr;
  // Filled with a pattern, not zeros, so that a filter relying on zeroed memory shows up.
  auto block = std::make_unique<char[]>(size ? size : 1);
  std::memset(block.get(), 0xCD, size ? size : 1);
  void* address = block.get();
  request->memory_.push_back(std::move(block));
  request->allocations.emplace_back(address, size);
  return address;
}

FakeRequest::FakeRequest() {
  context_.cbSize = sizeof context_;
  context_.Revision = HTTP_FILTER_REVISION;
  context_.ServerContext = this;
  context_.GetServerVariable = FilterGetServerVariable;
  context_.AddResponseHeaders = FilterAddResponseHeaders;
  context_.WriteClient = FilterWriteClient;
  context_.AllocMem = AllocMemCallback;
  context_.ServerSupportFunction = FilterServerSupportFunction;

  preproc_.GetHeader = PreprocGetHeader;
  preproc_.SetHeader = PreprocSetHeader;
  preproc_.AddHeader = PreprocAddHeader;
}

void FakeRequest::EndNetSession() {
  memory_.clear();
  allocations.clear();
  context_.pFilterContext = nullptr;
}

std::size_t FakeRequest::LiveAllocatedBytes() const {
  std::size_t total = 0;
  for (const auto& block : allocations) total += block.second;
  return total;
}

HTTP_FILTER_CONTEXT* FakeRequest::FilterContext() {
  return &context_;
}

HTTP_FILTER_PREPROC_HEADERS* FakeRequest::PreprocHeaders() {
  return &preproc_;
}

HTTP_FILTER_RAW_DATA* FakeRequest::RawData(const std::string& chunk) {
  originalChunk_.assign(chunk.begin(), chunk.end());
  originalChunk_.push_back('\0');
  raw_.pvInData = originalChunk_.data();
  raw_.cbInData = static_cast<DWORD>(chunk.size());
  raw_.cbInBuffer = static_cast<DWORD>(originalChunk_.size());
  raw_.dwReserved = 0;
  return &raw_;
}

std::string FakeRequest::RawChunk() const {
  if (!raw_.pvInData) return {};
  return std::string(static_cast<const char*>(raw_.pvInData), raw_.cbInData);
}

bool FakeRequest::RawChunkIsOriginal() const {
  return raw_.pvInData == originalChunk_.data();
}

bool FakeRequest::RawChunkIsAllocated() const {
  // The replacement must lie wholly inside one block the filter took with AllocMem.
  const char* data = static_cast<const char*>(raw_.pvInData);
  return std::any_of(allocations.begin(), allocations.end(), [&](const auto& block) {
    const char* start = static_cast<const char*>(block.first);
    return data >= start && data + raw_.cbInData <= start + block.second &&
           raw_.cbInBuffer <= block.second - static_cast<DWORD>(data - start);
  });
}

HTTP_FILTER_LOG* FakeRequest::Log() {
  static char kClient[] = "127.0.0.1";
  static char kUser[] = "";
  static char kServer[] = "www.example.com";
  static char kOperation[] = "GET";
  static char kTarget[] = "/index.htm";
  static char kParameters[] = "";
  log_.pszClientHostName = kClient;
  log_.pszClientUserName = kUser;
  log_.pszServerName = kServer;
  log_.pszOperation = kOperation;
  log_.pszTarget = kTarget;
  log_.pszParameters = kParameters;
  log_.dwHttpStatus = 200;
  return &log_;
}

EXTENSION_CONTROL_BLOCK* FakeRequest::ControlBlock() {
  ecbData_.assign(body.begin(), body.end());
  ecbData_.push_back('\0');
  ecb_.cbSize = sizeof ecb_;
  ecb_.dwVersion = HSE_VERSION;
  ecb_.ConnID = this;
  ecb_.dwHttpStatusCode = 200;
  ecb_.lpszMethod = method.data();
  auto variable = [&](const char* name) -> LPSTR {
    auto found = variables.find(name);
    static char kEmpty[] = "";
    return found == variables.end() ? kEmpty : found->second.data();
  };
  ecb_.lpszQueryString = variable("QUERY_STRING");
  ecb_.lpszPathInfo = variable("URL");
  ecb_.lpszPathTranslated = variable("PATH_TRANSLATED");
  ecb_.cbTotalBytes = totalBytes;
  ecb_.cbAvailable = static_cast<DWORD>(body.size());
  ecb_.lpbData = reinterpret_cast<LPBYTE>(ecbData_.data());
  static char kContentType[] = "application/x-www-form-urlencoded";
  ecb_.lpszContentType = kContentType;
  ecb_.GetServerVariable = EcbGetServerVariable;
  ecb_.WriteClient = EcbWriteClient;
  ecb_.ReadClient = EcbReadClient;
  ecb_.ServerSupportFunction = EcbServerSupportFunction;
  return &ecb_;
}

bool FakeRequest::CompleteExecUrl() {
  if (!completion) return false;
  completion(&ecb_, completionContext, 0, ERROR_SUCCESS);
  return true;
}

BOOL FakeRequest::ReadVariable(const char* name, void* buffer, DWORD* size) {
  auto found = variables.find(name);
  if (found == variables.end()) {
    SetLastError(ERROR_INVALID_INDEX);
    return FALSE;
  }
  return CopyOut(found->second, buffer, size, shortReads);
}

BOOL FakeRequest::ReadHeader(const char* name, void* buffer, DWORD* size) {
  auto found = headers.find(LowerAscii(name));
  if (found == headers.end()) {
    SetLastError(ERROR_INVALID_INDEX);
    return FALSE;
  }
  int ignored = 0;
  return CopyOut(found->second, buffer, size, ignored);
}

BOOL FakeRequest::WriteBytes(const void* buffer, DWORD* length) {
  if (!buffer && *length) return FALSE;
  written.append(static_cast<const char*>(buffer), *length);
  ++writeCalls;
  return TRUE;
}

}  // namespace fakeiis
