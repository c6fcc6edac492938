#include <gtest/gtest.h>

#include <string>

#include "render/wmic_value_text.h"
#include "support/fake_wmi_access.h"
#include "support/values.h"

namespace {

constexpr WmicValueStyle kText = WmicValueStyle::kText;
constexpr WmicValueStyle kCsv = WmicValueStyle::kCsv;

TEST(WmicValueText, EachCimTypeInEachStyle) {
  struct Case {
    Variant value;
    CIMTYPE cimType;
    WmicValueStyle style;
    const wchar_t* text;
  };
  Case cases[] = {
      {BoolValue(true), CIM_BOOLEAN, kText, L"TRUE"},
      {BoolValue(false), CIM_BOOLEAN, kCsv, L"FALSE"},
      {NullValue(), CIM_STRING, kText, L""},
      {NullValue(), CIM_UINT32 | CIM_FLAG_ARRAY, kCsv, L""},
      // uint32 comes as VT_I4: the top bit is a value, not a sign.
      {IntegerValue(VT_I4, -1), CIM_UINT32, kText, L"4294967295"},
      {IntegerValue(VT_I4, -1), CIM_SINT32, kText, L"-1"},
      {IntegerValue(VT_I4, 65535), CIM_UINT16, kText, L"65535"},
      {IntegerValue(VT_UI1, 255), CIM_UINT8, kText, L"255"},
      {IntegerValue(VT_I2, L'A'), CIM_CHAR16, kText, L"A"},
      {IntegerValue(VT_I2, 0), CIM_CHAR16, kText, L""},
      {IntegerValue(VT_I2, -2), CIM_SINT16, kText, L"-2"},
      {StringValue(L"18446744073709551615"), CIM_UINT64, kText, L"18446744073709551615"},
      {StringValue(L"20211103143426.513000+000"), CIM_DATETIME, kCsv, L"20211103143426.513000+000"},
      {RealValue(VT_R8, 0.1), CIM_REAL64, kText, L"0.1"},
      {RealValue(VT_R4, 1.5), CIM_REAL32, kText, L"1.5"},
      // Strings quoted in arrays of the text style only; numbers never.
      {StringArray({L"a", L"b c"}), CIM_STRING | CIM_FLAG_ARRAY, kText, L"{\"a\",\"b c\"}"},
      {StringArray({L"Random Access", L"Supports Writing"}), CIM_STRING | CIM_FLAG_ARRAY, kCsv,
       L"{Random Access;Supports Writing}"},
      {IntegerArray(VT_I4, {3, -1}), CIM_UINT32 | CIM_FLAG_ARRAY, kText, L"{3,4294967295}"},
      {IntegerArray(VT_I4, {3, 4}), CIM_UINT16 | CIM_FLAG_ARRAY, kCsv, L"{3;4}"},
      {StringArray({L"1", L"2"}), CIM_UINT64 | CIM_FLAG_ARRAY, kText, L"{1,2}"},
      {IntegerArray(VT_BOOL, {1, 0}), CIM_BOOLEAN | CIM_FLAG_ARRAY, kText, L"{TRUE,FALSE}"},
      {StringArray({}), CIM_STRING | CIM_FLAG_ARRAY, kText, L"{}"},
      {StringArray({L"x"}, 5), CIM_STRING | CIM_FLAG_ARRAY, kText, L"{\"x\"}"},
      // Markup characters are entities in CSV only.
      {StringValue(L"SCSI\\DISK&VEN_<a>"), CIM_STRING, kCsv, L"SCSI\\DISK&amp;VEN_&lt;a&gt;"},
      {StringValue(L"SCSI\\DISK&VEN_<a>"), CIM_STRING, kText, L"SCSI\\DISK&VEN_<a>"},
      {StringArray({L"a&b"}), CIM_STRING | CIM_FLAG_ARRAY, kCsv, L"{a&amp;b}"},
      // A reference in CSV: opening quote, the path, a comma, closing quote.
      {StringValue(L"\\\\H\\root\\cimv2:Win32_DiskDrive.DeviceID=\"\\\\.\\PHYSICALDRIVE0\""), CIM_REFERENCE, kCsv,
       L"\"\\\\H\\root\\cimv2:Win32_DiskDrive.DeviceID=\"\\\\.\\PHYSICALDRIVE0\",\""},
      {StringValue(L"\\\\H\\root\\cimv2:A.K=\"&\""), CIM_REFERENCE, kText, L"\\\\H\\root\\cimv2:A.K=\"&\""},
  };
  FakeWmiAccess wmi;
  for (const Case& c : cases) {
    std::wstring text = L"<";  // appended to, never replaced
    EXPECT_EQ(AppendWmicValueText(wmi, c.value.get(), c.cimType, c.style, text), S_OK) << c.text;
    EXPECT_EQ(text, L"<" + std::wstring(c.text));
  }
}

TEST(WmicValueText, AnArrayThatFailsMidwayIsAFailure) {
  FakeWmiAccess wmi;
  wmi.FailAt(WmiOp::ArrayElement, 2, WBEM_E_FAILED);
  const Variant value = StringArray({L"a", L"b", L"c"});
  std::wstring text;
  EXPECT_EQ(AppendWmicValueText(wmi, value.get(), CIM_STRING | CIM_FLAG_ARRAY, kText, text),
            static_cast<HRESULT>(WBEM_E_FAILED));
}

}  // namespace
