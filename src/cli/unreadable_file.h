// The words a file read whole is refused with, whatever it was meant to hold.
#pragma once

#include <string>

#include "base/text_file.h"

class Layout;

// `kind` names the file as the user knows it: "node file", "parameter file".
void ReportUnreadableFile(Layout& layout, const TextFileRead& read, const wchar_t* kind, const std::wstring& path);
