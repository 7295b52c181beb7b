// The engine's phase calls as a host sees them: what it describes of a request, and what each
// phase tells it to do. A request goes through up to four phases:
//
//   RequestPhase      headers and URL: master switch, safe code, black and white lists, and the
//                     header edits that keep the response screenable
//   BodyPhase         the lists again with the body: deny keywords in a POST, PUT or PATCH body
//   ChunkPhase        each piece of the response: charset, then free, record, deny and replace
//                     keywords
//   LoggedPhase       once the request is done: the hourly reload clock
//
// Every result says what the host must do and why, so that a host can count what it did.
// Nothing here is shaped after any one server: the ISAPI adapter and orvproxy both describe
// their requests with these types. The engine asks nothing else of its host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filter/request_memo.h"

namespace orv::filter {

// The request fields the header step reads. Header values as received, several fields of one
// name joined by ", ".
struct RequestFields {
  bool hasAcceptEncoding = false;
  // The offer's value; ignored unless hasAcceptEncoding. A host that could not read a value it
  // knows is there sets acceptEncodingUnread: the field is then replaced whole.
  std::string_view acceptEncoding;
  bool acceptEncodingUnread = false;
  // Fields that ask for a part of the response.
  bool hasRange = false;
  bool hasIfRange = false;
  bool hasRequestRange = false;
};

// One request as the engine judges it. Every view must stay valid for the phase call; the
// engine copies what it keeps (into the memo). Fields a phase does not read may stay empty:
// RequestPhase reads all but the body, BodyPhase reads method, url, clientAddress, userAgent
// and the body, ChunkPhase reads url, query, clientAddress and userAgent.
struct RequestDescription {
  std::string_view method;  // as sent: "GET", "POST"
  // "host[:port]/path?query": the server name, ":" and the port unless it is 80, the decoded
  // path, and "?" with the query when there is one (see SiteUrl). A front server's rewritten
  // URL takes its place when the host trusts it. Any case: the engine lower-cases it.
  std::string_view url;
  // The same without the query and before any rewrite: what the header step's white lists and
  // file type read.
  std::string_view siteUrl;
  std::string_view query;          // the raw query string, without "?": the safe code's home
  std::string_view clientAddress;  // whose request it is, as far as the host trusts to know
  std::string_view userAgent;      // picks the block pages' stop script
  RequestFields fields;
  // BodyPhase: what has arrived of the body, and the length the request declared for it.
  std::string_view body;
  std::uint64_t declaredBodyLength = 0;
};

// Why a block page was sent.
enum class BlockCause : std::uint8_t {
  kNone,
  kUrl,      // the URL black list
  kIp,       // the address black list
  kKeyword,  // a deny keyword in the response
  kBody,     // a deny keyword in the request body
};

// Why a request or a piece of its response went on unchanged.
enum class PassReason : std::uint8_t {
  kNone,             // no pass yet: blocked, rewritten, or going on to be screened
  kSwitchedOff,      // the master switch is off
  kSafeCode,         // the query carries the administrator's safe code
  kWhiteList,        // URL or address white list
  kUnmonitoredType,  // a file type outside the monitored ones
  kBinary,           // a NUL byte in a response that did not declare a text type
  kUndecodable,      // the host could not decode the body to screen it (never the engine's)
  kFreeWord,         // a free keyword lets the page through unscreened
  kScreened,         // screened, and nothing found (or only a record keyword)
  kNotScreened,      // the phase has nothing to screen here (a request without a body)
};

// A page that ends the request. `status` is the status line's code and reason. From a chunk
// with a deny keyword, `bytes` take the place of that chunk: a whole response with its own
// head when the chunk began the response, else the chunk's bytes up to the cut and the page.
// Otherwise `bytes` is the bare page, sent before any of the response.
struct BlockPage {
  BlockCause cause = BlockCause::kNone;
  std::string_view status;
  std::string bytes;
};

// One header edit for the request that goes on; an empty value removes the field.
struct HeaderEdit {
  std::string_view name;  // "Accept-Encoding", without a colon
  std::string value;
};

enum class Action : std::uint8_t {
  kContinue,      // go on (applying any header edits)
  kBlock,         // send `block` instead; the request ends with it
  kReplaceChunk,  // chunk phase: send `chunk` in place of the piece (same length)
};

struct RequestResult {
  Action action = Action::kContinue;
  PassReason pass = PassReason::kNone;  // why it went on unscreened, when it did
  BlockPage block;
  std::vector<HeaderEdit> edits;
};

struct BodyResult {
  Action action = Action::kContinue;
  PassReason pass = PassReason::kNone;
  BlockPage block;
};

struct ChunkResult {
  Action action = Action::kContinue;
  PassReason pass = PassReason::kNone;
  BlockPage block;
  std::string chunk;              // kReplaceChunk: the piece with its words replaced
  std::size_t wordsReplaced = 0;  // how many words the rewrite replaced
  bool recorded = false;          // a record keyword was found and logged
};

// Which part of RequestPhase to run. A host that learns a request in two steps (the header
// fields first, the mapped URL later) runs them apart; any other host runs both at once.
enum class RequestSteps : std::uint8_t { kAll, kHeaders, kLists };

// The outcome of the last settings load.
struct LoadOutcome {
  bool ok = true;
  std::string reason;  // why not: "OrvFilter.db: cannot open: No such file or directory"
};

// What a host may show of the engine's health.
struct EngineHealth {
  LoadOutcome lastLoad;
  std::uint64_t loads = 0;
  std::uint64_t failedLoads = 0;
  // Exceptions a phase caught to let the request go on unchanged, by phase.
  std::uint64_t swallowedRequest = 0;
  std::uint64_t swallowedBody = 0;
  std::uint64_t swallowedChunk = 0;
  std::uint64_t swallowedLogged = 0;
  std::uint64_t swallowedLoad = 0;  // loads that threw (also counted in failedLoads)
};

// "host", ":" and the port unless it is empty or "80", then the path: how the lists spell a
// request's URL.
inline std::string SiteUrl(std::string_view serverName, std::string_view serverPort,
                           std::string_view path) {
  std::string url(serverName);
  // A port that could not be read adds nothing rather than a bare colon, which would make the
  // URL match no list entry written with a host.
  if (!serverPort.empty() && serverPort != "80") {
    url += ':';
    url += serverPort;
  }
  url += path;
  return url;
}

// SiteUrl, then "?" and the query when it is not empty.
inline std::string SiteUrlWithQuery(std::string_view serverName, std::string_view serverPort,
                                    std::string_view path, std::string_view query) {
  std::string url = SiteUrl(serverName, serverPort, path);
  if (!query.empty()) {
    url += '?';
    url += query;
  }
  return url;
}

// Names for counting and logging: "url", "ip", "keyword", "body".
inline std::string_view BlockCauseName(BlockCause cause) {
  switch (cause) {
    case BlockCause::kNone:
      return "none";
    case BlockCause::kUrl:
      return "url";
    case BlockCause::kIp:
      return "ip";
    case BlockCause::kKeyword:
      return "keyword";
    case BlockCause::kBody:
      return "body";
  }
  return "none";
}

// "switched_off", "safe_code", "white_list", "unmonitored_type", "binary", ...
inline std::string_view PassReasonName(PassReason reason) {
  switch (reason) {
    case PassReason::kNone:
      return "none";
    case PassReason::kSwitchedOff:
      return "switched_off";
    case PassReason::kSafeCode:
      return "safe_code";
    case PassReason::kWhiteList:
      return "white_list";
    case PassReason::kUnmonitoredType:
      return "unmonitored_type";
    case PassReason::kBinary:
      return "binary";
    case PassReason::kUndecodable:
      return "undecodable";
    case PassReason::kFreeWord:
      return "free_word";
    case PassReason::kScreened:
      return "screened";
    case PassReason::kNotScreened:
      return "not_screened";
  }
  return "none";
}

}  // namespace orv::filter
