// Runs Tollix in-process against a WmiAccess and captures what it prints.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/output.h"

class FakeWmiAccess;
class StopRequest;
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

// Holds what it is given until Flush, as standard output does, so that a
// missing flush shows. With `lost`, nothing held ever arrives: every flush of
// held text fails, as on a full disk or a pipe nobody reads.
class HeldSink final : public OutputSink {
 public:
  explicit HeldSink(bool lost = false) : lost_(lost) {}
  void Write(std::wstring_view text) override {
    if (!failed_) held_.append(text);
  }
  bool Failed() const override { return failed_; }
  bool Flush() override {
    if (!held_.empty()) {
      if (lost_) failed_ = true;
      if (!failed_) text_ += held_;
      held_.clear();
    }
    return !failed_;
  }
  // What has arrived so far.
  const std::wstring& Text() const { return text_; }

 private:
  const bool lost_;
  bool failed_ = false;
  std::wstring held_;
  std::wstring text_;
};

struct RunResult {
  int exitCode = -1;
  std::wstring output;
};

// `arguments` follow the program path, as on a command line.
RunResult RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments);
// The same, writing to `out`; returns the exit code. `stop` ends a /watch.
int RunTollix(WmiAccess& wmi, const std::vector<std::wstring>& arguments, OutputSink& out,
              StopRequest* stop = nullptr);

// The banner as this test program prints it (it carries no version resource).
std::wstring Banner();

// Runs `arguments` after `query`, and expects exit 1 with nothing printed
// but the one `error` line, and nothing asked of WMI.
void ExpectRefusedBeforeAnythingRuns(FakeWmiAccess& wmi, const std::wstring& query,
                                     const std::vector<std::wstring>& arguments, const std::wstring& error);
