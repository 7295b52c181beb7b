// orvscan: the administrator's dry run. One request and its response (or POST body) go
// through the engine exactly as IIS would pass them; stdout gets what the client would
// receive, stderr one line per notification.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "filter/engine.h"
#include "platform/files.h"
#include "tools/scan_options.h"
#include "tools/scan_run.h"

namespace {

constexpr int kBadArguments = 2;

int Fail(const std::string& message) {
  std::cerr << "orvscan: " << message << "\n" << orv::tools::kScanUsage << "\n";
  return kBadArguments;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::cout << orv::tools::kScanUsage << "\n";
      return 0;
    }
  }
  orv::tools::ScanOptions options;
  std::string error;
  if (!orv::tools::ParseScanArguments(args, options, error)) return Fail(error);

  orv::tools::ScanTarget target;
  if (!orv::tools::ParseScanUrl(options.url, target, error)) return Fail(error);

  const std::string directory =
      options.directory.empty() ? orv::files::ModuleDirectory() : options.directory;
  if (!orv::files::IsDirectory(directory)) return Fail("no such folder: " + directory);

  std::string input;
  if (!orv::files::ReadWholeFile(options.file, input)) {
    return Fail("cannot read " + options.file);
  }

  std::ostringstream client;
  {
    // Loaded as IIS loads the module: filter role first, then the extension.
    orv::filter::FilterEngine engine(directory);
    orv::filter::FilterVersion filterVersion;
    engine.GetFilterVersion(filterVersion);
    orv::filter::ExtensionVersion extensionVersion;
    engine.GetExtensionVersion(extensionVersion);

    orv::filter::MemoryRequest request = orv::tools::BuildScanRequest(options, target);
    orv::tools::RunScan(engine, options, request, input, client, std::cerr);
    // Leaving the scope unloads the engine, which writes the pending event log lines.
  }
  const std::string bytes = client.str();
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
  return 0;
}
