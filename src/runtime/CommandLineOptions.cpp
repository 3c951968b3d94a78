#include "runtime/CommandLineOptions.h"

#include <cwchar>
#include <cwctype>

const OptionSpec kOptionTable[] = {
    {L'n', L"none", 0, 1},
    {L'h', L"hide", 0, 0},
    {L'i', L"id", 1, 1},
    {L'r', L"run", 1, 1},
    // The support log: the file logger writes to the given file, or to a dated file in the
    // default place when no value follows.
    {L'l', L"log", 0, 1},
    {0, nullptr, 0, 0},
};

namespace {

// Error texts live in a 128-character buffer of which at most 127 characters are used.
constexpr size_t kErrorTextLimit = 127;

bool IsOptionMarker(const wchar_t* token) {
  return token[0] == L'-' || token[0] == L'/';
}

bool IsBlank(const wchar_t* token) {
  for (const wchar_t* p = token; *p; ++p) {
    switch (*p) {
      case L' ': case L'\t': case L'\n': case L'\v': case L'\f': case L'\r':
        continue;
      default:
        return false;
    }
  }
  return true;
}

int RowByLetter(wchar_t letter) {
  for (int row = 0; kOptionTable[row].letter != 0 && kOptionTable[row].name; ++row) {
    if (kOptionTable[row].letter == letter) return row;
  }
  return -1;
}

int RowByName(const wchar_t* name) {
  for (int row = 0; kOptionTable[row].letter != 0 && kOptionTable[row].name; ++row) {
    if (std::wcscmp(kOptionTable[row].name, name) == 0) return row;
  }
  return -1;
}

int RowOfToken(const wchar_t* token) {
  if (!IsOptionMarker(token)) return RowByLetter(L'n');
  if (token[0] == L'-' && token[1] != 0 && token[1] != L'-') return RowByLetter(token[1]);
  if (token[0] == L'-' && token[1] == L'-' && token[2] != 0) return RowByName(token + 2);
  // "-" or "--" alone, and every token that starts with "/".
  return 0;
}

std::wstring Limited(std::wstring text) {
  if (text.size() > kErrorTextLimit) text.resize(kErrorTextLimit);
  return text;
}

}  // namespace

CommandLineOptions::CommandLineOptions(int argc, const wchar_t* const* argv) {
  Parse(argc, argv);
}

const OptionRecord* CommandLineOptions::Find(wchar_t letter) const {
  for (const auto& record : records_) {
    if (record->letter == letter) return record.get();
  }
  return nullptr;
}

const ValueList* CommandLineOptions::FirstValues(wchar_t letter) const {
  const OptionRecord* record = Find(letter);
  if (!record || record->occurrences.empty()) return nullptr;
  return record->occurrences.front().get();
}

bool CommandLineOptions::GetValue(wchar_t letter, std::wstring& value) const {
  const ValueList* values = FirstValues(letter);
  if (!values || values->empty()) return false;
  value = values->front();
  return true;
}

void CommandLineOptions::Store(wchar_t letter, std::unique_ptr<ValueList> values) {
  OptionRecord* record = nullptr;
  for (auto& existing : records_) {
    if (existing->letter == letter) {
      record = existing.get();
      break;
    }
  }
  if (!record) {
    records_.push_back(std::make_unique<OptionRecord>());
    record = records_.back().get();
    record->letter = letter;
  }
  record->occurrences.push_back(std::move(values));
}

void CommandLineOptions::Parse(int argc, const wchar_t* const* argv) {
  if (argc <= 0 || !argv) {
    errorText_ = L"no args were found";
    status_ = kNoArgs;
    return;
  }
  // 1. The program path comes first unless the first token is itself an option.
  int k = IsOptionMarker(argv[0]) ? 0 : 1;
  while (k < argc) {
    const wchar_t* token = argv[k];
    // 2. Map the token to a row of the table.
    const int row = RowOfToken(token);
    if (row < 0) {
      // 3. Unrecognised option: keep it and what follows it up to the next marker, then stop.
      errorText_ = Limited(std::wstring(L"unrecognized option ") + token);
      status_ = kUnrecognised;
      auto values = std::make_unique<ValueList>();
      values->push_back(token);
      for (++k; k < argc && !IsOptionMarker(argv[k]); ++k) values->push_back(argv[k]);
      Store(0, std::move(values));
      return;
    }
    const OptionSpec& spec = kOptionTable[row];
    // 4. An option marker is consumed; an ordinary argument becomes its own value.
    auto values = std::make_unique<ValueList>();
    if (IsOptionMarker(token)) ++k;
    // 5. Collect values up to the next marker; blank tokens are consumed but not counted.
    while (k < argc && static_cast<int>(values->size()) < spec.maxArgs) {
      if (IsOptionMarker(argv[k])) break;
      if (!IsBlank(argv[k])) values->push_back(argv[k]);
      ++k;
    }
    // 6. Arity check.
    const int count = static_cast<int>(values->size());
    if (count < spec.minArgs || count > spec.maxArgs) {
      wchar_t buffer[128];
      std::swprintf(buffer, 128, L"--%ls requires at least %d and at most %d args, yours: %d",
                    spec.name, spec.minArgs, spec.maxArgs, count);
      errorText_ = Limited(buffer);
      status_ = kBadArity;
      return;
    }
    // 7. Store the occurrence under the row's letter.
    Store(spec.letter, std::move(values));
  }
}
