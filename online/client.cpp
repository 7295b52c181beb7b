#include "online/client.h"

#include <array>
#include <unordered_set>

#include "online/account.h"
#include "online/md5.h"
#include "online/reply.h"
#include "online/scramble.h"
#include "online/service_address.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "store/keyword_database.h"
#include "store/list_split.h"
#include "store/settings_file.h"

namespace orv::online {
namespace {

// The texts are written here in UTF-8 and shown in GBK, converted once.
std::string Gbk(std::string_view utf8) {
  return codepage::Utf8ToAnsi(utf8);
}

Notice MakeNotice(BoxKind kind, std::string_view captionUtf8, std::string text) {
  return {kind, Gbk(captionUtf8), std::move(text)};
}

// At most `limit` bytes of `text`, never ending on the lead byte of a cut double-byte character.
std::string_view HeadOf(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && !store::StartsCharacter(text, end)) --end;
  return text.substr(0, end);
}

Notice InputError() {
  return MakeNotice(BoxKind::Warning, "输入错误",
                    Gbk("用户名或密码输入错误。\n\n如果您想在线获取官方拦截和替换词库，以及自动更新"
                        "关键词库，请正确输入。\n\n还没有账户？欢迎到 ") +
                        std::string(store::defaults::kMakerAddress) + Gbk(" 免费注册。"));
}

}  // namespace

std::string StatusVerifying() {
  return Gbk("正在验证...");
}
std::string StatusFetching() {
  return Gbk("正在获取...");
}
std::string StatusParsing() {
  return Gbk("正在解析...");
}

bool AccountInputComplete(std::string_view user, std::string_view password) {
  return !ascii::TrimSpace(user).empty() && !ascii::TrimSpace(password).empty();
}

VerifyOutcome VerifyAccount(store::SettingsFile& settings, HttpTransport& transport,
                            std::string_view user, std::string_view password) {
  VerifyOutcome outcome;
  if (!AccountInputComplete(user, password)) {
    outcome.notice = InputError();
    return outcome;
  }
  user = ascii::TrimSpace(user);
  password = ascii::TrimSpace(password);
  outcome.requestSent = true;
  const HttpReply answer =
      transport.HttpGet(VerifyUrl(ServiceBaseUrl(settings), user, Md5Hex(password)));
  outcome.detail = answer.detail;
  const ServiceReply reply = ParseReply(ReplyText(answer));
  if (!reply.Succeeded()) {
    outcome.notice =
        MakeNotice(BoxKind::Error, "验证错误", Gbk("抱歉，验证错误，错误原因：\n\n") + reply.info);
    return outcome;
  }
  const std::string stored = ScrambleAccountRecord(MakeAccountRecord(user, password));
  if (!settings.WriteKey(store::keys::kUser, stored)) {
    outcome.notice = MakeNotice(BoxKind::Error, "验证错误",
                                Gbk("账户已通过验证，但设置文件无法写入，账户没有保存。"));
    return outcome;
  }
  outcome.accountStored = true;
  outcome.versionMark = std::string(kMarkVerified);
  outcome.notice = MakeNotice(BoxKind::Information, "验证成功", reply.info);
  return outcome;
}

bool IsStorableEntry(std::string_view entry) {
  if (entry.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  const std::string lowered = ascii::Lower(entry);
  static constexpr std::array<store::Section, 4> kSections = {
      store::Section::Deny, store::Section::Replace, store::Section::Record, store::Section::Free};
  for (store::Section section : kSections) {
    const store::SectionTags tags = store::TagsOf(section);
    if (lowered.find(ascii::Lower(tags.open)) != std::string::npos ||
        lowered.find(ascii::Lower(tags.close)) != std::string::npos) {
      return false;
    }
  }
  return true;
}

MergeResult MergeFetchedList(std::string_view localSection, std::string_view fetched) {
  MergeResult result;
  result.section = std::string(localSection);
  const std::vector<std::string> local =
      store::SplitKeepingLongPieces(localSection, store::kEntrySeparator, 2);
  std::unordered_set<std::string> known(local.begin(), local.end());
  std::unordered_set<std::string> refused;
  for (std::string& entry : store::SplitKeepingLongPieces(fetched, store::kEntrySeparator, 2)) {
    if (known.contains(entry) || refused.contains(entry)) continue;
    if (!IsStorableEntry(entry)) {
      refused.insert(std::move(entry));
      ++result.refused;
      continue;
    }
    result.section.append(store::kEntrySeparator).append(entry);
    known.insert(std::move(entry));
    ++result.added;
  }
  return result;
}

FetchOutcome FetchKeywords(const store::SettingsFile& settings, const std::string& databasePath,
                           HttpTransport& transport, const std::function<void()>& replyArrived) {
  FetchOutcome outcome;
  const Account account = ReadStoredAccount(settings.GetUser());
  const HttpReply answer =
      transport.HttpGet(FetchUrl(ServiceBaseUrl(settings), account.user, Md5Hex(account.password)));
  outcome.transportOutcome = answer.outcome;
  outcome.detail = answer.detail;
  if (replyArrived && answer.outcome != GetOutcome::NetworkFailure) {
    replyArrived();
  }
  const std::string replyText = ReplyText(answer);
  const ServiceReply reply = ParseReply(replyText);
  if (!reply.Succeeded()) {
    outcome.notice =
        MakeNotice(BoxKind::Error, "错误", Gbk("发生错误，错误原因：\n\n") + reply.info);
    return outcome;
  }
  const std::uint32_t listKey = KeyFromText(account.user);
  const std::string deny = UnscrambleWithKey(reply.denyList, listKey, true);
  const std::string replace = UnscrambleWithKey(reply.replaceList, listKey, true);
  if (deny.find(store::kEntrySeparator) == std::string::npos) {
    outcome.notice = MakeNotice(BoxKind::Error, "错误",
                                Gbk("关键词获取错误：") + std::string(HeadOf(replyText, 50)));
    return outcome;
  }

  // The merge starts from the file as it is now, so that an edit saved meanwhile by a page,
  // orvctl or the background service is kept; a file that exists but cannot be read is left
  // alone rather than replaced by the fetched lists alone.
  store::KeywordDatabase database;
  if (files::Exists(databasePath) && !database.LoadDatabase(databasePath)) {
    outcome.notice =
        MakeNotice(BoxKind::Error, "错误", Gbk("关键词库文件无法读取，没有合并任何关键词。"));
    return outcome;
  }
  MergeResult denyMerge = MergeFetchedList(database.GetSection(store::Section::Deny), deny);
  MergeResult replaceMerge =
      MergeFetchedList(database.GetSection(store::Section::Replace), replace);
  outcome.denyAdded = denyMerge.added;
  outcome.replaceAdded = replaceMerge.added;
  outcome.refused = denyMerge.refused + replaceMerge.refused;
  if (outcome.denyAdded + outcome.replaceAdded > 0) {
    database.SetSection(store::Section::Deny, denyMerge.section);
    database.SetSection(store::Section::Replace, replaceMerge.section);
    if (!database.SaveDatabase(databasePath)) {
      outcome.denyAdded = outcome.replaceAdded = 0;
      outcome.notice =
          MakeNotice(BoxKind::Error, "错误", Gbk("关键词库文件无法写入，获取的关键词没有保存。"));
      return outcome;
    }
    outcome.listsChanged = true;
  }
  outcome.merged = true;
  std::string text =
      Gbk("拦截关键词和替换关键词都更新差分完毕，已经保存，重启IIS后立即生效。\n\n") +
      Gbk("新增拦截关键词：") + std::to_string(outcome.denyAdded) + Gbk(" 个，新增替换关键词：") +
      std::to_string(outcome.replaceAdded) + Gbk(" 个。");
  if (outcome.refused > 0) {
    text += Gbk("\n\n另有 ") + std::to_string(outcome.refused) +
            Gbk(" 个关键词含有词库标记、换行或空字符，已忽略。");
  }
  outcome.notice = MakeNotice(BoxKind::Information, "恭喜", std::move(text));
  return outcome;
}

}  // namespace orv::online
