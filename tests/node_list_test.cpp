// The machines of a /node: run: lists, node files and the names in them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/output.h"
#include "base/run_settings.h"
#include "base/text_file.h"
#include "cli/node_list.h"
#include "render/layout.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"
#include "support/values.h"

namespace {

const std::wstring kQuery = L"/wql:select * from win32_thing";

// A file in the temporary folder, removed with the object.
struct TempFile {
  explicit TempFile(const std::string& bytes) {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    wchar_t name[MAX_PATH + 1] = {};
    GetTempFileNameW(folder, L"tnd", 0, name);
    path = name;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
  ~TempFile() { DeleteFileW(path.c_str()); }
  std::wstring path;
};

// A named pipe waiting for a reader: opening it by name connects to it.
struct PipeServer {
  PipeServer()
      : name(L"\\\\.\\pipe\\tollix-nodes-" + std::to_wstring(GetCurrentProcessId())),
        handle(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0,
                                nullptr)) {}
  ~PipeServer() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;
  std::wstring name;
  HANDLE handle;
};

std::string Utf8(const std::wstring& text) {
  std::string bytes(text.size() * 3, '\0');
  bytes.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                       bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
  return bytes;
}

TEST(NodeList, NameListsAndFiles) {
  struct Case {
    std::string fileBytes;  // empty: `value` is the list itself
    std::wstring value;
    std::vector<std::wstring> names;
    std::wstring error;  // with %ls for the file's path
    bool commasInFile = false;
  };
  const Case cases[] = {
      {"", L" a , b,,c ,", {L"a", L"b", L"c"}, L""},
      {"", L"pc1,pc1", {L"pc1", L"pc1"}, L""},
      {"", L" , ", {}, L"ERROR: /node: names no machine.\r\n"},
      {"pc1\r\n# a comment\r\n\r\n  pc2\t\n   # indented comment\npc1", L"", {L"pc1", L"pc2", L"pc1"}, L""},
      {"\xEF\xBB\xBFzo\xC3\xAB\n", L"", {L"zo\u00eb"}, L""},
      {std::string("\xFF\xFE" "a\0\r\0\n\0b\0", 10), L"", {L"a", L"b"}, L""},
      {std::string("a\0\n\0", 4), L"", {}, L"ERROR: The node file %ls is neither UTF-8 nor UTF-16LE text.\r\n"},
      {std::string("\xFF\xFE" "a\0b", 5), L"", {}, L"ERROR: The node file %ls is neither UTF-8 nor UTF-16LE text.\r\n"},
      {"\xC3\x28\n", L"", {}, L"ERROR: The node file %ls is neither UTF-8 nor UTF-16LE text.\r\n"},
      {"# nothing but comments\n\n", L"", {}, L"ERROR: The node file %ls holds no machine name.\r\n"},
      {"", L"\\\\VM, \\\\pc2", {L"VM", L"pc2"}, L""},
      {"\\\\VM\r\n", L"", {L"VM"}, L""},
      {"", std::wstring(255, L'n'), {std::wstring(255, L'n')}, L""},
      {"", L"\\\\" + std::wstring(255, L'n'), {std::wstring(255, L'n')}, L""},
      // wmic's node files: names comma separated on a line too.
      {"pc1, pc2,\r\n\r\npc3", L"", {L"pc1", L"pc2", L"pc3"}, L"", true},
      {"pc1,,\r\n , \r\n", L"", {L"pc1"}, L"", true},
      {"pc1, pc2\r\n", L"", {}, L"ERROR: \"pc1, pc2\" is not a machine name (line 1 of the node file %ls).\r\n"},
      {"pc1,p c2\r\n", L"", {}, L"ERROR: \"p c2\" is not a machine name (line 1 of the node file %ls).\r\n", true},
  };
  for (const Case& c : cases) {
    const TempFile file(c.fileBytes);
    const std::wstring value = c.fileBytes.empty() ? c.value : L"@" + file.path;
    BufferSink out;
    const RunSettings settings;
    const std::unique_ptr<Layout> layout = MakeLayout(settings, out);
    std::vector<std::wstring> names;
    EXPECT_EQ(ReadNodeList(value, *layout, names, c.commasInFile), c.error.empty()) << value;
    EXPECT_EQ(names, c.names) << value;
    std::wstring error = c.error;
    if (error.find(L"%ls") != std::wstring::npos) error.replace(error.find(L"%ls"), 3, file.path);
    EXPECT_EQ(out.Text(), error);
  }
}

// Each would change the WMI path the name is pasted into, or names nothing.
TEST(NodeList, WhatCannotBeAMachineNameIsRefusedInListsAndFiles) {
  const struct {
    std::wstring given;
    std::wstring shown;
  } cases[] = {
      {L".\\root\\default", L".\\root\\default"},
      {L"\\\\", L"\\\\"},
      {L"\\\\\\\\VM", L"\\\\\\\\VM"},
      {L"a/b", L"a/b"},
      {L"a b", L"a b"},
      {L"a\tb", L"a\\x09b"},
      {L"a\x7f" L"b", L"a\\x7fb"},
      {L"a\x85" L"b", L"a\\x85b"},
      {L"\x1b[2Jpc", L"\\x1b[2Jpc"},
      {std::wstring(256, L'n'), std::wstring(256, L'n')},
      {L"\\\\" + std::wstring(256, L'n'), L"\\\\" + std::wstring(256, L'n')},
  };
  for (const auto& c : cases) {
    BufferSink out;
    const RunSettings settings;
    const std::unique_ptr<Layout> layout = MakeLayout(settings, out);
    std::vector<std::wstring> names;
    EXPECT_FALSE(ReadNodeList(L"pc1," + c.given, *layout, names)) << c.shown;
    EXPECT_TRUE(names.empty()) << c.shown;
    EXPECT_EQ(out.Text(), L"ERROR: \"" + c.shown + L"\" is not a machine name.\r\n");

    const TempFile file("pc1\r\n# the lab\r\n\r\n" + Utf8(c.given) + "\r\npc2\r\n");
    BufferSink fileOut;
    const std::unique_ptr<Layout> fileLayout = MakeLayout(settings, fileOut);
    EXPECT_FALSE(ReadNodeList(L"@" + file.path, *fileLayout, names)) << c.shown;
    EXPECT_TRUE(names.empty()) << c.shown;
    EXPECT_EQ(fileOut.Text(),
              L"ERROR: \"" + c.shown + L"\" is not a machine name (line 4 of the node file " + file.path + L").\r\n");
  }
}

TEST(NodeList, RefusalsComeBeforeAnythingRuns) {
  const TempFile atLimit(std::string(TEXT_FILE_LIMIT, '\0'));
  const TempFile overLimit(std::string(TEXT_FILE_LIMIT + 1, 'a'));
  const PipeServer pipe;
  ASSERT_NE(pipe.handle, INVALID_HANDLE_VALUE);
  const struct {
    std::wstring node;
    std::wstring error;
  } cases[] = {
      {L"@C:\\no\\such\\nodes.txt",
       L"ERROR: Failed to read the node file C:\\no\\such\\nodes.txt. Error code = 0x80070003\r\n"},
      {L"@", L"ERROR: /node: names no machine.\r\n"},
      {L"@NUL", L"ERROR: The node file NUL is not a file.\r\n"},
      {L"@" + pipe.name, L"ERROR: The node file " + pipe.name + L" is not a file.\r\n"},
      {L"@" + overLimit.path, L"ERROR: The node file " + overLimit.path + L" is larger than 16 MiB.\r\n"},
      {L"@" + atLimit.path, L"ERROR: The node file " + atLimit.path + L" is neither UTF-8 nor UTF-16LE text.\r\n"},
      {L"pc1,.\\root\\default", L"ERROR: \".\\root\\default\" is not a machine name.\r\n"},
  };
  for (const auto& c : cases) {
    FakeWmiAccess wmi;
    const RunResult run = RunTollix(wmi, {kQuery, L"/node:" + c.node});
    EXPECT_EQ(run.exitCode, 1) << c.node;
    EXPECT_EQ(run.output, c.error);
    EXPECT_TRUE(wmi.log.empty()) << c.node;
  }
}

TEST(NodeList, NameWrittenWithBackslashesIsTheMachinesName) {
  FakeWmiAccess wmi;
  wmi.AddResult(L"Win32_Thing", L"\\\\.\\root\\cimv2:Win32_Thing.Name=\"x\"").Add(L"Name", StringValue(L"x"));
  const RunResult run = RunTollix(wmi, {kQuery, L"/node:\\\\VM"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, Banner() + L"\r\nNode=VM\r\nName=x\r\n\r\n");
  EXPECT_EQ(wmi.Machine(L"VM").connectedNamespace, L"\\\\VM\\root\\cimv2");
}

}  // namespace
