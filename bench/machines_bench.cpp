// A run over many machines, in-process against the in-memory WMI, each
// machine taking a fixed time to connect.
//
//   machines_bench.exe MACHINES CONNECT_MS THROTTLE
//       prints one line: machines, throttle, wall time in ms, the ideal time
//       ceil(MACHINES / THROTTLE) x CONNECT_MS, their ratio, and the process's
//       peak working set in MiB. Output is counted, not kept. The names repeat
//       after THROTTLE distinct ones, so that the in-memory WMI keeps no more
//       than THROTTLE machines of its own and the memory measured is Tollix's.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "cli/run_main.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: machines_bench MACHINES CONNECT_MS THROTTLE\n");
    return 2;
  }
  const unsigned long machines = wcstoul(argv[1], nullptr, 10);
  const unsigned long connectMs = wcstoul(argv[2], nullptr, 10);
  const unsigned long throttle = wcstoul(argv[3], nullptr, 10);
  if (machines == 0 || throttle == 0) return 2;

  FakeWmiAccess wmi;
  wmi.keepLog = false;
  wmi.AddResult(L"Win32_BIOS", L"\\\\.\\root\\cimv2:Win32_BIOS.Name=\"bios\"")
      .Add(L"Name", StringValue(L"Default System BIOS"))
      .Add(L"Version", StringValue(L"1.0"));
  wmi.SetLatency(WmiOp::ConnectServer, connectMs);

  // The names go in a file, as a long list would.
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t path[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  GetTempFileNameW(folder, L"tmb", 0, path);
  std::string names;
  for (unsigned long i = 0; i < machines; ++i) names += "pc" + std::to_string(i % throttle) + "\r\n";
  const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, names.data(), static_cast<DWORD>(names.size()), &written, nullptr);
  CloseHandle(file);
  names = std::string();

  unsigned long long lines = 0;
  FunctionSink out([&](std::wstring_view text) {
    for (wchar_t c : text) lines += c == L'\n';
  });
  std::vector<std::wstring> arguments = {L"machines_bench.exe", L"/wql:select * from win32_bios",
                                         L"/node:@" + std::wstring(path), L"/throttle:" + std::to_wstring(throttle),
                                         L"/format:csv"};
  std::vector<wchar_t*> argv2;
  for (std::wstring& argument : arguments) argv2.push_back(argument.data());
  argv2.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const int exitCode = RunMain(static_cast<int>(arguments.size()), argv2.data(), wmi, out);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  DeleteFileW(path);

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
  const double ideal = static_cast<double>((machines + throttle - 1) / throttle) * connectMs;
  printf("%8lu %8lu %10.0f %10.0f %7.3f %9.1f %s\n", machines, throttle, ms, ideal, ideal > 0 ? ms / ideal : 0.0,
         memory.PeakWorkingSetSize / 1048576.0,
         exitCode == 0 && lines == machines + 2 ? "ok" : "WRONG OUTPUT");
  return exitCode;
}
