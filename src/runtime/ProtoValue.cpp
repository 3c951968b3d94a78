#include "runtime/ProtoValue.h"

#include <utility>

namespace {

const ProtoValue kNullValue;
const int64_t kZero = 0;
const std::wstring kEmptyString;

[[noreturn]] void Throw(int code, const wchar_t* message) {
  ProtoValueException e;
  e.code = code;
  e.message = message;
  throw e;
}

}  // namespace

ProtoValue::ProtoValue(const std::wstring& value) : type_(kString) {
  payload_.wide = new std::wstring(value);
}

ProtoValue::ProtoValue(Type type) : type_(type) {
  switch (type) {
    case kNarrowString: payload_.narrow = new std::string(); break;
    case kString: payload_.wide = new std::wstring(); break;
    case kArray: payload_.array = new Array(); break;
    case kMap: payload_.map = new Map(); break;
    case kNull: case kInteger: case kRaw: break;
    default: type_ = kNull; break;  // not a type: null, as for a default value
  }
}

ProtoValue::ProtoValue(const ProtoValue& other) : type_(other.type_) {
  switch (type_) {
    case kNarrowString: payload_.narrow = new std::string(*other.payload_.narrow); break;
    case kString: payload_.wide = new std::wstring(*other.payload_.wide); break;
    case kArray: payload_.array = new Array(*other.payload_.array); break;
    case kMap: payload_.map = new Map(*other.payload_.map); break;
    default: payload_ = other.payload_; break;
  }
}

ProtoValue::ProtoValue(ProtoValue&& other) noexcept : type_(other.type_), payload_(other.payload_) {
  other.type_ = kNull;
  other.payload_.raw = 0;
}

ProtoValue& ProtoValue::operator=(const ProtoValue& other) {
  // The copy is complete before the target changes, so `other` may live inside this value
  // (or this value inside `other`); the old content goes when `copy` does.
  ProtoValue copy(other);
  swap(copy);
  return *this;
}

ProtoValue& ProtoValue::operator=(ProtoValue&& other) noexcept {
  // Moved out first: `other` may be an element of this value.
  ProtoValue taken(std::move(other));
  swap(taken);
  return *this;
}

void ProtoValue::swap(ProtoValue& other) noexcept {
  std::swap(type_, other.type_);
  std::swap(payload_, other.payload_);
}

void ProtoValue::Clear() {
  switch (type_) {
    case kNarrowString: delete payload_.narrow; break;
    case kString: delete payload_.wide; break;
    case kArray: delete payload_.array; break;
    case kMap: delete payload_.map; break;
    default: break;
  }
  type_ = kNull;
  payload_.raw = 0;
}

ProtoValue& ProtoValue::operator[](const std::wstring& key) {
  if (type_ == kNull) *this = ProtoValue(kMap);
  if (type_ != kMap) {
    Throw(ProtoValueException::kNotAMap, L"ProtoValue operator[string] wrong type");
  }
  return (*payload_.map)[key];
}

ProtoValue& ProtoValue::At(size_t index) {
  if (type_ == kNull) *this = ProtoValue(kArray);
  if (type_ == kArray) {
    Array& array = *payload_.array;
    if (index < array.size()) return array[index];
    if (index == array.size()) {
      array.emplace_back();
      return array.back();
    }
  }
  Throw(ProtoValueException::kOutOfRange, L"ProtoValue operator[int] out of range");
}

const ProtoValue& ProtoValue::Get(const std::wstring& key) const {
  if (type_ != kMap) return kNullValue;
  auto it = payload_.map->find(key);
  return it == payload_.map->end() ? kNullValue : it->second;
}

bool ProtoValue::HasKey(const std::wstring& key) const {
  return type_ == kMap && payload_.map->count(key) != 0;
}

const int64_t& ProtoValue::integer() const {
  if (type_ == kNull) return kZero;
  if (type_ != kInteger) {
    Throw(ProtoValueException::kWrongType, L"ProtoValue::integer wrong type");
  }
  return payload_.integer;
}

const std::wstring& ProtoValue::string() const {
  if (type_ == kNull) return kEmptyString;
  if (type_ != kString) {
    Throw(ProtoValueException::kWrongType, L"ProtoValue::string wrong type");
  }
  return *payload_.wide;
}

size_t ProtoValue::size() const {
  if (type_ == kArray) return payload_.array->size();
  if (type_ == kMap) return payload_.map->size();
  return 0;
}
