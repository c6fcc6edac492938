// A small text file read whole, such as a list of machine names: a disk file
// of at most 16 MiB, UTF-8 with or without a BOM, or UTF-16LE with a BOM.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

inline constexpr std::size_t TEXT_FILE_LIMIT = 16 * 1024 * 1024;  // bytes

enum class TextFileProblem { None, CannotRead, NotAFile, TooLarge, NotText };

// What reading gave: the text, or what went wrong. The caller words the
// message, naming the kind of file it asked for.
struct TextFileRead {
  TextFileProblem problem = TextFileProblem::None;
  HRESULT hr = S_OK;  // why, with CannotRead
  std::wstring text;
};

// Refuses devices, pipes and consoles: reading those may never end, or hand
// out what was meant for someone else.
TextFileRead ReadTextFile(const std::wstring& path);

// One line of `input` as its bytes, without the LF and a CR before it, read
// a byte at a time so that nothing after it is taken. False when the input
// had ended before it.
bool ReadByteLine(HANDLE input, std::string& bytes);
