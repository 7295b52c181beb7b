// orvproxy: the screening engine in a reverse proxy in front of any web server, or serving a
// folder itself.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "proxy/filter_engine_port.h"
#include "proxy/options.h"
#include "proxy/server.h"

namespace {

// The settings live beside the program unless --dir says otherwise, as they do beside the DLL.
std::string ProgramDirectory(const char* argv0) {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) self = std::filesystem::absolute(argv0, ec);
  return self.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  orv::proxy::ParsedCommandLine parsed = orv::proxy::ParseCommandLine(
      args, ProgramDirectory(argv[0]), std::thread::hardware_concurrency());
  if (!parsed.options) {
    std::fputs(parsed.message.c_str(), parsed.help ? stdout : stderr);
    return parsed.help ? 0 : 2;
  }
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::absolute(parsed.options->settingsDirectory, ec);
  if (!ec) parsed.options->settingsDirectory = dir.lexically_normal().string();
  if (!std::filesystem::is_directory(parsed.options->settingsDirectory, ec)) {
    std::fprintf(stderr, "orvproxy: --dir %s is not a folder\n",
                 parsed.options->settingsDirectory.c_str());
    return 2;
  }
  orv::proxy::FilterEnginePort engine(parsed.options->settingsDirectory);
  return orv::proxy::RunServer(*parsed.options, engine);
}
