// What the screen decided for a request, counted in the proxy's metrics. A response that goes
// out unchanged counts one pass, with the reason the screen gave for it; a block, a replaced
// chunk and a record count where the verdict that made them is read.
#pragma once

#include "proxy/metrics.h"
#include "proxy/screening.h"

namespace orv::proxy {

// The request and body phases: a block, or a pass decided before any of the response (switched
// off, safe code, white list, unmonitored type). Nothing when the response is to be screened.
void CountRequestOutcome(ProxyMetrics* metrics, const RequestVerdict& verdict);

// One screened piece of the response: a block page, words replaced, a record.
void CountChunkOutcome(ProxyMetrics* metrics, const ChunkVerdict& verdict);

// The response went out whole and unchanged; `reason` is the first piece's pass reason. The
// reasons the request phase decides were counted there already and count nothing here.
void CountResponsePass(ProxyMetrics* metrics, filter::PassReason reason);

}  // namespace orv::proxy
