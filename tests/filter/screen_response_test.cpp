// ScreenResponse through the engine: one raw-data notification per chunk.
#include <gtest/gtest.h>

#include "filter/request_memo.h"
#include "filter_test_support.h"
#include "platform/codepage.h"

namespace orv::filter {
namespace {

using testing::ConfigFolder;
using testing::FakeClock;
using testing::GetRequest;
using testing::Page;
using testing::SendChunk;

constexpr std::string_view kHeaderStart = "HTTP/1.1 200 OK\nDate:Sun, -- --- 0000 00:00:00 GMT \n";

class ResponseScreening : public ::testing::Test {
 protected:
  void SetUp() override {
    // "~-zz", "^-zz" and "q=" are rules whose matched text is one byte.
    folder.WriteKeywords(std::string("forbidden@@~-zz@@") + std::string(testing::kGbkForbidden),
                         "darn=heck@@q=", "watch@@^-zz", "freepass");
    Load();
  }
  void Load(const std::map<std::string, std::string>& overrides = {}) {
    folder.WriteSettings(overrides);
    engine.reset();
    engine = testing::LoadEngine(folder, clock);
  }
  std::vector<std::string> FlushedLines() {
    engine->FlushLog();
    return folder.LogLines();
  }

  ConfigFolder folder;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(testing::kTestStart);
  std::unique_ptr<FilterEngine> engine;
};

// The Content-Length the header template announces, and the body after the blank line.
void ExpectConsistentLength(const std::string& chunk) {
  const std::size_t field = chunk.find("Content-Length: ");
  ASSERT_NE(field, std::string::npos);
  const std::size_t bodyStart = chunk.find("\n\n");
  ASSERT_NE(bodyStart, std::string::npos);
  EXPECT_EQ(std::stoul(chunk.substr(field + 16)), chunk.size() - bodyStart - 2);
}

TEST_F(ResponseScreening, DenyInTheFirstChunkReplacesThePageWithHeadersAnd401) {
  MemoryRequest request = GetRequest("/news/a.htm");
  const auto result = SendChunk(*engine, request, Page("<html>a forbidden word"));
  EXPECT_EQ(result.status, kStatusNextNotification);
  ASSERT_TRUE(result.replaced);
  EXPECT_EQ(result.chunk.rfind(kHeaderStart, 0), 0u);
  EXPECT_NE(result.chunk.find("Content-Type: text/html;charset=gb2312\n"), std::string::npos);
  EXPECT_NE(result.chunk.find("\n\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
                              "charset=gb2312\">"),
            std::string::npos);
  EXPECT_NE(result.chunk.find("f*o*r*b*i*d*d*e*n"), std::string::npos);
  EXPECT_NE(result.chunk.find("2012-10-31 9:5:7"), std::string::npos);
  EXPECT_EQ(result.chunk.find('%'), std::string::npos) << "every placeholder filled";
  ExpectConsistentLength(result.chunk);
  EXPECT_EQ(result.statuses, std::vector<std::string>{"401 Access Denied"});
  EXPECT_TRUE(result.written.empty());

  const auto lines = FlushedLines();
  ASSERT_EQ(lines.size(), 1u);
  const auto fields = testing::Fields(lines[0]);
  ASSERT_EQ(fields.size(), 7u);
  EXPECT_EQ(fields[0], "2012-10-31 9:5:7");
  EXPECT_EQ(fields[1], testing::kDenyKind);
  EXPECT_EQ(fields[2], "GET");
  EXPECT_EQ(fields[3], "forbidden");
  EXPECT_EQ(fields[4], "192.0.2.7");
  EXPECT_EQ(fields[5], "www.example.com/news/a.htm");
  EXPECT_NE(fields[6].find("aforbiddenword"), std::string::npos);
}

TEST_F(ResponseScreening, DenyInALaterChunkKeepsThePrefixAndNoHeader) {
  MemoryRequest request = GetRequest("/b.htm");
  SendChunk(*engine, request, Page("<html>clean start"));
  const auto result = SendChunk(*engine, request, "<p>text</p><title>forbidden");
  ASSERT_TRUE(result.replaced);
  EXPECT_EQ(result.chunk.rfind("<p>text</p><title><wbr>", 0), 0u);
  EXPECT_EQ(result.chunk.find("HTTP/1.1"), std::string::npos);
  EXPECT_EQ(result.chunk.find("<meta http-equiv"), std::string::npos);
  EXPECT_EQ(result.statuses, std::vector<std::string>{"401 Access Denied"});
}

TEST_F(ResponseScreening, BlockPagePrefixHoldsOnlyMarkupThePageSent) {
  // The page shows an escaped tag as text; decoded, it would be live markup in front of the
  // block page.
  MemoryRequest request = GetRequest("/echo.htm");
  const std::string shown = "q=%3Cimg src=x onerror=alert(1)%3E";
  auto result = SendChunk(*engine, request, shown + "<TITLE>forbidden");
  ASSERT_TRUE(result.replaced);
  EXPECT_EQ(result.chunk.rfind(shown + "<TITLE>", 0), 0u) << "the bytes as sent, case kept";
  EXPECT_EQ(result.chunk.find("<img"), std::string::npos);

  // An escaped opening alone opens nothing: the block page goes out without a prefix.
  const std::string bare = SendChunk(*engine, request, "forbidden").chunk;
  result = SendChunk(*engine, request, "<p>%3Cscript%3Evar a; forbidden");
  ASSERT_TRUE(result.replaced);
  EXPECT_EQ(result.chunk, bare);
}

TEST_F(ResponseScreening, ResponsesToEveryMethodAreScreened) {
  for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
    MemoryRequest request = GetRequest("/a.htm", "", method);
    const auto result = SendChunk(*engine, request, Page("<html>forbidden"));
    EXPECT_TRUE(result.replaced) << method;
    EXPECT_EQ(result.statuses, std::vector<std::string>{"401 Access Denied"}) << method;
  }
  MemoryRequest listed = GetRequest("/secret/a.htm", "", "POST");
  EXPECT_EQ(SendChunk(*engine, listed, Page("clean")).status, kStatusFinished);
}

TEST_F(ResponseScreening, PostResponseIsScreenedThroughTheRequestMemo) {
  // The URL notification leaves a POST to the extension; the memo must not carry that over
  // to the response.
  MemoryRequest request = GetRequest("/form.htm", "", "POST");
  RequestMemo memo;
  MemoryFilterHost url(request);
  url.memo = &memo;
  EXPECT_EQ(engine->HttpFilterProc(url, kNotifyUrlMap), kStatusNextNotification);
  MemoryFilterHost raw(request);
  raw.memo = &memo;
  raw.SetRawData(Page("<html>forbidden"));
  engine->HttpFilterProc(raw, kNotifySendRawData);
  EXPECT_TRUE(raw.ChunkReplaced());
}

// Chunks of one response through a host that keeps a memo per request.
class MemoResponse {
 public:
  MemoResponse(FilterEngine& engine, std::string_view path)
      : engine_(engine), request_(GetRequest(path)) {}
  bool Blocks(std::string_view chunk) {
    MemoryFilterHost host(request_);
    host.memo = &memo_;
    host.SetRawData(chunk);
    engine_.HttpFilterProc(host, kNotifySendRawData);
    return host.ChunkReplaced();
  }
  const RequestMemo& memo() const { return memo_; }

 private:
  FilterEngine& engine_;
  MemoryRequest request_;
  RequestMemo memo_;
};

TEST_F(ResponseScreening, EachResponseDecidesItsOwnCharsetWhenTheHostKeepsAMemo) {
  const std::string utf8Word = std::string(testing::kUtf8Forbidden);
  const std::string gbkWord = std::string(testing::kGbkForbidden);
  // Two responses of one path in different charsets: the first does not decide for the second.
  MemoResponse first(*engine, "/same.htm");
  EXPECT_FALSE(first.Blocks(Page("<html>start", "utf-8")));
  EXPECT_TRUE(first.Blocks("more " + utf8Word));
  MemoResponse second(*engine, "/same.htm");
  EXPECT_FALSE(second.Blocks(Page("<html>start", "gbk")));
  EXPECT_TRUE(second.Blocks("more " + gbkWord));
  EXPECT_FALSE(second.Blocks("more " + utf8Word));

  // The head's own Content-Type wins over a charset the page names before <html>.
  MemoResponse declared(*engine, "/declared.htm");
  EXPECT_FALSE(declared.Blocks(Page("<meta charset=utf-8><html>start", "GBK")));
  EXPECT_TRUE(declared.Blocks("more " + gbkWord));
  EXPECT_EQ(declared.memo().charset, CharsetCode::Gbk);

  // Without a declared charset the page is examined as before.
  MemoResponse examined(*engine, "/examined.htm");
  EXPECT_FALSE(examined.Blocks("HTTP/1.1 200 OK\r\n\r\n<meta charset=utf-8><html>x"));
  EXPECT_TRUE(examined.Blocks("more " + utf8Word));

  // A later chunk whose text starts like a response head does not decide again.
  MemoResponse spoofed(*engine, "/spoof.htm");
  EXPECT_FALSE(spoofed.Blocks(Page("<html>start", "utf-8")));
  EXPECT_TRUE(spoofed.Blocks("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=big5\r\n\r\n" +
                             utf8Word));
  // An interim head does not fix the charset; the final head that follows does.
  MemoResponse interim(*engine, "/interim.htm");
  EXPECT_FALSE(interim.Blocks("HTTP/1.1 100 Continue\r\n\r\n"));
  EXPECT_FALSE(interim.Blocks(Page("<html>start", "utf-8")));
  EXPECT_TRUE(interim.Blocks("more " + utf8Word));
  // A chunk before any head is read as ANSI.
  MemoResponse headless(*engine, "/headless.htm");
  EXPECT_TRUE(headless.Blocks("more " + gbkWord));
}

TEST_F(ResponseScreening, MemoHostsLeaveTheSharedCharsetCacheAlone) {
  // A response read through a memo host does not fix the path's charset for hosts without one.
  MemoResponse withMemo(*engine, "/shared.htm");
  EXPECT_FALSE(withMemo.Blocks(Page("<html>start", "utf-8")));
  MemoryRequest plain = GetRequest("/shared.htm");
  EXPECT_TRUE(SendChunk(*engine, plain, "more " + std::string(testing::kGbkForbidden)).replaced);
  // Nor does the cache a host without a memo filled decide for a memo host.
  MemoryRequest cached = GetRequest("/cached.htm");
  SendChunk(*engine, cached, Page("<html>start", "utf-8"));
  MemoResponse later(*engine, "/cached.htm");
  EXPECT_TRUE(later.Blocks("more " + std::string(testing::kGbkForbidden)));
}

TEST_F(ResponseScreening, Utf8PageIsMatchedWithTheTwinAndBlockedInUtf8) {
  MemoryRequest request = GetRequest("/u.htm");
  const std::string body = std::string("<html>abc ") + std::string(testing::kUtf8Forbidden);
  const auto result = SendChunk(*engine, request, Page(body, "utf-8"));
  ASSERT_TRUE(result.replaced);
  EXPECT_NE(result.chunk.find("Content-Type: text/html;charset=utf-8\n"), std::string::npos);
  EXPECT_NE(result.chunk.find("charset=utf-8\">"), std::string::npos);
  ExpectConsistentLength(result.chunk);
  const std::string bodyPart = result.chunk.substr(result.chunk.find("\n\n") + 2);
  EXPECT_EQ(codepage::AnsiToUtf8(codepage::Utf8ToAnsi(bodyPart)), bodyPart)
      << "the page is UTF-8 throughout";
  EXPECT_NE(bodyPart.find("\xE7\xA6\x81*\xE8\xAF\xAD"), std::string::npos) << "starred in UTF-8";

  const auto lines = FlushedLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(testing::Fields(lines[0])[3], testing::kGbkForbidden) << "logged in GBK";
}

TEST_F(ResponseScreening, FirstChunkDecidesTheCharsetOfThePath) {
  MemoryRequest utf8Page = GetRequest("/first.htm");
  SendChunk(*engine, utf8Page, Page("<html>start", "utf-8"));
  // A later chunk of that path is matched with the UTF-8 twin.
  auto later =
      SendChunk(*engine, utf8Page, std::string("more ") + std::string(testing::kUtf8Forbidden));
  EXPECT_TRUE(later.replaced);
  later = SendChunk(*engine, utf8Page, std::string("more ") + std::string(testing::kGbkForbidden));
  EXPECT_FALSE(later.replaced);

  // A later chunk of a path never examined is screened as GBK.
  MemoryRequest unknown = GetRequest("/unknown.htm");
  later = SendChunk(*engine, unknown, std::string("more ") + std::string(testing::kGbkForbidden));
  EXPECT_TRUE(later.replaced);
  later = SendChunk(*engine, unknown, std::string("more ") + std::string(testing::kUtf8Forbidden));
  EXPECT_FALSE(later.replaced);

  // An error response is not cached: the next response of the path decides.
  MemoryRequest errorPage = GetRequest("/err.htm");
  SendChunk(*engine, errorPage, "HTTP/1.1 404 Not Found\r\ncharset=gbk\r\n\r\nx");
  SendChunk(*engine, errorPage, Page("<html>y", "utf-8"));
  later = SendChunk(*engine, errorPage, std::string(testing::kUtf8Forbidden) + "!");
  EXPECT_TRUE(later.replaced);
}

TEST_F(ResponseScreening, UnnamedCharsetIsGuessed) {
  MemoryRequest request = GetRequest("/guess.htm");
  const std::string utf8Text = codepage::AnsiToUtf8("\xD6\xD0\xCE\xC4\xCD\xF8\xD2\xB3 ");
  const auto result =
      SendChunk(*engine, request,
                "HTTP/1.1 200 OK\r\n\r\n" + utf8Text + std::string(testing::kUtf8Forbidden));
  EXPECT_TRUE(result.replaced);
}

TEST_F(ResponseScreening, ChunksThatCannotBeScreenedPass) {
  MemoryRequest request = GetRequest("/a.htm");
  std::string binary = Page("forbidden");
  binary += '\0';
  auto result = SendChunk(*engine, request, binary);
  EXPECT_FALSE(result.replaced) << "NUL: binary data";

  MemoryRequest image = GetRequest("/a.jpg");
  EXPECT_FALSE(SendChunk(*engine, image, Page("forbidden")).replaced);
  MemoryRequest safe = GetRequest("/a.htm", "safecode9");
  EXPECT_FALSE(SendChunk(*engine, safe, Page("forbidden")).replaced);
  MemoryRequest white = GetRequest("/admin/a.htm");
  EXPECT_FALSE(SendChunk(*engine, white, Page("forbidden")).replaced);
  MemoryRequest freePass = GetRequest("/free.htm");
  EXPECT_FALSE(SendChunk(*engine, freePass, Page("forbidden freepass")).replaced);

  // Allocation failure: the chunk goes out as it was, and no 401 is asked for.
  result = SendChunk(*engine, request, Page("forbidden"), true);
  EXPECT_FALSE(result.replaced);
  EXPECT_TRUE(result.statuses.empty());
}

// A NUL byte marks binary data only where the response does not say what it is: a page that
// declared itself text is screened with the NUL in it, in its first chunk and its later ones.
TEST_F(ResponseScreening, ANulByteDoesNotExemptAPageThatDeclaredText) {
  const std::string nul(1, '\0');
  MemoResponse page(*engine, "/nul.htm");
  EXPECT_TRUE(
      page.Blocks("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<p>" + nul + "forbidden</p>"));
  MemoResponse later(*engine, "/nul-later.htm");
  EXPECT_FALSE(later.Blocks("HTTP/1.1 200 OK\r\nContent-Type: application/xhtml+xml\r\n\r\n<p>"));
  EXPECT_TRUE(later.Blocks(nul + "forbidden"));
  // Binary types, and responses that name no type, keep passing on a NUL.
  MemoResponse image(*engine, "/nul-image.htm");
  EXPECT_FALSE(
      image.Blocks("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\n" + nul + "forbidden"));
  MemoResponse untyped(*engine, "/nul-untyped.htm");
  EXPECT_FALSE(untyped.Blocks("HTTP/1.1 200 OK\r\n\r\n" + nul + "forbidden"));
}

TEST_F(ResponseScreening, SiteRootsAndFoldersAreScreened) {
  MemoryRequest root = GetRequest("/");
  EXPECT_TRUE(SendChunk(*engine, root, Page("forbidden")).replaced);
  MemoryRequest folderUrl = GetRequest("/news/");
  EXPECT_TRUE(SendChunk(*engine, folderUrl, Page("forbidden")).replaced);
  MemoryRequest noExtension = GetRequest("/news/latest");
  EXPECT_TRUE(SendChunk(*engine, noExtension, Page("forbidden")).replaced);
}

TEST_F(ResponseScreening, PercentEncodedKeywordsAreFound) {
  MemoryRequest request = GetRequest("/a.htm");
  EXPECT_TRUE(SendChunk(*engine, request, Page("<a href=\"?q=forb%69dden\">")).replaced);
  MemoryRequest twice = GetRequest("/b.htm");
  EXPECT_TRUE(SendChunk(*engine, twice, Page("<a href=\"?q=forb%2569dden\">")).replaced);
}

TEST_F(ResponseScreening, OneByteKeywordsNeitherBlockNorLog) {
  MemoryRequest request = GetRequest("/a.htm");
  const std::string page = Page("~ ^ q here");
  const auto result = SendChunk(*engine, request, page);
  // "q" is a one-byte replace key: replaced, but not logged.
  ASSERT_TRUE(result.replaced);
  EXPECT_EQ(result.chunk, Page("~ ^ * here"));
  EXPECT_TRUE(result.statuses.empty());
  EXPECT_TRUE(FlushedLines().empty());
}

TEST_F(ResponseScreening, ReplaceKeepsTheLengthAndTheCase) {
  MemoryRequest request = GetRequest("/a.htm");
  const std::string page = Page("<html>Oh DARN it, darn.");
  const auto result = SendChunk(*engine, request, page);
  ASSERT_TRUE(result.replaced);
  EXPECT_EQ(result.chunk.size(), page.size());
  EXPECT_EQ(result.chunk, Page("<html>Oh heck it, darn.")) << "first occurrence only";
  EXPECT_TRUE(result.statuses.empty());
  const auto lines = FlushedLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(testing::Fields(lines[0])[1], testing::kReplaceKind);
  EXPECT_EQ(testing::Fields(lines[0])[3], "darn");
}

TEST_F(ResponseScreening, RecordOnlyLogs) {
  MemoryRequest request = GetRequest("/a.htm");
  const std::string page = Page("<html>please watch this");
  const auto result = SendChunk(*engine, request, page);
  EXPECT_FALSE(result.replaced);
  const auto lines = FlushedLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(testing::Fields(lines[0])[1], testing::kRecordKind);

  Load({{"KeyIsLog", "0"}});
  SendChunk(*engine, request, Page("<html>watch again darn"));
  EXPECT_EQ(FlushedLines().size(), 1u) << "nothing logged with logging off";
}

TEST_F(ResponseScreening, HostileUrlCannotBreakTheLogOrThePage) {
  MemoryRequest request = GetRequest("/a\tb\r\nc\"<script>.htm", "x=<img>");
  request.variables["HTTP_VIA"] = "1.1 proxy";
  request.variables["HTTP_X_FORWARDED_FOR"] = "<b>1.2\t3";
  const auto result = SendChunk(*engine, request, Page("<html>watch forbidden"));
  ASSERT_TRUE(result.replaced);
  EXPECT_EQ(result.chunk.find("<script>.htm"), std::string::npos);
  EXPECT_EQ(result.chunk.find("<img>"), std::string::npos);
  EXPECT_EQ(result.chunk.find("<b>1.2"), std::string::npos);
  EXPECT_NE(result.chunk.find("&lt;b&gt;1.2"), std::string::npos);
  const auto lines = FlushedLines();
  ASSERT_FALSE(lines.empty());
  for (const auto& line : lines) EXPECT_EQ(testing::FieldCount(line), 7) << line;
}

TEST_F(ResponseScreening, ShowWordsOffHidesTheKeyword) {
  Load({{"KeyIsShowWords", "0"}, {"KeySendWords", "Call <us>"}});
  MemoryRequest request = GetRequest("/a.htm");
  const auto result = SendChunk(*engine, request, Page("<html>forbidden"));
  EXPECT_EQ(result.chunk.find("f*o*r"), std::string::npos);
  EXPECT_NE(result.chunk.find("<td>-</td>"), std::string::npos);
  EXPECT_NE(result.chunk.find("\\n\\nCall&nbsp;&lt;us&gt;"), std::string::npos);
}

TEST_F(ResponseScreening, SwitchedOffFilterAltersNothing) {
  Load({{"KeyIsSystem", "0"}});
  MemoryRequest request = GetRequest("/secret/a.htm");
  const auto result = SendChunk(*engine, request, Page("forbidden darn"));
  EXPECT_FALSE(result.replaced);
  EXPECT_EQ(result.status, kStatusNextNotification);
  EXPECT_TRUE(result.written.empty());
}

TEST_F(ResponseScreening, BlackListedUrlIsBlockedAgainHere) {
  MemoryRequest request = GetRequest("/secret/a.htm");
  const auto result = SendChunk(*engine, request, Page("clean"));
  EXPECT_EQ(result.status, kStatusFinished);
  EXPECT_NE(result.written.find("www.example.com/secret/a.htm"), std::string::npos);
}

}  // namespace
}  // namespace orv::filter
