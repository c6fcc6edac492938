// Starts a program as a child process and collects what it writes.
#pragma once

#include <string>
#include <vector>

struct ChildRun {
  std::string failure;         // why the child could not be run; empty when it ran
  unsigned long exitCode = 0;  // the child's exit code
  std::string out;             // standard output, byte for byte
  std::string err;             // standard error, byte for byte
};

// Quotes one argument so that the child's command-line parser (the C runtime's
// or CommandLineToArgvW) gives back exactly the same text.
std::wstring QuoteArgument(const std::wstring& argument);

// Runs program with the given arguments (argument 0, the program path, is added
// here), standard input reading from NUL (or from a pipe holding
// `standardInput`, then its end) and both output streams captured through
// pipes. A child that runs longer than timeoutMs is stopped and reported as a
// failure. With `outputClosed`, nobody reads standard output: the child's
// writes to it fail. A launch that Wine itself failed (the process not
// created, or dead at once with nothing written and an exit code no program
// here gives) is made once more, and said so on standard error and in the
// test's properties.
ChildRun RunChild(const std::wstring& program, const std::vector<std::wstring>& arguments,
                  unsigned long timeoutMs = 90000, bool outputClosed = false,
                  const std::string* standardInput = nullptr);

// The directory holding the running executable, with a trailing backslash.
std::wstring DirectoryOfThisProgram();
