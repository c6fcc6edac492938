// The machines of a /node: run: lists, node files and the names in them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/output.h"
#include "base/run_settings.h"
#include "cli/node_list.h"
#include "render/layout.h"
#include "support/fake_wmi_access.h"
#include "support/run_capture.h"

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

TEST(NodeList, NameListsAndFiles) {
  struct Case {
    std::string fileBytes;  // empty: `value` is the list itself
    std::wstring value;
    std::vector<std::wstring> names;
    std::wstring error;  // with %ls for the file's path
  };
  const Case cases[] = {
      {"", L" a , b,,c ,", {L"a", L"b", L"c"}, L""},
      {"", L"pc1,pc1", {L"pc1", L"pc1"}, L""},
      {"", L" , ", {}, L"ERROR: /node: names no machine.\r\n"},
      {"pc1\r\n# a comment\r\n\r\n  pc2\t\n   # indented comment\npc1", L"", {L"pc1", L"pc2", L"pc1"}, L""},
      {"\xEF\xBB\xBFzo\xC3\xAB\n", L"", {L"zo\u00eb"}, L""},
      {std::string("\xFF\xFE" "a\0\r\0\n\0b\0", 10), L"", {L"a", L"b"}, L""},
      {std::string("a\0\n\0", 4), L"", {}, L"ERROR: The node file %ls is neither UTF-8 nor UTF-16LE text.\r\n"},
      {"\xC3\x28\n", L"", {}, L"ERROR: The node file %ls is neither UTF-8 nor UTF-16LE text.\r\n"},
      {"# nothing but comments\n\n", L"", {}, L"ERROR: The node file %ls holds no machine name.\r\n"},
  };
  for (const Case& c : cases) {
    const TempFile file(c.fileBytes);
    const std::wstring value = c.fileBytes.empty() ? c.value : L"@" + file.path;
    BufferSink out;
    const RunSettings settings;
    const std::unique_ptr<Layout> layout = MakeLayout(settings, out);
    std::vector<std::wstring> names;
    EXPECT_EQ(ReadNodeList(value, *layout, names), c.error.empty()) << value;
    EXPECT_EQ(names, c.names) << value;
    std::wstring error = c.error;
    if (error.find(L"%ls") != std::wstring::npos) error.replace(error.find(L"%ls"), 3, file.path);
    EXPECT_EQ(out.Text(), error);
  }
  // A file that is not there is refused before anything runs.
  FakeWmiAccess wmi;
  const RunResult run = RunTollix(wmi, {kQuery, L"/node:@C:\\no\\such\\nodes.txt"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, L"ERROR: Failed to read the node file C:\\no\\such\\nodes.txt. Error code = 0x80070003\r\n");
  EXPECT_TRUE(wmi.log.empty());
}

}  // namespace
