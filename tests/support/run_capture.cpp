#include "support/run_capture.h"

#include "base/output.h"
#include "cli/run_main.h"
#include "cli/usage.h"

RunResult RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments) {
  std::vector<std::wstring> owned;
  owned.push_back(L"C:\\tools\\Tollix.exe");
  owned.insert(owned.end(), arguments.begin(), arguments.end());
  std::vector<wchar_t*> argv;
  for (std::wstring& argument : owned) argv.push_back(argument.data());
  argv.push_back(nullptr);
  BufferSink out;
  RunResult result;
  result.exitCode = RunMain(static_cast<int>(owned.size()), argv.data(), wmi, out);
  result.output = out.Text();
  return result;
}

std::wstring Banner() { return L"Tollix.exe " + GetProductVersion() + L"\r\n"; }
