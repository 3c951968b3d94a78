#include "http/HttpResult.h"

#include <gtest/gtest.h>

#include <string>


namespace {

using http_result::GetError;
using http_result::SetCode;

testing::AssertionResult IsError(const ProtoValue& record, int type, int code) {
  const http_result::Error e = GetError(record);
  if (e.type == type && e.code == code) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "got (" << e.type << ", " << e.code << ")";
}

TEST(ResultRecord, ClassesAreExaminedInTheirOrder) {
  ProtoValue record(ProtoValue::kMap);
  EXPECT_TRUE(IsError(record, 0, 0));

  SetCode(record, http_result::kCurl, 0);
  SetCode(record, http_result::kHttp, 200);
  EXPECT_TRUE(IsError(record, 0, 0));
  EXPECT_EQ(record[L"curl"][L"code"].integer(), 0);
  EXPECT_EQ(record[L"http"][L"code"].integer(), 200);

  // A refused error body ends with libcurl's write error, but the status is what is told.
  SetCode(record, http_result::kCurl, 23);
  EXPECT_TRUE(IsError(record, 5, 23));
  SetCode(record, http_result::kHttp, 404);
  EXPECT_TRUE(IsError(record, 4, 404));
  SetCode(record, http_result::kApplication, 2007);
  EXPECT_TRUE(IsError(record, 3, 2007));
  SetCode(record, http_result::kSystem, 112);
  EXPECT_TRUE(IsError(record, 1, 112));
  SetCode(record, http_result::kSystem, 0);
  EXPECT_TRUE(IsError(record, 3, 2007));
}

TEST(ResultRecord, HttpStatusesOutside100To399AreErrorsEvenWithoutACode) {
  for (int status : {100, 200, 206, 302, 399}) {
    ProtoValue record;
    SetCode(record, http_result::kHttp, status);
    EXPECT_TRUE(IsError(record, 0, 0)) << status;
  }
  for (int status : {0, 99, 400, 416, 503, 700}) {
    ProtoValue record;
    SetCode(record, http_result::kHttp, status);
    EXPECT_TRUE(IsError(record, 4, status)) << status;
  }
}

TEST(ResultRecord, KindNamesAndIgnoredKinds) {
  const wchar_t* names[] = {L"ok", L"sys", L"crt", L"user", L"http", L"curl"};
  for (int kind = 0; kind < 6; ++kind) EXPECT_STREQ(http_result::KindName(kind), names[kind]);
  EXPECT_EQ(http_result::KindName(6), nullptr);
  EXPECT_EQ(http_result::KindName(-1), nullptr);

  // "crt" is kept but never reported; kinds without a name are not kept at all.
  ProtoValue record;
  SetCode(record, http_result::kRuntime, 5);
  SetCode(record, 9, 5);
  EXPECT_EQ(record.size(), 1u);
  EXPECT_TRUE(IsError(record, 0, 0));

  // Entries of another shape count as absent and are replaced when written.
  ProtoValue odd;
  odd[L"curl"] = ProtoValue(L"7");
  odd[L"sys"][L"code"] = ProtoValue(L"5");
  EXPECT_TRUE(IsError(odd, 0, 0));
  SetCode(odd, http_result::kCurl, 7);
  EXPECT_TRUE(IsError(odd, 5, 7));
}

}  // namespace
