#include "cli/node_list.h"

#include <windows.h>

#include <cstring>
#include <utility>

#include "base/text.h"
#include "render/layout.h"

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

HRESULT ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return HRESULT_FROM_WIN32(GetLastError());
  char chunk[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), chunk, sizeof(chunk), &got, nullptr)) return HRESULT_FROM_WIN32(GetLastError());
    if (got == 0) return S_OK;
    bytes.append(chunk, got);
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
    const int length = static_cast<int>(bytes.size() - start);
    if (length > 0) {
      const int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start, length, nullptr, 0);
      if (chars <= 0) return false;
      text.resize(static_cast<size_t>(chars));
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start, length, text.data(), chars);
    }
  }
  return text.find(L'\0') == std::wstring::npos;
}

// Spaces and tabs around a name, and the CR of a CR LF line end.
std::wstring TrimBlanks(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t\r");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t\r") - first + 1);
}

bool ReadNodeFile(const std::wstring& path, Layout& layout, std::vector<std::wstring>& names) {
  std::string bytes;
  const HRESULT hr = ReadWholeFile(path, bytes);
  if (FAILED(hr)) {
    PrintError(layout, L"ERROR: Failed to read the node file %ls. Error code = 0x%x\r\n", path.c_str(),
               static_cast<unsigned>(hr));
    return false;
  }
  std::wstring text;
  if (!DecodeText(bytes, text)) {
    PrintError(layout, L"ERROR: The node file %ls is neither UTF-8 nor UTF-16LE text.\r\n", path.c_str());
    return false;
  }
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring name = TrimBlanks(text.substr(start, end - start));
    start = end + 1;
    if (name.empty() || name[0] == L'#') continue;
    names.push_back(std::move(name));
  }
  if (names.empty()) {
    PrintError(layout, L"ERROR: The node file %ls holds no machine name.\r\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool ReadNodeList(const std::wstring& value, Layout& layout, std::vector<std::wstring>& names) {
  names.clear();
  if (!value.empty() && value[0] == L'@') return ReadNodeFile(value.substr(1), layout, names);
  for (std::wstring& name : SplitAtCommas(value)) {
    if (!name.empty()) names.push_back(std::move(name));
  }
  if (names.empty()) {
    PrintError(layout, L"ERROR: /node: names no machine.\r\n");
    return false;
  }
  return true;
}

bool ParseWholeNumber(const std::wstring& text, int lowest, int highest, int& number) {
  if (text.empty() || text.size() > 9) return false;
  int value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + (c - L'0');
  }
  if (value < lowest || value > highest) return false;
  number = value;
  return true;
}
