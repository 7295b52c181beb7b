#include "loganalyzer/log_texts.h"

#include "platform/codepage.h"

namespace orv::loganalyzer {

namespace {
// The texts are written here in UTF-8 and converted to GBK once, on first use.
struct Texts {
  std::array<std::string, kKindCount> kindWords;
  std::array<std::string, kKindCount> tabTitles;
  std::array<std::string, kKindCount> tabLabels;  // without the "(%d)"
  std::string dayCountStart, dayCountEnd;
  std::string noLogs;
  std::string summaryLines, summaryRows;
  std::string statusPage, statusShown, statusTo, statusTotal, statusEnd;
  std::string serial, time, kind, method, key, client, refer, url;
};

const Texts& GbkTexts() {
  static const Texts texts = [] {
    const auto gbk = [](std::string_view utf8) { return codepage::Utf8ToAnsi(utf8); };
    Texts t;
    t.kindWords = {gbk("总数"), gbk("拦截"), gbk("替换"), gbk("记录"), gbk("其他")};
    t.tabTitles = {gbk("所 有"), gbk("拦 截"), gbk("替 换"), gbk("记 录"), gbk("其 他")};
    t.tabLabels = {gbk("总 数"), gbk("拦 截"), gbk("替 换"), gbk("记 录"), gbk("其 他")};
    t.dayCountStart = gbk("总日志数[");
    t.dayCountEnd = gbk("]天");
    t.noLogs = gbk("暂无日志.");
    t.summaryLines = gbk(" 的日志条数 ");
    t.summaryRows = gbk(",符合条件数:");
    t.statusPage = gbk("页码:");
    t.statusShown = gbk("。显示第");
    t.statusTo = gbk("-");
    t.statusTotal = gbk("条,总");
    t.statusEnd = gbk("条.");
    t.serial = gbk("序号:");
    t.time = gbk("时间:");
    t.kind = gbk("类型:");
    t.method = gbk("操作:");
    t.key = gbk("关键词:");
    t.client = gbk("来自IP:");
    t.refer = gbk("关联词:");
    t.url = gbk("URL地址:");
    return t;
  }();
  return texts;
}

std::size_t KindSlot(int kind) {
  return kind >= kKindAll && kind <= kKindOther ? static_cast<std::size_t>(kind)
                                                : std::size_t{kKindOther};
}

std::string Cut(const DisplayRow& row, std::size_t column) {
  return CutGbk(row[column], kColumnLimits[column]);
}
}  // namespace

const std::string& KindWord(int kind) {
  return GbkTexts().kindWords[KindSlot(kind == kKindAll ? int{kKindOther} : kind)];
}

std::string KindTabTitle(int kind) {
  return GbkTexts().tabTitles[KindSlot(kind)];
}

std::string KindTabLabel(int kind, std::size_t count) {
  return GbkTexts().tabLabels[KindSlot(kind)] + "(" + std::to_string(count) + ")";
}

std::string DayCountLabel(std::size_t days) {
  return GbkTexts().dayCountStart + std::to_string(days) + GbkTexts().dayCountEnd;
}

const std::string& NoLogsText() {
  return GbkTexts().noLogs;
}

std::string PageSummaryLabel(std::string_view dateLabel, const LogPage& page) {
  const Texts& t = GbkTexts();
  return std::string(dateLabel) + t.summaryLines + std::to_string(page.allCount) + t.summaryRows +
         std::to_string(page.rows.size());
}

std::string PageStatusText(const LogPage& page) {
  const Texts& t = GbkTexts();
  return t.statusPage + std::to_string(page.currentPage) + "/" + std::to_string(page.pageCount) +
         t.statusShown + std::to_string(page.firstRow) + t.statusTo + std::to_string(page.lastRow) +
         t.statusTotal + std::to_string(page.allCount) + t.statusEnd;
}

std::string CutGbk(std::string_view text, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < text.size()) {
    const bool pair =
        codepage::IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size();
    const std::size_t next = end + (pair ? 2 : 1);
    if (next > maxBytes) {
      break;
    }
    end = next;
  }
  return std::string(text.substr(0, end));
}

std::string DetailText(const DisplayRow& row) {
  const Texts& t = GbkTexts();
  return t.serial + Cut(row, 0) + "\n\n" + t.time + Cut(row, 1) + "\n\n" + t.kind + Cut(row, 2) +
         "\n\n" + t.method + Cut(row, 3) + "\n\n" + t.key + Cut(row, 4) + "\n\n" + t.client +
         Cut(row, 5) + "\n\n" + t.refer + Cut(row, 7) + "\n\n" + t.url + Cut(row, 6);
}

std::string CopyLineText(const DisplayRow& row) {
  const Texts& t = GbkTexts();
  return t.serial + Cut(row, 0) + "\n" + t.time + Cut(row, 1) + "\n" + t.kind + Cut(row, 2) + "\n" +
         t.method + Cut(row, 3) + "\n" + t.client + Cut(row, 5) + "\n" + t.key + Cut(row, 4) +
         "\n" + t.refer + Cut(row, 7) + "\n" + t.url + Cut(row, 6);
}

std::string CopyUrlText(const DisplayRow& row) {
  return Cut(row, 6);
}

}  // namespace orv::loganalyzer
