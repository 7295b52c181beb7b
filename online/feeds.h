// The maker's two small feeds that the console reads in the background: the update notice
// (is there a newer version, and where to get it) and the advertisement bar's entries. They
// live below the same base URL as the keyword service (KeyServiceUrl), so a site that hosts
// its own orvkeyd hosts its feeds too. Every text here is GBK.
//
//   update feed         base + "/free/orv_update.asp?soft=orvfilter&v=2.1"
//                       "<ORVVersion>2.2</ORVVersion><ORVUpdateUrl>https://...</ORVUpdateUrl>
//                        <ORVUpdateAbout>what changed</ORVUpdateAbout>"
//   advertisement feed  base + "/free/orv_ads.asp?soft=orvfilter&v=2.1"
//                       "<orvads>entry##entry##...</orvads>", each entry
//                       "<soft>*</soft><url>https://...</url><title>...</title><color>1</color>"
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv::online {

inline constexpr std::string_view kUpdateFeedPath = "/free/orv_update.asp";
inline constexpr std::string_view kAdsFeedPath = "/free/orv_ads.asp";
// The console's product code in the advertisement entries' <soft> field (lower case: the feed
// is compared lower-cased).
inline constexpr std::string_view kProductCode = "orvfilter";

std::string UpdateFeedUrl(std::string_view baseUrl);
std::string AdsFeedUrl(std::string_view baseUrl);

// True for an absolute web address ("http://" or "https://", any letter case): the only kind
// of text from a feed that the console hands to the desktop to open.
bool IsWebAddress(std::string_view text);

struct UpdateNotice {
  std::string version;  // a dotted text such as "2.2"
  std::string page;     // where to get it
  std::string about;    // what changed
};

UpdateNotice ParseUpdateFeed(std::string_view reply);

// True when `version` names a release after `current`: it is not empty, holds a ".", and is
// greater in a byte-wise comparison (so "2.10" and "3.0" are newer than "2.1", "10.0" is not).
bool IsNewerVersion(std::string_view version, std::string_view current);

// The question the console asks about a newer version.
std::string UpdateQuestion(const UpdateNotice& notice);

// The page to open for the update: the feed's page when it is a web address, else
// `defaultPage`.
std::string UpdatePageToOpen(const UpdateNotice& notice, std::string_view defaultPage);

struct AdEntry {
  std::string link;
  std::string title;
  std::string colour;  // one-character code, see AdColour
};

// The entries meant for `productCode`, in feed order: the feed is compared lower-cased (ASCII
// letters of single-byte characters only, so the Chinese in a title stays intact), the text
// between "<orvads>" and "</orvads>" is split at "##" (pieces under 8 bytes dropped), and an
// entry counts when it holds <soft>, <url>, <title> and <color> and its soft field holds "*"
// or the product code but not "!" followed by it.
std::vector<AdEntry> ParseAdsFeed(std::string_view reply, std::string_view productCode);

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
  bool operator==(const Rgb&) const = default;
};

// "7" black, "1" red, "3" green, "2" blue, "4" brown, "5" white; anything else black.
Rgb AdColour(std::string_view code);

// The advertisement bar's turn: each Next() gives the following entry, starting again at the
// first after the last, or `fallback` (the default advertisement) while there is none.
class AdRotation {
 public:
  void Reset(std::vector<AdEntry> entries);
  AdEntry Next(const AdEntry& fallback);
  std::size_t Size() const { return entries_.size(); }

 private:
  std::vector<AdEntry> entries_;
  std::size_t position_ = 0;
};

// The link a click on the advertisement opens: the entry's link when it is a web address,
// else `defaultLink`.
std::string AdLinkToOpen(std::string_view link, std::string_view defaultLink);

}  // namespace orv::online
