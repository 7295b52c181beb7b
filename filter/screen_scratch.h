// The working memory of one screen: the keyword scan context and the buffers a chunk's
// search text is built in. Kept from screen to screen, since building them afresh would
// allocate and zero-fill arrays of the lists' size and a page-sized string per chunk; lent to
// one screen at a time from a pool, since the host's threads come and go (see
// platform/scratch_pool.h).
#pragma once

#include <string>

#include "keywords/scan_context.h"
#include "platform/scratch_pool.h"

namespace orv::filter {

struct ScreenScratch {
  keywords::ScanContext scan;
  std::string once;   // the chunk decoded once (or just lowered)
  std::string twice;  // decoded twice
};

// The pool the screens lease from. Idle members are freed by ReleaseIdleScreenScratch.
ScratchPool<ScreenScratch>& ScreenScratchPool();

}  // namespace orv::filter
