#include "app/SupportLogRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using support_log::Candidates;
using support_log::Places;

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm when = {};
  when.tm_year = year - 1900;
  when.tm_mon = month - 1;
  when.tm_mday = day;
  when.tm_hour = hour;
  when.tm_min = minute;
  when.tm_sec = second;
  return when;
}

const std::tm kWhen = At(2024, 1, 31, 14, 5, 9);
constexpr const wchar_t* kName = L"KeltoSetup_20240131_140509.log";

Places Defaults(bool hidden) {
  Places places;
  places.hidden = hidden;
  places.programDir = L"D:\\Downloads";
  places.tempDir = L"C:\\Users\\p\\AppData\\Local\\Temp\\";
  return places;
}

TEST(SupportLogPlace, DatedNameSortsByTime) {
  EXPECT_EQ(support_log::DefaultFileName(kWhen), kName);
  EXPECT_EQ(support_log::DefaultFileName(At(2031, 12, 1, 0, 0, 0)),
            L"KeltoSetup_20311201_000000.log");
}

TEST(SupportLogPlace, WithoutAFileBesideTheInstallerThenTheTemporaryFolder) {
  EXPECT_EQ(Candidates(Defaults(false), kWhen),
            (std::vector<std::wstring>{std::wstring(L"D:\\Downloads\\") + kName,
                                       std::wstring(L"C:\\Users\\p\\AppData\\Local\\Temp\\") + kName}));
  // Hidden mode: a silent deployment's folder may be read-only or gone afterwards.
  EXPECT_EQ(Candidates(Defaults(true), kWhen),
            (std::vector<std::wstring>{std::wstring(L"C:\\Users\\p\\AppData\\Local\\Temp\\") + kName,
                                       std::wstring(L"D:\\Downloads\\") + kName}));
}

TEST(SupportLogPlace, TheGivenFileFirstThenTheDefaultsSoTheLogIsNotLost) {
  Places places = Defaults(true);
  places.given = L"E:\\support\\setup.log";
  const std::vector<std::wstring> files = Candidates(places, kWhen);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0], L"E:\\support\\setup.log");
  EXPECT_EQ(files[1], std::wstring(L"C:\\Users\\p\\AppData\\Local\\Temp\\") + kName);

  // A folder takes the dated name.
  places.given = L"E:\\support\\";
  places.givenIsFolder = true;
  EXPECT_EQ(Candidates(places, kWhen).front(), std::wstring(L"E:\\support\\") + kName);
}

TEST(SupportLogPlace, UnknownFoldersAndRepeatsAreLeftOut) {
  Places places = Defaults(false);
  places.tempDir.clear();
  EXPECT_EQ(Candidates(places, kWhen),
            (std::vector<std::wstring>{std::wstring(L"D:\\Downloads\\") + kName}));
  places.programDir.clear();
  EXPECT_TRUE(Candidates(places, kWhen).empty());

  // The installer run from the temporary folder: one place, offered once.
  places = Defaults(false);
  places.programDir = L"C:\\Users\\p\\AppData\\Local\\Temp";
  places.given = std::wstring(L"C:\\Users\\p\\AppData\\Local\\Temp\\") + kName;
  EXPECT_EQ(Candidates(places, kWhen).size(), 1u);
}

}  // namespace
