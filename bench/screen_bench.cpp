// orvscreenbench --dir CONFIG --pages DIR [--evict KIB] [--rounds N]
//
// The engine's cost per request as a host pays it: every page of DIR (*.html) goes through
// the header, URL, raw-data and log notifications of an engine loaded from CONFIG, as one
// GET each, with a per-request memo as orvproxy keeps one. Prints the median CPU time per
// request over the rounds, once with the engine's tables as warm as back-to-back requests
// leave them, and once with KIB kibibytes of other memory written between requests (8192 by
// default), which is roughly what a server's own work between two screened responses does
// to the caches.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "filter/engine.h"
#include "filter/memory_host.h"
#include "filter/request_memo.h"
#include "platform/files.h"

namespace {

// CPU time of this thread: a shared machine that takes the core away for a moment does not
// count against the request it interrupted.
std::chrono::nanoseconds ThreadTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

struct Page {
  std::string path;
  std::string chunk;  // response head and body, as the first raw chunk
};

std::vector<Page> LoadPages(const std::string& folder) {
  std::vector<Page> pages;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".html") continue;
    std::string body;
    if (!orv::files::ReadWholeFile(entry.path().string(), body)) continue;
    Page page;
    page.path = "/" + entry.path().filename().string();
    page.chunk = "HTTP/1.1 200 OK\r\nServer: nginx\r\nContent-Type: text/html\r\nContent-Length: " +
                 std::to_string(body.size()) + "\r\nConnection: keep-alive\r\n\r\n" + body;
    pages.push_back(std::move(page));
  }
  std::sort(pages.begin(), pages.end(),
            [](const Page& a, const Page& b) { return a.path < b.path; });
  return pages;
}

orv::filter::MemoryRequest RequestFor(const Page& page) {
  orv::filter::MemoryRequest request;
  request.variables["URL"] = page.path;
  request.variables["QUERY_STRING"] = "";
  request.variables["REMOTE_ADDR"] = "127.0.0.1";
  request.variables["SERVER_NAME"] = "127.0.0.1";
  request.variables["SERVER_PORT"] = "8080";
  request.variables["REQUEST_METHOD"] = "GET";
  request.variables["HTTP_HOST"] = "127.0.0.1:8080";
  request.variables["HTTP_USER_AGENT"] = "orvscreenbench";
  request.variables["HTTP_ACCEPT"] = "*/*";
  request.SetHeader("Host", "127.0.0.1:8080");
  request.SetHeader("User-Agent", "orvscreenbench");
  request.SetHeader("Accept", "*/*");
  return request;
}

// Nanoseconds per request over one pass through all pages.
double Round(orv::filter::FilterEngine& engine, const std::vector<Page>& pages,
             std::vector<char>& evict, unsigned& sink) {
  std::chrono::nanoseconds total{};
  for (const Page& page : pages) {
    if (!evict.empty()) {
      for (std::size_t i = 0; i < evict.size(); i += 64) evict[i] = static_cast<char>(++sink);
    }
    orv::filter::MemoryRequest request = RequestFor(page);
    orv::filter::MemoryFilterHost host(request);
    orv::filter::RequestMemo memo;
    host.memo = &memo;
    const auto start = ThreadTime();
    engine.HttpFilterProc(host, orv::filter::kNotifyPreprocHeaders);
    if (engine.HttpFilterProc(host, orv::filter::kNotifyUrlMap) != orv::filter::kStatusFinished) {
      host.SetRawData(page.chunk);
      engine.HttpFilterProc(host, orv::filter::kNotifySendRawData);
      sink += static_cast<unsigned>(host.Chunk().size());
    }
    engine.HttpFilterProc(host, orv::filter::kNotifyLog);
    total += ThreadTime() - start;
  }
  return std::chrono::duration<double, std::nano>(total).count() /
         static_cast<double>(pages.size());
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int Usage() {
  std::fprintf(stderr,
               "usage: orvscreenbench --dir CONFIG --pages DIR [--evict KIB] [--rounds N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string directory, folder;
  std::size_t evictKib = 8192;
  int rounds = 30;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--dir") {
      directory = argv[i + 1];
    } else if (flag == "--pages") {
      folder = argv[i + 1];
    } else if (flag == "--evict") {
      evictKib = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (flag == "--rounds") {
      rounds = std::max(1, std::atoi(argv[i + 1]));
    } else {
      return Usage();
    }
  }
  if (directory.empty() || folder.empty() || argc % 2 == 0) return Usage();
  const std::vector<Page> pages = LoadPages(folder);
  if (pages.empty()) {
    std::fprintf(stderr, "orvscreenbench: no .html pages in %s\n", folder.c_str());
    return 1;
  }

  orv::filter::FilterEngine engine(directory);
  orv::filter::FilterVersion filterVersion;
  engine.GetFilterVersion(filterVersion);
  orv::filter::ExtensionVersion extensionVersion;
  engine.GetExtensionVersion(extensionVersion);

  unsigned sink = 0;
  std::vector<char> none;
  std::vector<char> evict(evictKib * 1024);
  std::vector<double> warm, cold;
  Round(engine, pages, none, sink);  // first touches: tables, scratch arrays, caches
  for (int r = 0; r < rounds; ++r) {
    warm.push_back(Round(engine, pages, none, sink));
    cold.push_back(Round(engine, pages, evict, sink));
  }
  std::printf("pages %zu\nwarm_ns_per_request %.0f\ncold_ns_per_request %.0f\n", pages.size(),
              Median(warm), Median(cold));
  return sink == 0xFFFFFFFFu ? 1 : 0;
}
