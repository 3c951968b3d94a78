#include "updater/Updater.h"

#include <algorithm>
#include <atomic>
#include <ctime>

#include "DeploymentConfig.h"
#include "http/AnsiText.h"
#include "http/HttpEngine.h"
#include "http/HttpMgr.h"
#include "platform/CommonUtils.h"
#include "runtime/CngCrypto.h"
#include "runtime/Logging.h"
#include "runtime/WindowMessages.h"
#include "updater/ManifestReader.h"
#include "updater/ManifestTrust.h"
#include "updater/PackageFiles.h"
#include "updater/ProgressSnapshot.h"

namespace {

// Helper windows created by this process; the n-th module's class ends in n.
std::atomic<int> g_helperWindowCount{0};

constexpr const wchar_t* kDownloadFailedText = L"安装失败";

HINSTANCE ModuleInstance() { return ::GetModuleHandleW(nullptr); }

// The calling thread's last error, or `fallback` when the system left none.
int LastErrorOr(DWORD fallback) {
  const DWORD error = ::GetLastError();
  return static_cast<int>(error != 0 ? error : fallback);
}

std::wstring DecodeUtf8(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  const int count = static_cast<int>(std::min<size_t>(bytes.size(), INT32_MAX));
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), count, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), count, &text[0], length);
  return text;
}

}  // namespace

Updater::Updater(const std::wstring& downloadDir, IGameEventListener* listener, int /*reserved*/)
    : manifestUrls{deployment::kManifestPrimary, deployment::kManifestFallback},
      manifestKey(deployment::kManifestPublicKey),
      parallelRanges(deployment::kParallelRanges),
      rangeThreshold(static_cast<uint64_t>(deployment::kRangeThresholdMiB) << 20),
      downloadDir_(downloadDir),
      listener_(listener) {
  // A captive portal's or a proxy's page is a failed fetch: the next address is tried, and
  // the dialog hears of a network problem.
  command_.refuseWebPages = true;
  // A manifest is a few lines: an endless answer is refused before it fills memory or
  // holds this thread while it is decoded.
  command_.maxReplyBytes = kManifestMaxBytes;
}

Updater::~Updater() { Stop(); }

void Updater::SetManifestUrls(const std::vector<std::wstring>& urls) {
  manifestUrls = urls;
  manifestUrlCount = static_cast<int>(urls.size());
  nextUrlIndex = 0;
}

bool Updater::CreateHelperWindow() {
  if (helperWindow_) return true;
  // 1. A class of its own for each module.
  className_ = FormatString(L"_UPDATE_MODULE_HELPER_WINDOW_KELTO%d", ++g_helperWindowCount);
  // 2.
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &Updater::WindowProc;
  windowClass.hInstance = ModuleInstance();
  windowClass.lpszClassName = className_.c_str();
  if (!::RegisterClassW(&windowClass)) {
    const int error = static_cast<int>(::GetLastError());
    LOG_CONSOLE(2, L"[UM]regclass %d", error);
    LOG_FILE(2, L"[UM]rcls %d:%d", 1, error);
    return false;
  }
  // 3.
  HWND window = ::CreateWindowExW(0, className_.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, ModuleInstance(), nullptr);
  if (!window) {
    const int error = static_cast<int>(::GetLastError());
    ::UnregisterClassW(className_.c_str(), ModuleInstance());
    LOG_CONSOLE(2, L"[UM]unregclass %d", error);
    LOG_FILE(2, L"[UM]urcls %d:%d", 1, error);
    return false;
  }
  helperWindow_.reset(window);
  // The full pointer: a 32-bit user data field would cut a 64-bit address.
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

bool Updater::Start() {
  // Without the window nothing could be reported; a download under way is not replaced.
  if (!helperWindow_ || downloading_) return false;
  // 1.
  if (nextUrlIndex < 0 || nextUrlIndex >= UrlCount()) return false;
  const std::wstring url = manifestUrls[static_cast<size_t>(nextUrlIndex++)];
  // 2. A fetch under way keeps its address.
  if (FetchUnderWay()) return true;
  command_.url = url;
  command_.onDone = &Updater::OnManifestFetched;
  command_.userData = helperWindow_.get();
  if (CHttpEngine::JoinCommandScheduler(&command_)) return true;
  // The engine is down: reported as a failed fetch, so that the next address is tried and
  // the listener hears of it.
  PostToWindow(helperWindow_.get(), msg::kUpdaterManifest, http_result::kApplication,
               kEngineRefused);
  return false;
}

int Updater::UrlCount() const {
  return std::min<int>(manifestUrlCount, static_cast<int>(manifestUrls.size()));
}

bool Updater::FetchUnderWay() const {
  if (command_.running) return true;
  // A retry waits in the scheduler without running.
  const CHttpMgr* scheduler = CHttpEngine::CommandScheduler();
  if (!scheduler) return false;
  const std::vector<CHttpBase*>& tasks = scheduler->tasks();
  return std::find(tasks.begin(), tasks.end(), &command_) != tasks.end();
}

void Updater::Stop() {
  command_.Stop();
  download_.Stop();
  manifestText_.clear();
  progress_.Clear();
  downloading_ = false;
  if (helperWindow_) {
    helperWindow_.reset();
    ::UnregisterClassW(className_.c_str(), ModuleInstance());
  }
}

Updater* Updater::FromWindow(void* window) {
  if (!window) return nullptr;
  return reinterpret_cast<Updater*>(
      ::GetWindowLongPtrW(static_cast<HWND>(window), GWLP_USERDATA));
}

void Updater::PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (::PostMessageW(window, message, wParam, lParam)) return;
  const unsigned error = ::GetLastError();
  LOG_CONSOLE(2, L"[UM] post_message failed:%u", error);
  LOG_FILE(2, L"[UM] post message failed:%u", error);
}

void Updater::OnManifestFetched(void* userData, const std::string& body, int type, int code) {
  // 1. A module stopped meanwhile has no window any more.
  Updater* self = FromWindow(userData);
  if (!self) return;
  // 2.
  self->manifestText_ = DecodeUtf8(body);
  // 3.
  PostToWindow(static_cast<HWND>(userData), msg::kUpdaterManifest, static_cast<WPARAM>(type),
               static_cast<LPARAM>(code));
}

void Updater::OnPackageProgress(void* userData, uint64_t total, uint64_t present,
                                uint32_t bytesPerSecond) {
  Updater* self = FromWindow(userData);
  if (!self) return;
  progress_snapshot::Store(self->progress_, static_cast<int64_t>(total),
                           static_cast<int64_t>(present), bytesPerSecond);
  PostToWindow(static_cast<HWND>(userData), msg::kUpdaterProgress, 0, 0);
}

void Updater::OnPackageDone(void* userData, int type, int code) {
  PostToWindow(static_cast<HWND>(userData), msg::kUpdaterPackageDone,
               static_cast<WPARAM>(type), static_cast<LPARAM>(code));
}

LRESULT CALLBACK Updater::WindowProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
  try {
    // Messages of the window's creation come before the module is attached.
    if (Updater* self = FromWindow(window)) return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    LOG_FILE(2, L"[UM] message %u failed", message);
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Updater::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const int type = static_cast<int>(wParam);
  const int code = static_cast<int>(lParam);
  switch (message) {
    case msg::kUpdaterManifest:
      OnManifestMessage(type, code);
      return 0;
    case msg::kUpdaterProgress:
      OnProgressMessage();
      return 0;
    case msg::kUpdaterPackageDone:
      OnPackageMessage(type, code);
      return 0;
    case WM_TIMER:
      return 0;
    default:
      if (message >= msg::kUpdaterReservedFirst && message <= msg::kUpdaterReservedLast) return 0;
      return ::DefWindowProcW(helperWindow_.get(), message, wParam, lParam);
  }
}

// The listener is called last in each handler: it may destroy the module.
void Updater::OnManifestMessage(int type, int code) {
  // 1.
  command_.Stop();
  bool fetched = type == http_result::kNone;
  if (fetched) {
    // 3.
    const auto now = static_cast<uint32_t>(std::time(nullptr));
    const std::wstring path = manifest_file::TempPath(downloadDir_, static_cast<int32_t>(now));
    if (ReadManifest(path, manifestText_, &manifest_, &type, &code)) {
      if (!Trusted()) {
        // Whoever answered in the studio's place chooses nothing: not one of its values is
        // kept, and the next address may still have the real manifest.
        manifest_ = UpdateManifest();
        type = http_result::kApplication;
        code = kManifestUntrusted;
        fetched = false;
      } else {
        // A text that is no manifest (an empty answer, a notice served with 200) names no
        // package: fetching nothing would only fail later and less clearly.
        const http_result::Error started =
            manifest_.HasPackage() ? StartPackageDownload(package_files::kPartSuffix)
                                   : http_result::Error{http_result::kApplication,
                                                        UpdateManifest::kNoPackageAddress};
        type = started.type;
        code = started.code;
      }
    }
    DeleteFileWithRetry(path, 0);
  }
  // 2. A failed fetch: the next address, whose outcome comes back here.
  if (!fetched && nextUrlIndex >= 0 && nextUrlIndex < UrlCount()) {
    Start();
    return;
  }
  // 4.
  if (listener_) {
    listener_->OnManifestResult(type, code, manifest_.packageVersion, manifest_.packageDigest);
  }
}

bool Updater::Trusted() const {
  const manifest_trust::Verdict verdict =
      manifest_trust::Judge(manifestKey, manifest_, static_cast<int64_t>(std::time(nullptr)),
                            &cng::VerifyEcdsaP256);
  const bool trusted =
      verdict == manifest_trust::Verdict::kTrusted || verdict == manifest_trust::Verdict::kUnsigned;
  const int level = trusted ? 0 : 2;
  const wchar_t* outcome = trusted ? L"" : L"; refused";
  LOG_CONSOLE(level, L"[UM] manifest of %ls: %ls%ls", command_.url.c_str(),
              manifest_trust::VerdictText(verdict), outcome);
  LOG_FILE(level, L"[UM] manifest of %ls: %ls%ls", command_.url.c_str(),
           manifest_trust::VerdictText(verdict), outcome);
  return trusted;
}

http_result::Error Updater::StartPackageDownload(const wchar_t* suffix) {
  // 1.
  if (!CreateDir(downloadDir_)) return {http_result::kSystem, LastErrorOr(ERROR_PATH_NOT_FOUND)};
  // 2. 3.
  packageFile_ = package_files::PackagePath(downloadDir_);
  partFile_ = package_files::PartPath(packageFile_, manifest_.packageVersion, suffix);
  // 4. 5. Without "Url" the first mirror stands in for it (the DNS step looks its host up).
  const std::vector<std::wstring> urls = manifest_.PackageUrls();
  const std::wstring primary = urls.empty() ? std::wstring() : urls.front();
  downloading_ = true;
  download_.parallelRanges = manifest_.ParallelRanges(parallelRanges);
  download_.rangeThreshold = rangeThreshold;
  // The ranges' record belongs to these exact bytes.
  download_.rangeTag = WideToAnsi(manifest_.packageVersion + L" " + manifest_.packageDigest + L" " +
                                  manifest_.packageSha256);
  download_.wantDigest = !manifest_.packageDigest.empty() || !manifest_.packageSha256.empty();
  download_.wantSha256 = !manifest_.packageSha256.empty();
  if (!download_.Setup(manifest_.mirrorUrls, primary, partFile_,
                       manifest_.ExpectedSize(), helperWindow_.get(), &Updater::OnPackageDone,
                       &Updater::OnPackageProgress)) {
    downloading_ = false;
    return {http_result::kApplication, kEngineRefused};
  }
  // 6.
  return {};
}

void Updater::OnProgressMessage() {
  if (!downloading_) return;
  // Taken before the call: the listener may destroy the module.
  progress_snapshot::Progress latest;
  if (!progress_snapshot::Take(progress_, &latest)) return;
  if (listener_) {
    listener_->OnDownloadProgress(latest.total, latest.complete,
                                  static_cast<uint32_t>(latest.speed));
  }
}

http_result::Error Updater::PlacePackage() {
  // a. A package still running from an earlier attempt holds the file.
  EnableDebugPrivilege();
  KillProcessesByName(package_files::kPackageName);
  // b.
  if (!DeleteFileWithRetry(packageFile_, 3)) {
    return {http_result::kApplication, LastErrorOr(ERROR_GEN_FAILURE)};
  }
  // c.
  if (!MoveFileWithRetry(partFile_, packageFile_)) {
    return {http_result::kApplication, LastErrorOr(ERROR_GEN_FAILURE)};
  }
  return {};
}

void Updater::OnPackageMessage(int type, int code) {
  // 1.
  if (!downloading_) return;
  download_.Stop();
  downloading_ = false;
  if (type == http_result::kNone) {
    // 2. The partial file is complete.
    const http_result::Error placed = PlacePackage();
    if (listener_) listener_->OnDownloadFinished(placed.type, placed.code, std::wstring());
    return;
  }
  // 3a. An empty partial file is no start worth keeping.
  if (FileSize(partFile_) <= 0) DeleteFileWithRetry(partFile_, 0);
  // 3b. The partial file cannot be written (access denied), or another program holds it
  // (sharing violation, what a scanner or a second installer causes): start over next to
  // it, once.
  if (type == http_result::kSystem &&
      (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) &&
      package_files::HasExtension(partFile_, package_files::kPartSuffix)) {
    const http_result::Error restarted = StartPackageDownload(package_files::kRestartSuffix);
    if (restarted.type == http_result::kNone) return;
  }
  // 3c.
  if (listener_) listener_->OnDownloadFinished(type, code, kDownloadFailedText);
}
