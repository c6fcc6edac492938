// Seeded random command lines and values: whatever comes in, Tollix answers
// with an allowed message or its normal output, never crashes, and exits 0 or 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "base/run_settings.h"
#include "render/value_text.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

// Portable across standard libraries: only the engine's raw output is used.
class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}
  uint32_t Below(uint32_t bound) { return bound ? engine_() % bound : 0; }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
  template <class T>
  const T& Pick(const std::vector<T>& items) { return items[Below(static_cast<uint32_t>(items.size()))]; }

 private:
  std::mt19937 engine_;
};

void Populate(FakeWmiAccess& wmi) {
  wmi.AddResult(L"Win32_Thing", L"\\\\.\\root\\cimv2:Win32_Thing.Id=1")
      .Add(L"Name", StringValue(L"th,ing %s"))
      .Add(L"Bytes", ByteArray({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), CIM_UINT8 | CIM_FLAG_ARRAY)
      .Add(L"Count", IntegerValue(VT_I4, 7), CIM_UINT32);
  FakeMethod& poke = wmi.AddMethod(L"Win32_Thing", L"Poke");
  poke.inputs.Add(L"Level", NullValue(), CIM_UINT32).Add(L"Note", NullValue());
  poke.run = [](const FakeObject&) {
    FakeObject out;
    out.Add(L"ReturnValue", IntegerValue(VT_I4, 0), CIM_UINT32);
    return std::optional<FakeObject>(out);
  };
}

std::wstring MixCase(Random& random, std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z' && random.OneIn(2)) c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

std::wstring RandomArgument(Random& random) {
  static const std::vector<std::wstring> keys = {
      L"/wql:", L"/namespace:", L"/set:", L"/call:", L"/args:", L"/debugdisplay", L"/showallproperties",
      L"/hexmatrix", L"/format:csv", L"/format:list", L"/?", L"-help", L"/help"};
  static const std::vector<std::wstring> values = {
      L"select * from win32_thing", L"select name from win32_thing", L"select * from win32_thing where id = 1",
      L"select * from nothing", L"root\\cimv2", L"Name", L"Count", L"Poke", L"Missing", L"1,2", L",", L"5, ,7",
      L"%s%d%n%%", L"caf\u00e9 \u4e2d", L"\"quoted\"", L"  padded  ", L"\t", L""};
  std::wstring argument;
  const uint32_t parts = 1 + random.Below(3);
  for (uint32_t i = 0; i < parts; ++i) {
    switch (random.Below(6)) {
      case 0: argument += MixCase(random, random.Pick(keys)); break;
      case 1: {  // a fragment of a key
        const std::wstring& key = random.Pick(keys);
        argument += key.substr(0, random.Below(static_cast<uint32_t>(key.size())));
        break;
      }
      case 2: argument += random.Pick(values); break;
      case 3: argument += std::wstring(random.Below(4), L' '); break;
      case 4:
        if (random.OneIn(20)) argument += std::wstring(250 + random.Below(600), static_cast<wchar_t>(L'a' + random.Below(26)));
        break;
      default: argument += MixCase(random, random.Pick(keys)) + random.Pick(values); break;
    }
  }
  return argument;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }

// The lines a run may print: its messages, usage text and the fake's objects.
bool IsAllowedLine(const std::wstring& line, const std::vector<std::wstring>& usage) {
  static const std::vector<std::wstring> exact = {
      L"", L"Tollix.exe Unkonwn", L"ERROR: /WQL is lost", L"ERROR: /hexmatrix is exclusive to /format:csv",
      L"ERROR: Name or New value is not defined for set.", L"ERROR: \"select * \" is MUST for /SET",
      L"ERROR: Method name or method argument is not defined for method call.",
      L"ERROR: \"select * \" is MUST for /CALL", L"CALL Success.", L"SET Success.",
      L"\t   0    1    2    3    4    5    6    7    8    9", L"0:\t0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0a",
      L"1:\t0x0b}"};
  static const std::vector<std::wstring> prefixes = {
      L"INFO: ", L"ERROR: The value of /", L"ERROR: Failed to ", L"ERROR: Method ", L"Name=", L"Bytes={", L"Count=",
      L"ReturnValue=", L"Node,", L"LOCALHOST,", L"__CLASS=", L"__PATH=", L"Level=", L"Note="};
  for (const std::wstring& allowed : exact) {
    if (line == allowed) return true;
  }
  for (const std::wstring& allowed : usage) {
    if (line == allowed) return true;
  }
  for (const std::wstring& prefix : prefixes) {
    if (StartsWith(line, prefix)) return true;
  }
  return false;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t end = text.find(L"\r\n"); end != std::wstring::npos; end = text.find(L"\r\n", start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(Robustness, RandomCommandLines) {
  FakeWmiAccess helpRun;
  const std::vector<std::wstring> usage = SplitLines(RunTollix(helpRun, {L"/?"}).output);
  Random random(20261208);
  for (int run = 0; run < 100000; ++run) {
    std::vector<std::wstring> arguments(random.Below(5));
    for (std::wstring& argument : arguments) argument = RandomArgument(random);
    FakeWmiAccess wmi;
    Populate(wmi);
    const RunResult result = RunTollix(wmi, arguments);

    ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 1) << "run " << run;
    ASSERT_GE(result.output.size(), 2u) << "run " << run;
    ASSERT_EQ(result.output.substr(result.output.size() - 2), L"\r\n") << "run " << run;
    for (const std::wstring& line : SplitLines(result.output)) {
      ASSERT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos) << "run " << run;
      ASSERT_TRUE(IsAllowedLine(line, usage)) << "run " << run << ": [" << line << "]";
    }
    ASSERT_EQ(wmi.LiveHandles(), 0) << "run " << run;
    ASSERT_LE(wmi.Calls(WmiOp::UninitializeCom), 1) << "run " << run;
  }
}

// Random strings with commas, zeros and characters beyond ASCII.
std::wstring RandomText(Random& random) {
  static const std::vector<wchar_t> alphabet = {L'a', L'Z', L'0', L',', L';', L' ', L'"', L'%', L'\0',
                                                L'\u00e9', L'\u4e2d', L'\u20ac', L'\\'};
  std::wstring text(random.Below(12), L'a');
  for (wchar_t& c : text) c = random.Pick(alphabet);
  return text;
}

std::wstring UpToZero(const std::wstring& text) { return text.substr(0, text.find(L'\0')); }

long long Wrap(VARTYPE type, uint64_t bits) {
  switch (type) {
    case VT_I1: return static_cast<signed char>(bits);
    case VT_UI1: return static_cast<unsigned char>(bits);
    case VT_I2: return static_cast<short>(bits);
    case VT_UI2: return static_cast<unsigned short>(bits);
    case VT_I4: return static_cast<int>(bits);
    case VT_UI4: return static_cast<unsigned int>(bits);
    default: return static_cast<long long>(bits);
  }
}

std::wstring NumberText(VARTYPE type, long long value) {
  return type == VT_UI8 ? std::to_wstring(static_cast<unsigned long long>(value)) : std::to_wstring(value);
}

TEST(Robustness, RandomValuesRenderCompletely) {
  const std::vector<VARTYPE> integerTypes = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_I8, VT_UI8};
  const std::vector<VARTYPE> namedTypes = {VT_EMPTY, VT_R4, VT_R8, VT_UNKNOWN, 101, 102, 0xFFF, VT_CY, VT_DATE, VT_ERROR};
  Random random(7);
  FakeWmiAccess wmi;
  for (int round = 0; round < 20000; ++round) {
    RunSettings settings;
    const bool matrix = random.OneIn(3);
    settings.hexMatrix = matrix;
    settings.formatCsv = !matrix && random.OneIn(2);
    const std::wstring separator = settings.formatCsv ? L";" : L",";
    const uint32_t count = random.OneIn(50) ? 20000 + random.Below(20000) : random.Below(25);
    const LONG lower = static_cast<LONG>(random.Below(2001)) - 1000;
    const uint64_t bits = (static_cast<uint64_t>(random.Below(0xFFFFFFFFu)) << 32) | random.Below(0xFFFFFFFFu);

    std::vector<std::wstring> expected;  // one text per element
    Variant value;
    switch (random.Below(4)) {
      case 0: {
        const VARTYPE type = random.Pick(integerTypes);
        std::vector<long long> elements(count);
        for (long long& element : elements) {
          element = Wrap(type, (static_cast<uint64_t>(random.Below(0xFFFFFFFFu)) << 32) | random.Below(0xFFFFFFFFu));
          wchar_t hex[8];
          swprintf(hex, 8, L"0x%02x", static_cast<unsigned>(element & 0xFF));
          expected.push_back(type == VT_UI1 && matrix ? hex : NumberText(type, element));
        }
        value = IntegerArray(type, elements, lower);
        // The same number as a single value.
        const long long single = Wrap(type, bits);
        std::wstring text;
        FormatValueText(IntegerValue(type, single).get(), text);
        ASSERT_EQ(text, NumberText(type, single)) << "round " << round;
        break;
      }
      case 1: {
        std::vector<std::wstring> texts(count);
        for (std::wstring& text : texts) {
          text = RandomText(random);
          expected.push_back(L"\"" + UpToZero(text) + L"\"");
        }
        value = StringArray(texts, lower);
        const std::wstring single = RandomText(random);
        std::wstring text;
        FormatValueText(StringValue(single).get(), text);
        ASSERT_EQ(text, UpToZero(single)) << "round " << round;
        break;
      }
      case 2: {
        std::vector<long long> flags(count);
        for (long long& flag : flags) {
          flag = random.OneIn(2) ? VARIANT_TRUE : VARIANT_FALSE;
          expected.push_back(flag ? L"TRUE" : L"FALSE");
        }
        value = IntegerArray(VT_BOOL, flags, lower);
        break;
      }
      default: {
        const VARTYPE type = random.Pick(namedTypes);
        value = RawArray(VT_ARRAY | type, VT_I4, count, lower);
        std::wstring named;
        FormatValueText(TypedValue(type).get(), named);
        if (type == VT_CY || type == VT_DATE || type == VT_ERROR) {
          named = L"!!UNSUPPORTED_CIM_UNKNOWN[" + std::to_wstring(VT_ARRAY | type) + L"]!!";
        }
        expected.assign(count, named);
        break;
      }
    }

    std::wstring text;
    ASSERT_EQ(FormatArrayText(wmi, settings, value.get(), text), S_OK) << "round " << round;
    std::wstring rebuilt = matrix ? L"\r\n\t   0    1    2    3    4    5    6    7    8    9" : L"";
    for (size_t i = 0; i < expected.size(); ++i) {
      if (matrix) {
        rebuilt += i % 10 ? L"," : L"\r\n" + std::to_wstring(i / 10) + L":\t";
      } else if (i) {
        rebuilt += separator;
      }
      rebuilt += expected[i];
    }
    ASSERT_TRUE(text == rebuilt) << "round " << round << " count " << count;
  }
}

}  // namespace
