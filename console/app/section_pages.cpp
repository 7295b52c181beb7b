#include "console/app/section_pages.h"

#include "console/app/list_pages.h"
#include "console/app/log_list_page.h"
#include "console/app/settings_page.h"
#include "console/app/words_pages.h"
#include "loganalyzer/ui/log_desktop.h"

namespace orv::console {

CSettingsSection::CSettingsSection(ConsoleState& state, MessageBoxes& boxes, SystemControl& control,
                                   QWidget* parent)
    : CPageContainer(parent) {
  setObjectName(QStringLiteral("CSettingsSection"));
  AddPage(1011, QStringLiteral("系统设置"), new CSettingsPage(state, boxes, control));
}

CKeywordSection::CKeywordSection(ConsoleState& state, MessageBoxes& boxes, QWidget* parent)
    : CPageContainer(parent) {
  setObjectName(QStringLiteral("CKeywordSection"));
  AddPage(1013, QStringLiteral("拦截词库"), new CDenyWordsPage(state, boxes));
  AddPage(1014, QStringLiteral("替换词库"), new CReplaceWordsPage(state, boxes));
  AddPage(1016, QStringLiteral("记录词库"), new CRecordWordsPage(state, boxes));
  AddPage(1015, QStringLiteral("白名单词库"), new CFreeWordsPage(state, boxes));
}

CListSection::CListSection(ConsoleState& state, MessageBoxes& boxes, QWidget* parent)
    : CPageContainer(parent) {
  setObjectName(QStringLiteral("CListSection"));
  AddPage(1009, QStringLiteral("黑名单"), new CBlackListPage(state, boxes));
  AddPage(1010, QStringLiteral("白名单"), new CWhiteListPage(state, boxes));
}

CLogSection::CLogSection(ConsoleState& state, MessageBoxes& boxes, QWidget* parent)
    : CPageContainer(parent) {
  setObjectName(QStringLiteral("CLogSection"));
  AddPage(1012, QStringLiteral("系统日志"),
          new CLogListPage(state, boxes, loganalyzer::DefaultLogDesktop()));
}

}  // namespace orv::console
