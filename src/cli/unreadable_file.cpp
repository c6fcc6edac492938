#include "cli/unreadable_file.h"

#include "render/layout.h"

void ReportUnreadableFile(Layout& layout, const TextFileRead& read, const wchar_t* kind, const std::wstring& path) {
  switch (read.problem) {
    case TextFileProblem::None:
      break;
    case TextFileProblem::CannotRead:
      PrintError(layout, L"ERROR: Failed to read the %ls %ls. Error code = 0x%x\r\n", kind, path.c_str(),
                 static_cast<unsigned>(read.hr));
      break;
    case TextFileProblem::NotAFile:
      PrintError(layout, L"ERROR: The %ls %ls is not a file.\r\n", kind, path.c_str());
      break;
    case TextFileProblem::TooLarge:
      PrintError(layout, L"ERROR: The %ls %ls is larger than 16 MiB.\r\n", kind, path.c_str());
      break;
    case TextFileProblem::NotText:
      PrintError(layout, L"ERROR: The %ls %ls is neither UTF-8 nor UTF-16LE text.\r\n", kind, path.c_str());
      break;
  }
}
