// Random bytes as a keyword service reply and as a request to orvkeyd: the client's reading of
// the reply never lets a fetched entry break the keyword database, and the service answers
// every request target without failing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "online/client.h"
#include "online/reply.h"
#include "online/scramble.h"
#include "online/service_address.h"
#include "online/transport.h"
#include "store/keyword_database.h"
#include "tools/keyd_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t split = std::min<std::size_t>(data[0], size - 1);
  const std::string_view target(reinterpret_cast<const char*>(data) + 1, split);
  const std::string_view body(reinterpret_cast<const char*>(data) + 1 + split, size - 1 - split);

  // The reply, read as the fetch reads it; the lists are both taken raw and unscrambled.
  const std::string text =
      orv::online::ReplyText({orv::online::GetOutcome::Answered, std::string(body), ""});
  const orv::online::ServiceReply reply = orv::online::ParseReply(text);
  const std::uint32_t key = orv::online::KeyFromText(reply.info);
  std::string database = "<OrvKeyDeny>aa</OrvKeyDeny><KeyWordsJilu>keep</KeyWordsJilu>";
  for (const std::string& list : {reply.denyList, reply.replaceList,
                                  orv::online::UnscrambleWithKey(reply.denyList, key, true)}) {
    const orv::online::MergeResult merged = orv::online::MergeFetchedList(
        orv::store::ExtractSection(database, orv::store::Section::Deny), list);
    orv::store::ReplaceSection(database, orv::store::Section::Deny, merged.section);
    // The merged list reads back whole and the other sections are untouched.
    if (orv::store::ExtractSection(database, orv::store::Section::Deny) != merged.section ||
        orv::store::ExtractSection(database, orv::store::Section::Record) != "keep") {
      std::abort();
    }
  }

  // The same bytes as a request target of the service, and the query's round trip.
  static const auto service =
      orv::tools::ParseKeyData("bob\t0123456789abcdef0123456789abcdef\n", "aa\nbb\n", "c=d\n").data;
  const orv::tools::KeyAnswer answer = orv::tools::AnswerRequest(*service, target);
  if (answer.status != 200 && answer.status != 404) std::abort();
  const std::string name(target);
  if (orv::online::PercentDecode(orv::online::PercentEncode(name)) != name) std::abort();
  const auto fields = orv::tools::ParseQuery("u=" + orv::online::PercentEncode(name));
  if (fields.at("u") != name) std::abort();
  return 0;
}
