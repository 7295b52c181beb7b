// The online keyword client's notices shown as the console's message boxes.
#pragma once

#include "console/foundation/desktop_services.h"
#include "online/client.h"

namespace orv::console {

BoxIcon BoxIconFor(online::BoxKind kind);

// Shows `notice` (GBK caption and text) with an OK button.
void ShowOnlineNotice(MessageBoxes& boxes, QWidget* owner, const online::Notice& notice);

}  // namespace orv::console
