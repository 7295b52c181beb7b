#include "console/app/first_run.h"

#include "console/app/console_state.h"
#include "console/foundation/dates_paths.h"
#include "platform/codepage.h"
#include "store/settings_file.h"

namespace orv::console {

bool IsFirstRun(ConsoleState& state) {
  if (!PathExistsAs(state.SettingsPath(), false)) {
    return true;
  }
  return !store::HasFirstRunMarkers(state.Settings().GetSoft());
}

FirstRunResult WriteFirstRunDefaults(ConsoleState& state) {
  FirstRunResult result;
  result.defaultsWritten = state.Settings().WriteDefaults(state.AppDirectory());
  if (!result.defaultsWritten) {
    const QString path = QString::fromStdString(codepage::AnsiToUtf8(state.SettingsPath()));
    result.failure = QStringLiteral(
                         "无法写入默认设置到 %1。\n\n请检查该文件夹是否存在并且可写，"
                         "然后重新启动本程序。")
                         .arg(path);
  }
  return result;
}

}  // namespace orv::console
