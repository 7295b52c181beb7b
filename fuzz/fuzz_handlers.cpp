// Random requests through every handler on the in-memory host: server variables, headers,
// response chunks and POST bodies from the fuzzer's bytes, against a fixed config with every
// list and keyword kind in use. Nothing may crash, and a replaced chunk keeps its length
// unless a block page took its place.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "filter/engine.h"
#include "filter/memory_host.h"
#include "filter/phases.h"
#include "filter/request_memo.h"

namespace {

namespace fs = std::filesystem;

class FixedClock final : public orv::store::Clock {
 public:
  std::time_t Now() const override { return 1351674307; }
};

// Reads the fuzzer's bytes as a sequence of length-prefixed fields.
class Fields {
 public:
  Fields(const std::uint8_t* data, std::size_t size)
      : text_(reinterpret_cast<const char*>(data), size) {}
  std::string Next() {
    if (text_.empty()) return {};
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::uint8_t>(text_[0]) * 8, text_.size() - 1);
    std::string field(text_.substr(1, length));
    text_.remove_prefix(1 + length);
    return field;
  }
  std::string Rest() {
    std::string rest(text_);
    text_ = {};
    return rest;
  }

 private:
  std::string_view text_;
};

// The engine with its config folder; both go at process exit (the engine first, as its
// unload writes the log into the folder).
struct Loaded {
  Loaded() {
    folder = fs::temp_directory_path() / ("orv-fuzz-handlers-" + std::to_string(::getpid()));
    fs::create_directories(folder / "log");
    std::ofstream(folder / "OrvFilter.ini", std::ios::binary)
        << "[OrvFilter]\r\nKeyIsSystem=1\r\nKeyIsLog=1\r\nKeySafeCode=safe\r\nKeyIsGzip=1\r\n"
           "KeyIsShowWords=1\r\nKeyFileType=asp|htm|html|php\r\nKeyHeiUrl=/secret|.asp;\r\n"
           "KeyBaiUrl=/admin\r\nKeyHeiIp=10.0.0.1|10.1.0.0-10.1.255.255\r\nKeyBaiIp=10.2.0.1\r\n"
           "KeySendWords=a \"message\" <b>\r\n";
    std::ofstream(folder / "OrvFilter.db", std::ios::binary)
        << "<OrvKeyDeny>bad@@ev+il@@no-yes@@\xBD\xFB\xD3\xEF@@a-bc</OrvKeyDeny>"
           "<OrvKeyRepl>darn=heck@@x+y@@p-q@@=zz@@\xD6\xD0=ab</OrvKeyRepl>"
           "<KeyWordsJilu>watch@@w-zz</KeyWordsJilu><OrvKeyFree>freepass</OrvKeyFree>";
    engine = std::make_unique<orv::filter::FilterEngine>(folder.string() + "/",
                                                         std::make_shared<FixedClock>());
    orv::filter::FilterVersion filterVersion;
    engine->GetFilterVersion(filterVersion);
    orv::filter::ExtensionVersion extensionVersion;
    engine->GetExtensionVersion(extensionVersion);
  }
  ~Loaded() {
    engine.reset();
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  fs::path folder;
  std::unique_ptr<orv::filter::FilterEngine> engine;
};

orv::filter::FilterEngine& Engine() {
  static Loaded loaded;
  return *loaded.engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orv::filter::FilterEngine& engine = Engine();
  Fields fields(data, size);

  orv::filter::MemoryRequest request;
  for (const char* name :
       {"SERVER_NAME", "SERVER_PORT", "URL", "QUERY_STRING", "REQUEST_METHOD", "REMOTE_ADDR",
        "HTTP_VIA", "HTTP_X_FORWARDED_FOR", "HTTP_USER_AGENT", "HTTP_X_REWRITE_URL"}) {
    std::string value = fields.Next();
    if (!value.empty() && value != "-") request.variables[name] = value;
  }
  request.SetHeader("Accept-Encoding", fields.Next());
  const std::string chunkSizeField = fields.Next();
  const std::string body = fields.Rest();

  orv::filter::MemoryFilterHost host(request);
  // Half of the runs through a host that keeps a memo per request, as orvproxy does: the
  // response then decides its own charset.
  orv::filter::RequestMemo memo;
  if (!chunkSizeField.empty() && (chunkSizeField[0] & 1) != 0) host.memo = &memo;
  request.SetHeader("Range", "bytes=0-1");
  engine.HttpFilterProc(host, orv::filter::kNotifyPreprocHeaders);
  if (engine.HttpFilterProc(host, orv::filter::kNotifyUrlMap) != orv::filter::kStatusFinished) {
    orv::filter::MemoryExtensionHost extension(request, request.variables["REQUEST_METHOD"], body);
    engine.HttpExtensionProc(extension);

    const std::size_t step = chunkSizeField.empty()
                                 ? body.size() + 1
                                 : static_cast<std::uint8_t>(chunkSizeField[0]) + std::size_t{1};
    for (std::size_t at = 0; at < body.size(); at += step) {
      const std::string chunk = body.substr(at, step);
      host.SetRawData(chunk);
      host.ClearOutputs();
      const std::uint32_t status = engine.HttpFilterProc(host, orv::filter::kNotifySendRawData);
      if (status == orv::filter::kStatusFinished) break;
      if (host.ChunkReplaced() && host.Statuses().empty() && host.Chunk().size() != chunk.size()) {
        std::abort();  // a replacement changed the length of the page
      }
    }
  }
  engine.HttpFilterProc(host, orv::filter::kNotifyLog);

  // The same request through the phases directly, as a host of another kind calls them.
  const std::string url = orv::filter::SiteUrlWithQuery(
      request.variables["SERVER_NAME"], request.variables["SERVER_PORT"], request.variables["URL"],
      request.variables["QUERY_STRING"]);
  orv::filter::RequestDescription described;
  described.method = request.variables["REQUEST_METHOD"];
  described.url = url;
  described.siteUrl = url;
  described.query = request.variables["QUERY_STRING"];
  described.clientAddress = request.variables["REMOTE_ADDR"];
  described.userAgent = request.variables["HTTP_USER_AGENT"];
  described.body = body;
  described.declaredBodyLength = body.size();
  orv::filter::RequestMemo phaseMemo;
  const orv::filter::RequestResult requested = engine.RequestPhase(described, &phaseMemo);
  if ((requested.action == orv::filter::Action::kBlock) !=
      (requested.block.cause != orv::filter::BlockCause::kNone)) {
    std::abort();  // a block without its cause, or a cause without a block
  }
  if (requested.action == orv::filter::Action::kBlock) return 0;
  if (engine.BodyPhase(described, &phaseMemo).action == orv::filter::Action::kBlock) return 0;
  const orv::filter::ChunkResult chunked = engine.ChunkPhase(described, body, &phaseMemo);
  if (chunked.action == orv::filter::Action::kReplaceChunk && chunked.chunk.size() != body.size()) {
    std::abort();  // a rewrite in place changed the length of the page
  }
  engine.LoggedPhase(&phaseMemo);
  return 0;
}
