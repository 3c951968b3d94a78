// CommandLineOptions: the installer's table-driven command-line parser.
//
// Contract: built once on the user-interface thread at start-up and then only read; it owns
// every record, value list and value. Parsing never throws for bad input: it stops at the
// first error, keeps the records stored before it and reports the error only through
// `status` and `errorText`. The argument-vector constructor is pure (no platform code) so it
// builds and runs natively too; the no-argument constructor reads the process's own command
// line and exists only in the Windows build.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct OptionSpec {
  wchar_t letter;        // written after a single "-"
  const wchar_t* name;   // written after "--"; also named in the arity message
  int minArgs;
  int maxArgs;
};

// The options the installer accepts: n "none", h "hide", i "id", r "run", l "log". Row 0
// ("none") collects every argument that is not an option, so its position matters. Ends with
// a row whose letter is 0.
extern const OptionSpec kOptionTable[];

using ValueList = std::vector<std::wstring>;

struct OptionRecord {
  wchar_t letter = 0;  // 0 for the record that collects an unrecognised option
  std::vector<std::unique_ptr<ValueList>> occurrences;
};

class CommandLineOptions {
 public:
  enum Status { kOk = 0, kBadArity = 1, kUnrecognised = 2, kNoArgs = 3 };

  CommandLineOptions();  // the process's own arguments (Windows build only)
  CommandLineOptions(int argc, const wchar_t* const* argv);

  CommandLineOptions(const CommandLineOptions&) = delete;
  CommandLineOptions& operator=(const CommandLineOptions&) = delete;

  const OptionRecord* Find(wchar_t letter) const;
  const ValueList* FirstValues(wchar_t letter) const;
  // Copies the first value of the first occurrence; leaves `value` alone and returns false
  // when there is none. Options that take no values never yield one: test them with Find.
  bool GetValue(wchar_t letter, std::wstring& value) const;

  int status() const { return status_; }
  const std::wstring& errorText() const { return errorText_; }
  const std::vector<std::unique_ptr<OptionRecord>>& records() const { return records_; }

 private:
  void Parse(int argc, const wchar_t* const* argv);
  void Store(wchar_t letter, std::unique_ptr<ValueList> values);

  std::vector<std::unique_ptr<OptionRecord>> records_;
  std::wstring errorText_;
  int status_ = kOk;
};
