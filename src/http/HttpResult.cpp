#include "http/HttpResult.h"

namespace http_result {

namespace {

const wchar_t* const kKindNames[] = {L"ok", L"sys", L"crt", L"user", L"http", L"curl"};

// The entry's code, or false when the class is absent or not of the record's shape.
bool CodeOf(const ProtoValue& result, int32_t kind, int64_t* code) {
  const ProtoValue& entry = result.Get(KindName(kind));
  if (entry.type() != ProtoValue::kMap || !entry.HasKey(L"code")) return false;
  const ProtoValue& value = entry.Get(L"code");
  if (value.type() != ProtoValue::kInteger) return false;
  *code = value.integer();
  return true;
}

}  // namespace

const wchar_t* KindName(int32_t kind) {
  if (kind < 0 || kind >= static_cast<int32_t>(sizeof(kKindNames) / sizeof(kKindNames[0]))) {
    return nullptr;
  }
  return kKindNames[kind];
}

void SetCode(ProtoValue& result, int32_t kind, int64_t code) {
  const wchar_t* name = KindName(kind);
  if (!name) return;
  if (!result.IsNull() && result.type() != ProtoValue::kMap) result.Clear();
  ProtoValue& entry = result[name];
  if (!entry.IsNull() && entry.type() != ProtoValue::kMap) entry.Clear();
  entry[L"code"] = code;
}

Error GetError(const ProtoValue& result) {
  int64_t code = 0;
  if (CodeOf(result, kSystem, &code) && code != 0) return {kSystem, static_cast<int32_t>(code)};
  if (CodeOf(result, kApplication, &code) && code != 0) {
    return {kApplication, static_cast<int32_t>(code)};
  }
  if (CodeOf(result, kHttp, &code) && (code < 100 || code > 399)) {
    return {kHttp, static_cast<int32_t>(code)};
  }
  if (CodeOf(result, kCurl, &code) && code != 0) return {kCurl, static_cast<int32_t>(code)};
  return {};
}

}  // namespace http_result
