// ScreenBody: the extension role, with the request body.
#include <gtest/gtest.h>

#include "filter_test_support.h"

namespace orv::filter {
namespace {

using testing::ConfigFolder;
using testing::FakeClock;
using testing::GetRequest;

class BodyScreening : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteKeywords(std::string("forbidden@@~-zz@@") + std::string(testing::kGbkForbidden), {},
                         {}, "freepass");
    Load();
  }
  void Load(const std::map<std::string, std::string>& overrides = {}) {
    folder.WriteSettings(overrides);
    engine.reset();
    engine = testing::LoadEngine(folder, clock);
  }
  std::uint32_t Post(std::string_view body, MemoryRequest request = GetRequest("/form.asp"),
                     std::string method = "POST") {
    MemoryExtensionHost host(request, method, std::string(body));
    const std::uint32_t status = engine->HttpExtensionProc(host);
    written = host.Written();
    handedOn = host.HandedOn();
    return status;
  }
  std::vector<std::string> FlushedLines() {
    engine->FlushLog();
    return folder.LogLines();
  }

  ConfigFolder folder;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(testing::kTestStart);
  std::unique_ptr<FilterEngine> engine;
  std::string written;
  bool handedOn = false;
};

TEST_F(BodyScreening, CleanRequestsAreHandedOn) {
  EXPECT_EQ(Post("a=clean+text"), kExtensionPending);
  EXPECT_TRUE(handedOn);
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(Post("a=forbidden", GetRequest("/form.asp"), "GET"), kExtensionPending);
  EXPECT_EQ(Post(""), kExtensionPending) << "no body";
  EXPECT_EQ(Post("a=forbidden", GetRequest("/admin/x.asp")), kExtensionPending) << "white list";
  EXPECT_EQ(Post("a=forbidden", GetRequest("/up/a.jpg")), kExtensionPending) << "file type";
  EXPECT_EQ(Post("a=forbidden&b=freepass"), kExtensionPending) << "free list";
  Load({{"KeyIsSystem", "0"}});
  EXPECT_EQ(Post("a=forbidden"), kExtensionPending);
}

TEST_F(BodyScreening, HandOnFailureIsAnError) {
  MemoryRequest request = GetRequest("/form.asp");
  MemoryExtensionHost refusing(request, "GET", "");
  refusing.refuseIoCompletion = true;
  EXPECT_EQ(engine->HttpExtensionProc(refusing), kExtensionError);
  MemoryExtensionHost noExec(request, "GET", "");
  noExec.refuseExecuteUrl = true;
  EXPECT_EQ(engine->HttpExtensionProc(noExec), kExtensionError);
}

TEST_F(BodyScreening, DenyKeywordBlocksThePost) {
  EXPECT_EQ(Post("msg=a+FORB%49DDEN+thing"), kExtensionSuccess);
  EXPECT_FALSE(handedOn);
  EXPECT_NE(written.find("f*o*r*b*i*d*d*e*n"), std::string::npos);
  EXPECT_NE(written.find("www.example.com/form.asp"), std::string::npos);
  const auto lines = FlushedLines();
  ASSERT_EQ(lines.size(), 1u);
  const auto fields = testing::Fields(lines[0]);
  ASSERT_EQ(fields.size(), 7u);
  EXPECT_EQ(fields[1], testing::kDenyKind);
  EXPECT_EQ(fields[2], "POST");
  EXPECT_EQ(fields[3], "forbidden");
  EXPECT_EQ(fields[5], "www.example.com/form.asp");
  EXPECT_NE(fields[6].find("forbidden"), std::string::npos);
}

TEST_F(BodyScreening, PutAndPatchBodiesAreScreenedLikePosts) {
  EXPECT_EQ(Post("msg=forbidden", GetRequest("/doc.asp"), "PUT"), kExtensionSuccess);
  EXPECT_EQ(Post("msg=forbidden", GetRequest("/doc2.asp"), "PATCH"), kExtensionSuccess);
  EXPECT_EQ(Post("msg=forbidden", GetRequest("/doc3.asp"), "put"), kExtensionPending)
      << "methods are exact";
  EXPECT_EQ(Post("msg=forbidden", GetRequest("/doc4.asp"), "DELETE"), kExtensionPending);
  const auto lines = FlushedLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(testing::Fields(lines[0])[2], "PUT");
  EXPECT_EQ(testing::Fields(lines[1])[2], "PATCH");
}

TEST_F(BodyScreening, Utf8AndGbkFormsAreBothFound) {
  EXPECT_EQ(Post("m=%E7%A6%81%E8%AF%AD"), kExtensionSuccess);
  EXPECT_EQ(Post("m=%BD%FB%D3%EF"), kExtensionSuccess);
  const auto lines = FlushedLines();
  ASSERT_EQ(lines.size(), 1u) << "the second is a repeat of the first";
  EXPECT_EQ(testing::Fields(lines[0])[3], testing::kGbkForbidden);
}

TEST_F(BodyScreening, OneByteKeywordBlocksWithoutALine) {
  EXPECT_EQ(Post("a=~"), kExtensionSuccess);
  EXPECT_TRUE(FlushedLines().empty());
}

TEST_F(BodyScreening, OnlyTheBodyUpToItsFirstNulCounts) {
  EXPECT_EQ(Post(std::string("a=b\0forbidden", 13)), kExtensionPending);
  // Announced but not yet received bytes are not screened.
  MemoryRequest request = GetRequest("/form.asp");
  MemoryExtensionHost host(request, "POST", "a=forbidden");
  host.SetTotalBytes(0);
  EXPECT_EQ(engine->HttpExtensionProc(host), kExtensionPending);
}

TEST_F(BodyScreening, BlackListsAnswerWithTheirPages) {
  EXPECT_EQ(Post("clean", GetRequest("/secret/form.asp")), kExtensionSuccess);
  EXPECT_NE(written.find("www.example.com/secret/form.asp"), std::string::npos);
  MemoryRequest blocked = GetRequest("/form.asp");
  blocked.variables["REMOTE_ADDR"] = "10.9.9.9";
  EXPECT_EQ(Post("clean", blocked, "GET"), kExtensionSuccess);
  EXPECT_NE(written.find("10.9.9.9"), std::string::npos);
}

TEST_F(BodyScreening, HostileRequestCannotBreakTheLogOrThePage) {
  MemoryRequest request = GetRequest("/form.asp", "x=\"<svg onload=1>");
  request.variables["HTTP_VIA"] = "1.1 proxy";
  request.variables["HTTP_X_FORWARDED_FOR"] = "1.2.3.4\t<i>";
  EXPECT_EQ(Post("a=%0D%0Aforbidden%09%0A%09tab", request), kExtensionSuccess);
  EXPECT_EQ(written.find("<svg"), std::string::npos);
  EXPECT_EQ(written.find("<i>"), std::string::npos);
  EXPECT_NE(written.find("&lt;svg"), std::string::npos);
  const auto lines = FlushedLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(testing::FieldCount(lines[0]), 7);
  EXPECT_EQ(testing::Fields(lines[0])[4], "1.2.3.4<i>");
}

TEST_F(BodyScreening, EmptySafeCodeIsNoBypassAndBodyHasNone) {
  Load({{"KeySafeCode", ""}});
  EXPECT_EQ(Post("forbidden", GetRequest("/form.asp", "")), kExtensionSuccess);
  Load();
  EXPECT_EQ(Post("forbidden", GetRequest("/form.asp", "safecode9")), kExtensionSuccess)
      << "the body screen has no safe code";
}

}  // namespace
}  // namespace orv::filter
