// InstallCommands: the command lines the installer starts the game's programs with: the
// package's silent unpack and the launcher with the game number.
//
// Contract: pure functions of their arguments; any thread may call them. They never fail;
// a path is put into the line as it is, except that a folder inside double quotes has its
// trailing backslashes doubled, so that the closing quote still closes the argument.
#pragma once

#include <string>

namespace install_commands {

// File name of the game's package and of its launcher.
inline constexpr const wchar_t* kPackageFile = L"qvinstaller.exe";
inline constexpr const wchar_t* kLauncherFile = L"KeltoLauncher.exe";

// `<package> /S "/unpack=<folder>" /launch=off`: the package unpacks the game into `folder`
// without asking anything and does not start it.
std::wstring PackageCommandLine(const std::wstring& packagePath, const std::wstring& installDir);

// `<launcher> -i "<game number>" -d`.
std::wstring LauncherCommandLine(const std::wstring& launcherPath, int gameId);

// `text` with its trailing backslashes doubled: placed just before a closing double quote it
// stays text (a single backslash there would escape the quote for the started program).
std::wstring EscapeBeforeClosingQuote(const std::wstring& text);

}  // namespace install_commands
