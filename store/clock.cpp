#include "store/clock.h"

namespace orv::store {

std::shared_ptr<const Clock> MakeSystemClock() {
  return std::make_shared<const SystemClock>();
}

std::tm LocalTime(std::time_t t) {
  std::tm out{};
#ifdef _WIN32
  localtime_s(&out, &t);
#else
  localtime_r(&t, &out);
#endif
  return out;
}

std::tm UtcTime(std::time_t t) {
  std::tm out{};
#ifdef _WIN32
  gmtime_s(&out, &t);
#else
  gmtime_r(&t, &out);
#endif
  return out;
}

}  // namespace orv::store
