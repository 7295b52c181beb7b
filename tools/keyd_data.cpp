#include "tools/keyd_data.h"

#include "online/client.h"
#include "online/feeds.h"
#include "online/reply.h"
#include "online/scramble.h"
#include "online/service_address.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "store/gbk_text.h"

namespace orv::tools {
namespace {

// The lines of a UTF-8 text that carry something: CR LF / LF ends, a leading byte-order mark,
// blank and "#" lines skipped. Each with its 1-based line number.
std::vector<std::pair<std::size_t, std::string_view>> MeaningfulLines(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::pair<std::size_t, std::string_view>> lines;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.starts_with('#')) continue;
    lines.emplace_back(number, line);
  }
  return lines;
}

bool IsHexDigest(std::string_view text) {
  if (text.size() != 32) return false;
  for (char c : text) {
    if (!ascii::IsHexDigit(c)) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> ParseList(std::string_view text, std::string_view name,
                                   std::vector<std::string>& warnings) {
  std::vector<std::string> entries;
  for (const auto& [number, line] : MeaningfulLines(text)) {
    const std::string where = std::string(name) + " line " + std::to_string(number) + ": ";
    store::GbkEncoding gbk = store::Utf8ToGbkStrict(line);
    if (!gbk.ok) {
      warnings.push_back(where + "not storable in GBK, skipped");
    } else if (gbk.gbk.size() < 2) {
      warnings.push_back(where + "shorter than 2 bytes, skipped");
    } else if (gbk.gbk.find("@@") != std::string::npos || !online::IsStorableEntry(gbk.gbk)) {
      warnings.push_back(where + "holds \"@@\" or a keyword database tag, skipped");
    } else {
      entries.push_back(std::move(gbk.gbk));
    }
  }
  return entries;
}

std::string Gbk(std::string_view utf8) {
  return codepage::Utf8ToAnsi(utf8);
}

std::string Reply(std::string_view flag, std::string_view info) {
  std::string body;
  body.append(online::kFlagOpen).append(flag).append(online::kFlagClose);
  body.append(online::kInfoOpen).append(info).append(online::kInfoClose);
  return body;
}

// Entries joined by "@@" behind a leading "@@", so that even a list of one entry (or none)
// reads as a list to the client.
std::string JoinedList(const std::vector<std::string>& entries) {
  std::string joined;
  for (const std::string& entry : entries) joined.append("@@").append(entry);
  return joined.empty() ? std::string("@@") : joined;
}

bool SameDigest(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    difference |= static_cast<unsigned char>(ascii::LowerChar(a[i]) ^ ascii::LowerChar(b[i]));
  }
  return difference == 0;
}

}  // namespace

KeyDataLoad ParseKeyData(std::string_view accounts, std::string_view deny,
                         std::string_view replace) {
  KeyDataLoad load;
  auto data = std::make_shared<KeyData>();
  for (const auto& [number, line] : MeaningfulLines(accounts)) {
    const std::string where = "accounts.txt line " + std::to_string(number) + ": ";
    const std::size_t tab = line.rfind('\t');
    if (tab == std::string_view::npos || tab == 0 || !IsHexDigest(line.substr(tab + 1))) {
      load.warnings.push_back(where + "not \"NAME<tab>DIGEST\", skipped");
      continue;
    }
    store::GbkEncoding name = store::Utf8ToGbkStrict(line.substr(0, tab));
    if (!name.ok) {
      load.warnings.push_back(where + "user name not storable in GBK, skipped");
      continue;
    }
    const std::string digest = ascii::Lower(line.substr(tab + 1));
    if (!data->digests.emplace(std::move(name.gbk), digest).second) {
      load.warnings.push_back(where + "user name given before, skipped");
    }
  }
  data->deny = ParseList(deny, "deny.txt", load.warnings);
  data->replace = ParseList(replace, "replace.txt", load.warnings);
  load.data = std::move(data);
  return load;
}

KeyDataLoad LoadKeyData(const std::string& directory) {
  std::string texts[3];
  const char* names[3] = {"accounts.txt", "deny.txt", "replace.txt"};
  for (int i = 0; i < 3; ++i) {
    const std::string path = files::JoinPath(directory, names[i]);
    if (i > 0 && !files::Exists(path)) continue;
    if (!files::ReadWholeFile(path, texts[i])) {
      KeyDataLoad failed;
      failed.error = "cannot read " + path;
      return failed;
    }
  }
  KeyDataLoad load = ParseKeyData(texts[0], texts[1], texts[2]);
  if (load.data == nullptr) return load;
  auto data = std::make_shared<KeyData>(*load.data);
  const char* feeds[2] = {"update.txt", "ads.txt"};
  std::string* targets[2] = {&data->updateFeed, &data->adsFeed};
  for (int i = 0; i < 2; ++i) {
    const std::string path = files::JoinPath(directory, feeds[i]);
    std::string text;
    if (!files::Exists(path)) continue;
    if (!files::ReadWholeFile(path, text)) {
      load.warnings.push_back("cannot read " + path + ": not served");
      continue;
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    *targets[i] = Gbk(text);
  }
  load.data = std::move(data);
  return load;
}

std::map<std::string, std::string> ParseQuery(std::string_view query) {
  std::map<std::string, std::string> fields;
  while (!query.empty()) {
    const std::size_t end = query.find('&');
    const std::string_view pair = query.substr(0, end);
    query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
    const std::size_t equals = pair.find('=');
    std::string name = online::PercentDecode(pair.substr(0, equals));
    std::string value = equals == std::string_view::npos
                            ? std::string()
                            : online::PercentDecode(pair.substr(equals + 1));
    fields.emplace(std::move(name), std::move(value));
  }
  return fields;
}

KeyAnswer AnswerRequest(const KeyData& data, std::string_view target) {
  const std::size_t question = target.find('?');
  const std::string_view path = target.substr(0, question);
  if (path == online::kUpdateFeedPath || path == online::kAdsFeedPath) {
    const std::string& feed = path == online::kUpdateFeedPath ? data.updateFeed : data.adsFeed;
    if (feed.empty()) return {404, "not found"};
    return {200, feed};
  }
  if (path != kServicePath) return {404, "not found"};
  const auto fields = ParseQuery(question == std::string_view::npos ? std::string_view()
                                                                    : target.substr(question + 1));
  const auto user = fields.find("u");
  const auto digest = fields.find("p");
  if (user == fields.end() || digest == fields.end()) {
    return {200, Reply("NO", Gbk("请求不完整：缺少用户名或密码。"))};
  }
  const auto account = data.digests.find(user->second);
  if (account == data.digests.end() || !SameDigest(account->second, digest->second)) {
    return {200, Reply("NO", Gbk("用户名或密码错误。"))};
  }
  const auto operation = fields.find("m");
  if (operation != fields.end() && operation->second == "check") {
    return {200, Reply(online::kFlagSuccess, Gbk("账户验证成功，现在可以在线获取关键词库了。"))};
  }
  const std::uint32_t key = online::KeyFromText(user->second);
  std::string body =
      Reply(online::kFlagSuccess, Gbk("获取成功：拦截关键词 ") + std::to_string(data.deny.size()) +
                                      Gbk(" 个，替换关键词 ") +
                                      std::to_string(data.replace.size()) + Gbk(" 个。"));
  body.append(online::kStopOpen)
      .append(online::ScrambleWithKey(JoinedList(data.deny), key))
      .append(online::kStopClose);
  body.append(online::kReplaceOpen)
      .append(online::ScrambleWithKey(JoinedList(data.replace), key))
      .append(online::kReplaceClose);
  return {200, std::move(body)};
}

}  // namespace orv::tools
