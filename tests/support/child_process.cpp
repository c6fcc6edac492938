#include "support/child_process.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

namespace {

// Owns one kernel handle and closes it.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Reset(); }
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE Get() const { return handle_; }
  HANDLE* Put() {
    Reset();
    return &handle_;
  }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Reset() {
    if (Valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

std::string LastErrorText(const char* what) { return std::string(what) + " failed, error " + std::to_string(GetLastError()); }

// A pipe whose write end the child inherits and whose read end stays here.
bool MakeOutputPipe(Handle& readEnd, Handle& writeEnd) {
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  if (!CreatePipe(readEnd.Put(), writeEnd.Put(), &inheritable, 0)) return false;
  return SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0) != 0;
}

// Moves whatever the pipe holds into sink without blocking.
void DrainAvailable(HANDLE pipe, std::string& sink) {
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
    std::string buffer(available, '\0');
    DWORD got = 0;
    if (!ReadFile(pipe, buffer.data(), available, &got, nullptr)) return;
    sink.append(buffer.data(), got);
  }
}

// Whether a run's end is Wine's doing rather than the program's: Wine could
// not create the process, or the process died at once having written nothing
// but Wine's own notices, with an exit code the programs these tests start
// (Tollix, reg.exe) never give. Returns what happened; empty when the program
// itself ran.
std::string WineFailedTheLaunch(const ChildRun& run, ULONGLONG elapsedMs) {
  const std::string notCreated = "CreateProcessW failed, error ";
  if (run.failure.rfind(notCreated, 0) == 0) {
    // A program that is not there is the test's fault, not Wine's.
    const std::string error = run.failure.substr(notCreated.size());
    const bool missing = error == std::to_string(ERROR_FILE_NOT_FOUND) || error == std::to_string(ERROR_PATH_NOT_FOUND);
    return missing ? "" : run.failure;
  }
  if (!run.failure.empty() || !run.out.empty() || run.exitCode == 0 || run.exitCode == 1) return "";
  if (elapsedMs > 3000) return "";
  size_t lineStart = 0;
  while (lineStart < run.err.size()) {
    size_t lineEnd = run.err.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = run.err.size();
    const std::string line = run.err.substr(lineStart, lineEnd - lineStart);
    if (!line.empty() && line != "\r" && line.rfind("wine:", 0) != 0) return "";
    lineStart = lineEnd + 1;
  }
  char code[16];
  std::snprintf(code, sizeof(code), "0x%08lx", run.exitCode);
  return "the child ended after " + std::to_string(elapsedMs) + " ms with exit code " + code + " and no output";
}

}  // namespace

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  // Backslashes are literal unless they precede a quote: then each one is
  // doubled, and the quote itself is escaped. The closing quote counts too.
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

namespace {

ChildRun RunOnce(const std::wstring& program, const std::vector<std::wstring>& arguments, unsigned long timeoutMs,
                 bool outputClosed, const std::string* standardInput) {
  ChildRun run;
  std::wstring commandLine = QuoteArgument(program);
  for (const std::wstring& argument : arguments) commandLine += L" " + QuoteArgument(argument);

  Handle outRead, outWrite, errRead, errWrite;
  if (!MakeOutputPipe(outRead, outWrite) || !MakeOutputPipe(errRead, errWrite)) {
    run.failure = LastErrorText("CreatePipe");
    return run;
  }
  if (outputClosed) outRead.Reset();
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  Handle input;
  if (standardInput != nullptr) {
    // The whole input waits in the pipe, which is closed behind it: the
    // child reads it, then the end of input.
    Handle inputWrite;
    if (!CreatePipe(input.Put(), inputWrite.Put(), &inheritable, 0) ||
        !SetHandleInformation(inputWrite.Get(), HANDLE_FLAG_INHERIT, 0)) {
      run.failure = LastErrorText("CreatePipe");
      return run;
    }
    DWORD written = 0;
    WriteFile(inputWrite.Get(), standardInput->data(), static_cast<DWORD>(standardInput->size()), &written, nullptr);
  } else {
    input = Handle(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                               0, nullptr));
  }
  if (!input.Valid()) {
    run.failure = LastErrorText("Opening standard input");
    return run;
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.Get();
  startup.hStdOutput = outWrite.Get();
  startup.hStdError = errWrite.Get();
  PROCESS_INFORMATION info = {};
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  if (!CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &info)) {
    run.failure = LastErrorText("CreateProcessW");
    return run;
  }
  Handle process(info.hProcess);
  Handle thread(info.hThread);
  // Only the child may hold the write ends now, so the reads end when it does.
  outWrite.Reset();
  errWrite.Reset();
  input.Reset();

  // Both streams are drained while the child runs, so a full pipe never
  // blocks it. Once it has ended, what it wrote is all in the pipes: a process
  // it started (Wine's desktop, say) may still hold the write ends, so the end
  // of the child, not the end of the pipes, ends the reading.
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const bool ended = WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0;
    DrainAvailable(outRead.Get(), run.out);
    DrainAvailable(errRead.Get(), run.err);
    if (ended) break;
    if (GetTickCount64() > deadline) {
      TerminateProcess(process.Get(), 255);
      WaitForSingleObject(process.Get(), INFINITE);
      run.failure = "the child did not finish within " + std::to_string(timeoutMs) + " ms";
      break;
    }
  }
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.Get(), &exitCode) && run.failure.empty()) {
    run.failure = LastErrorText("GetExitCodeProcess");
  }
  run.exitCode = exitCode;
  return run;
}

}  // namespace

ChildRun RunChild(const std::wstring& program, const std::vector<std::wstring>& arguments, unsigned long timeoutMs,
                  bool outputClosed, const std::string* standardInput) {
  const ULONGLONG start = GetTickCount64();
  ChildRun run = RunOnce(program, arguments, timeoutMs, outputClosed, standardInput);
  // Now and then Wine fails a launch on its own; that once is not the
  // program's fault. The second attempt stands, whatever it gives, and the
  // retry is left in the test's output.
  const std::string wineFailure = WineFailedTheLaunch(run, GetTickCount64() - start);
  if (wineFailure.empty()) return run;
  std::fprintf(stderr, "Launched again, as Wine failed the first launch: %s\n", wineFailure.c_str());
  std::fflush(stderr);
  testing::Test::RecordProperty("wine_launch_retried", wineFailure);
  return RunOnce(program, arguments, timeoutMs, outputClosed, standardInput);
}

std::wstring DirectoryOfThisProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L".\\";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}
