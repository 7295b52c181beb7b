#include "online/reply.h"

namespace orv::online {

std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker) {
  if (text.empty() || startMarker.empty() || endMarker.empty()) return {};
  const std::size_t start = text.find(startMarker);
  const std::size_t end = text.find(endMarker);
  if (start == std::string_view::npos || end == std::string_view::npos) return {};
  const std::size_t contentStart = start + startMarker.size();
  if (end < contentStart) return {};
  return std::string(text.substr(contentStart, end - contentStart));
}

ServiceReply ParseReply(std::string_view replyText) {
  ServiceReply reply;
  reply.flag = TextBetween(replyText, kFlagOpen, kFlagClose);
  reply.info = TextBetween(replyText, kInfoOpen, kInfoClose);
  reply.denyList = TextBetween(replyText, kStopOpen, kStopClose);
  reply.replaceList = TextBetween(replyText, kReplaceOpen, kReplaceClose);
  return reply;
}

}  // namespace orv::online
