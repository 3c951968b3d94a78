#include "runtime/ProtoValue.h"

#include <gtest/gtest.h>

#include <string>

#include "support/Thrown.h"

namespace {

// What `operation` threw; an empty record when it threw nothing.
template <typename Operation>
ProtoValueException Failure(Operation operation) {
  return testing_support::Thrown<ProtoValueException>(operation);
}

TEST(ProtoValue, ConstructionOfEveryKind) {
  EXPECT_EQ(ProtoValue().type(), ProtoValue::kNull);
  EXPECT_EQ(ProtoValue(-5000000000LL).integer(), -5000000000LL);
  EXPECT_EQ(ProtoValue(7u).integer(), 7);
  EXPECT_EQ(ProtoValue(L"长度").string(), L"长度");
  EXPECT_EQ(ProtoValue(std::wstring(L"x")).type(), ProtoValue::kString);
  for (auto type : {ProtoValue::kNull, ProtoValue::kInteger, ProtoValue::kRaw,
                    ProtoValue::kNarrowString, ProtoValue::kString, ProtoValue::kArray,
                    ProtoValue::kMap}) {
    ProtoValue v(type);
    EXPECT_EQ(v.type(), type);
    EXPECT_EQ(v.size(), 0u);
    ProtoValue copy(v);
    EXPECT_EQ(copy.type(), type);
  }
  EXPECT_EQ(ProtoValue(ProtoValue::kInteger).integer(), 0);
  EXPECT_EQ(ProtoValue(ProtoValue::kString).string(), L"");
}

TEST(ProtoValue, IndexingByKeyBuildsNestedMaps) {
  ProtoValue v;
  v[L"process"][L"total"] = 5;
  v[L"process"][L"complete"] = 3000000000LL;
  v[L"curl"][L"code"] = 28;
  ASSERT_EQ(v.type(), ProtoValue::kMap);
  EXPECT_EQ(v.size(), 2u);
  EXPECT_EQ(v[L"process"].type(), ProtoValue::kMap);
  EXPECT_EQ(v[L"process"][L"total"].integer(), 5);
  EXPECT_EQ(v.Get(L"process").Get(L"complete").integer(), 3000000000LL);
  EXPECT_TRUE(v.HasKey(L"curl"));
  // Indexing inserts a null entry; Get does not.
  EXPECT_TRUE(v.Get(L"sys").IsNull());
  EXPECT_FALSE(v.HasKey(L"sys"));
  EXPECT_TRUE(v[L"sys"].IsNull());
  EXPECT_TRUE(v.HasKey(L"sys"));
  // Keys are ordered.
  std::wstring keys;
  for (const auto& entry : *v.map()) keys += entry.first + L";";
  EXPECT_EQ(keys, L"curl;process;sys;");
}

TEST(ProtoValue, IndexingByPositionAppendsOneAtATime) {
  ProtoValue v;
  EXPECT_TRUE(v[0].IsNull());
  ASSERT_EQ(v.type(), ProtoValue::kArray);
  EXPECT_EQ(v.size(), 1u);
  v[1] = L"b";
  v[0] = 1;
  EXPECT_EQ(v[0].integer(), 1);
  EXPECT_EQ(v[1].string(), L"b");

  ProtoValue empty(ProtoValue::kArray);
  ProtoValueException e = Failure([&] { empty[1]; });
  EXPECT_EQ(e.code, 1);
  EXPECT_EQ(e.message, L"ProtoValue operator[int] out of range");
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_EQ(Failure([&] { empty[-1]; }).code, 1);
  // A null value indexed beyond its end has already become an empty array.
  ProtoValue null;
  EXPECT_EQ(Failure([&] { null[3u]; }).code, 1);
  EXPECT_EQ(null.type(), ProtoValue::kArray);
  EXPECT_EQ(null.size(), 0u);
  // Position on a map or a scalar.
  ProtoValue map(ProtoValue::kMap);
  EXPECT_EQ(Failure([&] { map[0]; }).code, 1);
  EXPECT_EQ(map.type(), ProtoValue::kMap);
}

TEST(ProtoValue, WrongTypesThrowAndLeaveTheValueAlone) {
  ProtoValue number(42);
  ProtoValueException e = Failure([&] { number[L"key"]; });
  EXPECT_EQ(e.code, 2);
  EXPECT_EQ(e.message, L"ProtoValue operator[string] wrong type");
  EXPECT_EQ(number.integer(), 42);
  EXPECT_EQ(Failure([&] { ProtoValue{ProtoValue::kArray}[L"k"]; }).code, 2);

  ProtoValue text(L"abc");
  e = Failure([&] { text.integer(); });
  EXPECT_EQ(e.code, 3);
  EXPECT_EQ(e.message, L"ProtoValue::integer wrong type");
  e = Failure([&] { number.string(); });
  EXPECT_EQ(e.code, 3);
  EXPECT_EQ(e.message, L"ProtoValue::string wrong type");
  EXPECT_EQ(Failure([&] { ProtoValue{ProtoValue::kMap}.string(); }).code, 3);
  EXPECT_EQ(text.string(), L"abc");

  // Null reads as zero and the empty string; non-maps have no keys.
  EXPECT_EQ(ProtoValue().integer(), 0);
  EXPECT_EQ(ProtoValue().string(), L"");
  EXPECT_FALSE(number.HasKey(L"k"));
  EXPECT_TRUE(number.Get(L"k").IsNull());
  EXPECT_TRUE(text.Get(L"").IsNull());
}

TEST(ProtoValue, CopiesAreDeep) {
  ProtoValue a;
  a[L"list"][0] = L"one";
  a[L"list"][1][L"inner"] = 1;
  ProtoValue b(a);
  ProtoValue c;
  c = a;
  a[L"list"][0] = L"changed";
  a[L"list"][1][L"inner"] = 2;
  EXPECT_EQ(b[L"list"][0].string(), L"one");
  EXPECT_EQ(b[L"list"][1][L"inner"].integer(), 1);
  EXPECT_EQ(c[L"list"][0].string(), L"one");
  EXPECT_EQ(c[L"list"][1][L"inner"].integer(), 1);

  ProtoValue moved(std::move(c));
  EXPECT_TRUE(c.IsNull());
  EXPECT_EQ(moved[L"list"][0].string(), L"one");
}

TEST(ProtoValue, AssignmentWithinItselfIsSafe) {
  ProtoValue v;
  v[L"a"] = 1;
  v[L"b"][L"c"] = L"deep";
  ProtoValue& self = v;
  v = self;
  EXPECT_EQ(v[L"b"][L"c"].string(), L"deep");

  // A map assigned to one of its own elements: the element becomes a copy of the whole.
  v[L"b"] = v;
  EXPECT_EQ(v[L"a"].integer(), 1);
  EXPECT_EQ(v[L"b"][L"a"].integer(), 1);
  EXPECT_EQ(v[L"b"][L"b"][L"c"].string(), L"deep");

  // An element assigned to its container: the container becomes the element.
  v = v[L"b"][L"b"];
  EXPECT_EQ(v.size(), 1u);
  EXPECT_EQ(v[L"c"].string(), L"deep");

  ProtoValue list;
  list[0][L"x"] = 9;
  list = std::move(list[0]);
  EXPECT_EQ(list[L"x"].integer(), 9);
}

TEST(ProtoValue, ClearReleasesEveryLevel) {
  ProtoValue v;
  for (int i = 0; i < 100; ++i) v[L"level"][i][L"text"] = std::wstring(1000, L'x');
  v.Clear();
  EXPECT_TRUE(v.IsNull());
  EXPECT_EQ(v.size(), 0u);
  // The sanitizers of the native build report anything that leaked or was freed twice.
  v[L"again"] = 1;
  EXPECT_EQ(v[L"again"].integer(), 1);
}

}  // namespace
