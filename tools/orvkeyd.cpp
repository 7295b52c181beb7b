// orvkeyd: a keyword service speaking the online client's protocol, so that one set of deny and
// replace lists (and one list of accounts) can serve the filters of many sites.
#include <iostream>
#include <string>
#include <vector>

#include "online/md5.h"
#include "store/gbk_text.h"
#include "tools/keyd_data.h"
#include "tools/keyd_server.h"

namespace {

constexpr const char* kUsage =
    "usage: orvkeyd --listen ADDR:PORT --data DIR\n"
    "       orvkeyd --digest            (reads a password line on standard input)\n"
    "\n"
    "Serves /free/api_feifa.asp: account verification and the deny and replace lists of DIR\n"
    "(accounts.txt, deny.txt, replace.txt; UTF-8, one entry per line). SIGHUP reloads DIR;\n"
    "a folder that fails to load leaves the lists served before in place.\n"
    "--digest prints the digest of a password for a line \"NAME<tab>DIGEST\" of accounts.txt.\n";

std::shared_ptr<const orv::tools::KeyData> Load(const std::string& directory) {
  orv::tools::KeyDataLoad load = orv::tools::LoadKeyData(directory);
  for (const std::string& warning : load.warnings) std::cerr << "orvkeyd: " << warning << '\n';
  if (!load.data) {
    std::cerr << "orvkeyd: " << load.error << '\n';
    return nullptr;
  }
  std::cerr << "orvkeyd: loaded " << directory << ": " << load.data->digests.size() << " accounts, "
            << load.data->deny.size() << " deny and " << load.data->replace.size()
            << " replace keywords\n";
  return load.data;
}

int PrintDigest() {
  std::string line;
  std::getline(std::cin, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  orv::store::GbkEncoding gbk = orv::store::Utf8ToGbkStrict(line);
  if (!gbk.ok || line.empty()) {
    std::cerr << "orvkeyd: the password is empty or not storable in GBK\n";
    return 1;
  }
  std::cout << orv::online::Md5Hex(gbk.gbk) << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string listen;
  std::string directory;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (args[i] == "--digest" && args.size() == 1) return PrintDigest();
    if ((args[i] == "--listen" || args[i] == "--data") && i + 1 < args.size()) {
      (args[i] == "--listen" ? listen : directory) = args[i + 1];
      ++i;
      continue;
    }
    std::cerr << "orvkeyd: unexpected argument " << args[i] << "\n" << kUsage;
    return 2;
  }
  if (listen.empty() || directory.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  auto data = Load(directory);
  if (!data) return 1;
  orv::tools::KeyServer server(std::move(data));
  std::string error;
  if (!server.Listen(listen, error)) {
    std::cerr << "orvkeyd: " << error << '\n';
    return 1;
  }
  std::cerr << "orvkeyd: listening on port " << server.Port() << std::endl;
  server.Run([&directory] { return Load(directory); });
  std::cerr << "orvkeyd: stopped\n";
  return 0;
}
