// Reading the manifest through its temporary UTF-16 INI file and the system's profile reader,
// on real files under Wine.
#include "updater/ManifestReader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"

using testing_support::TempFolder;

namespace {

class ManifestReading : public testing::Test {
 protected:
  // Reads `text` through the temporary file; the values land in manifest_.
  bool Read(const std::wstring& text) {
    type_ = -1;
    code_ = -1;
    return ReadManifest(path_, text, &manifest_, &type_, &code_);
  }

  TempFolder folder_{L"manifest"};
  std::wstring path_ = manifest_file::TempPath(folder_.path(), 1700000000);
  UpdateManifest manifest_;
  int type_ = -1;
  int code_ = -1;
};

TEST_F(ManifestReading, AllFiveValues) {
  ASSERT_TRUE(Read(L"[Install]\r\n"
                   L"Url=http://127.0.0.1:18601/qvinstaller.exe\r\n"
                   L"murl=http://127.0.0.1:18602/a.exe;http://127.0.0.1:18603/b.exe\r\n"
                   L"Size=25165824\r\n"
                   L"Md5=0123456789abcdef0123456789ABCDEF\r\n"
                   L"Version=1.0.3.27\r\n"));
  EXPECT_EQ(manifest_.packageUrl, L"http://127.0.0.1:18601/qvinstaller.exe");
  EXPECT_EQ(manifest_.mirrorUrls, L"http://127.0.0.1:18602/a.exe;http://127.0.0.1:18603/b.exe");
  EXPECT_EQ(manifest_.sizeText, L"25165824");
  EXPECT_EQ(manifest_.ExpectedSize(), 25165824u);
  EXPECT_EQ(manifest_.packageDigest, L"0123456789abcdef0123456789ABCDEF");
  EXPECT_EQ(manifest_.packageVersion, L"1.0.3.27");
  // The copy holds the mark and the text in UTF-16LE.
  const std::string bytes = testing_support::ReadBinaryFile(path_);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE[\0", 4));
}

TEST_F(ManifestReading, OnlyTheUrl) {
  ASSERT_TRUE(Read(L"[Install]\nUrl=http://127.0.0.1/p.exe\n"));
  EXPECT_EQ(manifest_.packageUrl, L"http://127.0.0.1/p.exe");
  EXPECT_EQ(manifest_.mirrorUrls, L"");
  EXPECT_EQ(manifest_.ExpectedSize(), 0u);
  EXPECT_EQ(manifest_.packageDigest, L"");
  EXPECT_EQ(manifest_.packageVersion, L"");
  EXPECT_TRUE(manifest_.HasPackage());
}

// Names are matched as Windows matches them; blanks around values go; other sections and
// keys are ignored; a later duplicate key loses to the first.
TEST_F(ManifestReading, WindowsProfileRules) {
  ASSERT_TRUE(Read(L"; the studio's manifest\r\n"
                   L"[Other]\r\nUrl=http://wrong/\r\n"
                   L"[install]\r\n"
                   L"URL = http://127.0.0.1/right.exe  \r\n"
                   L"SIZE=123abc\r\n"
                   L"md5=\r\n"
                   L"Url=http://127.0.0.1/second.exe\r\n"));
  EXPECT_EQ(manifest_.packageUrl, L"http://127.0.0.1/right.exe");
  EXPECT_EQ(manifest_.sizeText, L"123abc");
  EXPECT_EQ(manifest_.ExpectedSize(), 123u);
  EXPECT_EQ(manifest_.packageDigest, L"");
}

TEST_F(ManifestReading, LongValuesAreCutTo2047Characters) {
  const std::wstring longUrl = L"http://127.0.0.1/" + std::wstring(3000, L'x');
  ASSERT_TRUE(Read(L"[Install]\r\nUrl=" + longUrl + L"\r\nVersion=2\r\n"));
  EXPECT_EQ(manifest_.packageUrl, longUrl.substr(0, 2047));
  EXPECT_EQ(manifest_.packageVersion, L"2");
}

// Text beyond ASCII survives the trip through the file; a mark the text brought along (a
// manifest saved as UTF-8 with a mark) does not hide the section.
TEST_F(ManifestReading, ChineseTextAndALeadingMark) {
  ASSERT_TRUE(Read(L"\xFEFF[Install]\r\nUrl=http://127.0.0.1/p.exe\r\nVersion=凯途星联 二期\r\n"));
  EXPECT_EQ(manifest_.packageUrl, L"http://127.0.0.1/p.exe");
  EXPECT_EQ(manifest_.packageVersion, L"凯途星联 二期");
}

// An HTML page, an empty body, binary noise: no failure, and nothing read.
TEST_F(ManifestReading, TextThatIsNoManifestReadsAsEmpty) {
  for (const std::wstring& text :
       {std::wstring(L"<html><head><title>Login</title></head><body>Wi-Fi</body></html>"),
        std::wstring(), std::wstring(L"\x0001\xFFFD\xD800 Url=http://x/\r\n")}) {
    manifest_.packageUrl = L"old";
    ASSERT_TRUE(Read(text));
    EXPECT_EQ(manifest_.packageUrl, L"");
    EXPECT_FALSE(manifest_.HasPackage());
    EXPECT_EQ(manifest_.packageVersion, L"");
  }
}

// The same temporary name read twice within the same second, with new contents each time,
// gives the new values: no stale copy of the profile reader is used.
TEST_F(ManifestReading, ANewTextAtTheSamePathIsReadAfresh) {
  for (int round = 0; round < 5; ++round) {
    const std::wstring version = L"v" + std::to_wstring(round);
    ASSERT_TRUE(Read(L"[Install]\r\nUrl=http://127.0.0.1/p.exe\r\nVersion=" + version + L"\r\n"));
    EXPECT_EQ(manifest_.packageVersion, version);
  }
  // Also after the file was deleted in between, as the update module does.
  ASSERT_TRUE(::DeleteFileW(path_.c_str()));
  ASSERT_TRUE(Read(L"[Install]\r\nVersion=after\r\n"));
  EXPECT_EQ(manifest_.packageVersion, L"after");
}

TEST_F(ManifestReading, AFolderThatCannotTakeTheCopyIsASystemError) {
  manifest_.packageUrl = L"kept";
  path_ = manifest_file::TempPath(folder_ / L"missing", 1);
  EXPECT_FALSE(Read(L"[Install]\r\nUrl=http://x/\r\n"));
  EXPECT_EQ(type_, 1);
  EXPECT_EQ(code_, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(manifest_.packageUrl, L"kept");

  // A file that another program writes to: the copy cannot be opened for writing.
  path_ = folder_ / L"held.ini";
  HANDLE held = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Read(L"[Install]\r\nUrl=http://x/\r\n"));
  EXPECT_EQ(type_, 1);
  EXPECT_EQ(code_, ERROR_SHARING_VIOLATION);
  ::CloseHandle(held);
  EXPECT_EQ(manifest_.packageUrl, L"kept");
}

}  // namespace
