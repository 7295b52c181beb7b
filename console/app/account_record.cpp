#include "console/app/account_record.h"

#include "console/app/product_texts.h"
#include "console/foundation/scramble.h"
#include "console/foundation/text_ops.h"

namespace orv::console {

std::string MakeAccountRecord(std::string_view user, std::string_view password) {
  std::string record = "1<u>";
  record.append(user).append("</u><p>").append(password).append("</p>");
  return record;
}

std::string ScrambleAccountRecord(std::string_view record) {
  return ScrambleWithKey(record, AccountKey());
}

std::string UnscrambleAccountRecord(std::string_view stored) {
  return UnscrambleWithKey(stored, AccountKey(), false);
}

std::string VersionMarkFor(std::string_view storedKeyUser) {
  const std::string record = UnscrambleAccountRecord(storedKeyUser);
  const bool verified =
      TextBetween(record, "<u>", "</u>").size() > 2 && !record.empty() && record.front() == '1';
  return std::string(verified ? kMarkVerified : kMarkUnverified);
}

}  // namespace orv::console
