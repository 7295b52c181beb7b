#include "console/app/online_notice.h"

#include "store/gbk_text.h"

namespace orv::console {

BoxIcon BoxIconFor(online::BoxKind kind) {
  switch (kind) {
    case online::BoxKind::Warning:
      return BoxIcon::Warning;
    case online::BoxKind::Error:
      return BoxIcon::Error;
    case online::BoxKind::Information:
      break;
  }
  return BoxIcon::Information;
}

void ShowOnlineNotice(MessageBoxes& boxes, QWidget* owner, const online::Notice& notice) {
  // The service's info text is shown as it came: bytes that are not GBK survive as themselves.
  boxes.Show(owner, BoxIconFor(notice.kind),
             QString::fromStdString(store::GbkToUtf8Lossless(notice.caption)),
             QString::fromStdString(store::GbkToUtf8Lossless(notice.text)));
}

}  // namespace orv::console
