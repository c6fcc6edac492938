#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/output.h"
#include "base/text_file.h"
#include "base/wmic_output.h"
#include "cli/console_stop.h"
#include "cli/password_prompt.h"
#include "cli/wmic/wmic_choices.h"
#include "cli/wmic/wmic_main.h"

namespace {

// A line typed at the console, as the console gives it.
bool ReadConsoleLine(HANDLE input, std::wstring& line) {
  wchar_t piece[256];
  for (;;) {
    DWORD got = 0;
    if (!ReadConsoleW(input, piece, 256, &got, nullptr) || got == 0) return !line.empty();
    line.append(piece, got);
    const size_t end = line.find(L'\n');
    if (end != std::wstring::npos) {
      line.resize(end);
      break;
    }
  }
  if (!line.empty() && line.back() == L'\r') line.pop_back();
  return true;
}

// A line of piped or redirected input, in the code page wmic's own output
// uses there.
bool ReadPipedLine(HANDLE input, std::wstring& line) {
  std::string bytes;
  if (!ReadByteLine(input, bytes)) return false;
  line.clear();
  if (bytes.empty()) return true;
  const UINT codePage = WmicNarrowCodePage();
  const int size = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (size <= 0) return true;
  line.resize(static_cast<size_t>(size));
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), line.data(), size);
  return true;
}

// Whether a key was pressed on the console since the last look; what was
// typed is taken out of the input, so that the shell does not run it.
bool KeyPressed(HANDLE input) {
  DWORD waiting = 0;
  if (!GetNumberOfConsoleInputEvents(input, &waiting) || waiting == 0) return false;
  std::vector<INPUT_RECORD> records(waiting);
  DWORD read = 0;
  if (!ReadConsoleInputW(input, records.data(), waiting, &read)) return false;
  for (DWORD i = 0; i < read; ++i) {
    if (records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown) return true;
  }
  return false;
}

// How often a wait looks for Ctrl+C between the console's own signals.
constexpr DWORD kStopLookMs = 100;

class StandardWmicStreams final : public WmicStreams {
 public:
  OutputSink& Output(bool json) override {
    if (!output_) {
      const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
      if (json) {
        output_ = std::make_unique<StdoutSink>(stdout);
      } else if (changes_) {
        output_ = WmicOutputSink::ForChanges(handle);
      } else {
        output_ = std::make_unique<WmicOutputSink>(handle);
      }
    }
    return *output_;
  }

  OutputSink& Errors() override { return *errors_; }

  std::unique_ptr<OutputSink> OpenFile(const std::wstring& path, bool append, DWORD& error) override {
    return WmicOutputSink::OpenFile(path, append, error, changes_);
  }

  void ChangeMessagesFollow() override {
    if (changes_) return;
    changes_ = true;
    errors_->Flush();
    errors_ = WmicOutputSink::ForChanges(GetStdHandle(STD_ERROR_HANDLE));
  }

  bool CanAsk() override {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != FALSE;
  }

  bool AskPassword(std::wstring& password) override {
    return AskPasswordShowingStars(wmic_choices::kPasswordPromptText, password);
  }

  bool WaitForNextRun(unsigned seconds) override {
    // Ctrl+C ends the runs at the next wait, after the run it came in has
    // written all it read; a second one ends the process.
    if (!stop_) RunsRepeat();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode);
    const ULONGLONG until = GetTickCount64() + ULONGLONG{seconds} * 1000;
    for (;;) {
      if (stop_->Requested()) return false;
      const ULONGLONG now = GetTickCount64();
      if (now >= until) return true;
      const DWORD slice = static_cast<DWORD>(until - now < kStopLookMs ? until - now : kStopLookMs);
      if (!console) {
        Sleep(slice);
        continue;
      }
      if (WaitForSingleObject(input, slice) == WAIT_OBJECT_0 && KeyPressed(input)) return false;
    }
  }

  // Each repeated command gets a request of its own: one stopped at the
  // prompt does not stop the next after its first run.
  void RunsRepeat() override {
    stop_.reset();
    stop_ = std::make_unique<ConsoleStopRequest>();
    stop_->Arm();
  }

  void RunsEnded() override { stop_.reset(); }

  bool ReadLine(std::wstring& line) override {
    line.clear();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0;
    return GetConsoleMode(input, &mode) ? ReadConsoleLine(input, line) : ReadPipedLine(input, line);
  }

 private:
  std::unique_ptr<OutputSink> output_;
  std::unique_ptr<OutputSink> errors_ = std::make_unique<WmicOutputSink>(GetStdHandle(STD_ERROR_HANDLE));
  bool changes_ = false;
  std::unique_ptr<ConsoleStopRequest> stop_;
};

}  // namespace

std::unique_ptr<WmicStreams> MakeStandardWmicStreams() { return std::make_unique<StandardWmicStreams>(); }
