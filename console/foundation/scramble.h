// The console's names for the text scrambling, which lives with the online service client.
#pragma once

#include "online/scramble.h"

namespace orv::console {

using online::KeyFromText;
using online::ScrambleLetterPairs;
using online::ScrambleWithKey;
using online::UnscrambleLetterPairs;
using online::UnscrambleWithKey;

}  // namespace orv::console
