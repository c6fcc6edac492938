#include "support/run_capture.h"

#include <gtest/gtest.h>

#include "base/output.h"
#include "cli/run_main.h"
#include "cli/usage.h"
#include "support/fake_wmi_access.h"

int RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments, OutputSink& out, StopRequest* stop) {
  std::vector<std::wstring> owned;
  owned.push_back(L"C:\\tools\\Tollix.exe");
  owned.insert(owned.end(), arguments.begin(), arguments.end());
  std::vector<wchar_t*> argv;
  for (std::wstring& argument : owned) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return RunMain(static_cast<int>(owned.size()), argv.data(), wmi, out, nullptr, stop);
}

RunResult RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments) {
  HeldSink out;
  RunResult result;
  result.exitCode = RunTollix(wmi, arguments, out);
  result.output = out.Text();
  return result;
}

std::wstring Banner() { return L"Tollix.exe " + GetProductVersion() + L"\r\n"; }

void ExpectRefusedBeforeAnythingRuns(FakeWmiAccess& wmi, const std::wstring& query,
                                     const std::vector<std::wstring>& arguments, const std::wstring& error) {
  std::vector<std::wstring> all = {query};
  all.insert(all.end(), arguments.begin(), arguments.end());
  const RunResult run = RunTollix(wmi, all);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, error + L"\r\n");
  EXPECT_TRUE(wmi.log.empty());
}
