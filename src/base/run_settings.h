// What the command line asks for. The argument scan returns it, and every
// part of the program reads it as a const value; nothing changes it during a
// run.
#pragma once

#include <cstddef>
#include <string>

// Text settings hold at most FIELD_CHARS - 1 characters.
inline constexpr std::size_t FIELD_CHARS = 260;

enum class Operation : int { GET = 0, SET = 1, CALL = 2 };

struct RunSettings {
  std::wstring argNamespace;
  std::wstring argWQL;
  std::wstring argClassName;
  std::wstring argSelectColumns;
  std::wstring argKey;
  std::wstring argMethodName;
  std::wstring argArguments;
  Operation argFUNC = Operation::GET;
  int debugDisplay = 0;
  int showAllProperties = 0;
  int hexMatrix = 0;
  int formatCsv = 0;
  int formatJson = 0;
};
