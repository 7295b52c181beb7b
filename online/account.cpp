#include "online/account.h"

#include "online/reply.h"
#include "online/scramble.h"

namespace orv::online {

namespace {
constexpr char kAccountKeyText[] = "orvane-console-account";
}  // namespace

std::uint32_t AccountKey() {
  static const std::uint32_t key = KeyFromText(kAccountKeyText);
  return key;
}

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

Account ReadStoredAccount(std::string_view storedKeyUser) {
  const std::string record = UnscrambleAccountRecord(storedKeyUser);
  return {TextBetween(record, "<u>", "</u>"), TextBetween(record, "<p>", "</p>")};
}

std::string VersionMarkFor(std::string_view storedKeyUser) {
  const std::string record = UnscrambleAccountRecord(storedKeyUser);
  const bool verified =
      TextBetween(record, "<u>", "</u>").size() > 2 && !record.empty() && record.front() == '1';
  return std::string(verified ? kMarkVerified : kMarkUnverified);
}

}  // namespace orv::online
