#include "proxy/screening.h"

#include "proxy/notification_hosts.h"

namespace orv::proxy {

RequestVerdict ScreenRequest(ScreeningEngine& engine, RequestFacts& facts) {
  RequestVerdict verdict;
  facts.clientAcceptEncoding = facts.Header("Accept-Encoding").value_or("");
  for (std::uint32_t notification : {filter::kNotifyPreprocHeaders, filter::kNotifyUrlMap}) {
    NotificationHost host(facts);
    engine.HttpFilterProc(host, notification);
    if (host.WroteClient()) {
      verdict.blocked = true;
      verdict.blockBytes = host.Written();
      return verdict;
    }
  }
  BodyScreenHost extension(facts);
  engine.HttpExtensionProc(extension);
  if (extension.WroteClient()) {
    verdict.blocked = true;
    verdict.blockBytes = extension.Written();
  }
  // A hand-on that failed has nothing to fall back to but serving the request: the filter
  // fails open.
  return verdict;
}

ChunkVerdict ScreenChunk(ScreeningEngine& engine, RequestFacts& facts, std::string_view chunk) {
  NotificationHost host(facts, chunk);
  engine.HttpFilterProc(host, filter::kNotifySendRawData);
  ChunkVerdict verdict;
  verdict.accessDenied = host.RequestedStatus().has_value();
  if (host.WroteClient()) {
    verdict.kind = ChunkVerdict::Kind::kBlockPage;
    verdict.bytes = host.Written();
  } else if (host.Replacement()) {
    bool inPlace = host.Replacement()->size() == chunk.size() && !verdict.accessDenied;
    verdict.kind = inPlace ? ChunkVerdict::Kind::kRewritten : ChunkVerdict::Kind::kBlockPage;
    verdict.bytes = *host.Replacement();
  } else {
    // A status asked for without a page to go with it changes nothing the client sees.
    verdict.accessDenied = false;
  }
  return verdict;
}

void LogRequest(ScreeningEngine& engine, RequestFacts& facts) {
  NotificationHost host(facts);
  engine.HttpFilterProc(host, filter::kNotifyLog);
}

}  // namespace orv::proxy
