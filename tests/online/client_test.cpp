// Verification and fetch as the console runs them, against scripted replies (broken and hostile
// ones included) and the files they leave behind.
#include "online/client.h"

#include <gtest/gtest.h>

#include "online/account.h"
#include "online/reply.h"
#include "online/scramble.h"
#include "online/service_address.h"
#include "online_fixtures.h"
#include "store/settings_file.h"

namespace orv::online {
namespace {

using testing::Gbk;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::ScriptedTransport;
using testing::WriteFile;

std::string FetchReply(std::string_view user, std::string_view deny, std::string_view replace,
                       std::string_view flag = "OK") {
  const std::uint32_t key = KeyFromText(user);
  return "<OrvKeyFlag>" + std::string(flag) + "</OrvKeyFlag>\r\n<OrvKeyInfo>fine</OrvKeyInfo>" +
         "<OrvKeyStop>" + ScrambleWithKey(deny, key) + "</OrvKeyStop>\r\n<OrvKeyReplace>" +
         ScrambleWithKey(replace, key) + "</OrvKeyReplace>";
}

constexpr std::string_view kDatabase =
    "<OrvKeyDeny>bb</OrvKeyDeny>\r\n<OrvKeyRepl>ab=cd</OrvKeyRepl>\r\n"
    "<KeyWordsJilu>watch@@me</KeyWordsJilu>\r\n<OrvKeyFree>@@ok</OrvKeyFree>\r\n";

class OnlineClient : public ::testing::Test {
 protected:
  OnlineClient() : settings_(folder_.File("OrvFilter.ini")) {
    WriteFile(folder_.File("OrvFilter.ini"), "[OrvFilter]\r\nKeyServiceUrl=http://svc.test/\r\n");
    WriteFile(database_, kDatabase);
  }
  void StoreAccount(std::string_view user, std::string_view password) {
    ASSERT_TRUE(settings_.SetUser(ScrambleAccountRecord(MakeAccountRecord(user, password))));
  }
  std::string Section(std::string_view open, std::string_view close) {
    return TextBetween(ReadFile(database_), open, close);
  }

  ScratchFolder folder_;
  std::string database_ = folder_.File("OrvFilter.db");
  store::SettingsFile settings_;
  ScriptedTransport transport_;
};

TEST(ServiceAddress, RequestUrlsEncodeTheUserNameAsGbkBytes) {
  const std::string user = "a b&c=d#" + Gbk("张") + "-._~";
  EXPECT_EQ(VerifyUrl("http://h:1/", user, "0123"),
            "http://h:1/free/api_feifa.asp?u=a%20b%26c%3Dd%23%D5%C5-._~&p=0123&m=check&f=ui&v=2.1");
  EXPECT_EQ(FetchUrl("https://h", "bob", "0123"),
            "https://h/free/api_feifa.asp?u=bob&p=0123&f=ui&v=2.1");
  EXPECT_EQ(PercentDecode(PercentEncode(user)), user);
  // What the decoder leaves alone: a "+", a lone or short "%", a bad hex digit.
  EXPECT_EQ(PercentDecode("a+b%2x%4%"), "a+b%2x%4%");
  EXPECT_EQ(WithCacheBuster("http://h/p", 7), "http://h/p?rnum=7");
  EXPECT_EQ(WithCacheBuster("http://h/p?u=1", 998), "http://h/p?u=1&rnum=998");
}

TEST(ServiceAddress, EmptySettingMeansTheBuiltInAddress) {
  ScratchFolder folder;
  store::SettingsFile settings(folder.File("OrvFilter.ini"));
  EXPECT_EQ(ServiceBaseUrl(settings), kDefaultServiceUrl);
  ASSERT_TRUE(settings.WriteKey(kServiceUrlKey, "  http://10.0.0.1:8765 "));
  EXPECT_EQ(ServiceBaseUrl(settings), "http://10.0.0.1:8765");
}

TEST(Reply, FieldsFlagCaseAndTagOrder) {
  EXPECT_TRUE(ParseReply("<OrvKeyFlag>OK</OrvKeyFlag>").Succeeded());
  EXPECT_FALSE(ParseReply("<OrvKeyFlag>ok</OrvKeyFlag>").Succeeded());
  EXPECT_FALSE(ParseReply("</OrvKeyFlag>OK<OrvKeyFlag>").Succeeded());
  EXPECT_FALSE(ParseReply("<OrvKeyFlag>OK").Succeeded());
  // The first opening and the first closing tag decide.
  const ServiceReply reply = ParseReply(
      "<OrvKeyInfo>one</OrvKeyInfo><OrvKeyInfo>two</OrvKeyInfo><OrvKeyFlag>NO</OrvKeyFlag>");
  EXPECT_EQ(reply.info, "one");
  EXPECT_EQ(reply.flag, "NO");
  EXPECT_EQ(TextBetween("<a><a>x</a>", "<a>", "</a>"), "<a>x");
}

TEST(Reply, TextAsTheDownloaderHandsItOver) {
  EXPECT_EQ(ReplyText({GetOutcome::Answered, "a\r\nb\nc\rd", ""}), "abc\rd");
  EXPECT_EQ(ReplyText({GetOutcome::OtherStatus, "<OrvKeyFlag>OK</OrvKeyFlag>", ""}), "");
  EXPECT_EQ(ReplyText({GetOutcome::NetworkFailure, "", ""}), "x");
  // A body beyond the bound that a transport failed to stop is still no reply.
  EXPECT_EQ(ReplyText({GetOutcome::Answered, std::string(kMaxReplyBytes + 1, 'a'), ""}), "x");
}

TEST_F(OnlineClient, VerifyRefusesEmptyInputWithoutAsking) {
  for (auto [user, password] : {std::pair{"", "pw"}, {"bob", "  "}, {" \t", ""}}) {
    const VerifyOutcome outcome = VerifyAccount(settings_, transport_, user, password);
    EXPECT_EQ(outcome.notice.kind, BoxKind::Warning);
    EXPECT_EQ(outcome.notice.caption, Gbk("输入错误"));
    EXPECT_TRUE(outcome.notice.text.starts_with(Gbk("用户名或密码输入错误。\n\n")));
    EXPECT_FALSE(outcome.requestSent);
  }
  EXPECT_TRUE(transport_.urls.empty());
  EXPECT_EQ(settings_.GetUser(), "");
}

TEST_F(OnlineClient, VerifyStoresTheTrimmedAccountOnlyOnSuccess) {
  StoreAccount("old", "oldpw");
  const std::string before = settings_.GetUser();
  transport_.Answer("<OrvKeyFlag>NO</OrvKeyFlag><OrvKeyInfo>" + Gbk("密码错误") + "</OrvKeyInfo>");
  VerifyOutcome outcome = VerifyAccount(settings_, transport_, " bob ", " pw\t");
  EXPECT_EQ(outcome.notice.kind, BoxKind::Error);
  EXPECT_EQ(outcome.notice.caption, Gbk("验证错误"));
  EXPECT_EQ(outcome.notice.text, Gbk("抱歉，验证错误，错误原因：\n\n密码错误"));
  EXPECT_EQ(settings_.GetUser(), before);
  EXPECT_EQ(transport_.urls.back(),
            "http://svc.test/free/api_feifa.asp?u=bob&p=" + Md5Hex("pw") + "&m=check&f=ui&v=2.1");

  transport_.Answer("<OrvKeyFlag>OK</OrvKeyFlag><OrvKeyInfo>welcome</OrvKeyInfo>");
  outcome = VerifyAccount(settings_, transport_, " bob ", " pw\t");
  EXPECT_EQ(outcome.notice.kind, BoxKind::Information);
  EXPECT_EQ(outcome.notice.caption, Gbk("验证成功"));
  EXPECT_EQ(outcome.notice.text, "welcome");
  EXPECT_TRUE(outcome.accountStored);
  EXPECT_EQ(outcome.versionMark, kMarkVerified);
  EXPECT_EQ(UnscrambleAccountRecord(settings_.GetUser()), "1<u>bob</u><p>pw</p>");
}

TEST_F(OnlineClient, VerifyThatCannotStoreTheAccountIsNoSuccess) {
  store::SettingsFile unwritable(folder_.File("missing-folder/OrvFilter.ini"));
  transport_.Answer("<OrvKeyFlag>OK</OrvKeyFlag><OrvKeyInfo>welcome</OrvKeyInfo>");
  const VerifyOutcome outcome = VerifyAccount(unwritable, transport_, "bob", "pw");
  EXPECT_EQ(outcome.notice.kind, BoxKind::Error);
  EXPECT_FALSE(outcome.accountStored);
  EXPECT_TRUE(outcome.versionMark.empty());
}

TEST_F(OnlineClient, VerifyNetworkFailureShowsAnEmptyReason) {
  transport_.Push({GetOutcome::NetworkFailure, "", "refused"});
  const VerifyOutcome outcome = VerifyAccount(settings_, transport_, "bob", "pw");
  EXPECT_EQ(outcome.notice.text, Gbk("抱歉，验证错误，错误原因：\n\n"));
  EXPECT_EQ(outcome.detail, "refused");
}

TEST_F(OnlineClient, FetchMergesNewEntriesOnceAndReportsCounts) {
  StoreAccount("Bob", "pw");
  // Lists come back lower-cased by the unscrambling; "c" is too short; "aa" repeats;
  // "ab=xy" is new although the local list holds "ab=cd".
  transport_.Answer(FetchReply("Bob", "AA@@bb@@aa@@c@@", "ab=xy@@ab=cd@@"));
  // The caller hears of the answer before anything is merged into the file.
  std::string atReply;
  const FetchOutcome outcome =
      FetchKeywords(settings_, database_, transport_, [&] { atReply = ReadFile(database_); });
  EXPECT_EQ(atReply, kDatabase);
  EXPECT_EQ(transport_.urls.back(),
            "http://svc.test/free/api_feifa.asp?u=Bob&p=" + Md5Hex("pw") + "&f=ui&v=2.1");
  EXPECT_EQ(outcome.notice.kind, BoxKind::Information);
  EXPECT_EQ(outcome.notice.caption, Gbk("恭喜"));
  EXPECT_EQ(outcome.notice.text,
            Gbk("拦截关键词和替换关键词都更新差分完毕，已经保存，重启IIS后立即生效。\n\n"
                "新增拦截关键词：1 个，新增替换关键词：1 个。"));
  EXPECT_TRUE(outcome.listsChanged);
  EXPECT_EQ(Section("<OrvKeyDeny>", "</OrvKeyDeny>"), "bb@@aa");
  EXPECT_EQ(Section("<OrvKeyRepl>", "</OrvKeyRepl>"), "ab=cd@@ab=xy");
  EXPECT_EQ(Section("<KeyWordsJilu>", "</KeyWordsJilu>"), "watch@@me");
  EXPECT_EQ(Section("<OrvKeyFree>", "</OrvKeyFree>"), "@@ok");

  // The same lists again add nothing and leave the file alone.
  const std::string saved = ReadFile(database_);
  transport_.Answer(FetchReply("Bob", "AA@@bb@@aa@@c@@", "ab=xy@@ab=cd@@"));
  const FetchOutcome again = FetchKeywords(settings_, database_, transport_);
  EXPECT_EQ(again.denyAdded + again.replaceAdded, 0u);
  EXPECT_FALSE(again.listsChanged);
  EXPECT_EQ(ReadFile(database_), saved);
}

TEST_F(OnlineClient, FetchIntoEmptyOrMissingSections) {
  StoreAccount("bob", "pw");
  WriteFile(database_, "<KeyWordsJilu>keep</KeyWordsJilu>");
  transport_.Answer(FetchReply("bob", "aa@@bb", "x=y@@"));
  const FetchOutcome outcome = FetchKeywords(settings_, database_, transport_);
  EXPECT_EQ(outcome.denyAdded, 2u);
  EXPECT_EQ(outcome.replaceAdded, 1u);
  EXPECT_EQ(Section("<OrvKeyDeny>", "</OrvKeyDeny>"), "@@aa@@bb");
  EXPECT_EQ(Section("<OrvKeyRepl>", "</OrvKeyRepl>"), "@@x=y");
  EXPECT_EQ(Section("<KeyWordsJilu>", "</KeyWordsJilu>"), "keep");
}

TEST_F(OnlineClient, FetchRefusesEntriesThatWouldBreakTheDatabase) {
  StoreAccount("bob", "pw");
  const std::string hostile = "ok1@@x</OrvKeyDeny><OrvKeyFree>all@@<keywordsjilu>@@a\r\nb@@" +
                              std::string("nu\0ll", 5) + "@@</orvkeyrepl>@@ok2";
  transport_.Answer(FetchReply("bob", hostile, "r=s@@<OrvKeyRepl>x=y"));
  const FetchOutcome outcome = FetchKeywords(settings_, database_, transport_);
  EXPECT_EQ(outcome.denyAdded, 2u);
  EXPECT_EQ(outcome.replaceAdded, 1u);
  EXPECT_EQ(outcome.refused, 6u);
  EXPECT_NE(outcome.notice.text.find(Gbk("另有 6 个关键词")), std::string::npos);
  EXPECT_EQ(Section("<OrvKeyDeny>", "</OrvKeyDeny>"), "bb@@ok1@@ok2");
  EXPECT_EQ(Section("<OrvKeyRepl>", "</OrvKeyRepl>"), "ab=cd@@r=s");
  EXPECT_EQ(Section("<OrvKeyFree>", "</OrvKeyFree>"), "@@ok");
}

TEST_F(OnlineClient, FetchFailuresChangeNothing) {
  StoreAccount("bob", "pw");
  // Refused by the service; refused transport; a deny list that is not a list (one entry, or
  // unscrambled with another account's key); a status other than 200 or 500.
  transport_.Answer("<OrvKeyFlag>NO</OrvKeyFlag><OrvKeyInfo>expired</OrvKeyInfo>");
  transport_.Push({GetOutcome::NetworkFailure, "", "timed out"});
  transport_.Answer(FetchReply("bob", "single", "a=b@@c=d"));
  transport_.Answer(FetchReply("alice", "aa@@bb", ""));
  transport_.Push({GetOutcome::OtherStatus, "", "status 404"});
  const std::vector<std::string> expected = {
      Gbk("发生错误，错误原因：\n\nexpired"), Gbk("发生错误，错误原因：\n\n"),
      Gbk("关键词获取错误："), Gbk("关键词获取错误："), Gbk("发生错误，错误原因：\n\n")};
  for (const std::string& text : expected) {
    const FetchOutcome outcome = FetchKeywords(settings_, database_, transport_);
    EXPECT_EQ(outcome.notice.kind, BoxKind::Error);
    EXPECT_EQ(outcome.notice.caption, Gbk("错误"));
    EXPECT_TRUE(outcome.notice.text.starts_with(text)) << outcome.notice.text;
    EXPECT_FALSE(outcome.listsChanged);
  }
  EXPECT_EQ(ReadFile(database_), kDatabase);
}

TEST_F(OnlineClient, FetchErrorQuotesFiftyBytesWithoutSplittingACharacter) {
  StoreAccount("bob", "pw");
  const std::string reply = "<OrvKeyFlag>OK</OrvKeyFlag>" + std::string(22, 'a') + Gbk("汉字");
  ASSERT_EQ(reply.size(), 53u);  // byte 50 is the trail byte of the first character
  transport_.Answer(reply);
  const FetchOutcome outcome = FetchKeywords(settings_, database_, transport_);
  EXPECT_EQ(outcome.notice.text, Gbk("关键词获取错误：") + reply.substr(0, 49));
}

TEST_F(OnlineClient, FetchStartsFromTheFileOnDiskAndSavesOnlyItsSections) {
  StoreAccount("bob", "pw");
  transport_.Answer(FetchReply("bob", "aa@@bb", ""));
  // Another writer changed the record list since anything was loaded.
  WriteFile(database_,
            "<OrvKeyDeny>zz</OrvKeyDeny><OrvKeyRepl></OrvKeyRepl><KeyWordsJilu>new</KeyWordsJilu>");
  FetchKeywords(settings_, database_, transport_);
  EXPECT_EQ(ReadFile(database_),
            "<OrvKeyDeny>zz@@aa@@bb</OrvKeyDeny><OrvKeyRepl></OrvKeyRepl>"
            "<KeyWordsJilu>new</KeyWordsJilu>");
}

TEST_F(OnlineClient, FetchNeverReportsAFailedSaveAsSuccess) {
  StoreAccount("bob", "pw");
  // A database that exists but cannot be read is not replaced by the fetched lists alone.
  std::filesystem::remove(database_);
  std::filesystem::create_directory(database_);
  transport_.Answer(FetchReply("bob", "aa@@bb", ""));
  FetchOutcome outcome = FetchKeywords(settings_, database_, transport_);
  EXPECT_EQ(outcome.notice.kind, BoxKind::Error);
  EXPECT_TRUE(std::filesystem::is_directory(database_));

  // A database that cannot be written (its folder is gone).
  transport_.Answer(FetchReply("bob", "aa@@bb", ""));
  outcome = FetchKeywords(settings_, folder_.File("gone/OrvFilter.db"), transport_);
  EXPECT_EQ(outcome.notice.kind, BoxKind::Error);
  EXPECT_EQ(outcome.denyAdded, 0u);
  EXPECT_FALSE(outcome.listsChanged);
}

TEST_F(OnlineClient, FetchWithoutStoredAccountAsksWithEmptyName) {
  transport_.Answer("<OrvKeyFlag>NO</OrvKeyFlag><OrvKeyInfo>who?</OrvKeyInfo>");
  FetchKeywords(settings_, database_, transport_);
  EXPECT_EQ(transport_.urls.back(),
            "http://svc.test/free/api_feifa.asp?u=&p=" + Md5Hex("") + "&f=ui&v=2.1");
}

TEST(MergeFetchedList, KeepsTheLocalTextAndComparesWholeEntries) {
  MergeResult merged = MergeFetchedList("bb@@a@@@@", "aa@@bb@@aa@@c");
  EXPECT_EQ(merged.section, "bb@@a@@@@@@aa");
  EXPECT_EQ(merged.added, 1u);
  // Local entries are compared as stored: a capitalised local entry does not stop its
  // lower-case form.
  merged = MergeFetchedList("Ab", "ab");
  EXPECT_EQ(merged.section, "Ab@@ab");
  // A GBK character whose trail byte is "@" does not split an entry.
  const std::string tricky = "\x81\x40x";
  merged = MergeFetchedList(tricky, tricky + "@@yy");
  EXPECT_EQ(merged.section, tricky + "@@yy");
}

}  // namespace
}  // namespace orv::online
