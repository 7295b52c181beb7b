// One orvscan run: the request and its response (or POST body) through the engine, in the
// order IIS raises the notifications.
#pragma once

#include <ostream>
#include <string>

#include "filter/engine.h"
#include "filter/memory_host.h"
#include "tools/scan_options.h"

namespace orv::tools {

// The server variables and request headers of the request the options describe.
filter::MemoryRequest BuildScanRequest(const ScanOptions& options, const ScanTarget& target);

// Runs the notifications on an engine that has had its version calls. `input` is the raw
// response, or for a POST the whole body. `client` receives exactly the bytes the client
// would get; `trace` one line per notification.
void RunScan(filter::FilterEngine& engine, const ScanOptions& options,
             filter::MemoryRequest& request, const std::string& input, std::ostream& client,
             std::ostream& trace);

}  // namespace orv::tools
