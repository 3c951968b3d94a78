#include "runtime/ProtoValue.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "support/Thrown.h"

namespace {

// The shared null, zero and empty string that the accessors hand out cannot be written.
static_assert(std::is_same<decltype(ProtoValue().integer()), const int64_t&>::value, "");
static_assert(std::is_same<decltype(ProtoValue().string()), const std::wstring&>::value, "");
static_assert(std::is_same<decltype(ProtoValue().Get(L"")), const ProtoValue&>::value, "");

template <typename Operation>
int Thrown(Operation operation) {
  return testing_support::Thrown<ProtoValueException>(operation).code;
}

TEST(ProtoValue, IndexingCreatesOnDemandAndTypeErrorsThrow) {
  ProtoValue v;
  v[L"process"][L"total"] = 3000000000LL;
  v[L"list"][0] = L"a";
  EXPECT_EQ(v.Get(L"process").Get(L"total").integer(), 3000000000LL);
  EXPECT_EQ(v[L"list"][0].string(), L"a");
  EXPECT_TRUE(v.Get(L"missing").IsNull());
  EXPECT_FALSE(v.HasKey(L"missing"));
  // Past the end of an array, by key into a non-map, the wrong accessor: thrown, unchanged.
  EXPECT_EQ(Thrown([&] { v[L"list"][2]; }), ProtoValueException::kOutOfRange);
  EXPECT_EQ(v[L"list"].size(), 1u);
  EXPECT_EQ(Thrown([&] { v[L"process"][L"total"][L"x"]; }), ProtoValueException::kNotAMap);
  EXPECT_EQ(Thrown([&] { v[L"list"][0].integer(); }), ProtoValueException::kWrongType);
  EXPECT_EQ(Thrown([&] { v[L"process"].string(); }), ProtoValueException::kWrongType);
  EXPECT_EQ(v.size(), 2u);
}

TEST(ProtoValue, CopiesAreDeepAndAssignmentWithinItselfIsSafe) {
  ProtoValue v;
  v[L"a"] = 1;
  v[L"b"][L"c"] = L"deep";
  ProtoValue copy(v);
  v[L"b"][L"c"] = L"changed";
  EXPECT_EQ(copy[L"b"][L"c"].string(), L"deep");
  // A map assigned to one of its own elements, and an element to its container.
  copy[L"b"] = copy;
  EXPECT_EQ(copy[L"b"][L"b"][L"c"].string(), L"deep");
  copy = copy[L"b"][L"b"];
  EXPECT_EQ(copy.size(), 1u);
  EXPECT_EQ(copy[L"c"].string(), L"deep");
}

}  // namespace
