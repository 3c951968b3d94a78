#include "runtime/ProtoValue.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

namespace {

// The shared null, zero and empty string that the accessors hand out cannot be written.
static_assert(std::is_same<decltype(ProtoValue().integer()), const int64_t&>::value, "");
static_assert(std::is_same<decltype(ProtoValue().string()), const std::wstring&>::value, "");
static_assert(std::is_same<decltype(ProtoValue().Get(L"")), const ProtoValue&>::value, "");

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
