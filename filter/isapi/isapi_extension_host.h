// The extension role's host operations bound to one EXTENSION_CONTROL_BLOCK. One object per
// HttpExtensionProc call; the completion routine that ends the session after the URL has
// run is a plain function, since IIS calls it after this object is gone.
#pragma once

#include <windows.h>
// windows.h first: httpext.h relies on its types.
#include <httpext.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "filter/host.h"

namespace orv::isapi {

class IsapiExtensionHost final : public filter::ExtensionHost {
 public:
  explicit IsapiExtensionHost(EXTENSION_CONTROL_BLOCK* ecb);

  bool GetServerVariable(const char* name, std::size_t bufferSize, std::string& value) override;
  bool WriteClient(std::string_view bytes) override;

  std::string_view Method() override;
  std::uint32_t TotalBytes() override;
  std::string_view AvailableData() override;

  bool SetIoCompletion() override;
  bool ExecuteUrl() override;

 private:
  // HSE_REQ_SEND_RESPONSE_HEADER_EX with the block page's status and headers.
  bool SendBlockHead(std::size_t pageLength);

  EXTENSION_CONTROL_BLOCK* ecb_;
};

// Hands the request back to IIS to be run unchanged: the completion routine, then the
// request's own URL. HSE_STATUS_PENDING when IIS took it, HSE_STATUS_ERROR otherwise. The
// adapter's fallback when the engine cannot screen the request.
DWORD HandOn(filter::ExtensionHost& host);

}  // namespace orv::isapi
