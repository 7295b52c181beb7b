#include "proxy/response_relay.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "proxy/content_coding.h"
#include "proxy/filter_engine_port.h"

namespace orv::proxy {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;

// The demo settings: deny "forbiddenword", replace "badword", a file-type list with "html".
class DemoEngine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                     ("orv-relay-" + std::to_string(::getpid())));
    std::filesystem::create_directories(*dir_);
    for (const char* name : {"OrvFilter.ini", "OrvFilter.db"})
      std::filesystem::copy_file(std::filesystem::path(ORV_EXAMPLE_CONFIG) / name, *dir_ / name,
                                 std::filesystem::copy_options::overwrite_existing);
    engine_ = new FilterEnginePort(dir_->string() + "/");
  }
  static void TearDownTestSuite() {
    delete engine_;
    std::filesystem::remove_all(*dir_);
    delete dir_;
  }
  static inline std::filesystem::path* dir_ = nullptr;
  static inline FilterEnginePort* engine_ = nullptr;
};

// A response as the upstream sends it, in pieces. Between two pieces it pauses when
// `pausesBetween` is set; `brokenAtEnd`: the connection drops after the last piece.
class ScriptedSource final : public ResponseSource {
 public:
  ResponseHead head;
  std::vector<std::string> pieces;
  bool pausesBetween = false;
  bool brokenAtEnd = false;
  std::function<void(std::size_t piece)> onPiece;  // called as a piece starts to be read
  std::vector<std::size_t> readSizes;
  std::optional<bool> finished;

  LoopAwaitable<SourceResult> Start(ForwardRequest&, const RequestFacts&,
                                    ResponseHead& out) override {
    out = head;
    co_return SourceResult::kOk;
  }
  LoopAwaitable<SourceResult> Read(std::string& out, std::size_t limit, bool& complete,
                                   std::chrono::milliseconds pause) override {
    complete = false;
    const std::size_t before = out.size();
    while (out.size() < limit) {
      if (next_ == pieces.size()) {
        if (brokenAtEnd) co_return SourceResult::kUnreachable;
        complete = true;
        break;
      }
      if (at_ == 0 && onPiece) onPiece(next_);
      const std::string& piece = pieces[next_];
      const std::size_t take = std::min(limit - out.size(), piece.size() - at_);
      out.append(piece, at_, take);
      at_ += take;
      if (at_ == piece.size()) {
        ++next_;
        at_ = 0;
        if (pausesBetween && pause.count() > 0 && out.size() > before && next_ < pieces.size())
          break;
      }
    }
    readSizes.push_back(out.size() - before);
    co_return SourceResult::kOk;
  }
  void Finish(bool complete) override { finished = complete; }

 private:
  std::size_t next_ = 0;
  std::size_t at_ = 0;
};

// What the client received, read back by Beast's parser.
struct Received {
  std::string wire;
  bool reusable = false;
  std::string log;
  unsigned status = 0;
  http::fields fields;
  std::string body;
  bool whole = false;  // the body ended as its framing says, not by a cut
};

Received Relay(ScreeningEngine& engine, ScriptedSource& source, const ProxyOptions& options,
               std::string acceptEncoding = "", std::string range = "",
               ClientShape shape = ClientShape{}) {
  asio::io_context io;
  Received received;
  std::ostringstream log;
  RequestFacts facts;
  facts.method = shape.headOnly ? "HEAD" : "GET";
  facts.url = facts.rawPath = "/page.html";
  facts.protocol = "HTTP/1.1";
  facts.remoteAddr = "127.0.0.1";
  facts.serverName = "localhost";
  facts.serverPort = "80";
  facts.clientAcceptEncoding = acceptEncoding;
  if (!range.empty()) facts.headers.push_back({"Range", range});
  ForwardRequest request;
  RelayContext context{options, engine, source,
                       [&received](std::string_view a, std::string_view b) -> LoopAwaitable<bool> {
                         received.wire.append(a).append(b);
                         co_return true;
                       },
                       log};
  asio::co_spawn(io, RelayResponse(context, request, facts, shape),
                 [&](std::exception_ptr error, bool reusable) {
                   if (error) std::rethrow_exception(error);
                   received.reusable = reusable;
                 });
  io.run();
  received.log = log.str();

  http::response_parser<http::string_body> parser;
  parser.eager(true);
  parser.body_limit(boost::none);
  if (shape.headOnly) parser.skip(true);
  boost::beast::error_code ec;
  std::size_t used = 0;
  while (used < received.wire.size() && !ec && !parser.is_done())
    used += parser.put(asio::buffer(received.wire.data() + used, received.wire.size() - used), ec);
  if (!parser.is_done() && !ec) parser.put_eof(ec);
  received.whole = parser.is_done() && !ec;
  if (parser.is_header_done()) {
    received.status = parser.get().result_int();
    received.fields = parser.get().base();
    received.body = parser.get().body();
  }
  return received;
}

ResponseHead Head(std::vector<HeaderField> fields, std::optional<std::uint64_t> length,
                  unsigned status = 200) {
  ResponseHead head;
  head.status = status;
  head.reason = status == 200 ? "OK" : "Partial Content";
  head.fields = std::move(fields);
  head.contentLength = length;
  return head;
}

std::string Encode(Coding coding, std::string_view text) {
  BodyEncoder encoder(coding);
  std::string out;
  encoder.Feed(text, out);
  encoder.Finish(out);
  return out;
}

std::string Decode(Coding coding, std::string_view data) {
  BodyDecoder decoder({coding}, 1 << 24);
  std::string out;
  if (decoder.Feed(data, out) != BodyDecoder::Status::kOk) return "corrupt";
  if (decoder.Finish(out) != BodyDecoder::Status::kOk) return "cut short";
  return out;
}

// Cut into pieces of `size` bytes, as an upstream's reads might deliver them.
std::vector<std::string> Pieces(std::string_view text, std::size_t size) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size(); at += size) out.emplace_back(text.substr(at, size));
  return out;
}

ProxyOptions SmallBuffer(std::size_t buffer) {
  ProxyOptions options;
  options.chunkBuffer = buffer;
  options.flushPause = std::chrono::milliseconds(100);
  return options;
}

const std::vector<HeaderField> kHtml = {{"Content-Type", "text/html; charset=utf-8"}};

TEST_F(DemoEngine, AWordAcrossTheBufferEdgeIsCaughtWhereverItIsCut) {
  const std::size_t buffer = 256;
  const std::string word = "forbiddenword";
  const ProxyOptions options = SmallBuffer(buffer);
  for (std::size_t cut = 1; cut < word.size(); ++cut) {
    // The first window holds the head too; the page is long enough that the word falls on a
    // later window's edge as well, whatever pieces the upstream sends it in.
    for (std::size_t at : {buffer - cut, 3 * buffer - cut}) {
      std::string page = "<html><body>" + std::string(at - 12, 'x') + word;
      page += std::string(2 * buffer, 'y') + "</body></html>";
      for (std::size_t piece : {std::size_t{7}, std::size_t{100}, page.size()}) {
        ScriptedSource source;
        source.head = Head(kHtml, std::nullopt);
        source.pieces = Pieces(page, piece);
        const Received got = Relay(*engine_, source, options);
        EXPECT_EQ(got.wire.find(word), std::string::npos) << "cut " << cut << " at " << at;
        EXPECT_TRUE(got.whole);
        EXPECT_FALSE(got.reusable);  // a block page ends the connection
        EXPECT_FALSE(*source.finished);
      }
    }
  }
  // The same page without the word arrives whole, every byte in its place.
  std::string page = "<html><body>" + std::string(5 * buffer, 'x') + "forbiddenwor</body></html>";
  for (std::size_t piece : {std::size_t{1}, std::size_t{13}, std::size_t{300}}) {
    ScriptedSource source;
    source.head = Head(kHtml, std::nullopt);
    source.pieces = Pieces(page, piece);
    const Received got = Relay(*engine_, source, options);
    EXPECT_EQ(got.body, page);
    EXPECT_EQ(got.fields[http::field::transfer_encoding], "chunked");
    EXPECT_TRUE(got.reusable);
    EXPECT_TRUE(*source.finished);
  }
}

TEST_F(DemoEngine, ReplaceWordsAndEscapedWordsAcrossTheEdge) {
  const std::size_t buffer = 200;
  const ProxyOptions options = SmallBuffer(buffer);
  for (std::size_t cut = 1; cut < 7; ++cut) {
    const std::string page =
        "<html>" + std::string(buffer - 6 - cut, 'x') + "badword" + std::string(400, 'z');
    std::string expected = page;
    expected.replace(expected.find("badword"), 7, "*******");
    ScriptedSource source;
    source.head = Head(kHtml, std::nullopt);
    source.pieces = Pieces(page, 50);
    const Received got = Relay(*engine_, source, options);
    EXPECT_EQ(got.body, expected) << "cut " << cut;
    EXPECT_TRUE(got.whole);
  }
  // "forbiddenword" written in escapes, as a form or script might echo it, and once escaped
  // twice: the screen decodes before it searches, and so must the edge.
  for (const std::string& spelled : {std::string("%66%6F%72%62%69%64%64%65%6E%77%6F%72%64"),
                                     std::string("%2566orbidden%2577ord")}) {
    for (std::size_t cut = 1; cut < spelled.size(); cut += 2) {
      const std::string page =
          "<html>" + std::string(buffer - 6 - cut, 'x') + spelled + std::string(400, 'z');
      ScriptedSource source;
      source.head = Head(kHtml, std::nullopt);
      source.pieces = Pieces(page, 64);
      const Received got = Relay(*engine_, source, options);
      EXPECT_EQ(got.wire.find(spelled), std::string::npos) << spelled << " cut " << cut;
    }
  }
}

TEST_F(DemoEngine, AStreamThatPausesIsPassedOnAtEachPause) {
  ScriptedSource source;
  source.head = Head({{"Content-Type", "text/html"}}, std::nullopt);
  source.pieces = {"data: one\n\n", "data: two forbid", "denword\n\n", "data: three\n\n"};
  source.pausesBetween = true;
  std::string wire;
  std::vector<std::string> sentBefore;  // what the client held as each piece came
  source.onPiece = [&](std::size_t) { sentBefore.push_back(wire); };
  asio::io_context io;
  const ProxyOptions options = SmallBuffer(1 << 20);
  std::ostringstream log;
  RequestFacts facts;
  facts.method = "GET";
  facts.url = facts.rawPath = "/events.html";
  ForwardRequest request;
  RelayContext context{options, *engine_, source,
                       [&](std::string_view a, std::string_view b) -> LoopAwaitable<bool> {
                         wire.append(a).append(b);
                         co_return true;
                       },
                       log};
  asio::co_spawn(io, RelayResponse(context, request, facts, {}), asio::detached);
  io.run();
  // The last event is never read: the one before it was blocked.
  ASSERT_EQ(sentBefore.size(), 3u) << wire;
  EXPECT_NE(sentBefore[1].find("data: one\n\n"), std::string::npos);
  // "forbid" may begin the deny word: it waits for what follows, the rest of the event goes.
  EXPECT_NE(sentBefore[2].find("data: two "), std::string::npos);
  EXPECT_EQ(sentBefore[2].find("forbid"), std::string::npos);
  EXPECT_EQ(wire.find("forbiddenword"), std::string::npos);
}

TEST_F(DemoEngine, AnEncodedPageIsDecodedScreenedAndEncodedAgain) {
  const std::string page =
      "<html><body>a badword here, " + std::string(3000, 'q') + "</body></html>";
  std::string screened = page;
  screened.replace(screened.find("badword"), 7, "*******");
  for (std::size_t buffer : {std::size_t{1} << 20, std::size_t{1024}}) {  // whole, streamed
    const bool whole = buffer > page.size();
    for (Coding upstream : {Coding::kGzip, Coding::kBrotli}) {
      const std::string sent = Encode(upstream, page);
      ScriptedSource source;
      source.head = Head({{"Content-Type", "text/html"},
                          {"Content-Encoding", std::string(CodingName(upstream))},
                          {"Vary", "Cookie"},
                          {"ETag", "\"v1\""}},
                         sent.size());
      source.pieces = Pieces(sent, 100);
      const Received plain = Relay(*engine_, source, SmallBuffer(buffer));
      EXPECT_EQ(plain.body, screened);
      EXPECT_EQ(plain.fields.count(http::field::content_encoding), 0u);
      EXPECT_EQ(plain.fields[http::field::vary], "Cookie, Accept-Encoding");
      EXPECT_EQ(plain.fields[http::field::etag], "W/\"v1\"");
      if (whole) {
        EXPECT_EQ(plain.fields[http::field::content_length], std::to_string(page.size()));
      }

      ScriptedSource again;
      again.head = source.head;
      again.pieces = source.pieces;
      const Received gz = Relay(*engine_, again, SmallBuffer(buffer), "gzip;q=1, identity");
      EXPECT_EQ(gz.fields[http::field::content_encoding], "gzip");
      EXPECT_EQ(Decode(Coding::kGzip, gz.body), screened);
      EXPECT_EQ(gz.fields[http::field::etag], "W/\"v1\"");
      EXPECT_TRUE(gz.whole);
      if (whole) {
        EXPECT_EQ(gz.fields[http::field::content_length], std::to_string(gz.body.size()));
      } else {
        EXPECT_EQ(gz.fields[http::field::transfer_encoding], "chunked");
      }
    }
  }
  // A page sent plain is encoded for a client that offers br; a deny word's block page is
  // not, and a HEAD answer keeps the upstream's head.
  ScriptedSource plainSource;
  plainSource.head = Head({{"Content-Type", "text/html"}, {"ETag", "W/\"x\""}}, page.size());
  plainSource.pieces = {page};
  const Received br = Relay(*engine_, plainSource, SmallBuffer(1 << 20), "gzip, br");
  EXPECT_EQ(br.fields[http::field::content_encoding], "br");
  EXPECT_EQ(Decode(Coding::kBrotli, br.body), screened);
  EXPECT_EQ(br.fields[http::field::etag], "W/\"x\"");

  ScriptedSource denied;
  denied.head = Head({{"Content-Type", "text/html"}}, std::nullopt);
  denied.pieces = {Encode(Coding::kGzip, "<html>forbiddenword</html>")};
  denied.head.fields.push_back({"Content-Encoding", "gzip"});
  const Received page401 = Relay(*engine_, denied, SmallBuffer(1 << 20), "gzip");
  EXPECT_EQ(page401.status, 401u);
  EXPECT_EQ(page401.fields.count(http::field::content_encoding), 0u);
  EXPECT_NE(page401.body.find("<"), std::string::npos);
}

TEST_F(DemoEngine, BodiesThatCannotBeDecodedAreRefused) {
  // Digits compress about two to one, so a small buffer streams the page in several pieces.
  std::string page = "<html>";
  std::uint32_t seed = 5;
  for (int i = 0; i < 20000; ++i)
    page += static_cast<char>('0' + (seed = seed * 1103515245 + 12345) / 65536 % 10);
  const std::string gzip = Encode(Coding::kGzip, page);
  std::string badSum = gzip;
  badSum[badSum.size() - 6] ^= 0x55;  // the trailer's checksum
  struct Case {
    std::string name;
    std::string coding;
    std::string body;
    std::uint64_t limit;
    std::size_t buffer;
    bool partSent;  // the failure comes after the head went out
  };
  const std::vector<Case> cases = {
      {"unknown coding", "compress", "abc", 1 << 20, 1 << 20, false},
      {"corrupt", "gzip", "not gzip at all", 1 << 20, 1 << 20, false},
      {"cut short", "gzip", gzip.substr(0, gzip.size() / 2), 1 << 20, 1 << 20, false},
      {"bomb", "gzip", gzip, 4096, 1 << 20, false},
      {"corrupt while streaming", "gzip", badSum, 1 << 20, 1024, true},
      {"bomb while streaming", "gzip", gzip, 8192, 1024, true},
  };
  for (const Case& c : cases) {
    ScriptedSource source;
    source.head =
        Head({{"Content-Type", "text/html"}, {"Content-Encoding", c.coding}}, std::nullopt);
    source.pieces = Pieces(c.body, 512);
    ProxyOptions options = SmallBuffer(c.buffer);
    options.decodedLimit = c.limit;
    const Received got = Relay(*engine_, source, options);
    EXPECT_EQ(got.log.rfind("orvproxy: refused /page.html: ", 0), 0u) << c.name << got.log;
    EXPECT_FALSE(got.reusable) << c.name;
    if (c.partSent) {
      EXPECT_EQ(got.status, 200u) << c.name;
      EXPECT_FALSE(got.whole) << c.name;  // cut off, no last chunk
    } else {
      EXPECT_EQ(got.status, 502u) << c.name;
    }
  }
}

TEST_F(DemoEngine, APartOfThePageIsNotAPage) {
  ScriptedSource source;
  source.head = Head({{"Content-Type", "text/html"}, {"Content-Range", "bytes 0-3/100"}}, 4, 206);
  source.pieces = {"<htm"};
  const Received refused = Relay(*engine_, source, SmallBuffer(1 << 20));
  EXPECT_EQ(refused.status, 502u);
  EXPECT_NE(refused.log.find("refused /page.html"), std::string::npos);
  // Blanked by the engine counts as never asked.
  ScriptedSource blanked;
  blanked.head = source.head;
  blanked.pieces = source.pieces;
  EXPECT_EQ(Relay(*engine_, blanked, SmallBuffer(1 << 20), "", " ").status, 502u);

  ScriptedSource asked;
  asked.head = source.head;
  asked.pieces = source.pieces;
  const Received part = Relay(*engine_, asked, SmallBuffer(1 << 20), "gzip", "bytes=0-3");
  EXPECT_EQ(part.status, 206u);
  EXPECT_EQ(part.body, "<htm");
  EXPECT_EQ(part.fields.count(http::field::content_encoding), 0u);  // a part is never encoded

  // A part of an encoded body cannot be decoded, so it is not passed on unread, whether the
  // client asked for it or the upstream sends it as a 200 with a range of its own.
  for (unsigned status : {206u, 200u}) {
    for (std::string_view coding : {"gzip", "compress"}) {
      ScriptedSource encoded;
      encoded.head = Head({{"Content-Type", "text/html"},
                           {"Content-Range", "bytes 0-3/100"},
                           {"Content-Encoding", std::string(coding)}},
                          4, status);
      encoded.pieces = {"\x1f\x8b\x08\x00"};
      EXPECT_EQ(Relay(*engine_, encoded, SmallBuffer(1 << 20), "", "bytes=0-3").status, 502u)
          << status << " " << coding;
    }
  }
}

// A page in UTF-16 would hide every word behind NUL bytes: it is refused, whether its head says
// so or only its byte-order mark does. Binary types may begin with any bytes.
TEST_F(DemoEngine, WideTextIsRefusedNotPassedUnread) {
  const std::string utf16 = std::string("\xff\xfe", 2) + std::string("f\0o\0r\0b\0i\0d\0", 12);
  struct Case {
    std::string type;
    std::string body;
    unsigned status;
  };
  for (const Case& c :
       {Case{"text/html", utf16, 502}, Case{"text/html; charset=UTF-16LE", "x", 502},
        Case{"image/png", utf16, 200}, Case{"text/html", "<p>plain</p>", 200},
        // A NUL in a page that says it is text does not make it binary.
        Case{"text/html", std::string("<p>\0forbiddenword</p>", 21), 401}}) {
    ScriptedSource source;
    source.head = Head({{"Content-Type", c.type}}, c.body.size());
    source.pieces = {c.body};
    EXPECT_EQ(Relay(*engine_, source, SmallBuffer(1 << 20)).status, c.status) << c.type;
  }
}

// The index of word starts is built again for each settings record while other threads ask it.
TEST_F(DemoEngine, KeptEndsHoldThroughReloads) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> readers;
  std::atomic<int> wrong{0};
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop) {
        if (engine_->HeldTail("<p>text forbid") != 6) ++wrong;
        if (engine_->HeldTail("<p>text") != 0) ++wrong;
      }
    });
  }
  for (int i = 0; i < 20; ++i) engine_->Reload();
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(wrong, 0);
}

// An engine that is switched off, or one whose kept ends are scripted.
class QuietEngine final : public ScreeningEngine {
 public:
  bool on = false;
  std::size_t held = 0;
  std::vector<std::string> screened;
  filter::RequestResult RequestPhase(const filter::RequestDescription&,
                                     filter::RequestMemo&) override {
    return {};
  }
  filter::BodyResult BodyPhase(const filter::RequestDescription&, filter::RequestMemo&) override {
    return {};
  }
  filter::ChunkResult ChunkPhase(const filter::RequestDescription&, std::string_view chunk,
                                 filter::RequestMemo&) override {
    screened.emplace_back(chunk);
    return {};
  }
  void LoggedPhase(filter::RequestMemo&) override {}
  filter::LoadOutcome Reload() override { return {}; }
  void FlushLog() override {}
  bool FilteringOn() const override { return on; }
  std::size_t HeldTail(std::string_view) override { return held; }
};

TEST(ResponseRelay, FilteringOffPassesEncodedBytesUntouched) {
  QuietEngine engine;
  const std::string gzip = Encode(Coding::kGzip, "<html>badword</html>");
  ScriptedSource source;
  source.head = Head({{"Content-Type", "text/html"}, {"Content-Encoding", "gzip"}}, gzip.size());
  source.pieces = {gzip};
  const Received got = Relay(engine, source, SmallBuffer(1 << 20), "br");
  EXPECT_EQ(got.body, gzip);
  EXPECT_EQ(got.fields[http::field::content_encoding], "gzip");
  EXPECT_EQ(got.fields.count(http::field::vary), 0u);
}

TEST(ResponseRelay, KeptEndsAreScreenedAgainAndSentOnce) {
  QuietEngine engine;
  engine.on = true;
  engine.held = 5;
  ScriptedSource source;
  source.head = Head({{"Content-Type", "text/plain"}}, std::nullopt);
  const std::string page = "0123456789abcdefghijklmnopqrstuvwxyz";
  source.pieces = Pieces(page, 10);
  const Received got = Relay(engine, source, SmallBuffer(10));
  EXPECT_EQ(got.body, page);
  EXPECT_TRUE(got.whole);
  ASSERT_GE(engine.screened.size(), 3u);
  // Each later window starts with the five bytes the one before kept back.
  EXPECT_EQ(engine.screened[1].substr(0, 5), "56789");
  EXPECT_EQ(engine.screened[2].substr(0, 5), engine.screened[1].substr(10, 5));
}

}  // namespace
}  // namespace orv::proxy
