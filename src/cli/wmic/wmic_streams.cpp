#include <cstdio>

#include "base/output.h"
#include "base/wmic_output.h"
#include "cli/wmic/wmic_main.h"

namespace {

class StandardWmicStreams final : public WmicStreams {
 public:
  OutputSink& Output(bool json) override {
    if (!output_) {
      if (json) {
        output_ = std::make_unique<StdoutSink>(stdout);
      } else {
        output_ = std::make_unique<WmicOutputSink>(GetStdHandle(STD_OUTPUT_HANDLE));
      }
    }
    return *output_;
  }

  OutputSink& Errors() override { return errors_; }

  std::unique_ptr<OutputSink> OpenFile(const std::wstring& path, bool append, DWORD& error) override {
    return WmicOutputSink::OpenFile(path, append, error);
  }

 private:
  std::unique_ptr<OutputSink> output_;
  WmicOutputSink errors_{GetStdHandle(STD_ERROR_HANDLE)};
};

}  // namespace

std::unique_ptr<WmicStreams> MakeStandardWmicStreams() { return std::make_unique<StandardWmicStreams>(); }
