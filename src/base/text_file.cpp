#include "base/text_file.h"

#include <cstring>

namespace {

// A kernel handle, closed when it goes.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (Valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

HRESULT LastError() { return HRESULT_FROM_WIN32(GetLastError()); }

TextFileProblem ReadBytes(const std::wstring& path, std::string& bytes, HRESULT& hr) {
  const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) {
    hr = LastError();
    return TextFileProblem::CannotRead;
  }
  if (GetFileType(file.Get()) != FILE_TYPE_DISK) return TextFileProblem::NotAFile;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.Get(), &size)) {
    hr = LastError();
    return TextFileProblem::CannotRead;
  }
  if (size.QuadPart > static_cast<LONGLONG>(TEXT_FILE_LIMIT)) return TextFileProblem::TooLarge;
  bytes.reserve(static_cast<size_t>(size.QuadPart));
  // The size is only what the file held a moment ago: one byte past the limit
  // is asked for, so that a file grown since is still caught, and no more.
  char chunk[64 * 1024];
  for (;;) {
    const size_t wanted = TEXT_FILE_LIMIT + 1 - bytes.size();
    const DWORD ask = static_cast<DWORD>(wanted < sizeof(chunk) ? wanted : sizeof(chunk));
    DWORD got = 0;
    if (!ReadFile(file.Get(), chunk, ask, &got, nullptr)) {
      hr = LastError();
      return TextFileProblem::CannotRead;
    }
    if (got == 0) return TextFileProblem::None;
    bytes.append(chunk, got);
    if (bytes.size() > TEXT_FILE_LIMIT) return TextFileProblem::TooLarge;
  }
}

// UTF-16LE after its BOM, or UTF-8 with or without one. False for anything
// else, including text with NULs (UTF-16 without its BOM reads that way).
bool DecodeText(const std::string& bytes, std::wstring& text) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    if (bytes.size() % 2 != 0) return false;
    text.resize((bytes.size() - 2) / 2);
    if (!text.empty()) memcpy(text.data(), bytes.data() + 2, bytes.size() - 2);
  } else {
    const size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    // At most TEXT_FILE_LIMIT bytes, so the length fits the int the
    // conversion takes.
    const int length = static_cast<int>(bytes.size() - start);
    if (length > 0) {
      const int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start, length, nullptr, 0);
      if (chars <= 0) return false;
      text.resize(static_cast<size_t>(chars));
      const int written =
          MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start, length, text.data(), chars);
      if (written != chars) return false;
    }
  }
  return text.find(L'\0') == std::wstring::npos;
}

}  // namespace

TextFileRead ReadTextFile(const std::wstring& path) {
  TextFileRead read;
  std::string bytes;
  read.problem = ReadBytes(path, bytes, read.hr);
  if (read.problem == TextFileProblem::None && !DecodeText(bytes, read.text)) {
    read.problem = TextFileProblem::NotText;
    read.text.clear();
  }
  return read;
}

bool ReadByteLine(HANDLE input, std::string& bytes) {
  bytes.clear();
  bool any = false;
  for (;;) {
    char byte = 0;
    DWORD got = 0;
    if (!ReadFile(input, &byte, 1, &got, nullptr) || got == 0) break;
    any = true;
    if (byte == '\n') break;
    bytes += byte;
  }
  if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  return any;
}
