// The service's replies: a text body in which the client looks only for a few tagged fields.
#pragma once

#include <string>
#include <string_view>

namespace orv::online {

// The text after the first `startMarker` and before the first `endMarker` (both searched from
// the beginning); empty when any of the three is empty, a marker is missing or the end marker
// does not come after the start marker.
std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker);

inline constexpr std::string_view kFlagOpen = "<OrvKeyFlag>";
inline constexpr std::string_view kFlagClose = "</OrvKeyFlag>";
inline constexpr std::string_view kInfoOpen = "<OrvKeyInfo>";
inline constexpr std::string_view kInfoClose = "</OrvKeyInfo>";
inline constexpr std::string_view kStopOpen = "<OrvKeyStop>";
inline constexpr std::string_view kStopClose = "</OrvKeyStop>";
inline constexpr std::string_view kReplaceOpen = "<OrvKeyReplace>";
inline constexpr std::string_view kReplaceClose = "</OrvKeyReplace>";

// The flag that means success, compared exactly (case-sensitive).
inline constexpr std::string_view kFlagSuccess = "OK";

struct ServiceReply {
  std::string flag;
  std::string info;         // shown to the administrator, on success and on failure
  std::string denyList;     // scrambled with the account's key
  std::string replaceList;  // scrambled with the account's key

  bool Succeeded() const { return flag == kFlagSuccess; }
};

// The fields of a reply text (the body with its line breaks removed).
ServiceReply ParseReply(std::string_view replyText);

}  // namespace orv::online
