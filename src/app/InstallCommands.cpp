#include "app/InstallCommands.h"

#include "platform/CommonText.h"

namespace install_commands {

std::wstring PackageCommandLine(const std::wstring& packagePath, const std::wstring& installDir) {
  return FormatString(L"%ls /S \"/unpack=%ls\" /launch=off", packagePath.c_str(),
                      EscapeBeforeClosingQuote(installDir).c_str());
}

std::wstring LauncherCommandLine(const std::wstring& launcherPath, int gameId) {
  return FormatString(L"%ls -i \"%d\" -d", launcherPath.c_str(), gameId);
}

std::wstring EscapeBeforeClosingQuote(const std::wstring& text) {
  std::size_t trailing = 0;
  while (trailing < text.size() && text[text.size() - 1 - trailing] == L'\\') ++trailing;
  return text + std::wstring(trailing, L'\\');
}

}  // namespace install_commands
