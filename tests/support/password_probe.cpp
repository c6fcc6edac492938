// password_probe.exe [keep-running]: wmic's password prompt on its own, for
// the console test, which needs a whole program on a real console. Asks as
// wmic does and writes to standard output what it got, in one line:
//   found=HEX read=yes|no length=N mode=M password=TEXT
// `found` is the console's input mode before the prompt, `mode` compares the
// one after it with that: restored, changed, or none without a console. With
// keep-running, a handler of the probe's own would take a Ctrl+C and keep
// the probe running; the prompt must end the probe first. The password is
// UTF-8.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/text.h"
#include "cli/password_prompt.h"

namespace {

BOOL WINAPI KeepRunning(DWORD event) { return event == CTRL_C_EVENT ? TRUE : FALSE; }

}  // namespace

int main(int argc, char** argv) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD before = 0;
  const bool console = GetConsoleMode(input, &before) != 0;
  if (argc > 1 && std::strcmp(argv[1], "keep-running") == 0) SetConsoleCtrlHandler(KeepRunning, TRUE);
  std::wstring password;
  const bool read = AskPasswordShowingStars(L"Enter the password :", password);
  DWORD after = 0;
  const char* mode = "none";
  if (console) mode = GetConsoleMode(input, &after) && after == before ? "restored" : "changed";
  std::string text;
  if (!ToUtf8(password, text)) text = "(not UTF-16)";
  char found[16] = {};
  std::snprintf(found, sizeof(found), "%lx", static_cast<unsigned long>(before));
  const std::string line = std::string("found=") + found + " read=" + (read ? "yes" : "no") + " length=" +
                           std::to_string(password.size()) + " mode=" + mode + " password=" + text + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  return read ? 0 : 1;
}
