#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/run_settings.h"
#include "render/value_text.h"
#include "support/fake_wmi_access.h"
#include "support/values.h"

namespace {

std::wstring SingleText(const Variant& value) {
  std::wstring text;
  FormatValueText(value.get(), text);
  return text;
}

std::wstring ArrayText(const Variant& value, bool hexMatrix = false, bool csv = false) {
  RunSettings settings;
  settings.hexMatrix = hexMatrix ? 1 : 0;
  settings.formatCsv = csv ? 1 : 0;
  FakeWmiAccess wmi;
  std::wstring text;
  EXPECT_EQ(FormatArrayText(wmi, settings, value.get(), text), S_OK);
  return text;
}

const wchar_t kMatrixHeader[] = L"\r\n\t   0    1    2    3    4    5    6    7    8    9";

TEST(ValueText, EverySingleTypeCode) {
  struct Case {
    Variant value;
    const wchar_t* text;
  };
  Case cases[] = {
      {TypedValue(VT_EMPTY), L"!!CIM_EMPTY!!"},
      {NullValue(), L""},
      {IntegerValue(VT_I2, -32768), L"-32768"},
      {IntegerValue(VT_I4, -5), L"-5"},
      {IntegerValue(VT_I4, 2147483647), L"2147483647"},
      {TypedValue(VT_R4), L"!!UNSUPPORTED_CIM_REAL32!!"},
      {TypedValue(VT_R8), L"!!UNSUPPORTED_CIM_REAL64!!"},
      {StringValue(L"a,b \"c\""), L"a,b \"c\""},
      {StringValue(L""), L""},
      {BoolValue(true), L"TRUE"},
      {BoolValue(false), L"FALSE"},
      {TypedValue(VT_UNKNOWN), L"!!UNSUPPORTED_CIM_OBJECT!!"},
      {IntegerValue(VT_I1, -1), L"-1"},
      {IntegerValue(VT_UI1, 255), L"255"},
      {IntegerValue(VT_UI2, 65535), L"65535"},
      {IntegerValue(VT_UI4, 4294967295LL), L"4294967295"},
      {IntegerValue(VT_I8, -9223372036854775807LL - 1), L"-9223372036854775808"},
      {IntegerValue(VT_UI8, -1), L"18446744073709551615"},
      {TypedValue(101), L"!!UNSUPPORTED_CIM_DATETIME!!"},
      {TypedValue(102), L"!!UNSUPPORTED_CIM_REFERENCE!!"},
      {IntegerValue(103, L'A'), L"'A'"},
      {IntegerValue(103, 0x4100), L"'\\x0000'"},  // only the low byte counts
      {IntegerValue(103, 0xE9), L"'\u00e9'"},
      {TypedValue(0xFFF), L"!!CIM_ILLEGAL!!"},
      {TypedValue(VT_DATE), L"!!UNSUPPORTED_CIM_UNKNOWN[7]!!"},
      {TypedValue(VT_DECIMAL), L"!!UNSUPPORTED_CIM_UNKNOWN[14]!!"},
  };
  for (const Case& c : cases) EXPECT_EQ(SingleText(c.value), c.text) << "type " << c.value.type();
}

TEST(ValueText, AStringStopsAtAnEmbeddedZeroAndKeepsNonAscii) {
  EXPECT_EQ(SingleText(StringValue(std::wstring(L"caf\u00e9 \u4e2d\0tail", 10))), L"caf\u00e9 \u4e2d");
}

TEST(ValueText, ByteArrayAsListCsvAndHexMatrix) {
  std::vector<unsigned char> bytes;
  for (unsigned char b = 0; b < 12; ++b) bytes.push_back(b);
  const Variant value = ByteArray(bytes);
  EXPECT_EQ(ArrayText(value), L"0,1,2,3,4,5,6,7,8,9,10,11");
  EXPECT_EQ(ArrayText(value, false, true), L"0;1;2;3;4;5;6;7;8;9;10;11");
  EXPECT_EQ(ArrayText(value, true),
            std::wstring(kMatrixHeader) + L"\r\n0:\t0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09\r\n1:\t0x0a,0x0b");
}

TEST(ValueText, MatrixRowsCountFromTheLowerBound) {
  const Variant value = ByteArray({0xff, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xab}, -3);
  EXPECT_EQ(ArrayText(value, true),
            std::wstring(kMatrixHeader) + L"\r\n0:\t0xff,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09\r\n1:\t0xab");
  // Every element type uses the matrix layout, but only bytes turn hexadecimal.
  EXPECT_EQ(ArrayText(StringArray({L"a", L"b"}), true), std::wstring(kMatrixHeader) + L"\r\n0:\t\"a\",\"b\"");
}

TEST(ValueText, EmptyArraysAndLowerBoundAboveUpperBound) {
  EXPECT_EQ(ArrayText(ByteArray({})), L"");
  EXPECT_EQ(ArrayText(ByteArray({}), true), kMatrixHeader);
  EXPECT_EQ(ArrayText(ByteArray({}, 7)), L"");  // bounds 7..6
  EXPECT_EQ(ArrayText(StringArray(std::vector<std::wstring>{}, -1)), L"");
}

TEST(ValueText, ArrayElementsOfEveryTypeCode) {
  struct Case {
    Variant value;
    const wchar_t* text;
  };
  Case cases[] = {
      {StringArray({L"a", L"b"}), L"\"a\",\"b\""},
      {StringArray({L"", L"x,y"}, 4), L"\"\",\"x,y\""},
      {IntegerArray(VT_I4, {-5, 7}), L"-5,7"},
      {IntegerArray(VT_UI2, {65535, 0}), L"65535,0"},
      {IntegerArray(VT_I1, {-1, 127}), L"-1,127"},
      {IntegerArray(VT_I2, {-32768}), L"-32768"},
      {IntegerArray(VT_UI4, {4294967295LL}), L"4294967295"},
      {IntegerArray(VT_I8, {-9223372036854775807LL - 1}), L"-9223372036854775808"},
      {IntegerArray(VT_UI8, {-1}), L"18446744073709551615"},
      {IntegerArray(VT_BOOL, {VARIANT_TRUE, VARIANT_FALSE}), L"TRUE,FALSE"},
      {IntegerArray(103, {L'x', 0, 0xE9}), L"'x','\\x0000','\u00e9'"},
      {RawArray(VT_ARRAY | VT_R8, VT_R8, 3), L"!!UNSUPPORTED_CIM_REAL64!!,!!UNSUPPORTED_CIM_REAL64!!,!!UNSUPPORTED_CIM_REAL64!!"},
      {RawArray(VT_ARRAY | VT_R4, VT_R4, 1), L"!!UNSUPPORTED_CIM_REAL32!!"},
      {RawArray(VT_ARRAY | VT_NULL, VT_I4, 2), L","},
      {RawArray(VT_ARRAY | VT_EMPTY, VT_I4, 1), L"!!CIM_EMPTY!!"},
      {RawArray(VT_ARRAY | VT_UNKNOWN, VT_UNKNOWN, 1), L"!!UNSUPPORTED_CIM_OBJECT!!"},
      {RawArray(VT_ARRAY | 101, VT_BSTR, 1), L"!!UNSUPPORTED_CIM_DATETIME!!"},
      {RawArray(VT_ARRAY | 102, VT_BSTR, 1), L"!!UNSUPPORTED_CIM_REFERENCE!!"},
      {RawArray(VT_ARRAY | 0xFFF, VT_I4, 1), L"!!CIM_ILLEGAL!!"},
      {RawArray(VT_ARRAY | VT_CY, VT_CY, 2), L"!!UNSUPPORTED_CIM_UNKNOWN[8198]!!,!!UNSUPPORTED_CIM_UNKNOWN[8198]!!"},
      {RawArray(VT_ARRAY | VT_VARIANT, VT_VARIANT, 1), L"!!UNSUPPORTED_CIM_UNKNOWN[8204]!!"},
  };
  for (const Case& c : cases) EXPECT_EQ(ArrayText(c.value), c.text) << "type " << c.value.type();
  EXPECT_EQ(ArrayText(IntegerArray(VT_I4, {1, 2}), false, true), L"1;2");
}

TEST(ValueText, ValuesThatOnlyLookLikeArraysAreNamedNotRead) {
  Variant byReference = TypedValue(VT_BYREF | VT_I4);  // no SAFEARRAY behind it
  EXPECT_EQ(ArrayText(byReference), L"!!UNSUPPORTED_CIM_UNKNOWN[16387]!!");
  // An element wider than its declared type is refused, not copied.
  Variant mislabeled = RawArray(VT_ARRAY | VT_UI1, VT_I8, 2);
  FakeWmiAccess wmi;
  std::wstring text;
  EXPECT_TRUE(FAILED(FormatArrayText(wmi, RunSettings{}, mislabeled.get(), text)));
}

TEST(ValueText, ArrayReadFailuresAreReported) {
  for (WmiOp op : {WmiOp::ArrayLowerBound, WmiOp::ArrayUpperBound, WmiOp::ArrayElement}) {
    FakeWmiAccess wmi;
    wmi.FailAt(op, 1, E_OUTOFMEMORY);
    const Variant value = ByteArray({1, 2});
    std::wstring text;
    EXPECT_EQ(FormatArrayText(wmi, RunSettings{}, value.get(), text), E_OUTOFMEMORY) << WmiOpName(op);
  }
}

TEST(ValueText, PropertyTextPutsArraysInBraces) {
  const RunSettings settings;
  FakeWmiAccess wmi;
  std::wstring text;
  EXPECT_EQ(FormatPropertyText(wmi, settings, IntegerArray(VT_I4, {1, 2}).get(), text), S_OK);
  EXPECT_EQ(text, L"{1,2}");
  text.clear();
  EXPECT_EQ(FormatPropertyText(wmi, settings, IntegerValue(VT_I4, 3).get(), text), S_OK);
  EXPECT_EQ(text, L"3");
}

}  // namespace
