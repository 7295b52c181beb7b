// The texts the log window and `orvctl logs` show around a page, in GBK, and the cutting of
// column texts to the window's byte limits without splitting a double-byte character.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "loganalyzer/day_log.h"

namespace orv::loganalyzer {

// The GBK names of the event kinds as the filter writes them: "拦截", "替换", "记录", and
// "其他" for any other line.
const std::string& KindWord(int kind);

// Kind tab labels before a day is loaded ("所 有", "拦 截", ...) and with the counts after
// ("总 数(%d)", "拦 截(%d)", "替 换(%d)", "记 录(%d)", "其 他(%d)").
std::string KindTabTitle(int kind);
std::string KindTabLabel(int kind, std::size_t count);

// "总日志数[%d]天".
std::string DayCountLabel(std::size_t days);
// "暂无日志.".
const std::string& NoLogsText();
// "%s 的日志条数 %d,符合条件数:%d": the shown day's label, its line count and the rows shown.
std::string PageSummaryLabel(std::string_view dateLabel, const LogPage& page);
// "页码:%d/%d。显示第%d-%d条,总%d条.".
std::string PageStatusText(const LogPage& page);

// At most `maxBytes` of `text`, cut so that no double-byte character is split (a lead byte
// that would lose its trail byte is dropped too).
std::string CutGbk(std::string_view text, std::size_t maxBytes);

// The byte limits of the columns in the detail box and the copies.
inline constexpr std::array<std::size_t, kRowColumns> kColumnLimits = {9,   29,  29,   29,
                                                                       199, 199, 1023, 199};

// The detail box's message for a row (columns cut to kColumnLimits).
std::string DetailText(const DisplayRow& row);
// The text "copy line" puts on the clipboard (columns cut to kColumnLimits).
std::string CopyLineText(const DisplayRow& row);
// The URL column cut as "copy URL" takes it.
std::string CopyUrlText(const DisplayRow& row);

}  // namespace orv::loganalyzer
