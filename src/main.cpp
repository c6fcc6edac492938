#include <windows.h>

#include <memory>
#include <string>

#include "base/output.h"
#include "base/progress_line.h"
#include "cli/console_stop.h"
#include "cli/run_main.h"
#include "cli/wmic/wmic_main.h"
#include "wmi/com_wmi_access.h"

namespace {

std::wstring ModulePath() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  return path;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ComWmiAccess wmi;
  // A copy named wmic.exe reads the raw command line: argv has lost the
  // double quotes its where clauses hand on to WQL.
  if (IsWmicName(ModulePath())) {
    const std::unique_ptr<WmicStreams> streams = MakeStandardWmicStreams();
    return RunWmicMain(GetCommandLineW(), wmi, *streams, WmicThisMachineName());
  }
  StdoutSink out;
  const std::unique_ptr<ProgressLine> progress = MakeStderrProgressLine();
  ConsoleStopRequest stop;
  return RunMain(argc, argv, wmi, out, progress.get(), &stop);
}
