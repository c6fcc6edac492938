#include "support/run_capture.h"

#include "base/output.h"
#include "cli/run_main.h"
#include "cli/usage.h"

int RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments, OutputSink& out) {
  std::vector<std::wstring> owned;
  owned.push_back(L"C:\\tools\\Tollix.exe");
  owned.insert(owned.end(), arguments.begin(), arguments.end());
  std::vector<wchar_t*> argv;
  for (std::wstring& argument : owned) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return RunMain(static_cast<int>(owned.size()), argv.data(), wmi, out);
}

RunResult RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments) {
  HeldSink out;
  RunResult result;
  result.exitCode = RunTollix(wmi, arguments, out);
  result.output = out.Text();
  return result;
}

std::wstring Banner() { return L"Tollix.exe " + GetProductVersion() + L"\r\n"; }
