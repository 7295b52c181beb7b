#include "tools/ctl_online.h"

#include <iostream>

#include "online/client.h"
#include "platform/files.h"
#include "store/filter_settings.h"
#include "store/gbk_text.h"
#include "store/settings_file.h"

namespace orv::tools {
namespace {

int Report(const online::Notice& notice, bool gbk, CtlIo io) {
  const std::string text = gbk ? notice.text : store::GbkToUtf8Lossless(notice.text);
  if (notice.kind == online::BoxKind::Information) {
    io.out << text << '\n';
    return kCtlDone;
  }
  io.out.flush();
  io.err << text << '\n';
  return kCtlFailed;
}

// A typed value as GBK; false (with the error printed) when GBK cannot hold it.
bool ToGbk(const CtlArguments& args, std::string_view typed, std::string_view what,
           std::string& gbk, CtlIo io) {
  if (args.gbk) {
    gbk = std::string(typed);
    return true;
  }
  store::GbkEncoding encoded = store::Utf8ToGbkStrict(typed);
  if (!encoded.ok) {
    io.err << "orvctl: the " << what << " holds \"" << encoded.character
           << "\", which cannot be stored in GBK; nothing sent\n";
    return false;
  }
  gbk = std::move(encoded.gbk);
  return true;
}

int Verify(const CtlArguments& args, store::SettingsFile& settings,
           online::HttpTransport& transport, CtlIo io) {
  std::string password = args.password;
  if (args.passwordStdin) {
    std::getline(io.in, password);
    if (io.in.bad()) {
      io.err << "orvctl: cannot read standard input\n";
      return kCtlFailed;
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
  }
  std::string user;
  std::string passwordGbk;
  if (!ToGbk(args, args.user, "user name", user, io) ||
      !ToGbk(args, password, "password", passwordGbk, io)) {
    return kCtlFailed;
  }
  const online::VerifyOutcome outcome =
      online::VerifyAccount(settings, transport, user, passwordGbk);
  if (!outcome.detail.empty()) io.err << "orvctl: " << outcome.detail << '\n';
  return Report(outcome.notice, args.gbk, io);
}

int Fetch(const CtlArguments& args, const store::SettingsFile& settings,
          const std::string& databasePath, online::HttpTransport& transport, CtlIo io) {
  const online::FetchOutcome outcome = online::FetchKeywords(settings, databasePath, transport);
  if (!outcome.detail.empty()) io.err << "orvctl: " << outcome.detail << '\n';
  return Report(outcome.notice, args.gbk, io);
}

}  // namespace

bool IsOnlineCommand(const CtlArguments& args) {
  return args.command == "account" || (args.command == "words" && args.action == "fetch");
}

int RunOnlineCommand(const CtlArguments& args, const std::string& directory,
                     online::HttpTransport& transport, CtlIo io) {
  store::SettingsFile settings(files::JoinPath(directory, store::kSettingsFileName));
  if (args.command == "account") return Verify(args, settings, transport, io);
  return Fetch(args, settings, files::JoinPath(directory, store::kDatabaseFileName), transport, io);
}

}  // namespace orv::tools
