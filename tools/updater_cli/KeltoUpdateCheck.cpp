// KeltoUpdateCheck.exe: runs the installer's update module for one download folder, without
// a window, and prints what it reports: the manifest's outcome with the package's version and
// digest, the download's progress once a second, and how the download ended. A studio checks
// its update servers with it; the demo shows the download with it before any window exists.
//
//   KeltoUpdateCheck.exe <download folder> [manifest address ...]
//
// Without addresses the module uses the build's deployment settings. After a complete
// download the tool also compares the package's MD5 and SHA-256 digests with the manifest's:
// the ones the module made while the package downloaded, as the installer takes them.
// A build with a manifest key takes only manifests signed with it, as the installer does.
// Exit codes: 0 the package is in place (and matches the digests the manifest gives),
// 1 wrong arguments or the tool could not start, 2 no manifest, 3 the download failed,
// 4 the package does not match the manifest's digest.
//
// Output is UTF-8 when it goes to a file or a pipe, one report per line, flushed at once.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "http/HttpEngine.h"
#include "platform/CommonUtils.h"
#include "platform/HeldPackage.h"
#include "runtime/MainThreadTask.h"
#include "updater/IGameEventListener.h"
#include "updater/PackageFiles.h"
#include "updater/Updater.h"

namespace {

enum ExitCode : int {
  kPackageInPlace = 0,
  kUsage = 1,
  kNoManifest = 2,
  kDownloadFailed = 3,
  kDigestMismatch = 4,
};

// One line on the console, or as UTF-8 into a file or pipe.
void PrintLine(const std::wstring& line) {
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (out != INVALID_HANDLE_VALUE && ::GetConsoleMode(out, &mode)) {
    const std::wstring text = line + L"\r\n";
    DWORD written = 0;
    ::WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::wstring text = line + L"\n";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0],
                          size, nullptr, nullptr);
  }
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  // A pipe is fully buffered: whoever reads it sees each report as it happens.
  std::fflush(stdout);
}

// Prints each report and ends the message loop with the exit code once the run is over.
class ReportPrinter : public IGameEventListener {
 public:
  void OnDownloadProgress(int64_t total, int64_t completed, int64_t speed) override {
    const int64_t left = total > completed ? total - completed : 0;
    PrintLine(FormatString(L"progress: %ls of %ls, %ls left at %ls/s (%lld of %lld bytes)",
                           FormatSize(static_cast<uint64_t>(completed)).c_str(),
                           FormatSize(static_cast<uint64_t>(total)).c_str(),
                           FormatSize(static_cast<uint64_t>(left)).c_str(),
                           FormatSize(static_cast<uint64_t>(speed)).c_str(),
                           static_cast<long long>(completed), static_cast<long long>(total)));
  }

  void OnDownloadFinished(int kind, int code, const std::wstring& text) override {
    PrintLine(FormatString(L"finished: type %d code %d%ls%ls", kind, code,
                           text.empty() ? L"" : L" ", text.c_str()));
    if (kind != 0 || code != 0) {
      End(kDownloadFailed);
      return;
    }
    PrintLine(L"package: " + packageFile);
    if (digest.empty() && sha256.empty()) {
      PrintLine(L"digest: the manifest gives none");
      End(kPackageInPlace);
      return;
    }
    std::wstring actualMd5, actualSha256;
    std::wstring* const wantSha256 = sha256.empty() ? nullptr : &actualSha256;
    const std::shared_ptr<CPrefixDigest> streamed = updater->packageDigest();
    CHeldPackage package;
    const int64_t size = FileSize(packageFile);
    const bool read = streamed && size >= 0
                          ? streamed->Wait(static_cast<uint64_t>(size), &actualMd5, wantSha256)
                          : package.Open(packageFile) && package.Digest(&actualMd5, wantSha256);
    const bool md5Match = PrintCheck(L"md5", read, actualMd5, digest);
    const bool sha256Match = PrintCheck(L"sha256", read, actualSha256, sha256);
    End(md5Match && sha256Match ? kPackageInPlace : kDigestMismatch);
  }

  void OnDownloadAborted(int kind, int code) override {}

  void OnManifestResult(int kind, int code, const std::wstring& info,
                        const std::wstring& manifestDigest) override {
    PrintLine(FormatString(L"manifest: type %d code %d version \"%ls\" md5 \"%ls\"", kind, code,
                           info.c_str(), manifestDigest.c_str()));
    digest = manifestDigest;
    sha256 = updater ? updater->manifest().packageSha256 : std::wstring();
    if (!sha256.empty()) PrintLine(L"manifest: sha256 \"" + sha256 + L"\"");
    if (kind != 0 || code != 0) End(kNoManifest);
  }

  const Updater* updater = nullptr;
  std::wstring packageFile;
  std::wstring digest;
  std::wstring sha256;
  int exitCode = kUsage;

 private:
  // One digest's line; true when the manifest gives none or the package matches it.
  static bool PrintCheck(const wchar_t* name, bool read, const std::wstring& actual,
                         const std::wstring& expected) {
    if (expected.empty()) return true;
    const bool match = read && EqualsIgnoringAsciiCase(actual, expected);
    PrintLine(FormatString(L"%ls: %ls (package %ls, manifest %ls)", name,
                           match ? L"match" : L"MISMATCH", read ? actual.c_str() : L"unreadable",
                           expected.c_str()));
    return match;
  }

  void End(int code) {
    exitCode = code;
    ::PostQuitMessage(code);
  }
};

int Run(const std::wstring& folder, const std::vector<std::wstring>& addresses) {
  if (!InitMainThreadTasks() || !CHttpEngine::StartCommandFamily() ||
      !CHttpEngine::StartDownloadFamily()) {
    PrintLine(L"error: the transfer engine did not start");
    return kUsage;
  }
  ReportPrinter printer;
  {
    Updater updater(folder, &printer, 0);
    printer.updater = &updater;
    if (!addresses.empty()) updater.SetManifestUrls(addresses);
    printer.packageFile = package_files::PackagePath(folder);
    PrintLine(L"download folder: " + folder);
    for (const std::wstring& address : updater.manifestUrls) {
      PrintLine(L"manifest address: " + address);
    }
    if (!updater.CreateHelperWindow()) {
      PrintLine(FormatString(L"error: no helper window (system error %lu)", ::GetLastError()));
    } else if (!CreateDir(folder)) {
      PrintLine(L"error: the download folder cannot be created");
    } else if (updater.Start()) {
      MSG message;
      while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
    } else {
      PrintLine(L"error: the manifest fetch did not start");
    }
    updater.Stop();
  }
  // As the installer's shut-down does it.
  CHttpEngine::ShutdownCommandFamily();
  CHttpEngine::ShutdownDownloadFamily();
  CHttpEngine::StopTimer();
  ClearMainThreadTasks();
  DestroyMainThreadTaskWindow();
  return printer.exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argv[1][0] == L'\0' || std::wstring(argv[1]) == L"-h" ||
      std::wstring(argv[1]) == L"--help") {
    PrintLine(L"usage: KeltoUpdateCheck.exe <download folder> [manifest address ...]");
    return kUsage;
  }
  // A relative folder is taken from the current folder, and shown as the full path.
  std::vector<wchar_t> full(32768, L'\0');
  const DWORD length =
      ::GetFullPathNameW(argv[1], static_cast<DWORD>(full.size()), full.data(), nullptr);
  const std::wstring given = (length > 0 && length < full.size()) ? full.data() : argv[1];
  const std::wstring folder = TrimTrailingSeparators(given);
  std::vector<std::wstring> addresses(argv + 2, argv + argc);
  return Run(folder.empty() ? given : folder, addresses);
}
