// orvproxy's process: the listener, one event loop per worker thread, and the signals
// (SIGHUP reloads the settings, SIGTERM and SIGINT stop gracefully).
#pragma once

#include "proxy/options.h"
#include "proxy/screening_engine.h"

namespace orv::proxy {

// Listens, serves until a stop signal, returns the process's exit code. Prints the startup
// line (address, settings folder, source, filtering on or off) on stderr once listening.
int RunServer(const ProxyOptions& options, ScreeningEngine& engine);

}  // namespace orv::proxy
