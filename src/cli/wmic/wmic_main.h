// The program run as wmic.exe: from the raw command line to the exit code.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

class OutputSink;
class WmiAccess;

// Whether a program of this path takes wmic's command line: its base name is
// wmic.exe, in any case.
bool IsWmicName(std::wstring_view modulePath);

// Where a wmic run writes. Standard output is opened on first use, in the
// form the run asks for: wmic's bytes, or Tollix's own JSON Lines.
class WmicStreams {
 public:
  virtual ~WmicStreams() = default;
  virtual OutputSink& Output(bool json) = 0;
  virtual OutputSink& Errors() = 0;
  // /output:FILE or /append:FILE; null, with `error` set, when it cannot be
  // opened.
  virtual std::unique_ptr<OutputSink> OpenFile(const std::wstring& path, bool append, DWORD& error) = 0;
  // The password /user: needs when the command line gives none: asked on the
  // console as wmic asks, or read from standard input. False when none came.
  virtual bool AskPassword(std::wstring& password) = 0;
  // A command typed at the prompt, without its line end; false at the end of
  // the input.
  virtual bool ReadLine(std::wstring& line) = 0;
  // From here on everything goes out as wmic's messages of changes do:
  // single-byte text on every handle but a console, files included.
  virtual void ChangeMessagesFollow() = 0;
  // Whether a console is there to ask /interactive:on's questions on.
  virtual bool CanAsk() = 0;
  // /every:'s wait of `seconds` before the next run; false once the user has
  // stopped the runs, with Ctrl+C or a key where there is a console. Streams
  // that cannot wait stop them.
  virtual bool WaitForNextRun(unsigned /*seconds*/) { return false; }
  // Runs are to repeat: from now on Ctrl+C ends them at the next wait, once
  // the run under way has written what it read, instead of ending the process
  // midway through a layout.
  virtual void RunsRepeat() {}
  // The repeated runs are over: Ctrl+C ends the process again.
  virtual void RunsEnded() {}
};

// The process's own standard output and error, each in the form its handle
// asks for.
std::unique_ptr<WmicStreams> MakeStandardWmicStreams();

// `commandLine` is the whole line, the program's name first, as
// GetCommandLineW gives it. `thisMachine` names this machine in node blocks
// and in CSV's Node field when an object does not carry its __SERVER.
int RunWmicMain(std::wstring_view commandLine, WmiAccess& wmi, WmicStreams& streams,
                const std::wstring& thisMachine);

// This computer's NetBIOS name, as wmic names it; "localhost" if unknown.
std::wstring WmicThisMachineName();
