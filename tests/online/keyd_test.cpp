// orvkeyd: its folder format and answers, and the client talking to it over a socket through
// the Beast transport; plus peers that answer badly.
#include <gtest/gtest.h>

#include "online/account.h"
#include "online/beast_transport.h"
#include "online/client.h"
#include "online/reply.h"
#include "online/scramble.h"
#include "online/service_address.h"
#include "online_fixtures.h"
#include "store/settings_file.h"
#include "tools/keyd_data.h"

namespace orv::online {
namespace {

using testing::CannedPeer;
using testing::Gbk;
using testing::KeyServerThread;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;
using tools::AnswerRequest;
using tools::KeyData;
using tools::ParseKeyData;

const std::string kDigest = Md5Hex("secret");

std::shared_ptr<const KeyData> Accounts() {
  const std::string accounts = "# name\tdigest\r\nbob\t" + kDigest +
                               "\r\n\xE5\xBC\xA0 \xE4\xB8\x89&=#\t" + kDigest +
                               "\nbroken line\nbob\t" + Md5Hex("other") + "\n";
  return ParseKeyData(accounts, "aa\nbb\nc\n", "ab=xy\n").data;
}

TEST(KeyData, FolderFilesSkipWhatCannotBeServed) {
  const tools::KeyDataLoad load =
      ParseKeyData("\xEF\xBB\xBFu1\t" + kDigest + "\nu2\tnot-a-digest\nu1\t" + kDigest + "\n",
                   "ok\n\nx\nbad@@entry\n<OrvKeyFree>\n\xE4\xBD\xA0\xE5\xA5\xBD\n", "");
  ASSERT_TRUE(load.data);
  EXPECT_EQ(load.data->digests.size(), 1u);
  EXPECT_EQ(load.data->deny, (std::vector<std::string>{"ok", Gbk("你好")}));
  EXPECT_EQ(load.warnings.size(), 5u);  // bad digest, repeated name, short, "@@", tag

  ScratchFolder folder;
  EXPECT_FALSE(tools::LoadKeyData(folder.Dir().string()).data);  // no accounts.txt
  WriteFile(folder.Dir() / "accounts.txt", "u\t" + kDigest + "\n");
  EXPECT_TRUE(tools::LoadKeyData(folder.Dir().string()).data);  // lists may be missing
}

TEST(KeyData, AnswersByPathFieldsAndDigest) {
  const auto data = Accounts();
  EXPECT_EQ(AnswerRequest(*data, "/other?u=bob").status, 404u);
  EXPECT_EQ(AnswerRequest(*data, "/free/api_feifa.asp/x?u=bob").status, 404u);
  const auto flag = [&](std::string_view target) {
    return ParseReply(AnswerRequest(*data, target).body).flag;
  };
  EXPECT_EQ(flag("/free/api_feifa.asp"), "NO");
  EXPECT_EQ(flag("/free/api_feifa.asp?u=bob&m=check"), "NO");
  EXPECT_EQ(flag("/free/api_feifa.asp?u=bob&p=" + Md5Hex("other") + "&m=check"), "NO");
  EXPECT_EQ(flag("/free/api_feifa.asp?u=bob&p=" + kDigest + "&m=check"), "OK");
  EXPECT_EQ(flag("/free/api_feifa.asp?u=BOB&p=" + kDigest + "&m=check"), "NO");
  // Hexadecimal digits in either case; the first of a repeated field counts.
  std::string upper = kDigest;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(flag("/free/api_feifa.asp?u=bob&p=" + upper + "&p=x&u=eve"), "OK");
  EXPECT_EQ(flag("/free/api_feifa.asp?u=" + PercentEncode(Gbk("张 三&=#")) + "&p=" + kDigest),
            "OK");
}

TEST(KeyData, FetchListsUnscrambleForTheAccount) {
  const auto data = ParseKeyData("bob\t" + kDigest + "\n", "one\n", "").data;
  const ServiceReply reply =
      ParseReply(AnswerRequest(*data, "/free/api_feifa.asp?u=bob&p=" + kDigest + "&f=ui").body);
  ASSERT_TRUE(reply.Succeeded());
  // A list of one entry, and an empty one, still read as lists.
  EXPECT_EQ(UnscrambleWithKey(reply.denyList, KeyFromText("bob"), true), "@@one");
  EXPECT_EQ(UnscrambleWithKey(reply.replaceList, KeyFromText("bob"), true), "@@");
}

class AgainstServer : public ::testing::Test {
 protected:
  AgainstServer() : server_(Accounts()), settings_(folder_.File("OrvFilter.ini")) {
    EXPECT_TRUE(server_.Listening());
    EXPECT_TRUE(settings_.WriteKey(kServiceUrlKey, server_.BaseUrl()));
    WriteFile(database_, "<OrvKeyDeny>bb</OrvKeyDeny><OrvKeyRepl></OrvKeyRepl>");
  }

  KeyServerThread server_;
  ScratchFolder folder_;
  store::SettingsFile settings_;
  std::string database_ = folder_.File("OrvFilter.db");
  BeastTransport transport_{std::chrono::seconds(10), "test"};
};

TEST_F(AgainstServer, VerifyThenFetchWithAnAwkwardUserName) {
  const std::string user = Gbk("张 三&=#");
  VerifyOutcome verify = VerifyAccount(settings_, transport_, user, "wrong");
  EXPECT_EQ(verify.notice.kind, BoxKind::Error);
  EXPECT_EQ(verify.notice.text, Gbk("抱歉，验证错误，错误原因：\n\n用户名或密码错误。"));

  verify = VerifyAccount(settings_, transport_, "  " + user + " ", "secret");
  ASSERT_EQ(verify.notice.kind, BoxKind::Information) << verify.detail;
  EXPECT_EQ(ReadStoredAccount(settings_.GetUser()).user, user);

  FetchOutcome fetch = FetchKeywords(settings_, database_, transport_);
  ASSERT_EQ(fetch.notice.kind, BoxKind::Information) << fetch.detail;
  EXPECT_EQ(fetch.denyAdded, 1u);
  EXPECT_EQ(fetch.replaceAdded, 1u);
  EXPECT_EQ(ReadFile(database_), "<OrvKeyDeny>bb@@aa</OrvKeyDeny><OrvKeyRepl>@@ab=xy</OrvKeyRepl>");

  // New lists after a reload are merged on the next fetch.
  server_.Server().Replace(
      ParseKeyData("bob\t" + kDigest + "\n\xE5\xBC\xA0 \xE4\xB8\x89&=#\t" + kDigest + "\n",
                   "aa\ncc\n", "")
          .data);
  fetch = FetchKeywords(settings_, database_, transport_);
  EXPECT_EQ(fetch.denyAdded, 1u);
  EXPECT_EQ(fetch.replaceAdded, 0u);
}

TEST(BeastTransport, BadPeersAreNetworkFailuresOrOtherStatuses) {
  BeastTransport transport(std::chrono::seconds(5), "test");
  const auto get = [&](const std::string& base) {
    return transport.HttpGet(base + "/free/api_feifa.asp?u=a");
  };
  {
    CannedPeer peer("HTTP/1.1 500 Oops\r\nContent-Length: 27\r\n\r\n<OrvKeyFlag>OK</OrvKeyFlag>");
    const HttpReply reply = get(peer.BaseUrl());
    EXPECT_EQ(reply.outcome, GetOutcome::Answered);
    EXPECT_EQ(reply.body, "<OrvKeyFlag>OK</OrvKeyFlag>");
  }
  {
    CannedPeer peer("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!");
    EXPECT_EQ(get(peer.BaseUrl()).outcome, GetOutcome::OtherStatus);
  }
  {
    // Announced larger than the bound: refused before any of it is read.
    CannedPeer peer("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kMaxReplyBytes + 1) +
                    "\r\n\r\nabc");
    const HttpReply reply = get(peer.BaseUrl());
    EXPECT_EQ(reply.outcome, GetOutcome::NetworkFailure);
    EXPECT_NE(reply.detail.find("larger"), std::string::npos) << reply.detail;
  }
  {
    // A chunked body that grows beyond the bound while it is read.
    std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 4; ++i) chunked += "200\r\n" + std::string(512, 'a') + "\r\n";
    chunked += "0\r\n\r\n";
    CannedPeer peer(chunked);
    BeastTransport small(std::chrono::seconds(5), "test", 1024);
    const HttpReply reply = small.HttpGet(peer.BaseUrl() + "/");
    EXPECT_EQ(reply.outcome, GetOutcome::NetworkFailure);
    EXPECT_NE(reply.detail.find("larger"), std::string::npos) << reply.detail;
    EXPECT_TRUE(reply.body.empty());
  }
  {
    CannedPeer peer("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\ncut short");
    EXPECT_EQ(get(peer.BaseUrl()).outcome, GetOutcome::NetworkFailure);
  }
  {
    CannedPeer peer("");
    EXPECT_EQ(get(peer.BaseUrl()).outcome, GetOutcome::NetworkFailure);
  }
  {
    CannedPeer peer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nBad Header\r\n\r\nok");
    EXPECT_EQ(get(peer.BaseUrl()).outcome, GetOutcome::NetworkFailure);
  }
  // Nobody listening; not an address this transport speaks.
  std::string closedBase;
  {
    CannedPeer peer("");
    closedBase = peer.BaseUrl();
  }
  EXPECT_EQ(get(closedBase).outcome, GetOutcome::NetworkFailure);
  EXPECT_EQ(transport.HttpGet("ftp://h/x").outcome, GetOutcome::NetworkFailure);
  EXPECT_EQ(transport.HttpGet("").outcome, GetOutcome::NetworkFailure);
}

TEST(BeastTransport, SplitsOnlyPlainAbsoluteAddresses) {
  ServiceUrlParts parts;
  ASSERT_TRUE(SplitServiceUrl("https://[::1]:8443?x=1", parts));
  EXPECT_TRUE(parts.tls);
  EXPECT_EQ(parts.host, "::1");
  EXPECT_EQ(parts.port, "8443");
  EXPECT_EQ(parts.target, "/?x=1");
  ASSERT_TRUE(SplitServiceUrl("http://h/p?q", parts));
  EXPECT_EQ(parts.port, "80");
  for (const char* bad : {"http://user@h/", "http://h:0/", "http://h:99999/", "http://h /",
                          "http://h/#frag", "http:///p", "//h/p", "http://h:/p", "http://[::1/"}) {
    EXPECT_FALSE(SplitServiceUrl(bad, parts)) << bad;
  }
}

}  // namespace
}  // namespace orv::online
