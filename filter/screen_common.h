// Decisions and pages shared by the screening handlers: the safe-code bypass, the black and
// white lists, the monitored file types, and filling the block pages.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "filter/phases.h"
#include "filter/request_memo.h"
#include "store/filter_settings.h"

namespace orv::filter {

// The query string carries the administrator's safe code. An empty safe code bypasses
// nothing (an empty text would otherwise "occur" in every query string and switch the
// screening off for every request).
bool CarriesSafeCode(const store::FilterSettings& settings, std::string_view lowerQuery);

// The URL-list or IP-list block page, filled, when the path or the address is black-listed
// (URL list first); nothing otherwise. An empty path or address skips its list.
std::optional<BlockPage> BlackListPage(const store::FilterSettings& settings, std::string_view path,
                                       std::string_view address, std::string_view requestUrl,
                                       std::string_view stopScript);

// The path is on the URL white list; the address on the IP white list.
bool WhiteListedUrl(const store::FilterSettings& settings, std::string_view path);
bool WhiteListedAddress(const store::FilterSettings& settings, std::string_view address);
// The path or the address is on a white list.
bool WhiteListed(const store::FilterSettings& settings, std::string_view path,
                 std::string_view address);

// A file type outside the monitored ones: a non-empty token ("|jpg|") not in the list.
bool UnmonitoredFileType(const store::FilterSettings& settings, std::string_view token);

// The keyword block page with every placeholder filled. Client-controlled values (URL,
// address) and the keyword are HTML-escaped here.
std::string FillKeywordPage(const store::FilterSettings& settings, std::string_view keyword,
                            std::string_view time, std::string_view address,
                            std::string_view requestUrl, std::string_view stopScript);

// Event time as the log writes it ("2012-10-31 9:5:7").
std::string EventTime(std::time_t now);

// The status line of a page that blocks a request before any of its response was sent.
inline constexpr std::string_view kBlockStatus = "403 Forbidden";

// The steps the list step and the chunk phase take first: the master switch, the safe code,
// then the URL and IP black lists. Returns the phase's answer when it ends there (a pass with
// its reason, or a block); otherwise fills `request` and returns nothing. The same for every
// method: a response is screened whatever the request that asked for it. With a memo, the
// outcome is kept for the request's later phases under the same settings record.
std::optional<RequestResult> ScreenRequestLists(const store::FilterSettings& settings,
                                                const RequestDescription& description,
                                                RequestMemo* memo, ListedRequest& request);

// The stop script for a client of this user agent.
std::string StopScriptFor(std::string_view userAgent);

// HTML-escaped copy.
std::string Escaped(std::string_view text);

}  // namespace orv::filter
