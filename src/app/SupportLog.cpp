#include "app/SupportLog.h"

#include <windows.h>

#include <ctime>
#include <vector>

#include "DeploymentConfig.h"
#include "app/StartupSettings.h"
#include "app/SupportLogRules.h"
#include "platform/CommonUtils.h"
#include "runtime/Logging.h"

namespace support_log {

namespace {

std::tm LocalNow() {
  const __time64_t now = ::_time64(nullptr);
  std::tm local = {};
  ::_localtime64_s(&local, &now);
  return local;
}

std::wstring FullPath(const std::wstring& path) {
  std::vector<wchar_t> full(32768, L'\0');
  const DWORD length =
      ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  return (length > 0 && length < full.size()) ? std::wstring(full.data()) : path;
}

std::wstring TempDir() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return TrimTrailingSeparators(buffer);
}

bool EndsWithSeparator(const std::wstring& path) {
  return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

// The system's own version: GetVersionExW reports what the program's manifest declares.
std::wstring SystemVersion() {
  using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  auto getVersion = ntdll ? reinterpret_cast<RtlGetVersionProc>(
                                reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
                          : nullptr;
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!getVersion || getVersion(&info) != 0) return L"unknown";
  return FormatString(L"%lu.%lu.%lu", info.dwMajorVersion, info.dwMinorVersion,
                      info.dwBuildNumber);
}

void WriteStart(const std::wstring& path, const StartupSettings& settings) {
  LOG_FILE(0, L"KeltoSetup %ls support log %ls", L"" KELTO_PRODUCT_VERSION, path.c_str());
  LOG_FILE(0, L"command line: %ls", ::GetCommandLineW());
  LOG_FILE(0, L"options: hidden %d, game number %d, start launcher %d", settings.hidden ? 1 : 0,
           settings.gameIdOption, settings.runLauncher ? 1 : 0);
  LOG_FILE(0, L"Windows %ls, ANSI code page %u, program folder %ls", SystemVersion().c_str(),
           ::GetACP(), ModuleDir().c_str());
  LOG_FILE(0, L"manifest addresses: %ls ; %ls", deployment::kManifestPrimary,
           deployment::kManifestFallback);
}

}  // namespace

LoggerConfig Config() {
  LoggerConfig config;
  config.flags = LoggerConfig::kTimeStamp | LoggerConfig::kProcessId | LoggerConfig::kThreadId;
  config.appendNewline = true;
  return config;
}

std::wstring Open(const StartupSettings& settings) {
  Places places;
  if (!settings.supportLogPath.empty()) {
    places.given = FullPath(settings.supportLogPath);
    places.givenIsFolder = EndsWithSeparator(settings.supportLogPath) || DirExists(places.given);
  }
  places.hidden = settings.hidden;
  places.programDir = ModuleDir();
  places.tempDir = TempDir();

  FileLogger& logger = FileLogger::Instance();
  std::vector<std::pair<std::wstring, DWORD>> refused;
  for (const std::wstring& file : Candidates(places, LocalNow())) {
    ::SetLastError(ERROR_SUCCESS);
    if (!logger.Open(file, Config())) {
      refused.emplace_back(file, ::GetLastError());
      continue;
    }
    WriteStart(file, settings);
    for (const auto& place : refused) {
      LOG_FILE(1, L"the log file %ls cannot be written (system error %lu): this one is used",
               place.first.c_str(), place.second);
    }
    return file;
  }
  return std::wstring();
}

void WriteEnd(int exitCode) {
  FileLogger& logger = FileLogger::Instance();
  if (!logger.IsEnabled()) return;
  LOG_FILE(0, L"KeltoSetup exits with code %d", exitCode);
  logger.Close();
}

}  // namespace support_log
