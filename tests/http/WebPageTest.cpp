// A web page where a file is expected (a captive portal's sign-in page, a proxy's error
// page): downloads and commands end with a network failure (HTTP status 511), and no byte of
// the page reaches the file, nor costs a partial file the bytes it holds.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "http/HttpDownloadFile.h"
#include "http/HttpEngine.h"
#include "http/HttpMgr.h"

using engine_test::Completion;
using engine_test::EngineTest;
using engine_test::Pattern;
using testing_support::FaultRule;
using testing_support::LoggedRequest;

namespace {

const char kPortalPage[] =
    "\r\n<!DOCTYPE html>\n<html><head><title>\xe7\xbd\x91\xe7\xbb\x9c</title></head>"
    "<body>Sign in to continue</body></html>\n";

struct Ending {
  int calls = 0;
  int type = -1;
  int code = -1;
  int progressReports = 0;
};

void RecordEnd(void* user, int type, int code) {
  Ending* ending = static_cast<Ending*>(user);
  ++ending->calls;
  ending->type = type;
  ending->code = code;
}

void CountProgress(void* user, uint64_t, uint64_t, uint32_t) {
  ++static_cast<Ending*>(user)->progressReports;
}

class WebPages : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"mirror.bin", package_));
  }

  std::wstring Url(const std::string& path) { return server_.WideUrl(path); }

  // Runs a download of `primary` (then `backups`) into the partial file until it ends.
  testing::AssertionResult Download(const std::wstring& backups, const std::wstring& primary,
                                    uint64_t expected = kPackageSize) {
    ending_ = Ending();
    download_ = std::make_unique<CHttpDownloadFile>();
    download_->dns.SetServers("");  // the DNS step finds nothing at once
    if (!download_->Setup(backups, primary, partial_, expected, &ending_, RecordEnd,
                          CountProgress)) {
      return testing::AssertionFailure() << "the download scheduler refused the download";
    }
    if (!testing_support::PumpMessagesUntil([&] { return ending_.calls > 0; }, 90000)) {
      return testing::AssertionFailure() << "no end within 90 s";
    }
    return testing::AssertionSuccess();
  }

  void TearDown() override {
    download_.reset();
    EngineTest::TearDown();
  }

  std::string PartialFile() const { return testing_support::ReadBinaryFile(partial_); }

  testing_support::TempFolder folder_{L"pages"};
  std::wstring partial_ = folder_ / L"qvinstaller_1.0.3.tmp";
  std::unique_ptr<CHttpDownloadFile> download_;
  Ending ending_;
};

TEST_F(WebPages, APortalPageInPlaceOfThePackageIsANetworkFailure) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Html()));
  ASSERT_TRUE(Download(L"", Url("/pkg.bin")));
  EXPECT_EQ(ending_.calls, 1);
  EXPECT_EQ(ending_.type, 4);
  EXPECT_EQ(ending_.code, 511);
  EXPECT_EQ(ending_.progressReports, 0);
  EXPECT_EQ(PartialFile(), "") << "nothing of the page is kept";
  // Tried like any network failure: the address, then the DNS step's pass over it.
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 2u);
}

// A page that does not say what it is gives itself away by its markup, also when its bytes
// come one at a time, and before its length is held against the package's size.
TEST_F(WebPages, APageWithoutAnHtmlTypeIsKnownByItsMarkup) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(2).Body(kPortalPage, "application/octet-stream")));
  ASSERT_TRUE(Download(L"", Url("/pkg.bin")));
  EXPECT_EQ(ending_.type, 4);
  EXPECT_EQ(ending_.code, 511);
  EXPECT_EQ(PartialFile(), "");

  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(2).Body("  \r\n <html>", "").Drip(10)));
  ASSERT_TRUE(Download(L"", Url("/pkg.bin")));
  EXPECT_EQ(ending_.type, 4);
  EXPECT_EQ(ending_.code, 511);
  EXPECT_EQ(PartialFile(), "");
}

// A portal answers a range request with its page and 200: the partial file keeps its bytes,
// and once the portal lets the player through the download goes on from them.
TEST_F(WebPages, APortalPageDoesNotCostAPartialFileItsBytes) {
  const std::string first = package_.substr(0, 40000);
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, first));
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(2).Html()));
  ASSERT_TRUE(Download(L"", Url("/pkg.bin")));
  EXPECT_EQ(ending_.code, 511);
  EXPECT_TRUE(PartialFile() == first) << PartialFile().size() << " bytes";

  ASSERT_TRUE(Download(L"", Url("/pkg.bin")));
  EXPECT_EQ(ending_.type, 0);
  EXPECT_EQ(ending_.code, 0);
  EXPECT_TRUE(PartialFile() == package_);
  const std::vector<LoggedRequest> requests = server_.RequestsFor("/pkg.bin");
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].range, "bytes=40000-");
  EXPECT_EQ(requests[2].status, 206);
}

// A portal in front of one host only: the backup address gets past it.
TEST_F(WebPages, TheBackupAddressGetsPastAPortalOfOneHost) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Html()));
  ASSERT_TRUE(Download(Url("/mirror.bin"), Url("/pkg.bin")));
  EXPECT_EQ(ending_.type, 0);
  EXPECT_TRUE(PartialFile() == package_);
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 1u);
  EXPECT_EQ(server_.RequestsFor("/mirror.bin").size(), 1u);
}

// Bytes held back while they cannot tell yet are written in their place: a package that
// opens with blanks arrives whole, also one byte at a time, also when the server ignores the
// range and the partial file starts again.
TEST_F(WebPages, AFileThatOpensWithBlanksArrivesWhole) {
  const std::string odd = "\r\n  \tMZ" + Pattern(33, 4);
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"odd.bin", odd));
  ASSERT_TRUE(AddRule(FaultRule("/odd.bin").Times(1).Drip(10)));
  ASSERT_TRUE(Download(L"", Url("/odd.bin"), odd.size()));
  EXPECT_EQ(ending_.type, 0);
  EXPECT_TRUE(PartialFile() == odd);

  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, "\r\n  \tMZxyz"));
  ASSERT_TRUE(AddRule(FaultRule("/odd.bin").IgnoreRange()));
  ASSERT_TRUE(Download(L"", Url("/odd.bin"), odd.size()));
  EXPECT_EQ(ending_.type, 0);
  EXPECT_TRUE(PartialFile() == odd);
  EXPECT_EQ(server_.RequestsFor("/odd.bin").back().status, 200);
}

// The manifest's command: a page is a failure of the address, not a text to read; other
// commands may fetch pages.
TEST_F(WebPages, ACommandThatRefusesPagesEndsWithTheNetworkStatus) {
  ASSERT_TRUE(AddRule(FaultRule("/qvinstall.txt").Html()));
  ASSERT_TRUE(AddRule(FaultRule("/notice.txt").Body(kPortalPage, "text/plain")));
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"manifest.txt", "[Install]\r\nUrl=x\r\n"));
  for (const char* path : {"/qvinstall.txt", "/notice.txt"}) {
    CHttpCommand command;
    command.refuseWebPages = true;
    Completion done;
    ASSERT_TRUE(Fetch(command, path, done));
    EXPECT_EQ(done.type, 4) << path;
    EXPECT_EQ(done.code, 511) << path;
    EXPECT_EQ(done.body, "") << path;
    EXPECT_EQ(server_.RequestsFor(path).size(), 1u) << "not tried again: " << path;
  }

  CHttpCommand manifest;
  manifest.refuseWebPages = true;
  Completion read;
  ASSERT_TRUE(Fetch(manifest, "/manifest.txt", read));
  EXPECT_EQ(read.type, 0);
  EXPECT_EQ(read.body, "[Install]\r\nUrl=x\r\n");

  CHttpCommand page;
  Completion fetched;
  ASSERT_TRUE(Fetch(page, "/notice.txt", fetched));
  EXPECT_EQ(fetched.type, 0);
  EXPECT_EQ(fetched.body, kPortalPage);
}

}  // namespace
