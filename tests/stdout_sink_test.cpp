// Standard output that cannot take what it is given: a pipe whose reader has
// gone.
#include <gtest/gtest.h>

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "base/output.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

FILE* ClosedPipe() {
  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  if (!CreatePipe(&reader, &writer, nullptr, 0)) return nullptr;
  CloseHandle(reader);
  return _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(writer), _O_WRONLY), "w");
}

TEST(StdoutSink, AWriteThatFailsIsAFailureAtOnceAndTheRunStopsThere) {
  FILE* stream = ClosedPipe();
  ASSERT_NE(stream, nullptr);
  {
    StdoutSink sink(stream);
    sink.Write(std::wstring(40 * 1024, L'x'));
    EXPECT_FALSE(sink.Failed()) << "40 KiB fit the buffer: nothing was written yet";
    sink.Write(std::wstring(40 * 1024, L'y'));
    EXPECT_TRUE(sink.Failed()) << "the pipe refused the buffer, and nobody noticed";
  }
  fclose(stream);

  // A GET stops walking the results as soon as a write fails, not at the end.
  stream = ClosedPipe();
  ASSERT_NE(stream, nullptr);
  FakeWmiAccess wmi;
  wmi.keepLog = false;
  wmi.GenerateResults(100000, [](size_t index) {
    FakeObject row(L"Win32_Row", L"\\\\.\\root\\cimv2:Win32_Row.Id=" + std::to_wstring(index));
    row.Add(L"Text", StringValue(std::wstring(1000, L't')));
    return row;
  });
  {
    StdoutSink sink(stream);
    EXPECT_EQ(RunTollix(wmi, {L"/wql:select * from win32_row", L"/format:json"}, sink), 1);
  }
  EXPECT_LT(wmi.Calls(WmiOp::Next), 200);
  fclose(stream);
}

}  // namespace
