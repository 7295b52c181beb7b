// The console's names for the stored online service account, which lives with the online
// service client.
#pragma once

#include "online/account.h"

namespace orv::console {

using online::kMarkUnverified;
using online::kMarkVerified;
using online::MakeAccountRecord;
using online::ScrambleAccountRecord;
using online::UnscrambleAccountRecord;
using online::VersionMarkFor;

}  // namespace orv::console
