// One request as the fake IIS presents it to the filter: the server variables and request
// headers the scenario chose, and a record of everything the filter asked of the server
// (bytes written, memory taken, statuses sent, URLs handed on). The ISAPI records handed to
// the DLL point back here through their context fields.
#pragma once

#include <windows.h>
// windows.h first: the ISAPI headers rely on its types.
#include <httpext.h>
#include <httpfilt.h>

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fakeiis {

struct SetHeaderCall {
  std::string name;
  std::string value;
};

// One HSE_REQ_SEND_RESPONSE_HEADER_EX, as the extension asked for it.
struct HeadCall {
  std::string status;   // pszStatus, cchStatus characters
  std::string headers;  // pszHeader, cchHeader characters
  bool keepConnection = false;
  // Both strings NUL-terminated where their counts say, as IIS reads them either way.
  bool countsMatch = false;
  int writesBefore = 0;  // WriteClient calls made before the head
};

using FilterProc = DWORD(WINAPI*)(HTTP_FILTER_CONTEXT*, DWORD, void*);

// One client connection with the request on it as the fake IIS presents them. Several requests
// may follow one another on it (keep-alive): set the variables anew for each. As IIS does, the
// filter context and AllocMem memory live until the connection ends (EndNetSession, or the
// object's end), not with the request.
class FakeRequest {
 public:
  FakeRequest();
  FakeRequest(const FakeRequest&) = delete;
  FakeRequest& operator=(const FakeRequest&) = delete;

  // --- what the scenario sets up ---
  std::map<std::string, std::string> variables;  // server variables by exact name
  std::map<std::string, std::string> headers;    // request headers, lower-case "name:" keys
  std::string method = "GET";
  std::string body;  // the part of the body already received (lpbData / cbAvailable)
  DWORD totalBytes = 0;
  bool failAllocMem = false;
  bool failIoCompletion = false;
  bool failExecUrl = false;
  bool failSendHead = false;
  // A host that hands what the filter writes with WriteClient back to it as raw data on the
  // same connection and thread before the write returns (some hosts do). At most
  // kMaxReentry calls deep, so that a filter without a guard fails instead of overflowing.
  FilterProc reenterOnWrite = nullptr;
  static constexpr int kMaxReentry = 8;

  // --- what the filter did ---
  std::string written;  // WriteClient bytes, all calls joined
  int writeCalls = 0;
  std::vector<SetHeaderCall> setHeaders;
  std::vector<std::string> responseStatuses;  // SF_REQ_SEND_RESPONSE_HEADER texts
  std::vector<HeadCall> heads;                // HSE_REQ_SEND_RESPONSE_HEADER_EX calls
  std::vector<std::pair<void*, DWORD>> allocations;
  int ioCompletionCalls = 0;
  PFN_HSE_IO_COMPLETION completion = nullptr;
  void* completionContext = nullptr;
  int execUrlCalls = 0;
  bool execUrlInfoZeroed = false;
  int doneWithSessionCalls = 0;
  std::vector<DWORD> otherSupportRequests;
  // Reads of server variables into a buffer that was too small.
  int shortReads = 0;
  // Raw-data notifications the written bytes caused, and how deep they went.
  std::vector<DWORD> reentryResults;
  int reentryDepth = 0;
  int deepestReentry = 0;

  // --- the ISAPI records, filled on demand ---
  HTTP_FILTER_CONTEXT* FilterContext();
  HTTP_FILTER_PREPROC_HEADERS* PreprocHeaders();
  // The chunk is copied into memory owned by this request; RawChunk() reads what the record
  // points at now, which is the filter's replacement if it made one.
  HTTP_FILTER_RAW_DATA* RawData(const std::string& chunk);
  std::string RawChunk() const;
  bool RawChunkIsOriginal() const;
  bool RawChunkIsAllocated() const;
  HTTP_FILTER_LOG* Log();
  EXTENSION_CONTROL_BLOCK* ControlBlock();

  // The client's connection ends: IIS frees the AllocMem memory and forgets the filter
  // context. Afterwards the object is a fresh connection.
  void EndNetSession();
  // AllocMem bytes taken on this connection and not yet freed.
  std::size_t LiveAllocatedBytes() const;

  // Runs the completion routine the filter registered, as IIS does once the URL it handed
  // on has run. False if none was registered.
  bool CompleteExecUrl();

  // Callback helpers, public so that the plain WINAPI callbacks can reach them.
  BOOL ReadVariable(const char* name, void* buffer, DWORD* size);
  BOOL ReadHeader(const char* name, void* buffer, DWORD* size);
  BOOL WriteBytes(const void* buffer, DWORD* length);

 private:
  HTTP_FILTER_CONTEXT context_{};
  HTTP_FILTER_PREPROC_HEADERS preproc_{};
  HTTP_FILTER_RAW_DATA raw_{};
  HTTP_FILTER_LOG log_{};
  EXTENSION_CONTROL_BLOCK ecb_{};
  std::vector<char> originalChunk_;
  std::vector<char> ecbData_;
  std::vector<std::unique_ptr<char[]>> memory_;
  friend void* WINAPI AllocMemCallback(HTTP_FILTER_CONTEXT*, DWORD, DWORD);
};

}  // namespace fakeiis
