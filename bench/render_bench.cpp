// Rendering throughput and peak memory of the whole program, run in-process
// against the in-memory WMI.
//
//   render_bench.exe [--sizes 10000,100000,1000000] [--cases objects-list,...]
//       runs every case at every size, each measurement in a child process of
//       its own so that one measurement's peak memory cannot hide another's,
//       and prints the cost per unit (split into the in-memory WMI's share and
//       Tollix's own), the output size, the memory, and the growth of the cost
//       per unit from the smallest to the largest size (1.00 means linear).
//   render_bench.exe --child CASE COUNT
//       one measurement; prints a single "RESULT ..." line to standard error.
//
// Cases (COUNT is the number of objects or of array elements):
//   objects-list    COUNT result objects of 20 properties, list layout
//   objects-csv     the same in the CSV layout
//   objects-file    the list layout written through standard output (UTF-8,
//                   text mode) to a temporary file, as a redirected run writes
//   bytes           one object holding a byte array of COUNT elements
//   bytes-hexmatrix the same with /hexmatrix
//   strings         one object holding a string array of COUNT elements
//   objects-json, bytes-json, strings-json
//                   the same as objects-list, bytes and strings in JSON Lines
//   objects-wmic    the objects in wmic's table, as a copy named wmic.exe
//                   prints `path CLASS get *`: every row is held until the
//                   end, for the column widths, and written by one Finish
//   objects-wmic-csv, objects-wmic-xml
//                   the same in wmic's /format:csv and /format:rawxml; the
//                   run ends with the cost of the XML over the CSV, which is
//                   to stay within 1.5 times
// All but objects-file send the output into a counter (a FunctionSink), so
// they measure producing the text, not writing it.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include <memory>

#include "base/output.h"
#include "base/run_settings.h"
#include "cli/run_main.h"
#include "operations/wmi_query.h"
#include "render/wmic_layouts.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

struct Case {
  const wchar_t* name;
  const wchar_t* extraArgument;  // nullptr for none
  int valuesPerUnit;             // how many values one counted unit holds
  bool toFile;                   // written through standard output to a file, not counted in memory
  bool wmic;                     // a layout of wmic's, not one of Tollix's own
  WmicLayoutKind wmicKind;
};

const Case kCases[] = {
    {L"objects-list", nullptr, 20, false, false, WmicLayoutKind::kTable},
    {L"objects-csv", L"/format:csv", 20, false, false, WmicLayoutKind::kTable},
    {L"objects-file", nullptr, 20, true, false, WmicLayoutKind::kTable},
    {L"bytes", nullptr, 1, false, false, WmicLayoutKind::kTable},
    {L"bytes-hexmatrix", L"/hexmatrix", 1, false, false, WmicLayoutKind::kTable},
    {L"strings", nullptr, 1, false, false, WmicLayoutKind::kTable},
    {L"objects-json", L"/format:json", 20, false, false, WmicLayoutKind::kTable},
    {L"bytes-json", L"/format:json", 1, false, false, WmicLayoutKind::kTable},
    {L"strings-json", L"/format:json", 1, false, false, WmicLayoutKind::kTable},
    {L"objects-wmic", nullptr, 20, false, true, WmicLayoutKind::kTable},
    {L"objects-wmic-csv", nullptr, 20, false, true, WmicLayoutKind::kCsv},
    {L"objects-wmic-xml", nullptr, 20, false, true, WmicLayoutKind::kXml},
};

const Case* FindCase(const wchar_t* name) {
  for (const Case& entry : kCases) {
    if (wcscmp(entry.name, name) == 0) return &entry;
  }
  return nullptr;
}

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

PROCESS_MEMORY_COUNTERS MemoryNow() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters;
}

// A result object of 20 properties as a typical WMI class has them: strings
// of several lengths, integers of several widths, flags, nulls and two small
// arrays. The values vary with the index so no two lines are alike.
FakeObject MakeObject(size_t index) {
  const long long n = static_cast<long long>(index);
  FakeObject object(L"Bench_Item", L"\\\\HOST\\root\\cimv2:Bench_Item.Id=" + std::to_wstring(index));
  object.Add(L"Caption", StringValue(L"Bench item " + std::to_wstring(index)));
  object.Add(L"Description", StringValue(L"An item served by the in-memory WMI for the benchmark"));
  object.Add(L"Id", IntegerValue(VT_I4, n), CIM_UINT32);
  object.Add(L"Name", StringValue(L"item-" + std::to_wstring(index)));
  object.Add(L"Status", StringValue(L"OK"));
  object.Add(L"Enabled", BoolValue(index % 2 == 0), CIM_BOOLEAN);
  object.Add(L"Size", StringValue(std::to_wstring(1000000007ull * (index + 1))), CIM_UINT64);
  object.Add(L"Flags", IntegerValue(VT_I4, n * 7 % 65536), CIM_UINT16);
  object.Add(L"Priority", IntegerValue(VT_I4, n % 32), CIM_UINT32);
  object.Add(L"InstallDate", StringValue(L"20240131120000.000000+000"), CIM_DATETIME);
  object.Add(L"Manufacturer", StringValue(L"Veltra"));
  object.Add(L"Offset", IntegerValue(VT_I8, -n * 4096), CIM_SINT64);
  object.Add(L"Owner", NullValue());
  object.Add(L"PNPDeviceID", StringValue(L"ROOT\\BENCH\\" + std::to_wstring(index % 1000)));
  object.Add(L"Ready", BoolValue(true), CIM_BOOLEAN);
  object.Add(L"Revision", IntegerValue(VT_UI1, n % 256), CIM_UINT8);
  object.Add(L"Capabilities", IntegerArray(VT_I4, {3, 4, n % 10}), CIM_UINT16 | CIM_FLAG_ARRAY);
  object.Add(L"Aliases", StringArray({L"first", L"second"}), CIM_STRING | CIM_FLAG_ARRAY);
  object.Add(L"Temperature", IntegerValue(VT_I2, static_cast<short>(n % 100 - 20)), CIM_SINT16);
  object.Add(L"Location", NullValue());
  return object;
}

// What the in-memory WMI itself costs for one run: every call Tollix makes to
// it (Next, GetNames, Get, and a read of every array element), without any
// rendering. Subtracted from a run's time, it leaves Tollix's own share.
double WalkSeconds(FakeWmiAccess& fake) {
  const double start = Seconds();
  WmiLocator locator;
  WmiServices services;
  WmiEnumerator results;
  if (FAILED(fake.CreateLocator(locator)) ||
      FAILED(fake.ConnectServer(locator, L"root\\cimv2", {}, 0, WBEM_INFINITE, services)) ||
      FAILED(fake.ExecQuery(services, L"WQL", L"select * from bench", 0, results))) {
    return 0;
  }
  for (;;) {
    WmiObject object;
    ULONG returned = 0;
    if (FAILED(fake.Next(results, object, returned, WBEM_INFINITE)) || returned == 0) break;
    SafeArray names;
    LONG first = 0;
    LONG last = -1;
    fake.GetNames(object, WBEM_FLAG_NONSYSTEM_ONLY, names);
    fake.ArrayLowerBound(names.get(), first);
    fake.ArrayUpperBound(names.get(), last);
    for (LONG i = first; i <= last; ++i) {
      Bstr name;
      fake.ArrayElement(names.get(), i, name.put(), sizeof(BSTR));
      Variant value;
      CIMTYPE cimType = 0;
      fake.Get(object, name.c_str(), value, &cimType);
      if (!(value.type() & VT_ARRAY)) continue;
      SAFEARRAY* array = value.get().parray;
      LONG lower = 0;
      LONG upper = -1;
      fake.ArrayLowerBound(array, lower);
      fake.ArrayUpperBound(array, upper);
      const bool strings = (value.type() & VT_TYPEMASK) == VT_BSTR;
      for (LONG k = lower; k <= upper; ++k) {
        if (strings) {
          Bstr element;
          fake.ArrayElement(array, k, element.put(), sizeof(BSTR));
        } else {
          unsigned char element[8];
          fake.ArrayElement(array, k, element, sizeof(element));
        }
      }
    }
  }
  return Seconds() - start;
}

// wmic's layout of the bench objects, through the query loop both grammars
// share, with the settings a wmic-named run makes of `path bench get *`
// (CSV and XML read the system properties too, for __SERVER and __CLASS).
// wmic's messages are counted apart: the case fails if there are any.
int RunWmicLayout(FakeWmiAccess& fake, OutputSink& out, WmicLayoutKind kind) {
  RunSettings settings;
  settings.argNamespace = L"root\\cimv2";
  settings.argWQL = L"select * from bench";
  settings.argFUNC = Operation::GET;
  settings.showAllProperties = kind == WmicLayoutKind::kTable ? 0 : 1;
  unsigned long long messageChars = 0;
  FunctionSink errors([&](std::wstring_view text) { messageChars += text.size(); });
  const std::unique_ptr<WmicLayout> layout = MakeWmicLayout(kind, out, errors, {L"HOST", false, {}, {}});
  const int failed = WmiQuery(fake, settings, *layout, settings.argNamespace.c_str(), settings.argWQL.c_str());
  layout->Finish();
  out.Flush();
  return failed != 0 || messageChars != 0 ? 1 : 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// One measurement, in a process of its own; prints "RESULT seconds wmiSeconds
// chars lines workingSetBefore peakWorkingSet peakPrivate" to standard error
// (standard output may be the case's output file).
int RunChild(const Case& benchCase, size_t count) {
  FakeWmiAccess fake;
  fake.keepLog = false;
  const std::wstring name = benchCase.name;
  if (name.rfind(L"objects", 0) == 0) {
    fake.GenerateResults(count, MakeObject);
  } else if (name.rfind(L"bytes", 0) == 0) {
    std::vector<unsigned char> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(i * 31 + 7);
    fake.AddResult(L"Bench_Blob", L"\\\\HOST\\root\\cimv2:Bench_Blob.Id=1").Add(L"Data", ByteArray(bytes),
                                                                               CIM_UINT8 | CIM_FLAG_ARRAY);
  } else {
    Variant texts;
    {
      std::vector<std::wstring> items(count);
      for (size_t i = 0; i < count; ++i) items[i] = L"value-" + std::to_wstring(i);
      texts = StringArray(items);
    }
    fake.AddResult(L"Bench_Texts", L"\\\\HOST\\root\\cimv2:Bench_Texts.Id=1")
        .Add(L"Items", std::move(texts), CIM_STRING | CIM_FLAG_ARRAY);
  }

  unsigned long long chars = 0;
  unsigned long long lines = 0;
  std::unique_ptr<OutputSink> out;
  if (benchCase.toFile) {
    out = std::make_unique<StdoutSink>();
  } else {
    out = std::make_unique<FunctionSink>([&](std::wstring_view text) {
      chars += text.size();
      for (wchar_t c : text) lines += c == L'\n';
    });
  }

  std::wstring program = L"render_bench.exe";
  std::wstring query = L"/wql:select * from bench";
  std::wstring extra = benchCase.extraArgument ? benchCase.extraArgument : L"";
  std::vector<wchar_t*> argv = {program.data(), query.data()};
  if (benchCase.extraArgument) argv.push_back(extra.data());
  argv.push_back(nullptr);

  // One cold run, as a real Tollix process makes it; then the in-memory
  // WMI's own share, measured warm after it (so Tollix's share, the
  // difference, errs on the high side).
  const SIZE_T before = MemoryNow().WorkingSetSize;
  const double start = Seconds();
  const int exitCode = benchCase.wmic ? RunWmicLayout(fake, *out, benchCase.wmicKind)
                                           : RunMain(static_cast<int>(argv.size() - 1), argv.data(), fake, *out);
  out.reset();  // a file's last bytes are written here
  const double seconds = Seconds() - start;
  if (exitCode != 0) {
    fprintf(stderr, "ERROR exit code %d\n", exitCode);
    return 1;
  }
  const double wmiSeconds = WalkSeconds(fake);
  const PROCESS_MEMORY_COUNTERS after = MemoryNow();
  fprintf(stderr, "RESULT %.9f %.9f %llu %llu %llu %llu %llu\n", seconds, wmiSeconds, chars, lines,
          static_cast<unsigned long long>(before), static_cast<unsigned long long>(after.PeakWorkingSetSize),
          static_cast<unsigned long long>(after.PeakPagefileUsage));
  return 0;
}

struct Measurement {
  bool ok = false;
  double seconds = 0;
  double wmiSeconds = 0;
  unsigned long long chars = 0;
  unsigned long long lines = 0;
  unsigned long long before = 0;
  unsigned long long peakWorkingSet = 0;
  unsigned long long peakPrivate = 0;
  int runs = 0;
};

// Starts this program again as `--child CASE COUNT` and reads its result line.
Measurement MeasureOnce(const Case& benchCase, size_t count) {
  Measurement result;
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --child " + benchCase.name + L" " +
                             std::to_wstring(count);

  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  // A case written to a file gets a fresh temporary file as standard output.
  wchar_t outputPath[MAX_PATH] = {};
  HANDLE output = INVALID_HANDLE_VALUE;
  if (benchCase.toFile) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"tlx", 0, outputPath);
    output = CreateFileW(outputPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY, nullptr);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output != INVALID_HANDLE_VALUE ? output : writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &process);
  CloseHandle(writeEnd);
  std::string text;
  if (started) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(readEnd);
  unsigned long long fileBytes = 0;
  if (output != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(output, &size)) fileBytes = static_cast<unsigned long long>(size.QuadPart);
    CloseHandle(output);
    DeleteFileW(outputPath);
  }
  if (!started) return result;

  const size_t at = text.find("RESULT ");
  if (at == std::string::npos) {
    fprintf(stderr, "%ls %zu: %s\n", benchCase.name, count, text.c_str());
    return result;
  }
  result.ok = sscanf(text.c_str() + at, "RESULT %lf %lf %llu %llu %llu %llu %llu", &result.seconds,
                     &result.wmiSeconds, &result.chars, &result.lines, &result.before, &result.peakWorkingSet,
                     &result.peakPrivate) == 7;
  if (benchCase.toFile) result.chars = fileBytes;
  result.runs = 1;
  return result;
}

// Each measurement is made in several processes and the medians taken: five
// up to a million values, three up to two million, and one beyond (a run of
// twenty million values takes close to a minute and is steady on its own).
Measurement Measure(const Case& benchCase, size_t count) {
  const size_t values = count * static_cast<size_t>(benchCase.valuesPerUnit);
  const int runs = values <= 1000000 ? 5 : values <= 2000000 ? 3 : 1;
  std::vector<Measurement> all;
  for (int run = 0; run < runs; ++run) {
    Measurement m = MeasureOnce(benchCase, count);
    if (!m.ok) return m;
    all.push_back(m);
  }
  std::vector<double> seconds;
  std::vector<double> wmiSeconds;
  Measurement result = all.front();
  for (const Measurement& m : all) {
    seconds.push_back(m.seconds);
    wmiSeconds.push_back(m.wmiSeconds);
    result.peakWorkingSet = std::max(result.peakWorkingSet, m.peakWorkingSet);
    result.peakPrivate = std::max(result.peakPrivate, m.peakPrivate);
  }
  result.seconds = Median(seconds);
  result.wmiSeconds = Median(wmiSeconds);
  result.runs = runs;
  return result;
}

std::vector<std::wstring> SplitList(const wchar_t* text) {
  std::vector<std::wstring> items;
  std::wstring item;
  for (const wchar_t* p = text;; ++p) {
    if (*p == L',' || *p == 0) {
      if (!item.empty()) items.push_back(item);
      item.clear();
      if (*p == 0) break;
    } else {
      item += *p;
    }
  }
  return items;
}

double MiB(unsigned long long bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

int RunAll(const std::vector<size_t>& sizes, const std::vector<const Case*>& cases) {
  printf("Cost per unit (an object of 20 properties, or an array element), median of the runs:\n");
  printf("  total = the whole run, WMI = the in-memory WMI's own calls, Tollix = the difference\n\n");
  printf("%-16s %8s %11s %9s %9s %13s %9s %9s %9s %4s\n", "case", "count", "total us", "WMI us", "Tollix us",
         "output", "base MiB", "peak MiB", "priv MiB", "runs");
  struct Growth {
    const Case* benchCase;
    double firstTotal, lastTotal, firstOwn, lastOwn;
  };
  std::vector<Growth> growth;
  // Cost per object of wmic's CSV and XML at each size (the whole run, and
  // Tollix's own share), for their ratio.
  struct Cost {
    size_t count;
    double total, own;
  };
  std::vector<Cost> csvCosts;
  std::vector<Cost> xmlCosts;
  int failures = 0;
  for (const Case* benchCase : cases) {
    Growth g{benchCase, 0, 0, 0, 0};
    for (size_t count : sizes) {
      const Measurement m = Measure(*benchCase, count);
      if (!m.ok) {
        printf("%-16ls %8zu   FAILED\n", benchCase->name, count);
        ++failures;
        continue;
      }
      const double total = m.seconds / static_cast<double>(count) * 1e6;
      const double wmi = m.wmiSeconds / static_cast<double>(count) * 1e6;
      const double own = total - wmi;
      if (g.firstTotal == 0) {
        g.firstTotal = total;
        g.firstOwn = own;
      }
      g.lastTotal = total;
      g.lastOwn = own;
      if (wcscmp(benchCase->name, L"objects-wmic-csv") == 0) csvCosts.push_back({count, total, own});
      if (wcscmp(benchCase->name, L"objects-wmic-xml") == 0) xmlCosts.push_back({count, total, own});
      char output[32];
      snprintf(output, sizeof(output), "%llu %s", m.chars, benchCase->toFile ? "B" : "ch");
      printf("%-16ls %8zu %11.3f %9.3f %9.3f %13s %9.1f %9.1f %9.1f %4d\n", benchCase->name, count, total, wmi, own,
             output, MiB(m.before), MiB(m.peakWorkingSet), MiB(m.peakPrivate), m.runs);
      fflush(stdout);
    }
    if (g.firstTotal > 0) growth.push_back(g);
  }
  if (sizes.size() >= 2) {
    printf("\nCost per unit at %zu relative to %zu (1.00 = linear):\n", sizes.back(), sizes.front());
    printf("  %-16s %7s %7s\n", "case", "total", "Tollix");
    for (const Growth& g : growth) {
      printf("  %-16ls %7.2f %7.2f\n", g.benchCase->name, g.lastTotal / g.firstTotal, g.lastOwn / g.firstOwn);
    }
  }
  for (const Cost& xml : xmlCosts) {
    for (const Cost& csv : csvCosts) {
      if (csv.count != xml.count || csv.total <= 0 || csv.own <= 0) continue;
      printf("\nwmic /format:rawxml against /format:csv, %zu objects: %.2f times the cost of the run (at most 1.50);"
             " Tollix's own share %.2f times\n",
             xml.count, xml.total / csv.total, xml.own / csv.own);
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

// A plain main with its (ASCII) arguments widened: the test support library
// this program links carries GoogleTest's own main, which a wmain would leave
// for some linkers to pick.
int main(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i], argv[i] + strlen(argv[i]));

  if (argc == 4 && args[1] == L"--child") {
    const Case* benchCase = FindCase(args[2].c_str());
    if (benchCase == nullptr) {
      fprintf(stderr, "unknown case %ls\n", args[2].c_str());
      return 2;
    }
    return RunChild(*benchCase, static_cast<size_t>(_wcstoui64(args[3].c_str(), nullptr, 10)));
  }

  std::vector<size_t> sizes = {10000, 100000, 1000000};
  std::vector<const Case*> cases;
  for (const Case& entry : kCases) cases.push_back(&entry);
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 < argc && args[i] == L"--sizes") {
      sizes.clear();
      for (const std::wstring& size : SplitList(args[i + 1].c_str())) {
        sizes.push_back(static_cast<size_t>(_wcstoui64(size.c_str(), nullptr, 10)));
      }
    } else if (i + 1 < argc && args[i] == L"--cases") {
      cases.clear();
      for (const std::wstring& name : SplitList(args[i + 1].c_str())) {
        const Case* benchCase = FindCase(name.c_str());
        if (benchCase == nullptr) {
          printf("unknown case %ls\n", name.c_str());
          return 2;
        }
        cases.push_back(benchCase);
      }
    } else {
      printf("usage: render_bench [--sizes N,N,...] [--cases NAME,...]\n");
      return 2;
    }
  }
  if (sizes.empty() || cases.empty()) return 2;
  return RunAll(sizes, cases);
}
