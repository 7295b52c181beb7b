#include "filter/screen_scratch.h"

#include "filter/screen_worker.h"

namespace orv::filter {

ScratchPool<ScreenScratch>& ScreenScratchPool() {
  // Never deleted: nothing of it may run at process exit (see scratch_pool.h).
  static ScratchPool<ScreenScratch>* const pool = new ScratchPool<ScreenScratch>();
  return *pool;
}

void ReleaseIdleScreenScratch() {
  ScreenScratchPool().ReleaseIdle();
}

}  // namespace orv::filter
