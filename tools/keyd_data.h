// What orvkeyd serves: accounts and the deny and replace lists, loaded from a folder, and the
// answer to one request of the online keyword client. No sockets here.
//
// The folder holds three UTF-8 text files (blank lines and lines starting with "#" ignored,
// CR LF or LF line ends):
//   accounts.txt  one account per line: user name, a tab, then the 32 hexadecimal digits of
//                 the MD5 of the password's GBK bytes (what the client sends as "p"; make it
//                 with `orvkeyd --digest`). Keep the file private: the digest is all a client
//                 needs to log in.
//   deny.txt      the deny keywords to hand out, one per line
//   replace.txt   the replace keywords to hand out, one "word=value" per line
// A missing list file is an empty list; a missing accounts file is an error.
//
// Two more optional files hold the console's feeds, served as they are (in GBK) at the paths
// of online/feeds.h; a missing one answers 404, which the console takes as "no news":
//   update.txt    "<ORVVersion>2.2</ORVVersion><ORVUpdateUrl>...</ORVUpdateUrl>
//                  <ORVUpdateAbout>...</ORVUpdateAbout>"
//   ads.txt       "<orvads>entry##entry</orvads>", each entry
//                 "<soft>*</soft><url>...</url><title>...</title><color>1</color>"
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orv::tools {

struct KeyData {
  std::map<std::string, std::string> digests;  // GBK user name -> lower-case hex digest
  std::vector<std::string> deny;               // GBK entries
  std::vector<std::string> replace;            // GBK entries
  std::string updateFeed;                      // GBK; empty: not served
  std::string adsFeed;                         // GBK; empty: not served
};

struct KeyDataLoad {
  std::shared_ptr<const KeyData> data;  // null when the folder cannot be served
  std::string error;
  std::vector<std::string> warnings;  // lines skipped, one message each
};

KeyDataLoad LoadKeyData(const std::string& directory);

// Parses the three files' texts (for LoadKeyData and the tests).
KeyDataLoad ParseKeyData(std::string_view accounts, std::string_view deny,
                         std::string_view replace);

inline constexpr std::string_view kServicePath = "/free/api_feifa.asp";

struct KeyAnswer {
  unsigned status = 200;
  std::string body;  // GBK
};

// The answer to a GET of `target` (path and query as sent).
KeyAnswer AnswerRequest(const KeyData& data, std::string_view target);

// The request's query fields: "&"-separated "name=value" pairs, values percent-decoded, the
// first of a repeated name kept.
std::map<std::string, std::string> ParseQuery(std::string_view query);

}  // namespace orv::tools
