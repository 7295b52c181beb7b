// A host that lives in memory: server variables and request headers from maps, whatever the
// engine writes or asks for recorded. orvscan runs requests through it, and the tests and
// fuzz targets drive the handlers with it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "filter/host.h"

namespace orv::filter {

// One request as the server sees it. Variable names are as IIS spells them ("URL",
// "HTTP_USER_AGENT"); header names without the colon, matched case-insensitively.
struct MemoryRequest {
  std::map<std::string, std::string> variables;
  std::map<std::string, std::string> headers;  // keys lower-cased

  void SetHeader(std::string_view name, std::string_view value);
  const std::string* Header(std::string_view name) const;
};

class MemoryFilterHost final : public FilterHost {
 public:
  explicit MemoryFilterHost(MemoryRequest& request) : request_(request) {}

  bool GetServerVariable(const char* name, std::size_t bufferSize, std::string& value) override;
  bool WriteClient(std::string_view bytes) override;
  bool GetHeader(const char* name, std::size_t bufferSize, std::string& value) override;
  bool SetHeader(const char* name, std::string_view value) override;
  std::string_view RawData() override { return chunk_; }
  bool ReplaceRawData(std::string_view chunk) override;
  bool SendResponseHeader(std::string_view status) override;

  // Starts a raw-data notification with this chunk.
  void SetRawData(std::string_view chunk);
  // The chunk as the engine left it.
  const std::string& Chunk() const { return chunk_; }
  bool ChunkReplaced() const { return replaced_; }

  // Everything written to the client, and the statuses asked for, since the last Clear.
  const std::string& Written() const { return written_; }
  const std::vector<std::string>& Statuses() const { return statuses_; }
  const std::vector<std::string>& HeadersSet() const { return headersSet_; }
  void ClearOutputs();

  // Simulates a server without memory to spare for a rewritten chunk.
  bool failAllocation = false;
  // Simulates a server that keeps a memo for the request across its notifications.
  RequestMemo* memo = nullptr;
  RequestMemo* Memo() override { return memo; }

 private:
  MemoryRequest& request_;
  std::string chunk_;
  bool replaced_ = false;
  std::string written_;
  std::vector<std::string> statuses_;
  std::vector<std::string> headersSet_;
};

class MemoryExtensionHost final : public ExtensionHost {
 public:
  MemoryExtensionHost(MemoryRequest& request, std::string method, std::string body)
      : request_(request),
        method_(std::move(method)),
        body_(std::move(body)),
        totalBytes_(static_cast<std::uint32_t>(body_.size())) {}

  bool GetServerVariable(const char* name, std::size_t bufferSize, std::string& value) override;
  bool WriteClient(std::string_view bytes) override;
  std::string_view Method() override { return method_; }
  std::uint32_t TotalBytes() override { return totalBytes_; }
  std::string_view AvailableData() override { return body_; }
  bool SetIoCompletion() override;
  bool ExecuteUrl() override;

  const std::string& Written() const { return written_; }
  bool HandedOn() const { return executed_; }

  // Simulates a server that refuses one of the two hand-on steps.
  bool refuseIoCompletion = false;
  bool refuseExecuteUrl = false;
  // A body announced longer than what has arrived so far.
  void SetTotalBytes(std::uint32_t total) { totalBytes_ = total; }

 private:
  MemoryRequest& request_;
  std::string method_;
  std::string body_;
  std::uint32_t totalBytes_;
  std::string written_;
  bool executed_ = false;
};

// The lower-cased, colon-free form of a header name.
std::string HeaderKey(std::string_view name);

}  // namespace orv::filter
