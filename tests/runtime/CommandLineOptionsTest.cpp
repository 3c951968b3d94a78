#include "runtime/CommandLineOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses a command line given as tokens after the program path.
CommandLineOptions Parse(std::vector<std::wstring> tokens, bool withProgram = true) {
  static std::vector<std::wstring> storage;
  storage.clear();
  if (withProgram) storage.push_back(L"C:\\setup\\KeltoSetup.exe");
  storage.insert(storage.end(), tokens.begin(), tokens.end());
  std::vector<const wchar_t*> argv;
  for (const auto& t : storage) argv.push_back(t.c_str());
  return CommandLineOptions(static_cast<int>(argv.size()), argv.data());
}

std::vector<std::vector<std::wstring>> Occurrences(const CommandLineOptions& o, wchar_t letter) {
  std::vector<std::vector<std::wstring>> out;
  if (const OptionRecord* r = o.Find(letter)) {
    for (const auto& list : r->occurrences) out.push_back(*list);
  }
  return out;
}

using Lists = std::vector<std::vector<std::wstring>>;

// The support log takes its file when one follows, and goes without one before another option
// or at the end; a second value is a stray argument.
TEST(CommandLineOptions, SupportLogTakesAtMostOneFile) {
  auto file = Parse({L"-h", L"-l", L"C:\\logs\\setup.log", L"-i", L"3"});
  EXPECT_EQ(file.status(), CommandLineOptions::kOk);
  EXPECT_EQ(Occurrences(file, L'l'), (Lists{{L"C:\\logs\\setup.log"}}));
  EXPECT_EQ(Occurrences(file, L'i'), (Lists{{L"3"}}));
  EXPECT_NE(file.Find(L'h'), nullptr);

  for (auto tokens : {std::vector<std::wstring>{L"-l", L"-h"}, {L"-h", L"--log"}}) {
    auto bare = Parse(tokens);
    EXPECT_EQ(bare.status(), CommandLineOptions::kOk);
    EXPECT_EQ(Occurrences(bare, L'l'), (Lists{{}}));
    std::wstring value = L"unchanged";
    EXPECT_FALSE(bare.GetValue(L'l', value));
    EXPECT_NE(bare.Find(L'h'), nullptr);
  }

  // A blank token is consumed without being taken for the file.
  auto blank = Parse({L"--log", L" ", L"x.log", L"y"});
  EXPECT_EQ(Occurrences(blank, L'l'), (Lists{{L"x.log"}}));
  EXPECT_EQ(Occurrences(blank, L'n'), (Lists{{L"y"}}));
}

TEST(CommandLineOptions, ShortAndLongNamesRecordValuesInOrderOfFirstAppearance) {
  auto o = Parse({L"-i", L"5", L"-h", L"-r", L"1"});
  EXPECT_EQ(o.status(), CommandLineOptions::kOk);
  EXPECT_TRUE(o.errorText().empty());
  ASSERT_EQ(o.records().size(), 3u);
  EXPECT_EQ(o.records()[0]->letter, L'i');
  EXPECT_EQ(o.records()[1]->letter, L'h');
  EXPECT_EQ(o.records()[2]->letter, L'r');
  EXPECT_EQ(Occurrences(o, L'i'), (Lists{{L"5"}}));
  EXPECT_EQ(Occurrences(o, L'h'), (Lists{{}}));
  EXPECT_EQ(Occurrences(o, L'r'), (Lists{{L"1"}}));

  auto l = Parse({L"--id", L"7", L"--hide"});
  EXPECT_EQ(l.status(), CommandLineOptions::kOk);
  EXPECT_EQ(Occurrences(l, L'i'), (Lists{{L"7"}}));
  EXPECT_NE(l.Find(L'h'), nullptr);

  // Only the character after a single dash counts; long names match case-sensitively.
  auto hide = Parse({L"-hide"});
  EXPECT_NE(hide.Find(L'h'), nullptr);
  EXPECT_EQ(hide.status(), CommandLineOptions::kOk);
  auto upper = Parse({L"--ID", L"3"});
  EXPECT_EQ(upper.status(), CommandLineOptions::kUnrecognised);
  EXPECT_EQ(upper.Find(L'i'), nullptr);
}

TEST(CommandLineOptions, ArityErrorsStopParsingAndNameTheLongOption) {
  auto missing = Parse({L"-i"});
  EXPECT_EQ(missing.status(), CommandLineOptions::kBadArity);
  EXPECT_EQ(missing.errorText(), L"--id requires at least 1 and at most 1 args, yours: 0");
  EXPECT_EQ(missing.Find(L'i'), nullptr);

  // A value list ends at the next marker, so "-r -h" leaves r without a value.
  auto cut = Parse({L"-h", L"-r", L"-h"});
  EXPECT_EQ(cut.status(), CommandLineOptions::kBadArity);
  EXPECT_EQ(cut.errorText(), L"--run requires at least 1 and at most 1 args, yours: 0");
  EXPECT_NE(cut.Find(L'h'), nullptr);  // stored before the error
  EXPECT_EQ(cut.Find(L'r'), nullptr);
}

TEST(CommandLineOptions, BlankTokensAreConsumedWithoutBeingCounted) {
  auto o = Parse({L"-i", L"", L"5"});
  EXPECT_EQ(o.status(), CommandLineOptions::kOk);
  EXPECT_EQ(Occurrences(o, L'i'), (Lists{{L"5"}}));

  // The value is kept untrimmed; only the test for blankness trims.
  auto spaced = Parse({L"-i", L" \t\r\n", L" 9 "});
  EXPECT_EQ(Occurrences(spaced, L'i'), (Lists{{L" 9 "}}));

  auto blankOnly = Parse({L"-i", L"  "});
  EXPECT_EQ(blankOnly.status(), CommandLineOptions::kBadArity);
}

TEST(CommandLineOptions, UnrecognisedOptionCollectsItsTokensUnderLetterZeroAndStops) {
  auto o = Parse({L"-x", L"a", L"b", L"-h"});
  EXPECT_EQ(o.status(), CommandLineOptions::kUnrecognised);
  EXPECT_EQ(o.errorText(), L"unrecognized option -x");
  EXPECT_EQ(Occurrences(o, 0), (Lists{{L"-x", L"a", L"b"}}));
  EXPECT_EQ(o.Find(L'h'), nullptr);

  // An unknown option written before -h keeps hidden mode off; options before it stay.
  auto before = Parse({L"-i", L"30", L"--bogus", L"-h"});
  EXPECT_EQ(before.status(), CommandLineOptions::kUnrecognised);
  EXPECT_EQ(Occurrences(before, L'i'), (Lists{{L"30"}}));
  EXPECT_EQ(before.Find(L'h'), nullptr);

  // The message is cut to 127 characters.
  auto longToken = Parse({L"--" + std::wstring(300, L'z')});
  EXPECT_EQ(longToken.errorText().size(), 127u);
  EXPECT_EQ(longToken.errorText().rfind(L"unrecognized option --zzz", 0), 0u);
}

TEST(CommandLineOptions, StrayArgumentsAndSlashTokensGoToOptionNone) {
  auto o = Parse({L"foo", L"bar"});
  EXPECT_EQ(o.status(), CommandLineOptions::kOk);
  EXPECT_EQ(Occurrences(o, L'n'), (Lists{{L"foo"}, {L"bar"}}));

  auto slash = Parse({L"/S", L"v"});
  EXPECT_EQ(Occurrences(slash, L'n'), (Lists{{L"v"}}));

  auto after = Parse({L"-h", L"x"});
  EXPECT_EQ(Occurrences(after, L'h'), (Lists{{}}));
  EXPECT_EQ(Occurrences(after, L'n'), (Lists{{L"x"}}));

  auto dashes = Parse({L"-", L"--"});
  EXPECT_EQ(dashes.status(), CommandLineOptions::kOk);
  EXPECT_EQ(Occurrences(dashes, L'n'), (Lists{{}, {}}));
}

TEST(CommandLineOptions, ProgramPathIsSkippedUnlessItIsAnOptionMarker) {
  auto o = Parse({L"-h"}, /*withProgram=*/false);
  EXPECT_NE(o.Find(L'h'), nullptr);
  auto plain = Parse({L"program.exe", L"-i", L"4"}, false);
  EXPECT_EQ(plain.Find(L'n'), nullptr);
  EXPECT_EQ(Occurrences(plain, L'i'), (Lists{{L"4"}}));
  auto onlyProgram = Parse({});
  EXPECT_EQ(onlyProgram.status(), CommandLineOptions::kOk);
  EXPECT_TRUE(onlyProgram.records().empty());
}

TEST(CommandLineOptions, EmptyVectorIsAnError) {
  CommandLineOptions none(0, nullptr);
  EXPECT_EQ(none.status(), CommandLineOptions::kNoArgs);
  EXPECT_EQ(none.errorText(), L"no args were found");
  EXPECT_TRUE(none.records().empty());
}

TEST(CommandLineOptions, LookupsReadOnlyTheFirstOccurrence) {
  auto o = Parse({L"-i", L"1", L"-i", L"2"});
  EXPECT_EQ(Occurrences(o, L'i'), (Lists{{L"1"}, {L"2"}}));
  std::wstring value = L"unchanged";
  EXPECT_TRUE(o.GetValue(L'i', value));
  EXPECT_EQ(value, L"1");
  ASSERT_NE(o.FirstValues(L'i'), nullptr);
  EXPECT_EQ(o.FirstValues(L'i')->size(), 1u);

  // No record, or a record without values: GetValue leaves the output alone.
  auto h = Parse({L"-h"});
  value = L"unchanged";
  EXPECT_FALSE(h.GetValue(L'h', value));
  EXPECT_FALSE(h.GetValue(L'r', value));
  EXPECT_EQ(value, L"unchanged");
  EXPECT_EQ(h.FirstValues(L'r'), nullptr);
}

}  // namespace
