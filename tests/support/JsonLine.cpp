#include "support/JsonLine.h"

#include <cstdio>
#include <cstdlib>

namespace testing_support {

namespace {

class Cursor {
 public:
  explicit Cursor(const std::string& text) : text_(text) {}

  void SkipSpace() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                  text_[at_] == '\r' || text_[at_] == '\n')) {
      ++at_;
    }
  }
  bool Eat(char c) {
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool AtEnd() {
    SkipSpace();
    return at_ == text_.size();
  }
  char Peek() {
    SkipSpace();
    return at_ < text_.size() ? text_[at_] : '\0';
  }

  // A string at the cursor, decoded: code points up to 255 become one byte each.
  bool String(std::string* out) {
    if (!Eat('"')) return false;
    out->clear();
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out->push_back(e); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'u': {
          unsigned code = 0;
          if (!Hex4(&code)) return false;
          if (code >= 0xD800 && code < 0xDC00 && text_.compare(at_, 2, "\\u") == 0) {
            at_ += 2;
            unsigned low = 0;
            if (!Hex4(&low)) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendCodePoint(code, out);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  // Any other value, as its raw text.
  bool Raw(std::string* out) {
    SkipSpace();
    const size_t start = at_;
    const char first = Peek();
    if (first == '{' || first == '[') {
      int depth = 0;
      std::string ignored;
      while (at_ < text_.size()) {
        const char c = text_[at_];
        if (c == '"') {
          if (!String(&ignored)) return false;
          continue;
        }
        ++at_;
        if (c == '{' || c == '[') ++depth;
        if ((c == '}' || c == ']') && --depth == 0) break;
      }
      if (depth != 0) return false;
    } else {
      static const std::string kScalarChars = "+-.0123456789eEtrufalsn";
      while (at_ < text_.size() && kScalarChars.find(text_[at_]) != std::string::npos) {
        ++at_;
      }
    }
    *out = text_.substr(start, at_ - start);
    return !out->empty();
  }

 private:
  bool Hex4(unsigned* code) {
    if (text_.size() - at_ < 4) return false;
    char digits[5] = {text_[at_], text_[at_ + 1], text_[at_ + 2], text_[at_ + 3], 0};
    char* end = nullptr;
    *code = static_cast<unsigned>(std::strtoul(digits, &end, 16));
    at_ += 4;
    return end == digits + 4;
  }

  static void AppendCodePoint(unsigned code, std::string* out) {
    if (code < 0x100) {
      out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (code >> 6)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (code >> 12)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (code >> 18)));
      out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  const std::string& text_;
  size_t at_ = 0;
};

}  // namespace

bool JsonLine::Parse(const std::string& text, JsonLine* line) {
  line->values_.clear();
  Cursor cursor(text);
  if (!cursor.Eat('{')) return false;
  if (cursor.Eat('}')) return cursor.AtEnd();
  for (;;) {
    std::string key, value;
    if (!cursor.String(&key) || !cursor.Eat(':')) return false;
    const bool ok = cursor.Peek() == '"' ? cursor.String(&value) : cursor.Raw(&value);
    if (!ok) return false;
    line->values_[key] = value;
    if (cursor.Eat(',')) continue;
    return cursor.Eat('}') && cursor.AtEnd();
  }
}

bool JsonLine::ParseLines(const std::string& text, std::vector<JsonLine>* lines) {
  lines->clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string one = text.substr(start, end - start);
    start = end + 1;
    if (one.find_first_not_of(" \t\r") == std::string::npos) continue;
    JsonLine line;
    if (!Parse(one, &line)) return false;
    lines->push_back(line);
  }
  return true;
}

std::string JsonLine::Text(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? std::string() : it->second;
}

int64_t JsonLine::Int(const std::string& key, int64_t fallback) const {
  auto it = values_.find(key);
  if (it == values_.end()) return fallback;
  char* end = nullptr;
  const long long value = std::strtoll(it->second.c_str(), &end, 10);
  return end == it->second.c_str() ? fallback : value;
}

double JsonLine::Number(const std::string& key, double fallback) const {
  auto it = values_.find(key);
  if (it == values_.end()) return fallback;
  char* end = nullptr;
  const double value = std::strtod(it->second.c_str(), &end);
  return end == it->second.c_str() ? fallback : value;
}

JsonObject& JsonObject::SetRaw(const std::string& key, const std::string& json) {
  for (auto& field : fields_) {
    if (field.first == key) {
      field.second = json;
      return *this;
    }
  }
  fields_.emplace_back(key, json);
  return *this;
}

JsonObject& JsonObject::Set(const std::string& key, const std::string& text) {
  return SetRaw(key, Quote(text));
}

JsonObject& JsonObject::Set(const std::string& key, int64_t number) {
  return SetRaw(key, std::to_string(number));
}

JsonObject& JsonObject::Set(const std::string& key, double number) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.6g", number);
  return SetRaw(key, text);
}

JsonObject& JsonObject::Set(const std::string& key, bool flag) {
  return SetRaw(key, flag ? "true" : "false");
}

std::string JsonObject::ToString() const {
  std::string out = "{";
  for (const auto& field : fields_) {
    if (out.size() > 1) out += ", ";
    out += Quote(field.first) + ": " + field.second;
  }
  return out + "}";
}

std::string JsonObject::Quote(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonObject::Array(const std::vector<std::string>& rawItems) {
  std::string out = "[";
  for (const std::string& item : rawItems) {
    if (out.size() > 1) out += ", ";
    out += item;
  }
  return out + "]";
}

}  // namespace testing_support
