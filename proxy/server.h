// orvproxy's process: the listeners, one event loop per worker thread, and the signals
// (SIGHUP reloads the settings and the TLS certificate, SIGTERM and SIGINT stop gracefully).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "proxy/options.h"
#include "proxy/screening_engine.h"

namespace orv::proxy {

class ProxyServer {
 public:
  // With `handleSignals` the server reloads on SIGHUP and stops on SIGTERM and SIGINT.
  ProxyServer(const ProxyOptions& options, ScreeningEngine& engine, bool handleSignals);
  ~ProxyServer();
  ProxyServer(const ProxyServer&) = delete;
  ProxyServer& operator=(const ProxyServer&) = delete;

  // Resolves the upstream (or opens the folder) and starts listening; false, with the reason
  // on stderr, when it cannot.
  bool Listen();
  // The port of a listener, in the order of the options' listeners.
  std::uint16_t Port(std::size_t listener = 0) const;
  // The port of the --metrics endpoint; 0 without one.
  std::uint16_t MetricsPort() const;
  // Serves until stopped and returns the exit code. Prints the startup line (address,
  // settings folder, source, filtering on or off) on stderr first.
  int Run();

  // From any thread: what SIGTERM and SIGHUP do.
  void Stop();
  void Reload();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// Listens, serves until a stop signal, returns the process's exit code.
int RunServer(const ProxyOptions& options, ScreeningEngine& engine);

}  // namespace orv::proxy
