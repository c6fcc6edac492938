// Large runs through the whole program with the in-memory WMI: memory must not
// grow with the number of results, and big arrays must come out whole.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/run_settings.h"
#include "cli/run_main.h"
#include "operations/machine_run.h"
#include "render/layout.h"
#include "support/fake_wmi_access.h"
#include "support/json_lines.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

size_t CommittedBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
  return counters.PagefileUsage;  // private committed bytes
}

FakeObject MakeRow(size_t index) {
  FakeObject row(L"Win32_Row", L"\\\\.\\root\\cimv2:Win32_Row.Id=" + std::to_wstring(index));
  for (int p = 0; p < 20; ++p) {
    const std::wstring name = L"P" + std::to_wstring(p);
    switch (p % 4) {
      case 0: row.Add(name, StringValue(L"row " + std::to_wstring(index))); break;
      case 1: row.Add(name, IntegerValue(VT_I4, static_cast<long long>(index) * p), CIM_SINT32); break;
      case 2: row.Add(name, ByteArray({1, 2, 3, static_cast<unsigned char>(index)}), CIM_UINT8 | CIM_FLAG_ARRAY); break;
      default: row.Add(name, StringArray({L"a", L"b"}), CIM_STRING | CIM_FLAG_ARRAY); break;
    }
  }
  return row;
}

struct Measured {
  int exitCode = -1;
  size_t lines = 0;
  size_t peakCommittedBytes = 0;
};

// Runs a GET over `count` generated rows; output is counted, not kept, and the
// process's committed bytes are sampled as it goes.
Measured RunRows(size_t count, const std::wstring& layoutSwitch) {
  FakeWmiAccess wmi;
  wmi.keepLog = false;
  wmi.GenerateResults(count, MakeRow);
  Measured measured;
  FunctionSink out([&measured](std::wstring_view text) {
    measured.lines += static_cast<size_t>(std::count(text.begin(), text.end(), L'\n'));
    if (measured.lines % 512 == 0) measured.peakCommittedBytes = std::max(measured.peakCommittedBytes, CommittedBytes());
  });
  std::wstring program = L"Tollix.exe";
  std::wstring query = L"/wql:select * from win32_row";
  std::wstring layout = layoutSwitch;
  wchar_t* argv[] = {program.data(), query.data(), layout.data(), nullptr};
  measured.exitCode = RunMain(3, argv, wmi, out);
  measured.peakCommittedBytes = std::max(measured.peakCommittedBytes, CommittedBytes());
  EXPECT_EQ(wmi.LiveHandles(), 0);
  return measured;
}

TEST(Scale, MemoryDoesNotGrowWithTheNumberOfResults) {
  // Banner, then per row: 20 property lines and an empty line before each
  // request (one more at the end); CSV: header plus one line per row; JSON:
  // one line per row and nothing else.
  const struct {
    const wchar_t* layout;
    size_t lines;
  } layouts[] = {{L"", 1u + 100000u * 21u + 1u}, {L"/format:csv", 1u + 1u + 100000u}, {L"/format:json", 100000u}};
  for (const auto& layout : layouts) {
    SCOPED_TRACE(testing::Message() << "layout " << layout.layout);
    RunRows(1000, layout.layout);  // warm the heap up so both runs start alike
    const Measured small = RunRows(1000, layout.layout);
    const Measured large = RunRows(100000, layout.layout);
    ASSERT_EQ(small.exitCode, 0);
    ASSERT_EQ(large.exitCode, 0);
    EXPECT_EQ(large.lines, layout.lines);
    EXPECT_LE(large.peakCommittedBytes, small.peakCommittedBytes + small.peakCommittedBytes / 10)
        << "1,000 rows: " << small.peakCommittedBytes << " bytes, 100,000 rows: " << large.peakCommittedBytes;
  }
}

std::wstring RunOneObject(FakeObject object, std::vector<std::wstring> arguments) {
  FakeWmiAccess wmi;
  wmi.AddResult(L"x", L"p") = std::move(object);
  arguments.insert(arguments.begin(), L"/wql:select * from x");
  const RunResult run = RunTollix(wmi, arguments);
  EXPECT_EQ(run.exitCode, 0);
  return run.output;
}

TEST(Scale, AMillionBytesAndTenThousandStringsPrintWhole) {
  std::vector<unsigned char> bytes(1000000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i % 251);
  FakeObject blob;
  blob.Add(L"Data", ByteArray(bytes), CIM_UINT8 | CIM_FLAG_ARRAY);

  std::wstring list = Banner() + L"\r\nData={";
  std::wstring matrix = Banner() + L"\r\nData={\r\n\t   0    1    2    3    4    5    6    7    8    9";
  static const wchar_t kHex[] = L"0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) list += L',';
    list += std::to_wstring(bytes[i]);
    matrix += i % 10 ? L"," : L"\r\n" + std::to_wstring(i / 10) + L":\t";
    matrix += {L'0', L'x', kHex[bytes[i] >> 4], kHex[bytes[i] & 15]};
  }
  list += L"}\r\n\r\n";
  matrix += L"}\r\n\r\n";
  EXPECT_TRUE(RunOneObject(blob, {}) == list);
  EXPECT_TRUE(RunOneObject(blob, {L"/hexmatrix"}) == matrix);
  const std::vector<nlohmann::ordered_json> json = ParseJsonLines(RunOneObject(blob, {L"/format:json"}));
  ASSERT_EQ(json.size(), 1u);
  EXPECT_TRUE(json[0]["Data"].get<std::vector<unsigned char>>() == bytes);

  std::vector<std::wstring> texts;
  std::wstring strings = Banner() + L"\r\nNames={";
  for (int i = 0; i < 10000; ++i) {
    texts.push_back(L"name \u00e9 " + std::to_wstring(i));
    strings += (i ? L",\"" : L"\"") + texts.back() + L"\"";
  }
  strings += L"}\r\n\r\n";
  FakeObject names;
  names.Add(L"Names", StringArray(texts), CIM_STRING | CIM_FLAG_ARRAY);
  EXPECT_TRUE(RunOneObject(names, {}) == strings);
}

// Behind a first machine that does not answer, the others work on until what
// they hold reaches the budget, and wait there: memory does not grow with the
// number of machines or the size of their results.
TEST(Scale, HeldOutputStaysWithinItsBudgetBehindAStalledMachine) {
  constexpr size_t kBudget = size_t{4} << 20;
  const std::wstring text(256 * 1024, L'x');  // 512 KiB a result
  FakeWmiAccess wmi;
  wmi.keepLog = false;
  wmi.GenerateResults(32, [&text](size_t index) {
    FakeObject row(L"Win32_Row", L"\\\\.\\root\\cimv2:Win32_Row.Id=" + std::to_wstring(index));
    row.Add(L"Text", StringValue(text));
    return row;
  });
  // Were nothing held back, the others would all be done before it answers.
  wmi.Machine(L"first").HoldUntil(WmiOp::ExecQuery, [&wmi] { return wmi.MachinesDone() == 7; }, 3000);
  // Seven machines behind it: 112 MiB of output, were it all held.
  const std::vector<std::wstring> names = {L"first", L"m1", L"m2", L"m3", L"m4", L"m5", L"m6", L"m7"};
  RunSettings settings;
  settings.argNamespace = L"root\\cimv2";
  settings.argWQL = L"select * from win32_row";
  settings.formatJson = 1;
  settings.throttle = 4;

  size_t lines = 0;
  FunctionSink out([&lines](std::wstring_view written) {
    lines += static_cast<size_t>(std::count(written.begin(), written.end(), L'\n'));
  });
  const std::unique_ptr<Layout> runLayout = MakeLayout(settings, out);
  const size_t before = CommittedBytes();
  std::atomic<bool> finished{false};
  size_t peak = before;
  std::thread sampler([&] {
    while (!finished) {
      peak = std::max(peak, CommittedBytes());
      Sleep(5);
    }
  });
  const int exitCode = RunOnMachines(wmi, settings, names, out, *runLayout, kBudget);
  finished = true;
  sampler.join();
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(lines, names.size() * 32);
  // The budget, and a few results in flight on each machine at work.
  EXPECT_LT(peak - before, size_t{32} << 20) << "held output grew past its budget";
}

}  // namespace
