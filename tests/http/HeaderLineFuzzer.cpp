// Header lines come from whatever answers on the network: any bytes must classify without a
// fault, and a field's name and value must come out trimmed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/HttpText.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool Trimmed(const std::string& text) {
  return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string name, value;
  const char* line = reinterpret_cast<const char*>(data);
  if (http_text::ParseHeaderLine(line, size, &name, &value) == http_text::HeaderLine::kField) {
    if (!Trimmed(name) || !Trimmed(value) || name.size() + value.size() >= size) std::abort();
  }
  return 0;
}
