#include "console/app/section_pages.h"

#include "console/app/upcoming_page.h"

namespace orv::console {

CSettingsSection::CSettingsSection(QWidget* parent) : CPageContainer(parent) {
  setObjectName(QStringLiteral("CSettingsSection"));
  AddPage(1011, QStringLiteral("系统设置"),
          new CUpcomingPage(QStringLiteral("系统设置"),
                            QStringLiteral("开启或关闭过滤、日志、压缩处理和拦截提示，设置安全码、"
                                           "日志目录和受监控的文件类型，并控制 Web 服务。")));
}

CKeywordSection::CKeywordSection(QWidget* parent) : CPageContainer(parent) {
  setObjectName(QStringLiteral("CKeywordSection"));
  AddPage(1013, QStringLiteral("拦截词库"),
          new CUpcomingPage(QStringLiteral("拦截词库"),
                            QStringLiteral("编辑拦截关键词：含有这些词的页面将被拦截。")));
  AddPage(1014, QStringLiteral("替换词库"),
          new CUpcomingPage(QStringLiteral("替换词库"),
                            QStringLiteral("编辑替换关键词：这些词在页面中被等长替换后再发送。")));
  AddPage(
      1016, QStringLiteral("记录词库"),
      new CUpcomingPage(QStringLiteral("记录词库"),
                        QStringLiteral("编辑记录关键词：含有这些词的页面照常发送并记入日志。")));
  AddPage(1015, QStringLiteral("白名单词库"),
          new CUpcomingPage(QStringLiteral("白名单词库"),
                            QStringLiteral("编辑白名单关键词：含有这些词的页面不再检查。")));
}

CListSection::CListSection(QWidget* parent) : CPageContainer(parent) {
  setObjectName(QStringLiteral("CListSection"));
  AddPage(
      1009, QStringLiteral("黑名单"),
      new CUpcomingPage(QStringLiteral("黑名单"), QStringLiteral("总是拦截的 URL 和 IP 地址。")));
  AddPage(
      1010, QStringLiteral("白名单"),
      new CUpcomingPage(QStringLiteral("白名单"), QStringLiteral("从不过滤的 URL 和 IP 地址。")));
}

CLogSection::CLogSection(QWidget* parent) : CPageContainer(parent) {
  setObjectName(QStringLiteral("CLogSection"));
  AddPage(1012, QStringLiteral("系统日志"),
          new CUpcomingPage(QStringLiteral("系统日志"),
                            QStringLiteral("按日期列出拦截、替换和记录日志，统计、查看和删除。")));
}

}  // namespace orv::console
