// ProtoValue: a small dynamic value (null, 64-bit integer, wide string, array, or map from
// wide-string keys to values, nested to any depth) for result records and progress snapshots.
// ProtoValueException: what its operations throw.
//
// Contract: a value is used by one thread at a time. Values own what they hold, and copies are
// deep. Indexing creates on demand: a null value indexed by key becomes a map, by position an
// array; v[L"process"][L"total"] = 5 builds the nested maps. Type errors and positions beyond
// the end throw ProtoValueException and leave the value as it was (a null value may already
// have become an empty map or array). Assignment is safe when the source lives inside the
// target, or the target inside the source. The read-only accessors never insert; for a
// missing entry they return shared process-wide constants.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

struct ProtoValueException {
  enum Code { kOutOfRange = 1, kNotAMap = 2, kWrongType = 3 };
  int code = 0;
  std::wstring message;
};

class ProtoValue {
 public:
  enum Type : uint32_t {
    kNull = 0,
    kInteger = 1,
    kRaw = 2,           // a plain 8-byte value, copied bitwise
    kNarrowString = 3,
    kString = 4,        // wide string
    kArray = 5,
    kMap = 6,
  };
  using Array = std::vector<ProtoValue>;
  using Map = std::map<std::wstring, ProtoValue>;

  ProtoValue() = default;
  // Any integer, kept as a signed 64-bit value.
  template <typename I, typename = std::enable_if_t<std::is_integral<I>::value>>
  ProtoValue(I value) : ProtoValue(Type::kInteger) {
    payload_.integer = static_cast<int64_t>(value);
  }
  ProtoValue(const std::wstring& value);
  ProtoValue(const wchar_t* value) : ProtoValue(std::wstring(value)) {}
  // An empty value of `type`: empty string, array or map; zero for the scalar types.
  explicit ProtoValue(Type type);
  ProtoValue(const ProtoValue& other);
  ProtoValue(ProtoValue&& other) noexcept;
  ~ProtoValue() { Clear(); }

  ProtoValue& operator=(const ProtoValue& other);
  ProtoValue& operator=(ProtoValue&& other) noexcept;

  // Releases what the value holds; it is null afterwards.
  void Clear();

  // The key's value, inserted as null when absent. Throws kNotAMap (code 2) unless the value
  // is null or a map.
  ProtoValue& operator[](const std::wstring& key);
  ProtoValue& operator[](const wchar_t* key) { return (*this)[std::wstring(key)]; }
  // The element at `index`; an index equal to the size appends a null element. Throws
  // kOutOfRange (code 1) beyond that, or unless the value is null or an array.
  template <typename I, typename = std::enable_if_t<std::is_integral<I>::value>>
  ProtoValue& operator[](I index) {
    if constexpr (std::is_signed<I>::value) {
      // A negative position is as far out of range as a position can be.
      if (index < 0) return At(static_cast<size_t>(-1));
    }
    return At(static_cast<size_t>(index));
  }

  // The key's value if this is a map holding it, else a null value.
  const ProtoValue& Get(const std::wstring& key) const;
  bool HasKey(const std::wstring& key) const;

  // The integer (0 for null); throws kWrongType (code 3) for other types.
  const int64_t& integer() const;
  // The wide string (empty for null); throws kWrongType (code 3) for other types.
  const std::wstring& string() const;

  Type type() const { return type_; }
  bool IsNull() const { return type_ == kNull; }
  // Elements of an array or entries of a map; 0 for every other type.
  size_t size() const;
  // The entries of a map, or null for other types.
  const Map* map() const { return type_ == kMap ? payload_.map : nullptr; }

  void swap(ProtoValue& other) noexcept;

 private:
  ProtoValue& At(size_t index);

  union Payload {
    int64_t integer;
    uint64_t raw;
    std::string* narrow;
    std::wstring* wide;
    Array* array;
    Map* map;
  };

  Type type_ = kNull;
  Payload payload_ = {0};
};
