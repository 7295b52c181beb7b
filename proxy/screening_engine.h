// What the proxy needs of the screening engine: the two ISAPI entry points and the two
// operations its signals trigger. FilterEngine serves it in orvproxy; tests put a scripted
// stand-in in its place to drive every outcome the framing must survive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "filter/host.h"

namespace orv::proxy {

class ScreeningEngine {
 public:
  virtual ~ScreeningEngine() = default;
  virtual std::uint32_t HttpFilterProc(filter::FilterHost& host,
                                       std::uint32_t notificationType) = 0;
  virtual std::uint32_t HttpExtensionProc(filter::ExtensionHost& host) = 0;
  virtual void Reload() = 0;
  virtual void FlushLog() = 0;
  virtual bool FilteringOn() const = 0;
  // How many bytes at the end of a screened piece of a response a keyword could begin in
  // without ending there: the proxy keeps them back and screens them again in front of the
  // next piece. An engine that cannot tell keeps nothing back.
  virtual std::size_t HeldTail(std::string_view window) {
    (void)window;
    return 0;
  }
};

}  // namespace orv::proxy
