// One event log line, built from the settings' line template
// ("%time%\t%kind%\t%method%\t%key%\t%ip%\t%url%\t%refer%").
#pragma once

#include <string>
#include <string_view>

namespace orv::filter {

enum class EventKind { Deny = 0, Replace = 1, Record = 2 };

// The kind as the log reader knows it, in GBK.
std::string_view EventKindText(EventKind kind);

struct EventFields {
  EventKind kind = EventKind::Deny;
  std::string_view method;  // "GET" for a response, the request's method for a body
  std::string_view key;
  std::string_view time;
  std::string_view ip;
  std::string_view url;
  std::string_view refer;
  // Response events show the context as one token, without blanks.
  bool referWithoutBlanks = true;
};

// Tabs, CR, LF (and NUL) are taken out of every value before it goes into the line: the address,
// URL and context come from the client, and one of them would split the line or shift its
// columns for every reader of the log.
std::string BuildEventLine(std::string_view lineTemplate, const EventFields& fields);

// Context of a hit as the log shows it: percent-decoded when it holds "%".
std::string DecodedContext(std::string_view excerpt);

}  // namespace orv::filter
