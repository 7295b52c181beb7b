// The console's names for the MD5 digest, which lives with the online service client.
#pragma once

#include "online/md5.h"

namespace orv::console {

using online::Md5;
using online::Md5Hex;

}  // namespace orv::console
