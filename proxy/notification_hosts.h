// The host side of one notification (filter role) or of one extension call: the engine reads
// the request through RequestFacts and leaves its decisions here for the connection to act on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "filter/host.h"
#include "proxy/request_facts.h"

namespace orv::proxy {

class NotificationHost final : public filter::FilterHost {
 public:
  explicit NotificationHost(RequestFacts& facts, std::string_view rawData = {})
      : facts_(facts), rawData_(rawData) {}

  bool GetServerVariable(const char* name, std::size_t bufferSize, std::string& value) override;
  bool WriteClient(std::string_view bytes) override;
  bool GetHeader(const char* name, std::size_t bufferSize, std::string& value) override;
  bool SetHeader(const char* name, std::string_view value) override;
  std::string_view RawData() override { return rawData_; }
  bool ReplaceRawData(std::string_view chunk) override;
  bool SendResponseHeader(std::string_view status) override;
  filter::RequestMemo* Memo() override { return &facts_.memo; }

  bool WroteClient() const { return wroteClient_; }
  const std::string& Written() const { return written_; }
  const std::optional<std::string>& Replacement() const { return replacement_; }
  const std::optional<std::string>& RequestedStatus() const { return requestedStatus_; }

 private:
  RequestFacts& facts_;
  std::string_view rawData_;
  bool wroteClient_ = false;
  std::string written_;
  std::optional<std::string> replacement_;
  std::optional<std::string> requestedStatus_;
};

class BodyScreenHost final : public filter::ExtensionHost {
 public:
  explicit BodyScreenHost(RequestFacts& facts) : facts_(facts) {}

  bool GetServerVariable(const char* name, std::size_t bufferSize, std::string& value) override;
  bool WriteClient(std::string_view bytes) override;
  std::string_view Method() override { return facts_.method; }
  std::uint32_t TotalBytes() override;
  std::string_view AvailableData() override { return facts_.body; }
  bool SetIoCompletion() override { return true; }
  bool ExecuteUrl() override;
  filter::RequestMemo* Memo() override { return &facts_.memo; }

  bool WroteClient() const { return wroteClient_; }
  const std::string& Written() const { return written_; }
  bool HandedOn() const { return handedOn_; }

 private:
  RequestFacts& facts_;
  bool wroteClient_ = false;
  bool handedOn_ = false;
  std::string written_;
};

}  // namespace orv::proxy
