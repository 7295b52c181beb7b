// The filter role's host operations bound to one IIS notification: HTTP_FILTER_CONTEXT and
// the notification record that came with it. One object per HttpFilterProc call, on the
// caller's stack; it keeps nothing between calls.
#pragma once

#include <windows.h>
// windows.h first: httpfilt.h relies on its types.
#include <httpfilt.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "filter/host.h"

namespace orv::isapi {

class IsapiFilterHost final : public filter::FilterHost {
 public:
  // `notification` is the record IIS passed for `notificationType` (may be null).
  IsapiFilterHost(HTTP_FILTER_CONTEXT* context, std::uint32_t notificationType, void* notification);

  bool GetServerVariable(const char* name, std::size_t bufferSize, std::string& value) override;
  bool WriteClient(std::string_view bytes) override;

  bool GetHeader(const char* name, std::size_t bufferSize, std::string& value) override;
  bool SetHeader(const char* name, std::string_view value) override;
  bool HeaderPresent(const char* name) override;

  std::string_view RawData() override;
  bool ReplaceRawData(std::string_view chunk) override;

  bool SendResponseHeader(std::string_view status) override;

 private:
  HTTP_FILTER_PREPROC_HEADERS* PreprocHeaders() const;
  HTTP_FILTER_RAW_DATA* RawDataRecord() const;

  HTTP_FILTER_CONTEXT* context_;
  std::uint32_t notificationType_;
  void* notification_;
};

}  // namespace orv::isapi
