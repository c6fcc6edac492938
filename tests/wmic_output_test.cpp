// wmic's bytes by where standard output goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "base/wmic_output.h"

namespace {

std::wstring TempPath(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"tollix_wmic_" + std::to_wstring(GetCurrentProcessId()) + L"_" + name;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "missing";
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// "A\r\nB\r\n" as UTF-16LE.
const std::string kUnicodeLines("A\0\r\0\n\0B\0\r\0\n\0", 12);
const std::string kBom("\xFF\xFE", 2);

// Each destination: standard output redirected by cmd (a handle of ours),
// or a file wmic opens itself. Every case writes "A\r\nB\r\n" in two writes.
TEST(WmicOutput, TheBytesOfEachDestination) {
  struct Case {
    const char* what;
    const char* before;  // the file's bytes before the run; null: no file
    // Makes the sink on the file, or null for cases without one.
    std::function<std::unique_ptr<WmicOutputSink>(const std::wstring& path, HANDLE& owned)> open;
    WmicOutputSink::Form form;
    std::string after;
  };
  const auto redirected = [](bool append) {
    return [append](const std::wstring& path, HANDLE& owned) {
      owned = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                          0, nullptr);
      if (append) SetFilePointer(owned, 0, nullptr, FILE_END);
      return std::make_unique<WmicOutputSink>(owned);
    };
  };
  const auto opened = [](bool append) {
    return [append](const std::wstring& path, HANDLE&) {
      DWORD error = 0;
      auto sink = WmicOutputSink::OpenFile(path, append, error);
      EXPECT_EQ(error, static_cast<DWORD>(NO_ERROR));
      return sink;
    };
  };
  const Case cases[] = {
      {"> file", "old text", redirected(false), WmicOutputSink::Form::kUnicode, kBom + kUnicodeLines},
      {">> onto text", "xy", redirected(true), WmicOutputSink::Form::kUnicode, "xy" + kUnicodeLines},
      {">> onto an empty file", "", redirected(true), WmicOutputSink::Form::kUnicode, kBom + kUnicodeLines},
      {"/output: onto text", "old text", opened(false), WmicOutputSink::Form::kUnicode, kBom + kUnicodeLines},
      {"/append: onto text", "xy", opened(true), WmicOutputSink::Form::kUnicode, "xy" + kUnicodeLines},
      {"/append: a missing file", nullptr, opened(true), WmicOutputSink::Form::kUnicode, kBom + kUnicodeLines},
      // A change's lines stay single bytes in a file, a log's above all.
      {"a change's >> onto a log", "log\r\n",
       [](const std::wstring& path, HANDLE& owned) {
         owned = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
         SetFilePointer(owned, 0, nullptr, FILE_END);
         return WmicOutputSink::ForChanges(owned);
       },
       WmicOutputSink::Form::kNarrow, "log\r\nA\r\r\nB\r\r\n"},
      {"a change's /output:", nullptr,
       [](const std::wstring& path, HANDLE&) {
         DWORD error = 0;
         return WmicOutputSink::OpenFile(path, false, error, true);
       },
       WmicOutputSink::Form::kNarrow, "A\r\r\nB\r\r\n"},
  };
  for (const Case& c : cases) {
    const std::wstring path = TempPath(L"out.txt");
    DeleteFileW(path.c_str());
    if (c.before != nullptr) WriteBytes(path, c.before);
    HANDLE owned = INVALID_HANDLE_VALUE;
    {
      std::unique_ptr<WmicOutputSink> sink = c.open(path, owned);
      ASSERT_NE(sink, nullptr) << c.what;
      EXPECT_EQ(sink->form(), c.form) << c.what;
      sink->Write(L"A\r\n");
      EXPECT_TRUE(sink->Flush()) << c.what;  // the BOM comes with the first write only
      sink->Write(L"B\r\n");
    }
    if (owned != INVALID_HANDLE_VALUE) CloseHandle(owned);
    EXPECT_EQ(ReadBytes(path), c.after) << c.what;
    DeleteFileW(path.c_str());
  }
}

// A pipe: single bytes, and wmic's extra CR before every LF, a lone LF in a
// value too.
TEST(WmicOutput, APipeGetsSingleBytesWithCrCrLf) {
  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 1 << 16));
  {
    WmicOutputSink sink(writer);
    EXPECT_EQ(sink.form(), WmicOutputSink::Form::kNarrow);
    sink.Write(L"Name  \r\n");
    sink.Write(L"a\nb  \r\n\r\n");
  }
  CloseHandle(writer);
  char buffer[256];
  DWORD got = 0;
  std::string bytes;
  while (ReadFile(reader, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(reader);
  EXPECT_EQ(bytes, "Name  \r\r\na\r\nb  \r\r\n\r\r\n");
}

// NUL is a character device, not a console: it takes the pipe's bytes.
TEST(WmicOutput, NulTakesSingleBytesAndSucceeds) {
  const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 0, nullptr);
  ASSERT_NE(nul, INVALID_HANDLE_VALUE);
  {
    WmicOutputSink sink(nul);
    EXPECT_EQ(sink.form(), WmicOutputSink::Form::kNarrow);
    sink.Write(std::wstring(100 * 1024, L'x'));
    EXPECT_TRUE(sink.Flush());
  }
  CloseHandle(nul);
}

// A reader that goes away midway: what follows is a failure, and nothing
// more is tried.
TEST(WmicOutput, AReaderGoneMidwayIsAFailure) {
  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 1 << 16));
  {
    WmicOutputSink sink(writer);
    sink.Write(L"first\r\n");
    EXPECT_TRUE(sink.Flush());
    CloseHandle(reader);
    sink.Write(L"second\r\n");
    EXPECT_FALSE(sink.Flush());
    EXPECT_TRUE(sink.Failed());
  }
  CloseHandle(writer);
  // A folder cannot be opened as the output file.
  DWORD error = 0;
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  EXPECT_EQ(WmicOutputSink::OpenFile(folder, false, error), nullptr);
  EXPECT_NE(error, static_cast<DWORD>(NO_ERROR));
}

}  // namespace
