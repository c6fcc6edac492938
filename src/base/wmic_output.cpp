#include "base/wmic_output.h"

namespace {

// What is held back before one WriteFile: Wine writes a device or pipe in a
// round trip per call, so many small writes would cost a round trip a line.
constexpr size_t kHeldBytes = 64 * 1024;

constexpr char kUtf16Bom[] = "\xFF\xFE";

WmicOutputSink::Form FormOf(HANDLE handle) {
  // A console first: NUL is a character device too, and is no console.
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) return WmicOutputSink::Form::kConsole;
  if (GetFileType(handle) == FILE_TYPE_DISK) return WmicOutputSink::Form::kUnicode;
  return WmicOutputSink::Form::kNarrow;
}

}  // namespace

UINT WmicNarrowCodePage() {
  const UINT console = GetConsoleOutputCP();
  return console != 0 ? console : GetOEMCP();
}

WmicOutputSink::WmicOutputSink(HANDLE handle) : WmicOutputSink(handle, FormOf(handle), false) {}

std::unique_ptr<WmicOutputSink> WmicOutputSink::ForChanges(HANDLE handle) {
  const Form form = FormOf(handle) == Form::kConsole ? Form::kConsole : Form::kNarrow;
  return std::unique_ptr<WmicOutputSink>(new WmicOutputSink(handle, form, false));
}

WmicOutputSink::WmicOutputSink(HANDLE handle, Form form, bool owned)
    : handle_(handle), form_(form), owned_(owned) {}

std::unique_ptr<WmicOutputSink> WmicOutputSink::OpenFile(const std::wstring& path, bool append, DWORD& error,
                                                         bool singleByte) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return nullptr;
  }
  if (append && SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    error = GetLastError();
    CloseHandle(file);
    return nullptr;
  }
  error = NO_ERROR;
  return std::unique_ptr<WmicOutputSink>(new WmicOutputSink(file, singleByte ? Form::kNarrow : Form::kUnicode, true));
}

WmicOutputSink::~WmicOutputSink() {
  Flush();
  if (owned_) CloseHandle(handle_);
}

void WmicOutputSink::Write(std::wstring_view text) {
  // Once a write has failed, the rest would be a fragment at best.
  if (failed_ || text.empty()) return;
  switch (form_) {
    case Form::kConsole: {
      const HANDLE console = handle_;
      failed_ = !WriteConsolePieces(text, [console](std::wstring_view piece, size_t& written) {
        DWORD done = 0;
        const BOOL ok = WriteConsoleW(console, piece.data(), static_cast<DWORD>(piece.size()), &done, nullptr);
        written = done;
        return ok != FALSE;
      });
      return;
    }
    case Form::kUnicode: WriteUnicode(text); break;
    case Form::kNarrow: WriteNarrow(text); break;
  }
  if (bytes_.size() >= kHeldBytes) Flush();
}

// With ">>" onto a file that holds text already, a BOM in the middle would
// be a stray character to whoever reads the file; only an empty file gets one.
void WmicOutputSink::WriteUnicode(std::wstring_view text) {
  if (!started_) {
    started_ = true;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(handle_, &size) && size.QuadPart == 0) bytes_.append(kUtf16Bom, 2);
  }
  for (wchar_t unit : text) {
    bytes_ += static_cast<char>(unit & 0xFF);
    bytes_ += static_cast<char>((unit >> 8) & 0xFF);
  }
}

// Each LF becomes CR LF, as the text-mode stream wmic wrote through made it.
void WmicOutputSink::WriteNarrow(std::wstring_view text) {
  const UINT codePage = WmicNarrowCodePage();
  constexpr size_t kPieceChars = 16384;
  std::string piece;
  while (!text.empty()) {
    size_t count = text.size() > kPieceChars ? kPieceChars : text.size();
    if (count < text.size() && IS_HIGH_SURROGATE(text[count - 1])) --count;
    const int wide = static_cast<int>(count);
    const int needed = WideCharToMultiByte(codePage, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
      failed_ = true;
      return;
    }
    piece.resize(static_cast<size_t>(needed));
    WideCharToMultiByte(codePage, 0, text.data(), wide, piece.data(), needed, nullptr, nullptr);
    for (char byte : piece) {
      if (byte == '\n') bytes_ += '\r';
      bytes_ += byte;
    }
    text.remove_prefix(count);
  }
}

void WmicOutputSink::Send(const void* bytes, size_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0 && !failed_) {
    DWORD written = 0;
    const DWORD chunk = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
    if (!WriteFile(handle_, next, chunk, &written, nullptr) || written == 0) {
      failed_ = true;
      return;
    }
    next += written;
    count -= written;
  }
}

bool WmicOutputSink::Flush() {
  if (!bytes_.empty()) {
    Send(bytes_.data(), bytes_.size());
    bytes_.clear();
  }
  return !failed_;
}

void WmicOutputSink::ReportLostOutput() {
  static const char kMessage[] = "ERROR: Failed to write output.\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), kMessage, sizeof(kMessage) - 1, &written, nullptr);
}
