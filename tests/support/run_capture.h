// Runs Tollix in-process against a WmiAccess and captures what it prints.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/output.h"

class WmiAccess;

// Hands each text written to a function instead of keeping it, for runs too
// large to hold.
class FunctionSink final : public OutputSink {
 public:
  explicit FunctionSink(std::function<void(std::wstring_view)> receive) : receive_(std::move(receive)) {}
  void Write(std::wstring_view text) override { receive_(text); }

 private:
  std::function<void(std::wstring_view)> receive_;
};

struct RunResult {
  int exitCode = -1;
  std::wstring output;
};

// `arguments` follow the program path, as on a command line.
RunResult RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments);
// The same, writing to `out`; returns the exit code.
int RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments, OutputSink& out);

// The banner as this test program prints it (it carries no version resource).
std::wstring Banner();
