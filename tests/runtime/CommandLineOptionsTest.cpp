#include "runtime/CommandLineOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The parse as "status letter=values ... | error", one entry per occurrence in record order
// ("0" for the letter of an unrecognised option).
std::wstring Parse(const std::vector<std::wstring>& tokens) {
  std::vector<const wchar_t*> argv;
  for (const std::wstring& token : tokens) argv.push_back(token.c_str());
  const CommandLineOptions options(static_cast<int>(argv.size()), argv.data());
  std::wstring out = std::to_wstring(options.status());
  for (const auto& record : options.records()) {
    for (const auto& values : record->occurrences) {
      out += L' ';
      out += record->letter ? record->letter : L'0';
      out += L'=';
      for (size_t i = 0; i < values->size(); ++i) out += (i ? L"," : L"") + (*values)[i];
    }
  }
  return options.errorText().empty() ? out : out + L" | " + options.errorText();
}

TEST(CommandLineOptions, EveryRule) {
  const struct {
    std::vector<std::wstring> tokens;
    const wchar_t* parsed;
  } cases[] = {
      {{L"p", L"-i", L"5", L"-h", L"-r", L"1"}, L"0 i=5 h= r=1"},
      {{L"p", L"--id", L"7", L"--hide", L"-hide"}, L"0 i=7 h= h="},
      {{L"p", L"-i", L"1", L"-i", L"2"}, L"0 i=1 i=2"},
      // Blank tokens are consumed without being counted; values are kept untrimmed.
      {{L"p", L"-i", L"", L" \t", L"[ 9 ]"}, L"0 i=[ 9 ]"},
      {{L"p", L"-i", L"  "}, L"1 | --id requires at least 1 and at most 1 args, yours: 0"},
      // A value list ends at the next marker; what came before the error stays.
      {{L"p", L"-h", L"-r", L"-h"},
       L"1 h= | --run requires at least 1 and at most 1 args, yours: 0"},
      // An unknown option keeps its tokens and stops the parse: no hidden mode after it.
      {{L"p", L"-i", L"30", L"--ID", L"a", L"-h"}, L"2 i=30 0=--ID,a | unrecognized option --ID"},
      {{L"p", L"foo", L"/S", L"v", L"-", L"--", L"-h", L"x"}, L"0 n=foo n=v n= n= n=x h="},
      {{L"-h"}, L"0 h="},
      {{L"p"}, L"0"},
      {{}, L"3 | no args were found"},
      // The support log takes a file when one follows, none before a marker or at the end.
      {{L"p", L"-l", L"C:\\a.log", L"x", L"-l", L"-h", L"--log"}, L"0 l=C:\\a.log l= l= n=x h="},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.tokens), c.parsed);

  const std::wstring token = L"--" + std::wstring(300, L'z');
  const std::wstring parsed = Parse({L"p", token});
  EXPECT_EQ(parsed.substr(parsed.find(L" | ") + 3),
            (L"unrecognized option " + token).substr(0, 127));
}

TEST(CommandLineOptions, LookupsReadTheFirstOccurrence) {
  const wchar_t* argv[] = {L"p", L"-h", L"-i", L"1", L"-i", L"2"};
  const CommandLineOptions options(6, argv);
  std::wstring value = L"unchanged";
  EXPECT_FALSE(options.GetValue(L'h', value));
  EXPECT_FALSE(options.GetValue(L'r', value));
  EXPECT_EQ(value, L"unchanged");
  EXPECT_TRUE(options.GetValue(L'i', value));
  EXPECT_EQ(value, L"1");
  EXPECT_NE(options.Find(L'h'), nullptr);
  EXPECT_EQ(options.FirstValues(L'r'), nullptr);
}

}  // namespace
