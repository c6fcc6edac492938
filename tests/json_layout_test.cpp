// /format:json through the whole program with the in-memory WMI. Every line
// is read back with nlohmann::json and compared with the value put in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "render/json_text.h"
#include "support/fake_wmi_access.h"
#include "support/json_lines.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

using json = nlohmann::ordered_json;

constexpr long long kInt64Min = std::numeric_limits<long long>::min();
constexpr long long kInt64Max = std::numeric_limits<long long>::max();
constexpr unsigned long long kUInt64Max = std::numeric_limits<unsigned long long>::max();

struct Property {
  Variant value;
  CIMTYPE cimType;
  json expected;
};

// GETs one object holding `properties` (named P0, P1, ...) and returns its line.
json GetOneObject(std::vector<Property>& properties, std::vector<std::wstring> more = {}) {
  FakeWmiAccess wmi;
  FakeObject& object = wmi.AddResult(L"Win32_Thing", L"\\\\.\\root\\cimv2:Win32_Thing.Id=1");
  for (size_t i = 0; i < properties.size(); ++i) {
    object.Add(L"P" + std::to_wstring(i), std::move(properties[i].value), properties[i].cimType);
  }
  more.insert(more.begin(), {L"/wql:select * from win32_thing", L"/format:json"});
  const RunResult run = RunTollix(wmi, more);
  EXPECT_EQ(run.exitCode, 0) << Utf8(run.output);
  const std::vector<json> lines = ParseJsonLines(run.output);
  EXPECT_EQ(lines.size(), 1u) << Utf8(run.output);
  return lines.empty() ? json() : lines[0];
}

std::string Kind(const json& value) { return value.is_number_integer() ? "integer" : value.type_name(); }

void ExpectProperties(std::vector<Property>& properties) {
  std::vector<json> expected;
  for (const Property& property : properties) expected.push_back(property.expected);
  const json line = GetOneObject(properties);
  ASSERT_EQ(line.size(), expected.size() + 1) << line.dump();
  auto member = line.items().begin();
  EXPECT_EQ(member.key(), "Node");
  EXPECT_EQ(member.value(), "LOCALHOST");
  for (size_t i = 0; i < expected.size(); ++i) {
    ++member;
    std::string key = "P";
    key += std::to_string(i);
    EXPECT_EQ(member.key(), key) << "properties in WMI's order";
    const json& got = member.value();
    EXPECT_EQ(got, expected[i]) << "P" << i << ": " << got.dump() << " in " << line.dump();
    // A number keeps its kind: 255 must come back neither as "255" nor as 255.0.
    EXPECT_EQ(Kind(got), Kind(expected[i])) << "P" << i << ": " << got.dump();
  }
}

TEST(JsonLayout, EverySingleTypeCode) {
  std::vector<Property> properties;
  const auto add = [&](Variant value, CIMTYPE cimType, json expected) {
    properties.push_back({std::move(value), cimType, std::move(expected)});
  };
  add(TypedValue(VT_EMPTY), CIM_EMPTY, nullptr);
  add(NullValue(), CIM_STRING, nullptr);
  add(IntegerValue(VT_I1, -128), CIM_SINT8, -128);
  add(IntegerValue(VT_UI1, 255), CIM_UINT8, 255);
  add(IntegerValue(VT_I2, -32768), CIM_SINT16, -32768);
  add(IntegerValue(VT_UI2, 65535), CIM_UINT16, 65535);
  add(IntegerValue(VT_I4, -2147483647 - 1), CIM_SINT32, -2147483647 - 1);
  add(IntegerValue(VT_I4, -1), CIM_UINT32, 4294967295u);  // how WMI delivers a uint32
  add(IntegerValue(VT_UI4, 4294967295u), CIM_UINT32, 4294967295u);
  add(IntegerValue(VT_I8, kInt64Min), CIM_SINT64, kInt64Min);
  add(IntegerValue(VT_UI8, -1), CIM_UINT64, kUInt64Max);
  // 64-bit integers as WMI delivers them: strings.
  add(StringValue(L"-9223372036854775808"), CIM_SINT64, kInt64Min);
  add(StringValue(L"9223372036854775807"), CIM_SINT64, kInt64Max);
  add(StringValue(L"18446744073709551615"), CIM_UINT64, kUInt64Max);
  add(StringValue(L"0"), CIM_UINT64, 0);
  add(StringValue(L"18446744073709551616"), CIM_UINT64, "18446744073709551616");
  add(StringValue(L"9223372036854775808"), CIM_SINT64, "9223372036854775808");
  add(StringValue(L"-1"), CIM_UINT64, "-1");
  add(StringValue(L"007"), CIM_UINT64, "007");
  add(StringValue(L"12 "), CIM_SINT64, "12 ");
  add(StringValue(L""), CIM_SINT64, "");
  add(StringValue(L"82252800000"), CIM_STRING, "82252800000");  // only the CIM type makes a number
  add(RealValue(VT_R8, 0.1), CIM_REAL64, 0.1);
  add(RealValue(VT_R8, -1e308), CIM_REAL64, -1e308);
  add(RealValue(VT_R8, 5e-324), CIM_REAL64, 5e-324);
  add(RealValue(VT_R4, 3.5), CIM_REAL32, 3.5);
  add(RealValue(VT_R8, std::nan("")), CIM_REAL64, nullptr);
  add(RealValue(VT_R8, -HUGE_VAL), CIM_REAL64, nullptr);
  add(RealValue(VT_R4, HUGE_VAL), CIM_REAL32, nullptr);
  add(BoolValue(true), CIM_BOOLEAN, true);
  add(BoolValue(false), CIM_BOOLEAN, false);
  add(StringValue(L"20120608000000.000000+000"), CIM_DATETIME, "20120608000000.000000+000");
  add(StringValue(L"\\\\.\\root\\cimv2:Win32_Thing.Id=\"1\""), CIM_REFERENCE, "\\\\.\\root\\cimv2:Win32_Thing.Id=\"1\"");
  add(IntegerValue(103, 0xE9), CIM_CHAR16, "\u00e9");
  add(IntegerValue(103, 0x4E2D), CIM_CHAR16, "\u4e2d");  // the whole unit, not its low byte
  add(IntegerValue(VT_I2, L'A'), CIM_CHAR16, "A");
  add(IntegerValue(103, 0), CIM_CHAR16, std::string(1, '\0'));
  add(TypedValue(0xFFF), CIM_ILLEGAL, nullptr);
  add(TypedValue(VT_DATE), CIM_STRING, nullptr);
  add(TypedValue(VT_CY), CIM_STRING, nullptr);
  add(TypedValue(VT_UNKNOWN), CIM_OBJECT, nullptr);  // no object behind it
  ExpectProperties(properties);
}

TEST(JsonLayout, EveryTypeCodeAsAnArray) {
  std::vector<Property> properties;
  const auto add = [&](Variant value, CIMTYPE cimType, json expected) {
    properties.push_back({std::move(value), cimType | CIM_FLAG_ARRAY, std::move(expected)});
  };
  add(ByteArray({0, 1, 255}), CIM_UINT8, {0, 1, 255});
  add(ByteArray({}, 5), CIM_UINT8, json::array());
  add(IntegerArray(VT_I1, {-128, 127}), CIM_SINT8, {-128, 127});
  add(IntegerArray(VT_I2, {-32768, 7}, -3), CIM_SINT16, {-32768, 7});
  add(IntegerArray(VT_UI2, {65535}), CIM_UINT16, {65535});
  add(IntegerArray(VT_I4, {-1, 5}), CIM_UINT32, {4294967295u, 5});
  add(IntegerArray(VT_I4, {-1, 5}), CIM_SINT32, {-1, 5});
  add(IntegerArray(VT_UI4, {4294967295u}), CIM_UINT32, {4294967295u});
  add(IntegerArray(VT_I8, {kInt64Min, kInt64Max}), CIM_SINT64, {kInt64Min, kInt64Max});
  add(IntegerArray(VT_UI8, {-1}), CIM_UINT64, {kUInt64Max});
  add(StringArray({L"18446744073709551615", L"x"}), CIM_UINT64, {kUInt64Max, "x"});
  add(StringArray({L"a,b", L"", L"\"q\""}), CIM_STRING, {"a,b", "", "\"q\""});
  add(IntegerArray(VT_BOOL, {VARIANT_TRUE, VARIANT_FALSE}), CIM_BOOLEAN, {true, false});
  add(RealArray(VT_R8, {1.5, std::nan("")}), CIM_REAL64, {1.5, nullptr});
  add(RealArray(VT_R4, {0.25}), CIM_REAL32, {0.25});
  add(IntegerArray(103, {L'x', 0x4E2D}), CIM_CHAR16, {"x", "\u4e2d"});
  add(IntegerArray(VT_I2, {L'y'}), CIM_CHAR16, {"y"});
  add(RawArray(VT_ARRAY | VT_CY, VT_CY, 2), CIM_STRING, {nullptr, nullptr});
  add(RawArray(VT_ARRAY | VT_NULL, VT_I4, 1), CIM_STRING, {nullptr});
  add(RawArray(VT_ARRAY | 0xFFF, VT_I4, 1), CIM_ILLEGAL, {nullptr});
  add(TypedValue(VT_BYREF | VT_I4), CIM_SINT32, nullptr);  // no SAFEARRAY behind it
  ExpectProperties(properties);
}

// Random texts of every kind of UTF-16 unit but a lone surrogate, which no
// strict parser takes back (those are checked byte for byte below).
std::wstring RandomText(std::mt19937& random) {
  std::wstring text;
  const int length = static_cast<int>(random() % 40);
  for (int i = 0; i < length; ++i) {
    switch (random() % 6) {
      case 0: text += static_cast<wchar_t>(random() % 0x20); break;  // controls, NUL included
      case 1: text += L"\"\\/"[random() % 3]; break;
      case 2: text += static_cast<wchar_t>(0x20 + random() % 0x60); break;
      case 3: text += static_cast<wchar_t>(0xE000 + random() % 0x2000); break;
      case 4: {
        const wchar_t unit = static_cast<wchar_t>(0x80 + random() % (0xD800 - 0x80));
        text += unit;
        break;
      }
      default:
        text += static_cast<wchar_t>(0xD800 + random() % 0x400);
        text += static_cast<wchar_t>(0xDC00 + random() % 0x400);
        break;
    }
  }
  return text;
}

TEST(JsonLayout, RandomStringsComeBackExactly) {
  std::mt19937 random(11);
  for (int round = 0; round < 20; ++round) {
    std::vector<Property> properties;
    std::vector<std::wstring> arrayTexts;
    for (int i = 0; i < 50; ++i) {
      const std::wstring text = RandomText(random);
      properties.push_back({StringValue(text), CIM_STRING, Utf8(text)});
      arrayTexts.push_back(RandomText(random));
    }
    json expectedArray = json::array();
    for (const std::wstring& text : arrayTexts) expectedArray.push_back(Utf8(text));
    properties.push_back({StringArray(arrayTexts), CIM_STRING | CIM_FLAG_ARRAY, expectedArray});
    ExpectProperties(properties);
  }
}

TEST(JsonLayout, StringEscapesByteForByte) {
  struct Case {
    std::wstring text;
    const wchar_t* json;
  };
  const Case cases[] = {
      {L"plain", L"\"plain\""},
      {L"q\"b\\s/", L"\"q\\\"b\\\\s/\""},
      {L"\b\f\n\r\t\x01\x1f\x7f", L"\"\\b\\f\\n\\r\\t\\u0001\\u001f\x7f\""},
      {std::wstring(L"a\0b", 3), L"\"a\\u0000b\""},
      {L"caf\u00e9 \U0001F600", L"\"caf\u00e9 \U0001F600\""},
      {L"a\xD800" L"b", L"\"a\\ud800b\""},
      {L"\xDC00\xD800", L"\"\\udc00\\ud800\""},
      {L"\xD83D", L"\"\\ud83d\""},
      {L"\xDFFF" L"\U0001F600" L"\xDBFF", L"\"\\udfff\U0001F600\\udbff\""},
  };
  for (const Case& c : cases) {
    std::wstring text;
    AppendJsonString(c.text, text);
    EXPECT_EQ(text, c.json);
  }
}

// Level n holds its number and, below the deepest, the next level.
FakeObject Chain(int level, int deepest) {
  FakeObject object(L"Level", L"");
  object.Add(L"N", IntegerValue(VT_I4, level), CIM_SINT32);
  if (level < deepest) object.Add(L"Inner", EmbeddedValue(Chain(level + 1, deepest)), CIM_OBJECT);
  return object;
}

TEST(JsonLayout, EmbeddedObjectsNestUpToTheirLimit) {
  FakeObject disk(L"Disk", L"");
  disk.Add(L"Name", StringValue(L"d")).Add(L"Size", StringValue(L"82252800000"), CIM_UINT64);
  std::vector<Property> properties;
  properties.push_back({EmbeddedValue(disk), CIM_OBJECT, {{"Name", "d"}, {"Size", 82252800000ll}}});
  properties.push_back({EmbeddedArray({disk, FakeObject(L"Empty", L"")}), CIM_OBJECT | CIM_FLAG_ARRAY,
                        json::array({{{"Name", "d"}, {"Size", 82252800000ll}}, json::object()})});
  ExpectProperties(properties);

  properties.clear();
  properties.push_back({EmbeddedValue(Chain(1, kMaxJsonNesting + 2)), CIM_OBJECT, nullptr});
  const json line = GetOneObject(properties);
  const json* level = &line["P0"];
  for (int n = 1; n <= kMaxJsonNesting; ++n) {
    ASSERT_TRUE(level->is_object()) << "level " << n;
    EXPECT_EQ((*level)["N"], n);
    level = &(*level)["Inner"];
  }
  EXPECT_TRUE(level->is_null());

  // System properties of embedded objects follow /showAllProperties too.
  properties.clear();
  properties.push_back({EmbeddedValue(FakeObject(L"Cls", L"p")), CIM_OBJECT, nullptr});
  EXPECT_EQ(GetOneObject(properties, {L"/showallproperties"})["P0"], json({{"__CLASS", "Cls"}, {"__PATH", "p"}}));
}

std::vector<std::string> Texts(const std::vector<json>& lines) {
  std::vector<std::string> texts;
  for (const json& line : lines) texts.push_back(line.dump());
  return texts;
}

TEST(JsonLayout, RefusalsAndFailuresAreErrorLines) {
  struct Case {
    std::vector<std::wstring> arguments;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{}, {R"({"error":"/WQL is lost"})"}},
      {{L"/format:csv", L"/wql:select * from x"}, {R"({"error":"/format:json and /format:csv exclude each other"})"}},
      {{L"/hexmatrix", L"/wql:select * from x"}, {R"({"error":"/hexmatrix is exclusive to /format:json"})"}},
      {{L"/wql:select * from x where name = '" + std::wstring(300, L'n') + L"'"},
       {R"({"error":"The value of /wql: is longer than 259 characters."})"}},
      {{L"/wql:select name from x", L"/set:Name", L"/args:v"}, {R"({"error":"\"select * \" is MUST for /SET"})"}},
      {{L"/wql:select * from x", L"/call:Reset"},
       {R"({"error":"Method name or method argument is not defined for method call."})"}},
      {{L"/wql:select * from x", L"/namespace:root\\nothere", L"/debugdisplay"},
       {R"({"info":"debug switch=[ON]"})", R"({"info":"show all properties=[OFF]"})",
        R"({"info":"argNamespace=[root\\nothere]"})", R"({"info":"argWQL=[select * from x]"})",
        R"({"info":"argWQL class name=[x]"})", R"({"info":"argWQL select columns=[*]"})",
        R"({"info":"argFUNC=GET"})", R"({"info":"Function WmiQuery starts."})",
        R"({"error":"Failed to connect. Error code = 0x8004100e"})",
        R"({"error":"Failed to run root\\nothere\\select * from x"})"}},
  };
  for (const Case& c : cases) {
    FakeWmiAccess wmi;
    wmi.FailAt(WmiOp::ConnectServer, 1, WBEM_E_INVALID_NAMESPACE);
    std::vector<std::wstring> arguments = c.arguments;
    arguments.insert(arguments.begin(), L"/format:json");
    const RunResult run = RunTollix(wmi, arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Texts(ParseJsonLines(run.output)), c.lines);
  }
  // Help is still the usage text.
  FakeWmiAccess wmi;
  const RunResult help = RunTollix(wmi, {L"/format:json", L"/?"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.output.rfind(L"Tollix.exe ", 0), 0u);
}

TEST(JsonLayout, SetAndCallGiveOneLinePerResult) {
  FakeWmiAccess wmi;
  for (const wchar_t* letter : {L"C:", L"D:"}) {
    wmi.AddResult(L"Win32_LogicalDisk", std::wstring(L"\\\\.\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"") + letter + L"\"")
        .Add(L"VolumeName", StringValue(L"Old"))
        .Add(L"Quota", StringValue(L"5"), CIM_UINT64);
  }
  FakeMethod& reset = wmi.AddMethod(L"Win32_LogicalDisk", L"Reset");
  reset.inputs.Add(L"Level", NullValue(), CIM_UINT32);
  reset.run = [](const FakeObject& inputs) {
    FakeObject out;
    out.Add(L"ReturnValue", Copy(inputs.Find(L"Level")->value.get()), CIM_UINT32);
    return std::optional<FakeObject>(out);
  };
  wmi.AddMethod(L"Win32_LogicalDisk", L"Flush").hasInputSignature = false;

  struct Case {
    std::vector<std::wstring> arguments;
    std::vector<std::string> lines;
    int exitCode = 0;
  };
  const std::string newLabel = R"({"Node":"LOCALHOST","VolumeName":"New"})";
  const Case cases[] = {
      {{L"/set:VolumeName", L"/args:New"}, {newLabel, newLabel}},
      {{L"/set:Quota", L"/args:12345678901234"}, {2, R"({"Node":"LOCALHOST","Quota":12345678901234})"}},
      {{L"/set:VolumeName", L"/args:New", L"/debugdisplay"}, {}},
      {{L"/call:Reset", L"/args:7"}, {2, R"({"Node":"LOCALHOST","ReturnValue":7})"}},
      // A refused value runs nothing, and the run stops at that object.
      {{L"/call:Reset", L"/args:x"},
       {R"({"error":"Level takes uint32, not \"x\"."})",
        R"({"error":"Failed to run root\\cimv2\\select * from win32_logicaldisk"})"},
       1},
      {{L"/call:Flush", L"/args:,"}, {2, R"({"Node":"LOCALHOST"})"}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> arguments = c.arguments;
    arguments.insert(arguments.begin(), {L"/format:json", L"/wql:select * from win32_logicaldisk"});
    const RunResult run = RunTollix(wmi, arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << Utf8(run.output);
    const std::vector<std::string> lines = Texts(ParseJsonLines(run.output));
    if (!c.lines.empty()) {
      EXPECT_EQ(lines, c.lines);
      continue;
    }
    // With the trace, the old value is an info line and the result line
    // still comes once per object.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), R"({"info":"VolumeName=Old, vt=8, ct=8"})"), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), newLabel), 2);
    EXPECT_EQ(lines.back(), R"({"info":"Success."})");
  }
}

}  // namespace
