#include "console/foundation/fetcher_transport.h"

namespace orv::console {

online::HttpReply FetcherTransport::HttpGet(const std::string& url) {
  online::HttpReply reply;
  const int code = fetcher_.Fetch(url, reply.body);
  switch (code) {
    case 1:
      reply.outcome = online::GetOutcome::Answered;
      break;
    case 2:
      reply.outcome = online::GetOutcome::NetworkFailure;
      reply.body.clear();
      reply.detail = "no complete response from " + url;
      break;
    default:
      reply.outcome = online::GetOutcome::OtherStatus;
      reply.body.clear();
      break;
  }
  return reply;
}

}  // namespace orv::console
