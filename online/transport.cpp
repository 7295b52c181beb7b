#include "online/transport.h"

namespace orv::online {

std::string WithCacheBuster(std::string_view url, int number) {
  std::string out(url);
  out.append(url.find('?') == std::string_view::npos ? "?rnum=" : "&rnum=");
  out.append(std::to_string(number));
  return out;
}

std::string ReplyText(const HttpReply& reply) {
  switch (reply.outcome) {
    case GetOutcome::Answered: {
      if (reply.body.size() > kMaxReplyBytes) return "x";
      std::string text;
      text.reserve(reply.body.size());
      // A line feed ends a line, with or without a carriage return before it.
      const std::string& body = reply.body;
      for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\n') continue;
        if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') continue;
        text.push_back(body[i]);
      }
      return text;
    }
    case GetOutcome::OtherStatus:
      return {};
    case GetOutcome::NetworkFailure:
      break;
  }
  return "x";
}

}  // namespace orv::online
