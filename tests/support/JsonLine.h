// JSON for the test servers' control protocol: JsonLine reads one flat JSON object (a line of
// a server's log), JsonObject writes one (a fault rule, an answer script).
//
// Contract: plain values, used on one thread. Strings in both directions carry bytes as code
// points 0-255, the servers' convention, so bodies and paths survive byte for byte; a code
// point above 255 read from a server comes back as UTF-8. JsonLine::Parse refuses anything
// but one object with false; nested objects and arrays are kept as their raw text.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

class JsonLine {
 public:
  static bool Parse(const std::string& text, JsonLine* line);
  // Every non-empty line of `text`; false when one of them is not a JSON object.
  static bool ParseLines(const std::string& text, std::vector<JsonLine>* lines);

  bool Has(const std::string& key) const { return values_.count(key) != 0; }
  // A string's bytes, a number's or literal's text; "" when absent.
  std::string Text(const std::string& key) const;
  int64_t Int(const std::string& key, int64_t fallback = -1) const;
  double Number(const std::string& key, double fallback = 0) const;

 private:
  std::map<std::string, std::string> values_;
};

class JsonObject {
 public:
  JsonObject& Set(const std::string& key, const std::string& text);
  JsonObject& Set(const std::string& key, const char* text) { return Set(key, std::string(text)); }
  JsonObject& Set(const std::string& key, int64_t number);
  JsonObject& Set(const std::string& key, int number) { return Set(key, int64_t{number}); }
  JsonObject& Set(const std::string& key, double number);
  JsonObject& Set(const std::string& key, bool flag);
  // `json` is inserted as it stands (an array or object built by the caller).
  JsonObject& SetRaw(const std::string& key, const std::string& json);
  std::string ToString() const;

  static std::string Quote(const std::string& bytes);
  static std::string Array(const std::vector<std::string>& rawItems);

 private:
  std::vector<std::pair<std::string, std::string>> fields_;  // key, JSON text; in order
};

}  // namespace testing_support
