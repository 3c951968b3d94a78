#include "app/StartupSettings.h"

#include <cwchar>

#include "runtime/CommandLineOptions.h"

namespace {

// Decimal text to integer the way the C runtime's wtoi reads it: optional blanks and sign,
// then leading digits; 0 when there are none. Values beyond 32 bits saturate.
int DecimalValue(const std::wstring& text) {
  wchar_t* end = nullptr;
  long long value = std::wcstoll(text.c_str(), &end, 10);
  if (value > 0x7fffffffLL) return 0x7fffffff;
  if (value < -0x7fffffffLL - 1) return -0x7fffffff - 1;
  return static_cast<int>(value);
}

}  // namespace

StartupSettings& StartupSettings::Get() {
  static StartupSettings settings;
  return settings;
}

void StartupSettings::ApplyOptions(const CommandLineOptions& options) {
  std::wstring value;
  if (options.GetValue(L'i', value)) gameIdOption = DecimalValue(value);
  if (options.Find(L'h')) hidden = true;
  if (options.GetValue(L'r', value)) runLauncher = DecimalValue(value) != 0;
  if (options.Find(L'l')) {
    supportLog = true;
    options.GetValue(L'l', supportLogPath);
  }
}
