#include "tools/scan_run.h"

#include <algorithm>

namespace orv::tools {
namespace {

// "X-Forwarded-For" -> "HTTP_X_FORWARDED_FOR", as IIS names request headers.
std::string VariableNameOf(const std::string& header) {
  std::string name = "HTTP_";
  for (char c : header) {
    if (c == '-') {
      name += '_';
    } else if (c >= 'a' && c <= 'z') {
      name += static_cast<char>(c - 'a' + 'A');
    } else {
      name += c;
    }
  }
  return name;
}

const char* ResultName(std::uint32_t status) {
  return status == filter::kStatusFinished ? "finished" : "next";
}

const char* ExtensionResultName(std::uint32_t status) {
  switch (status) {
    case filter::kExtensionSuccess:
      return "success";
    case filter::kExtensionPending:
      return "pending";
    default:
      return "error";
  }
}

}  // namespace

filter::MemoryRequest BuildScanRequest(const ScanOptions& options, const ScanTarget& target) {
  filter::MemoryRequest request;
  request.variables["SERVER_NAME"] = target.serverName;
  request.variables["SERVER_PORT"] = target.serverPort;
  request.variables["URL"] = target.path;
  request.variables["QUERY_STRING"] = target.query;
  request.variables["REQUEST_METHOD"] = options.method;
  request.variables["REMOTE_ADDR"] = options.remoteAddress;
  for (const auto& [name, value] : options.headers) {
    request.variables[VariableNameOf(name)] = value;
    request.SetHeader(name, value);
  }
  return request;
}

void RunScan(filter::FilterEngine& engine, const ScanOptions& options,
             filter::MemoryRequest& request, const std::string& input, std::ostream& client,
             std::ostream& trace) {
  filter::MemoryFilterHost host(request);
  bool finished = false;

  engine.HttpFilterProc(host, filter::kNotifyPreprocHeaders);
  trace << "headers: next\n";
  for (const std::string& changed : host.HeadersSet()) {
    if (changed.rfind("accept-encoding: ", 0) == 0) {
      const std::string value = changed.substr(17);
      trace << "accept-encoding: " << value << "\n";
      // Later notifications read the header as the server now holds it.
      request.variables["HTTP_ACCEPT_ENCODING"] = value;
    }
  }
  host.ClearOutputs();

  std::uint32_t status = engine.HttpFilterProc(host, filter::kNotifyUrlMap);
  client << host.Written();
  trace << "url: " << ResultName(status) << "\n";
  finished = status == filter::kStatusFinished;
  host.ClearOutputs();

  if (!finished && options.method == "POST") {
    filter::MemoryExtensionHost extension(request, options.method, input);
    status = engine.HttpExtensionProc(extension);
    client << extension.Written();
    trace << "body: " << ExtensionResultName(status) << "\n";
  } else if (!finished) {
    const std::size_t size =
        options.chunkSize == 0 ? std::max<std::size_t>(input.size(), 1) : options.chunkSize;
    std::size_t index = 0;
    for (std::size_t at = 0; at < input.size() && !finished; at += size, ++index) {
      host.SetRawData(std::string_view(input).substr(at, size));
      status = engine.HttpFilterProc(host, filter::kNotifySendRawData);
      finished = status == filter::kStatusFinished;
      // A block page written to the client ends the response in place of the chunk.
      client << (finished ? host.Written() : host.Written() + host.Chunk());
      trace << "raw[" << index << "]: " << ResultName(status) << "\n";
      for (const std::string& asked : host.Statuses()) trace << "status: " << asked << "\n";
      host.ClearOutputs();
    }
  }

  engine.HttpFilterProc(host, filter::kNotifyLog);
  trace << "log: next\n";
}

}  // namespace orv::tools
