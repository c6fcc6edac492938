// /params: with the in-memory WMI: every CIM type with its edge values,
// arrays, embedded objects and null; what is refused before anything runs,
// and that nothing is Put or written once any value does not fit.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kQuery = L"/wql:select * from win32_thing";
const std::wstring kRunFailed = L"ERROR: Failed to run root\\cimv2\\select * from win32_thing\r\n";

// Win32_Thing.Take(x) with `x` of the given type, and Win32_Thing results
// with a Label and a Size property.
void AddThing(FakeWmiAccess& wmi, CIMTYPE type) {
  FakeMethod& take = wmi.AddMethod(L"Win32_Thing", L"Take");
  take.inputs.Add(L"x", NullValue(), type);
  if (type == CIM_OBJECT) take.inputs.Qualify(L"x", L"CIMTYPE", StringValue(L"object:Win32_Startup"));
  take.inputs.Add(L"y", StringValue(L"default"));
  wmi.AddClass(L"Win32_Startup").Add(L"ShowWindow", NullValue(), CIM_UINT16).Add(L"Title", NullValue());
  wmi.AddResult(L"Win32_Thing", L"\\\\.\\root\\cimv2:Win32_Thing.Id=1")
      .Add(L"Label", StringValue(L"old"))
      .Add(L"Size", IntegerValue(VT_I4, 1), CIM_UINT32);
}

TEST(Params, EveryCimTypeTakesItsValuesAsTheVariantWmiDocuments) {
  const struct {
    CIMTYPE type;
    const wchar_t* json;
    std::wstring put;  // what x was given, or the error
    bool exact = false;  // a WMI that takes only the exact integer type
  } cases[] = {
      {CIM_SINT8, L"-128", L"VT 2 -128"},
      {CIM_SINT8, L"-129", L"ERROR: x takes sint8; -129 is out of its range."},
      {CIM_SINT8, L"127", L"VT 2 127"},
      {CIM_SINT8, L"128", L"ERROR: x takes sint8; 128 is out of its range."},
      {CIM_SINT8, L"-5", L"VT 16 -5", true},
      {CIM_UINT8, L"0", L"VT 17 0"},
      {CIM_UINT8, L"-1", L"ERROR: x takes uint8; -1 is out of its range."},
      {CIM_UINT8, L"255", L"VT 17 255"},
      {CIM_UINT8, L"256", L"ERROR: x takes uint8; 256 is out of its range."},
      {CIM_SINT16, L"-32768", L"VT 2 -32768"},
      {CIM_SINT16, L"-32769", L"ERROR: x takes sint16; -32769 is out of its range."},
      {CIM_SINT16, L"32767", L"VT 2 32767"},
      {CIM_SINT16, L"32768", L"ERROR: x takes sint16; 32768 is out of its range."},
      {CIM_UINT16, L"0", L"VT 3 0"},
      {CIM_UINT16, L"-1", L"ERROR: x takes uint16; -1 is out of its range."},
      {CIM_UINT16, L"65535", L"VT 3 65535"},
      {CIM_UINT16, L"65536", L"ERROR: x takes uint16; 65536 is out of its range."},
      {CIM_UINT16, L"65535", L"VT 18 65535", true},
      {CIM_SINT32, L"-2147483648", L"VT 3 -2147483648", true},
      {CIM_SINT32, L"-2147483649", L"ERROR: x takes sint32; -2147483649 is out of its range."},
      {CIM_SINT32, L"2147483647", L"VT 3 2147483647"},
      {CIM_SINT32, L"2147483648", L"ERROR: x takes sint32; 2147483648 is out of its range."},
      {CIM_UINT32, L"0", L"VT 3 0"},
      {CIM_UINT32, L"-1", L"ERROR: x takes uint32; -1 is out of its range."},
      {CIM_UINT32, L"4294967295", L"VT 3 -1"},
      {CIM_UINT32, L"4294967295", L"VT 19 4294967295", true},
      {CIM_UINT32, L"4294967296", L"ERROR: x takes uint32; 4294967296 is out of its range."},
      {CIM_UINT32, L"5.0", L"VT 3 5"},
      {CIM_UINT32, L"5e0", L"VT 3 5"},
      {CIM_UINT32, L"5.5", L"ERROR: x takes uint32; 5.5 is out of its range."},
      {CIM_SINT32, L"-5.0", L"VT 3 -5"},
      {CIM_UINT32, L"-1.0", L"ERROR: x takes uint32; -1.0 is out of its range."},
      {CIM_UINT32, L"\"5\"", L"ERROR: x takes uint32, not a string."},
      {CIM_SINT64, L"-9223372036854775808", L"VT 8 -9223372036854775808"},
      {CIM_SINT64, L"\"-9223372036854775809\"", L"ERROR: x takes sint64; \"-9223372036854775809\" is out of its range."},
      {CIM_SINT64, L"9223372036854775807", L"VT 8 9223372036854775807"},
      {CIM_SINT64, L"\"9223372036854775807\"", L"VT 20 9223372036854775807", true},
      {CIM_SINT64, L"\"9223372036854775808\"", L"ERROR: x takes sint64; \"9223372036854775808\" is out of its range."},
      {CIM_SINT64, L"\"-\"", L"ERROR: x takes sint64; \"-\" is out of its range."},
      {CIM_UINT64, L"0", L"VT 8 0"},
      {CIM_UINT64, L"-1", L"ERROR: x takes uint64; -1 is out of its range."},
      {CIM_UINT64, L"18446744073709551615", L"VT 8 18446744073709551615"},
      {CIM_UINT64, L"\"18446744073709551615\"", L"VT 21 18446744073709551615", true},
      {CIM_UINT64, L"\"18446744073709551616\"", L"ERROR: x takes uint64; \"18446744073709551616\" is out of its range."},
      {CIM_UINT64, L"\"\"", L"ERROR: x takes uint64; \"\" is out of its range."},
      {CIM_UINT64, L"\"12a\"", L"ERROR: x takes uint64; \"12a\" is out of its range."},
      {CIM_UINT64, L"1e19", L"ERROR: x takes uint64; 1e+19 is out of its range."},
      // A real holds every whole number below 2^53 exactly; from 2^53 on it
      // may be a neighbour the parser rounded to (9007199254740993 reads as 2^53).
      {CIM_UINT64, L"9007199254740991.0", L"VT 8 9007199254740991"},
      {CIM_UINT64, L"9007199254740993.0", L"ERROR: x takes uint64; 9.007199254740992e+15 is out of its range."},
      {CIM_SINT64, L"-9007199254740992.0", L"ERROR: x takes sint64; -9.007199254740992e+15 is out of its range."},
      {CIM_SINT64, L"1e16", L"ERROR: x takes sint64; 1e+16 is out of its range."},
      {CIM_REAL32, L"1.5", L"VT 4 1.5"},
      {CIM_REAL32, L"1e39", L"ERROR: x takes real32; 1e+39 is out of its range."},
      {CIM_REAL64, L"-2", L"VT 5 -2"},
      {CIM_BOOLEAN, L"true", L"VT 11 -1"},
      {CIM_BOOLEAN, L"1", L"ERROR: x takes boolean, not a number."},
      {CIM_STRING, L"\"a\\u0000b\\ud83d\\ude00\"", std::wstring(L"VT 8 a\0b\U0001F600", 10)},
      // Every UTF-16 unit, a surrogate without its partner too, raw or escaped;
      // the private-use characters that carry them through the parser stay
      // themselves when given.
      {CIM_STRING, L"\"a\\ud800b\"", std::wstring(L"VT 8 a\xD800" L"b", 8)},
      {CIM_STRING, L"\"x\xDC00\"", std::wstring(L"VT 8 x\xDC00", 7)},
      {CIM_STRING, L"\"\U0010FFFD\\udbff\\udffd\U0010F800\"", L"VT 8 \U0010FFFD\U0010FFFD\U0010F800"},
      {CIM_STRING, L"5", L"ERROR: x takes string, not a number."},
      {CIM_DATETIME, L"\"20240101000000.000000+000\"", L"VT 8 20240101000000.000000+000"},
      {CIM_CHAR16, L"\"x\"", L"VT 2 120"},
      {CIM_CHAR16, L"\"xy\"", L"ERROR: x takes char16; \"xy\" is out of its range."},
      {CIM_STRING, L"null", L"VT 1 "},
      {CIM_STRING | CIM_FLAG_ARRAY, L"[\"a\",\"b\"]", L"array of 8 [a,b]"},
      {CIM_STRING | CIM_FLAG_ARRAY, L"[]", L"array of 8 []"},
      {CIM_STRING | CIM_FLAG_ARRAY, L"null", L"VT 1 "},
      {CIM_STRING | CIM_FLAG_ARRAY, L"\"a\"", L"ERROR: x takes string[], not a string."},
      {CIM_STRING | CIM_FLAG_ARRAY, L"[\"a\",1]", L"ERROR: x[1] takes string, not a number."},
      {CIM_STRING | CIM_FLAG_ARRAY, L"[null]", L"ERROR: x[0] takes string, not null."},
      {CIM_UINT8 | CIM_FLAG_ARRAY, L"[0,255]", L"array of 17 [0,255]"},
      {CIM_UINT32 | CIM_FLAG_ARRAY, L"[4294967295]", L"array of 3 [-1]"},
      {CIM_UINT32 | CIM_FLAG_ARRAY, L"[4294967295]", L"array of 19 [4294967295]", true},
      {CIM_BOOLEAN | CIM_FLAG_ARRAY, L"[true,false]", L"array of 11 [-1,0]"},
      {CIM_OBJECT, L"5", L"ERROR: x takes object:Win32_Startup, not a number."},
      {CIM_OBJECT, L"{\"Nope\":1}", L"ERROR: Win32_Startup has no property Nope."},
      {CIM_OBJECT, L"{\"ShowWindow\":70000}", L"ERROR: ShowWindow takes uint16; 70000 is out of its range."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " " << std::string(c.json, c.json + wcslen(c.json))
                                    << (c.exact ? " exact" : ""));
    FakeWmiAccess wmi;
    wmi.exactIntegerTypes = c.exact;
    AddThing(wmi, c.type);
    const RunResult run = RunTollix(wmi, {kQuery, L"/call:Take", std::wstring(L"/params:{\"x\":") + c.json + L"}"});
    if (c.put.rfind(L"ERROR: ", 0) == 0) {
      EXPECT_EQ(run.exitCode, 1);
      EXPECT_EQ(run.output, Banner() + L"\r\n" + c.put + L"\r\n" + kRunFailed);
      EXPECT_TRUE(wmi.puts.empty());
      EXPECT_TRUE(wmi.executed.empty());
      continue;
    }
    EXPECT_EQ(run.exitCode, 0) << run.output;
    ASSERT_FALSE(wmi.puts.empty());
    EXPECT_EQ(wmi.puts.back().name, L"x");
    EXPECT_EQ(Shown(wmi.puts.back().value.get()), c.put);
    // Only the named parameter is Put; the other keeps its default.
    ASSERT_EQ(wmi.executed.size(), 1u);
    const FakeProperty* other = wmi.executed[0].inputs->Find(L"y");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(Shown(other->value.get()), L"VT 8 default");
  }
}

TEST(Params, AnEmbeddedObjectIsANewInstanceOfTheNamedClass) {
  for (const bool qualified : {true, false}) {
    FakeWmiAccess wmi;
    AddThing(wmi, qualified ? CIM_OBJECT : CIM_OBJECT | CIM_FLAG_ARRAY);
    const std::wstring value = qualified ? L"{\"ShowWindow\":0,\"title\":\"t\"}"
                                         : L"[{\"__CLASS\":\"Win32_Startup\",\"ShowWindow\":5}]";
    const RunResult run = RunTollix(wmi, {kQuery, L"/call:Take", L"/params:{\"X\":" + value + L"}"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    ASSERT_EQ(wmi.executed.size(), 1u);
    const FakeProperty* x = wmi.executed[0].inputs->Find(L"x");
    ASSERT_NE(x, nullptr);
    Variant object = Copy(x->value.get());
    if (!qualified) {
      ASSERT_EQ(x->value.type(), VT_ARRAY | VT_UNKNOWN);
      LONG first = 0;
      object.get().vt = VT_UNKNOWN;
      SafeArrayGetElement(x->value.get().parray, &first, &object.get().punkVal);
    }
    WmiObject embedded;
    ASSERT_EQ(wmi.EmbeddedObject(object.get(), embedded), S_OK);
    Variant shown;
    ASSERT_EQ(wmi.Get(embedded, L"ShowWindow", shown, nullptr), S_OK);
    EXPECT_EQ(Shown(shown.get()), qualified ? L"VT 3 0" : L"VT 3 5");
    if (qualified) {
      ASSERT_EQ(wmi.Get(embedded, L"Title", shown, nullptr), S_OK);
      EXPECT_EQ(Shown(shown.get()), L"VT 8 t");
    }
  }
  // Without a qualifier or "__CLASS", the class is not known.
  FakeWmiAccess wmi;
  AddThing(wmi, CIM_OBJECT | CIM_FLAG_ARRAY);
  const RunResult run = RunTollix(wmi, {kQuery, L"/call:Take", L"/params:{\"x\":[{\"ShowWindow\":5}]}"});
  EXPECT_EQ(run.output, Banner() + L"\r\nERROR: x[0] takes an object of a class it does not name: give its "
                                   L"\"__CLASS\".\r\n" + kRunFailed);
}

// `levels` objects and arrays, the outermost object included, nested in one another.
std::wstring Nested(int levels) {
  const int arrays = levels - 1;
  return L"{\"x\":" + std::wstring(static_cast<size_t>(arrays), L'[') + std::wstring(static_cast<size_t>(arrays), L']') +
         L"}";
}

TEST(Params, NothingIsPutWhenAnyValueIsRefused) {
  const struct {
    std::wstring params;
    std::wstring error;
    int failPutAt = 0;  // WMI refuses the Nth Put
    bool set = false;  // /set: instead of /call:Take
  } cases[] = {
      {L"{\"y\":\"fine\",\"nope\":1}", L"ERROR: Method Take has no input parameter nope."},
      {L"{\"y\":\"fine\",\"x\":\"text\"}", L"ERROR: x takes uint32, not a string."},
      {L"{\"y\":\"fine\",\"x\":1}", L"ERROR: Failed to put x. Error code = 0x80041008", 2},
      {L"{\"Label\":\"new\",\"Size\":1}", L"ERROR: Failed to put Size. Error code = 0x80041008", 2, true},
      {L"{\"Label\":\"new\",\"Size\":1}", L"ERROR: Failed to put Label. Error code = 0x80041008", 1, true},
      // As deep as the parser takes: the value itself is what is refused.
      {Nested(32), L"ERROR: x takes uint32, not an array."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.error.begin(), c.error.end()));
    FakeWmiAccess wmi;
    AddThing(wmi, CIM_UINT32);
    if (c.failPutAt) wmi.FailAt(WmiOp::Put, c.failPutAt, WBEM_E_INVALID_PARAMETER);
    const RunResult run = RunTollix(wmi, {kQuery, c.set ? L"/set:" : L"/call:Take", L"/params:" + c.params});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, Banner() + L"\r\n" + c.error + L"\r\n" + kRunFailed);
    EXPECT_EQ(wmi.puts.size(), c.failPutAt ? static_cast<size_t>(c.failPutAt - 1) : 0u);
    EXPECT_TRUE(wmi.executed.empty());
    EXPECT_TRUE(wmi.written.empty());
  }
}

TEST(Params, SetPutsEveryNamedPropertyAndWritesOnce) {
  const struct {
    std::vector<std::wstring> more;
    std::wstring output;
  } cases[] = {
      // Every layout shows a uint32 by its CIM type, unsigned.
      {{}, Banner() + L"\r\nLabel=new\r\nSize=4294967295\r\nSET Success.\r\n\r\n"},
      {{L"/format:json"}, L"{\"Node\":\"LOCALHOST\",\"Label\":\"new\",\"Size\":4294967295}\r\n"},
      {{L"/format:csv", L"/node:a"}, Banner() + L"Node=a\r\nLabel=new\r\nSize=4294967295\r\nSET Success.\r\n"},
  };
  for (const auto& c : cases) {
    FakeWmiAccess wmi;
    AddThing(wmi, CIM_UINT32);
    std::vector<std::wstring> arguments = {kQuery, L"/set:", L"/params:{\"label\":\"new\",\"Size\":4294967295}"};
    arguments.insert(arguments.end(), c.more.begin(), c.more.end());
    const RunResult run = RunTollix(wmi, arguments);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, c.output);
    FakeWmiAccess& machine = c.more.size() > 1 ? wmi.Machine(L"a") : wmi;
    ASSERT_EQ(machine.written.size(), 1u);
    EXPECT_EQ(Shown(machine.written[0].Find(L"Label")->value.get()), L"VT 8 new");
  }
  // A property the class lacks: nothing is Put, nothing written.
  FakeWmiAccess wmi;
  AddThing(wmi, CIM_UINT32);
  const RunResult run = RunTollix(wmi, {kQuery, L"/set:", L"/params:{\"Label\":\"new\",\"Colour\":1}"});
  EXPECT_EQ(run.output, Banner() + L"\r\nERROR: Win32_Thing has no property Colour.\r\n" + kRunFailed);
  EXPECT_TRUE(wmi.puts.empty());
  EXPECT_TRUE(wmi.written.empty());
}

TEST(Params, RefusedBeforeAnythingRuns) {
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring missing = std::wstring(folder) + L"no-such-params.json";
  const struct {
    std::vector<std::wstring> arguments;
    std::wstring error;
  } cases[] = {
      {{L"/call:Take", L"/params:{"},
       L"ERROR: /params: is not a JSON object: parse error at line 1, column 2: syntax error while parsing object "
       L"key - unexpected end of input; expected string literal"},
      {{L"/call:Take", L"/params:[1]"}, L"ERROR: /params: is not a JSON object: it is an array"},
      {{L"/call:Take", L"/params:{\"x\":1,\"X\":2}"}, L"ERROR: /params: names X twice"},
      {{L"/call:Take", L"/params:{\"x\":{\"a\":1,\"A\":2}}"}, L"ERROR: /params: names A twice"},
      {{L"/call:Take", L"/params:" + Nested(33)}, L"ERROR: /params: is not a JSON object: objects and arrays nest more than 32 deep"},
      {{L"/call:Take", L"/args:1", L"/params:{}"}, L"ERROR: /params: and /args: exclude each other"},
      {{L"/params:{}"}, L"ERROR: /params: needs /call:METHOD or /set: without a name"},
      {{L"/set:Label", L"/params:{}"}, L"ERROR: /params: needs /call:METHOD or /set: without a name"},
      {{L"/call:Take", L"/params:@" + missing},
       L"ERROR: Failed to read the parameter file " + missing + L". Error code = 0x80070002"},
      {{L"/call:Take", L"/params:@NUL"}, L"ERROR: The parameter file NUL is not a file."},
  };
  for (const auto& c : cases) {
    FakeWmiAccess wmi;
    AddThing(wmi, CIM_UINT32);
    ExpectRefusedBeforeAnythingRuns(wmi, kQuery, c.arguments, c.error);
  }
}

TEST(Params, AnArgumentStartingWithTheKeyIsItsValueAloneAndTheTraceShowsEachValue) {
  FakeWmiAccess wmi;
  AddThing(wmi, CIM_UINT32);
  const RunResult run = RunTollix(
      wmi, {kQuery, L"/call:Take", L"/PARAMS:{\"y\":\"/? /set:Label /format:csv\",\"x\":7}", L"/debugdisplay"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.output.find(L"INFO: Put y=\"/? /set:Label /format:csv\"\r\nINFO: Put x=7\r\n"), std::wstring::npos)
      << run.output;
  ASSERT_EQ(wmi.executed.size(), 1u);
  EXPECT_EQ(Shown(wmi.executed[0].inputs->Find(L"y")->value.get()), L"VT 8 /? /set:Label /format:csv");
}

}  // namespace
