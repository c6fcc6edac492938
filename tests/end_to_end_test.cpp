// Runs the built Tollix.exe against the platform's own WMI and checks the exact
// bytes it writes to a pipe, and its exit code.
//
// Every line Tollix prints ends in CR LF and standard output stays in text
// mode, so through a pipe each line ends in CR CR LF. Expected texts below are
// written with "\n" and turned into that form by Piped(). Data values of the
// machine (BIOS vendor, disk sizes, process ids) are not pinned, so these
// tests hold on Windows as well as under Wine.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "support/child_process.h"
#include "support/json_lines.h"
#include "support/msxml_reader.h"

namespace {

const std::string kLineEnd = "\r\r\n";

std::string Piped(const std::string& text) {
  std::string piped;
  for (const char c : text) {
    if (c == '\n') {
      piped += kLineEnd;
    } else {
      piped += c;
    }
  }
  return piped;
}

std::string Banner() { return std::string("Tollix.exe ") + TOLLIX_EXPECTED_VERSION + kLineEnd; }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The program under test: the one built beside these tests, or the one the
// environment variable TOLLIX_EXE names (the stripped release exe, say).
std::wstring TollixPath() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"TOLLIX_EXE", path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return DirectoryOfThisProgram() + L"Tollix.exe";
  path.resize(length);
  return path;
}

bool IsWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Tollix writes nothing to standard error; Wine may write its own notices.
void ExpectOnlyWineNotices(const std::string& err) {
  size_t lineStart = 0;
  while (lineStart < err.size()) {
    size_t lineEnd = err.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = err.size();
    const std::string line = err.substr(lineStart, lineEnd - lineStart);
    EXPECT_TRUE(line.empty() || line == "\r" || line.rfind("wine:", 0) == 0) << "unexpected on standard error: " << line;
    lineStart = lineEnd + 1;
  }
}

// Runs program (Tollix.exe unless given) and checks what must hold for every
// run: it ran to its end, its lines all end the same way, and standard error
// carries nothing but Wine's own notices.
ChildRun RunProgram(const std::wstring& program, const std::vector<std::wstring>& arguments) {
  ChildRun run = RunChild(program, arguments);
  EXPECT_EQ(run.failure, "");
  std::string rest = run.out;
  for (size_t at; (at = rest.find(kLineEnd)) != std::string::npos;) rest.erase(at, kLineEnd.size());
  EXPECT_EQ(rest.find_first_of("\r\n"), std::string::npos) << "a line end other than CR CR LF in:\n" << run.out;
  const bool endsWithLineEnd = run.out.size() >= kLineEnd.size() &&
                               run.out.compare(run.out.size() - kLineEnd.size(), kLineEnd.size(), kLineEnd) == 0;
  EXPECT_TRUE(run.out.empty() || endsWithLineEnd) << "output does not end with a whole line:\n" << run.out;
  ExpectOnlyWineNotices(run.err);
  return run;
}

ChildRun RunTollix(const std::vector<std::wstring>& arguments) {
  return RunProgram(TollixPath(), arguments);
}

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = out.find(kLineEnd, start)) != std::string::npos; start = at + kLineEnd.size()) {
    lines.push_back(out.substr(start, at - start));
  }
  return lines;
}

// The objects of a list-layout run: the banner, then each object's lines
// behind an empty line, then one more empty line.
std::vector<std::vector<std::string>> ListObjects(const std::string& out) {
  const std::vector<std::string> lines = Lines(out);
  std::vector<std::vector<std::string>> objects;
  EXPECT_GE(lines.size(), 2u) << out;
  if (lines.size() < 2) return objects;
  EXPECT_EQ(lines[0] + kLineEnd, Banner());
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines.back(), "");
  for (size_t i = 2; i < lines.size(); ++i) {
    if (lines[i].empty()) {
      EXPECT_FALSE(lines[i - 1].empty()) << "two empty lines in a row:\n" << out;
      continue;
    }
    if (lines[i - 1].empty()) objects.emplace_back();
    objects.back().push_back(lines[i]);
  }
  return objects;
}

// name=value lines by lower-cased name; a line without "=" is kept whole
// under its own text.
std::map<std::string, std::string> Properties(const std::vector<std::string>& lines) {
  std::map<std::string, std::string> properties;
  for (const std::string& line : lines) {
    const size_t equals = line.find('=');
    properties[Lower(line.substr(0, equals))] = equals == std::string::npos ? line : line.substr(equals + 1);
  }
  return properties;
}

std::vector<std::string> Names(const std::vector<std::string>& lines) {
  std::vector<std::string> names;
  for (const std::string& line : lines) names.push_back(line.substr(0, line.find('=')));
  return names;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : separator) + part;
  return joined;
}

std::string RunFailure(const std::string& nameSpace, const std::string& query) {
  return "ERROR: Failed to run " + nameSpace + "\\" + query + kLineEnd;
}

std::string Usage() {
  return Piped(std::string("Tollix.exe ") + TOLLIX_EXPECTED_VERSION +
               ", Veltra Quorin WMI console tool.\n"
               "Usage: Tollix [arguments...] \n"
               "\n  Arguments:\n"
               "     /WQL:       Must, indicate the WQL command. \n"
               "     /namespace: Optional, indicate the namespace. (Default: root\\cimv2) \n"
               "     /set:       Optional, indicate the new value. \n"
               "     /call:      Optional, indicate the method name. \n"
               "     /args:      Optional, arguments of /call or /set. \n"
               "\n Optional advanced switch:\n"
               "     /debugdisplay      Show more debug information.\n"
               "     /showAllProperties Show all properties including __path ...etc \n"
               "     /HexMatrix         Show UINT8 byte array in matrix \n"
               "     /format:list|csv   The format to show result. (Default: list) \n"
               "     /format:json       Show each result as one line of JSON (JSON Lines). \n"
               "     /node:             Run on these machines: NAME1,NAME2 or @FILE with one name a line. \n"
               "     /throttle:         Machines worked on at once with /node:. (Default: 32) \n"
               "     /timeout:          Seconds to wait for a machine to connect or send a result. (Default: no limit) \n"
               "     /describe          Show the properties and methods of the query's class. \n"
               "     /params:           Named, typed values for /call: or /set:, as one JSON object or @FILE. \n"
               "     /user:             Reach the /node: machines as this account: DOMAIN\\user. \n"
               "     /password:         The password of /user:; asked for when left out. \n"
               "     /class:            In place of /WQL: call a static method on this class once, or describe it. \n"
               "     /whatif            Show what /set: or /call: would change, and change nothing. \n"
               "     /watch             Show the events of an event query as they come, until Ctrl+C. \n"
               "     /count:            With /watch: stop after this many events (on each machine). \n"
               "\n  Example of query:\n"
               "     Tollix.exe /namespace:root\\Veltra\\Firmkeep /WQL:\"SELECT * FROM Veltra_Setroll where(Shownix = 1 AND name = 'Secure Boot')\" \n"
               "     Tollix.exe /WQL:\"SELECT model,size,partitions,index FROM WIn32_DiskDrive\" \n"
               "     Tollix.exe /namespace:root\\wmi /WQL:\"select Instancename,__Path from WmiMonitorDescriptorMethods\" /showAllProperties \n"
               "\n  Example of set:\n"
               "     Tollix.exe /WQL:\"select * from Win32_LogicalDisk where DeviceID = 'X:'\" /set:\"VolumeName\" /args:\"NewLabel\" \n"
               "\n  Example of method call:\n"
               "     Tollix.exe /namespace:root\\wmi /WQL:\"select * from WmiMonitorDescriptorMethods where InstanceName like 'DISPLAY\\\\%%'\" /call:\"WmiGetMonitorRawEEdidV1Block\" /args:\"0\" /HexMatrix \n"
               "     Tollix.exe /namespace:root\\wmi /WQL:\"select * from WmiMonitorBrightnessMethods where InstanceName like 'DISPLAY\\\\%%'\" /call:\"WmiSetBrightness\" /args:\"50,1000\" \n"
               "     Tollix.exe /namespace:root\\wmi /WQL:\"select * from WmiMonitorBrightnessMethods where InstanceName='DISPLAY\\\\CMN13A8\\\\5&92cad76&0&UID256_0'\" /call:\"WmiSetBrightness\" /args:\"10,1000\" \n"
               "\n  Example of JSON and of many machines:\n"
               "     Tollix.exe /WQL:\"select Name,Size,FreeSpace from Win32_LogicalDisk\" /format:json \n"
               "     Tollix.exe /WQL:\"select Caption,Version from Win32_OperatingSystem\" /node:@machines.txt /throttle:64 /timeout:30 /format:csv \n"
               "\n  Example of a preview and of a static method:\n"
               "     Tollix.exe /WQL:\"select * from Win32_LogicalDisk where DeviceID = 'X:'\" /set:\"VolumeName\" /args:\"NewLabel\" /whatif \n"
               "     Tollix.exe /namespace:root\\default /class:StdRegProv /call:EnumKey /args:\"2147483650,SOFTWARE\\Microsoft\" \n");
}

// ---------------------------------------------------------------------------
// Command line: answered before WMI is touched.

TEST(EndToEndCommandLine, HelpKeysPrintTheUsageTextAndSucceed) {
  const std::vector<std::vector<std::wstring>> requests = {
      {L"/?"},
      {L"-HELP"},
      // Scanning is loose: a help key inside a query still asks for help.
      {L"/wql:select * from win32_bios where name = '/?'", L"/format:csv"},
  };
  for (size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE("request " + std::to_string(i));
    const ChildRun run = RunTollix(requests[i]);
    EXPECT_EQ(run.out, Usage());
    EXPECT_EQ(run.exitCode, 0u);
  }
}

TEST(EndToEndCommandLine, RefusedRequestsExitOneWithTheirMessage) {
  ChildRun run = RunTollix({});
  EXPECT_EQ(run.out, Piped("ERROR: /WQL is lost\n\n\n") + Usage());
  EXPECT_EQ(run.exitCode, 1u);

  run = RunTollix({L"/hexmatrix", L"/format:csv", L"/wql:select * from win32_bios"});
  EXPECT_EQ(run.out, Piped("ERROR: /hexmatrix is exclusive to /format:csv\n"));
  EXPECT_EQ(run.exitCode, 1u);

  run = RunTollix({L"/wql:select volumename from win32_logicaldisk", L"/set:VolumeName", L"/args:x"});
  EXPECT_EQ(run.out, Banner() + Piped("ERROR: \"select * \" is MUST for /SET\n"));
  EXPECT_EQ(run.exitCode, 1u);
}

// ---------------------------------------------------------------------------
// GET

TEST(EndToEndGet, BiosInListAndCsvLayoutsWithAndWithoutSystemProperties) {
  const ChildRun list = RunTollix({L"/WQL:SELECT * FROM Win32_BIOS"});
  EXPECT_EQ(list.exitCode, 0u);
  const std::vector<std::vector<std::string>> objects = ListObjects(list.out);
  ASSERT_EQ(objects.size(), 1u) << list.out;
  const std::regex propertyLine("[A-Za-z][A-Za-z0-9_]*=.*");
  for (const std::string& line : objects[0]) EXPECT_TRUE(std::regex_match(line, propertyLine)) << line;
  EXPECT_EQ(Properties(objects[0]).count("manufacturer"), 1u);

  // System properties come on request only, and add lines without changing
  // the others.
  const ChildRun all = RunTollix({L"/wql:select * from win32_bios", L"/showallproperties"});
  EXPECT_EQ(all.exitCode, 0u);
  const std::vector<std::vector<std::string>> allObjects = ListObjects(all.out);
  ASSERT_EQ(allObjects.size(), 1u) << all.out;
  EXPECT_EQ(Properties(allObjects[0])["__class"], "Win32_BIOS");
  EXPECT_EQ(Properties(allObjects[0]).count("__path"), 1u);
  std::vector<std::string> withoutSystem;
  for (const std::string& line : allObjects[0]) {
    if (line.rfind("__", 0) != 0) withoutSystem.push_back(line);
  }
  EXPECT_EQ(withoutSystem, objects[0]);

  // CSV: the header names the same properties in the same order, no empty lines.
  const ChildRun csv = RunTollix({L"/wql:select * from win32_bios", L"/format:csv"});
  EXPECT_EQ(csv.exitCode, 0u);
  const std::vector<std::string> csvLines = Lines(csv.out);
  ASSERT_EQ(csvLines.size(), 3u) << csv.out;
  EXPECT_EQ(csvLines[0] + kLineEnd, Banner());
  EXPECT_EQ(csvLines[1], "Node," + Joined(Names(objects[0]), ","));
  EXPECT_EQ(csvLines[2].rfind("LOCALHOST,", 0), 0u) << csvLines[2];
}

TEST(EndToEndGet, ByteArrayOfTheSystemSidAsMatrixListAndCsv) {
  // The well-known SID S-1-5-18 has the same twelve bytes everywhere.
  const std::wstring query = L"/wql:select * from win32_sid where sid = 'S-1-5-18'";
  ChildRun run = RunTollix({query, L"/hexmatrix"});
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_NE(run.out.find(Piped("\nBinaryRepresentation={\n"
                               "\t   0    1    2    3    4    5    6    7    8    9\n"
                               "0:\t0x01,0x01,0x00,0x00,0x00,0x00,0x00,0x05,0x12,0x00\n"
                               "1:\t0x00,0x00}\n")),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(Piped("\nSidLength=12\n")), std::string::npos) << run.out;
  ASSERT_EQ(ListObjects(run.out).size(), 1u);

  run = RunTollix({query});
  EXPECT_NE(run.out.find(Piped("\nBinaryRepresentation={1,1,0,0,0,0,0,5,18,0,0,0}\n")), std::string::npos) << run.out;

  run = RunTollix({query, L"/format:csv"});
  EXPECT_EQ(run.exitCode, 0u);
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_EQ(lines[1].rfind("Node,", 0), 0u);
  EXPECT_NE(lines[1].find(",BinaryRepresentation,"), std::string::npos);
  EXPECT_NE(lines[2].find(",{1;1;0;0;0;0;0;5;18;0;0;0},"), std::string::npos) << lines[2];
}

TEST(EndToEndGet, SeveralLogicalDisksInListAndCsvLayouts) {
  const ChildRun list = RunTollix({L"/wql:select * from win32_logicaldisk"});
  EXPECT_EQ(list.exitCode, 0u);
  const std::vector<std::vector<std::string>> objects = ListObjects(list.out);
  // Wine always has C: and Z:; a Windows machine has at least C:.
  ASSERT_GE(objects.size(), IsWine() ? 2u : 1u) << list.out;
  for (const std::vector<std::string>& object : objects) {
    EXPECT_EQ(Names(object), Names(objects[0]));
    EXPECT_EQ(Properties(object)["deviceid"].size(), 2u) << Joined(object, "\n");
  }

  const ChildRun csv = RunTollix({L"/wql:select * from win32_logicaldisk", L"/format:csv", L"/showallproperties"});
  EXPECT_EQ(csv.exitCode, 0u);
  const std::vector<std::string> lines = Lines(csv.out);
  ASSERT_EQ(lines.size(), 2 + objects.size()) << csv.out;
  EXPECT_EQ(lines[0] + kLineEnd, Banner());
  EXPECT_EQ(lines[1].rfind("Node,__GENUS,", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find(Joined(Names(objects[0]), ",")), std::string::npos) << lines[1];
  for (size_t i = 2; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].rfind("LOCALHOST,", 0), 0u) << lines[i];
    EXPECT_NE(lines[i].find(",Win32_LogicalDisk,"), std::string::npos) << lines[i];
  }
}

TEST(EndToEndGet, FailedQueriesExitOneAndNoResultsExitZero) {
  ChildRun run = RunTollix({L"/namespace:ROOT\\NoSuchSpace", L"/wql:select * from win32_bios"});
  EXPECT_EQ(run.out, Banner() + Piped("ERROR: Failed to connect. Error code = 0x8004100e\n") +
                         RunFailure("root\\nosuchspace", "select * from win32_bios"));
  EXPECT_EQ(run.exitCode, 1u);

  // A syntax error surfaces either at ExecQuery or at the first Next.
  run = RunTollix({L"/wql:select * frm win32_bios"});
  const std::regex badQuery(
      "Tollix\\.exe [^\r\n]*\r\r\n"
      "(ERROR: Failed to execute query|\r\r\nERROR: Failed to get next object)\\. Error code = 0x8[0-9a-f]{7}\r\r\n");
  EXPECT_TRUE(std::regex_search(run.out, badQuery, std::regex_constants::match_continuous)) << run.out;
  EXPECT_EQ(Lines(run.out).back() + kLineEnd, RunFailure("root\\cimv2", "select * frm win32_bios"));
  EXPECT_EQ(run.exitCode, 1u);

  const std::wstring noDisk = L"/wql:select * from win32_logicaldisk where deviceid = 'nosuchdisk'";
  run = RunTollix({noDisk});
  EXPECT_EQ(run.out, Banner() + kLineEnd);
  EXPECT_EQ(run.exitCode, 0u);
  run = RunTollix({noDisk, L"/format:csv"});
  EXPECT_EQ(run.out, Banner());
  EXPECT_EQ(run.exitCode, 0u);
  // SET over no results changes nothing and reports no success.
  run = RunTollix({noDisk, L"/set:VolumeName", L"/args:NewLabel"});
  EXPECT_EQ(run.out, Banner() + kLineEnd);
  EXPECT_EQ(run.exitCode, 0u);
}

// Removes a directory and the files put in it.
struct ScratchDirectory {
  std::wstring path;
  std::vector<std::wstring> files;
  ~ScratchDirectory() {
    for (const std::wstring& file : files) DeleteFileW(file.c_str());
    RemoveDirectoryW(path.c_str());
  }
};

TEST(EndToEndGet, NonAsciiTextReachesThePipeAsUtf8) {
  // A copy of Tollix under a name with an accented letter and a CJK character
  // finds its own process, whose caption is that name.
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  ScratchDirectory scratch;
  scratch.path = std::wstring(temp) + L"tollix_e2e_" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(scratch.path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  const std::wstring copy = scratch.path + L"\\tollix \u00e9\u4e2d.exe";
  ASSERT_TRUE(CopyFileW(TollixPath().c_str(), copy.c_str(), FALSE));
  scratch.files.push_back(copy);

  const ChildRun run =
      RunProgram(copy, {L"/wql:select caption from win32_process where caption = 'tollix \u00e9\u4e2d.exe'"});
  EXPECT_EQ(run.out, Banner() + Piped("\nCaption=tollix \xC3\xA9\xE4\xB8\xAD.exe\n\n"));
  EXPECT_EQ(run.exitCode, 0u);
}

TEST(EndToEndGet, ALineLongerThanAPieceKeepsEveryCharacter) {
  // Text reaches a pipe in pieces of 16,384 units; with the prefix one
  // character longer or not, a piece boundary falls inside a pair once.
  for (const std::wstring& prefix : {std::wstring(L"x"), std::wstring(L"xy")}) {
    std::wstring marker = prefix;
    for (int i = 0; i < 9000; ++i) marker += L"\U0001F600";
    const ChildRun run =
        RunTollix({L"/wql:select commandline from win32_process where name = 'tollix.exe'", marker, L"/format:csv"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(run.out.find(Utf8(marker)), std::string::npos) << "the long argument is not there whole";
    EXPECT_EQ(run.out.find("\xEF\xBF\xBD"), std::string::npos) << "a replacement character";
  }
}

TEST(EndToEndGet, TheVersionIsFoundUnderALongInstallPath) {
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  // Folders of 60 characters each, 336 characters and more in all.
  std::wstring folder = L"\\\\?\\" + std::wstring(temp) + L"tollix_long_" + std::to_wstring(GetCurrentProcessId());
  std::vector<std::wstring> folders;
  for (;;) {
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) << Utf8(folder);
    folders.push_back(folder);
    if (folder.size() >= 340) break;
    folder += L"\\" + std::wstring(60, L'd');
  }
  const std::wstring copy = folder + L"\\Tollix.exe";
  ASSERT_TRUE(CopyFileW(TollixPath().c_str(), copy.c_str(), FALSE));
  const ChildRun run = RunChild(copy, {L"/wql:select name from win32_bios"});
  DeleteFileW(copy.c_str());
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryW(it->c_str());
  // Wine's loader starts it from its Unix path (scripts/test.sh does so), but
  // CreateProcess under Wine, and Windows without long paths enabled, cannot.
  if (run.failure.rfind("CreateProcessW failed", 0) == 0) GTEST_SKIP() << "cannot start a program there: " << run.failure;
  EXPECT_EQ(run.failure, "");
  EXPECT_EQ(run.out.substr(0, Banner().size()), Banner());
  EXPECT_EQ(run.exitCode, 0u);
}

// ---------------------------------------------------------------------------
// CALL

const std::wstring kExplorer = L"/wql:select * from win32_process where caption = 'explorer.exe'";

// Explorer.exe runs in every desktop session, but a fresh wineserver may not
// have started Wine's desktop yet. Then this test program's own process is the
// target: any process has these methods.
// ASCII text as bytes, as it reaches the pipe.
std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

std::wstring ProcessQuery() {
  if (Lines(RunTollix({kExplorer, L"/format:csv"}).out).size() > 1) return kExplorer;
  return L"/wql:select * from win32_process where processid = " + std::to_wstring(GetCurrentProcessId());
}

TEST(EndToEndCall, CreateProcessInListAndCsvLayouts) {
  const std::wstring query = ProcessQuery();
  const ChildRun list = RunTollix({query, L"/call:Create", L"/args:cmd /c exit"});
  EXPECT_EQ(list.exitCode, 0u);
  const std::vector<std::vector<std::string>> objects = ListObjects(list.out);
  ASSERT_GE(objects.size(), 1u) << list.out;
  for (const std::vector<std::string>& object : objects) {
    ASSERT_EQ(object.size(), 3u) << list.out;
    EXPECT_EQ(object.back(), "CALL Success.");
    std::map<std::string, std::string> out = Properties(object);
    EXPECT_TRUE(std::regex_match(out["processid"], std::regex("[1-9][0-9]*"))) << list.out;
    EXPECT_EQ(out["returnvalue"], "0");
  }

  // The header comes once, before the first output; each call adds one data
  // line and its success line.
  const ChildRun csv = RunTollix({query, L"/call:Create", L"/args:cmd /c exit", L"/format:csv"});
  EXPECT_EQ(csv.exitCode, 0u);
  const std::vector<std::string> lines = Lines(csv.out);
  ASSERT_EQ(lines.size(), 2 + 2 * objects.size()) << csv.out;
  EXPECT_TRUE(lines[1] == "Node,ProcessId,ReturnValue" || lines[1] == "Node,ReturnValue,ProcessId") << lines[1];
  const std::regex dataLine(lines[1] == "Node,ProcessId,ReturnValue" ? "LOCALHOST,[1-9][0-9]*,0" : "LOCALHOST,0,[1-9][0-9]*");
  for (size_t i = 2; i < lines.size(); i += 2) {
    EXPECT_TRUE(std::regex_match(lines[i], dataLine)) << lines[i];
    EXPECT_EQ(lines[i + 1], "CALL Success.");
  }
}

TEST(EndToEndCall, MethodWithoutInputParameters) {
  const std::wstring query = ProcessQuery();
  // Only commas: no values, so the method runs without an input object.
  ChildRun run = RunTollix({query, L"/call:GetOwner", L"/args:,"});
  EXPECT_EQ(run.exitCode, 0u);
  const std::vector<std::vector<std::string>> objects = ListObjects(run.out);
  ASSERT_GE(objects.size(), 1u) << run.out;
  std::map<std::string, std::string> out = Properties(objects[0]);
  EXPECT_EQ(out["returnvalue"], "0");
  EXPECT_FALSE(out["user"].empty()) << run.out;
  EXPECT_EQ(out.count("domain"), 1u) << run.out;
  EXPECT_EQ(objects[0].back(), "CALL Success.");

  // A value for a method that takes none is refused before the method runs.
  run = RunTollix({query, L"/call:GetOwner", L"/args:x"});
  EXPECT_EQ(run.out, Banner() + Piped("\nERROR: Method GetOwner has no input parameters.\n") +
                         RunFailure("root\\cimv2", Narrow(query.substr(5))));
  EXPECT_EQ(run.exitCode, 1u);
}

// ---------------------------------------------------------------------------
// SET

const std::wstring kDiskC = L"/wql:select * from win32_logicaldisk where deviceid = 'c:'";

TEST(EndToEndSet, VolumeLabelIsPutAndWrittenBack) {
  // On Windows this would relabel the system disk.
  if (!IsWine()) GTEST_SKIP() << "changes the label of C: outside Wine";
  const ChildRun run = RunTollix({kDiskC, L"/set:VolumeName", L"/args:NewLabel"});
  const std::string shown = Banner() + Piped("\nVolumeName=NewLabel\n");
  ASSERT_EQ(run.out.substr(0, shown.size()), shown) << run.out;
  const std::string rest = run.out.substr(shown.size());
  // Wine accepts the Put but refuses every PutInstance.
  if (rest == Piped("SET Success.\n\n")) {
    EXPECT_EQ(run.exitCode, 0u);
  } else {
    EXPECT_EQ(rest, Piped("ERROR: Failed to PutInstance. Error code = 0x80041001\n") +
                        RunFailure("root\\cimv2", "select * from win32_logicaldisk where deviceid = 'c:'"));
    EXPECT_EQ(run.exitCode, 1u);
  }
}

TEST(EndToEndSet, UnknownPropertyAndUnconvertibleValueFailTheRun) {
  const std::string failed = RunFailure("root\\cimv2", "select * from win32_logicaldisk where deviceid = 'c:'");
  const std::regex errorCode("0x8[0-9a-f]{7}");
  struct Case {
    std::wstring key;
    std::wstring value;
    std::string message;
  };
  for (const Case& c : {Case{L"NoSuchProp", L"x", "ERROR: Failed to get original value of [NoSuchProp]. Error code = "},
                        Case{L"Size", L"lots", "ERROR: Failed to put value as [Size]. Error code = "}}) {
    const ChildRun run = RunTollix({kDiskC, L"/set:" + c.key, L"/args:" + c.value});
    const std::string start = Banner() + kLineEnd + c.message;
    ASSERT_EQ(run.out.substr(0, start.size()), start) << run.out;
    const std::string rest = run.out.substr(start.size());
    ASSERT_GT(rest.size(), 10 + kLineEnd.size());
    EXPECT_TRUE(std::regex_match(rest.substr(0, 10), errorCode)) << run.out;
    EXPECT_EQ(rest.substr(10), kLineEnd + failed);
    EXPECT_EQ(run.exitCode, 1u);
  }
}

TEST(EndToEndGet, OutputNobodyReadsIsAFailure) {
  for (const wchar_t* layout : {L"/format:csv", L"/format:json"}) {
    const ChildRun run =
        RunChild(TollixPath(), {L"/wql:select * from win32_process", layout}, 90000, true);
    EXPECT_EQ(run.failure, "");
    EXPECT_EQ(run.exitCode, 1u) << Narrow(layout);
    // The one line Tollix writes to standard error, among Wine's notices.
    EXPECT_NE(run.err.find("ERROR: Failed to write output.\r\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("ERROR: Failed to write output.\r\n", run.err.find("ERROR:") + 1), std::string::npos);
  }
}

// ---------------------------------------------------------------------------
// JSON Lines: every line one JSON object ending in exactly one CR LF, read
// back with an independent parser.

using Json = nlohmann::ordered_json;

std::vector<Json> RunJson(std::vector<std::wstring> arguments, unsigned long exitCode = 0) {
  arguments.push_back(L"/format:json");
  const ChildRun run = RunChild(TollixPath(), arguments);
  EXPECT_EQ(run.failure, "");
  EXPECT_EQ(run.exitCode, exitCode) << run.out;
  ExpectOnlyWineNotices(run.err);
  return ParseJsonLines(run.out);
}

// The same objects as the list layout shows, property for property, with
// the types WMI gives them.
TEST(EndToEndJson, GetKeepsEveryValueAndItsType) {
  struct Case {
    std::wstring query;
    const char* property;  // a property that has this type wherever it is not null
    bool (Json::*isType)() const noexcept;
  };
  const Case cases[] = {
      {L"/wql:select * from win32_bios", "SMBIOSMajorVersion", &Json::is_number_integer},
      {L"/wql:select * from win32_sid where sid = 'S-1-5-18'", "BinaryRepresentation", &Json::is_array},
      {L"/wql:select name,size from win32_logicaldisk", "Size", &Json::is_number_unsigned},
      {L"/wql:select * from win32_networkadapterconfiguration where ipenabled = true", "IPAddress", &Json::is_array},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.query));
    const std::vector<std::vector<std::string>> listed = ListObjects(RunTollix({c.query}).out);
    const std::vector<Json> lines = RunJson({c.query});
    ASSERT_EQ(lines.size(), listed.size());
    ASSERT_FALSE(lines.empty());
    size_t typed = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      std::vector<std::string> keys;
      for (const auto& member : lines[i].items()) keys.push_back(member.key());
      ASSERT_FALSE(keys.empty());
      EXPECT_EQ(keys[0], "Node");
      EXPECT_EQ(lines[i]["Node"], "LOCALHOST");
      EXPECT_EQ(std::vector<std::string>(keys.begin() + 1, keys.end()), Names(listed[i]));
      const Json& value = lines[i][c.property];
      EXPECT_TRUE((value.*c.isType)() || value.is_null()) << lines[i].dump();
      typed += (value.*c.isType)() ? 1 : 0;
      // Every number reads as the list layout writes it; 64-bit sizes too.
      std::map<std::string, std::string> texts = Properties(listed[i]);
      for (const auto& member : lines[i].items()) {
        if (member.value().is_number()) {
          EXPECT_EQ(member.value().dump(), texts[Lower(member.key())]) << member.key();
        }
      }
    }
    EXPECT_GE(typed, 1u) << c.property;
  }
  const std::vector<Json> sid = RunJson({cases[1].query});
  ASSERT_EQ(sid.size(), 1u);
  EXPECT_EQ(sid[0]["BinaryRepresentation"], Json::parse("[1,1,0,0,0,0,0,5,18,0,0,0]"));
  EXPECT_EQ(sid[0]["SidLength"], 12);
}

TEST(EndToEndJson, CallSetAndFailuresAreLinesToo) {
  const std::wstring query = ProcessQuery();
  const std::vector<Json> created = RunJson({query, L"/call:Create", L"/args:cmd /c exit"});
  ASSERT_GE(created.size(), 1u);
  for (const Json& line : created) {
    EXPECT_EQ(line["Node"], "LOCALHOST");
    EXPECT_TRUE(line["ProcessId"].is_number_integer()) << line.dump();
    EXPECT_EQ(line["ReturnValue"], 0) << line.dump();
  }

  // A syntax error surfaces at ExecQuery (Wine) or at the first Next.
  const std::vector<Json> badQuery = RunJson({L"/wql:select * from"}, 1);
  ASSERT_EQ(badQuery.size(), 2u);
  EXPECT_TRUE(std::regex_match(badQuery[0]["error"].get<std::string>(),
                               std::regex("Failed to (execute query|get next object)\\. Error code = 0x8[0-9a-f]{7}")))
      << badQuery[0].dump();
  EXPECT_EQ(badQuery[1], Json::parse(R"({"error":"Failed to run root\\cimv2\\select * from"})"));

  // On Windows this would relabel the system disk; Wine refuses the write.
  if (!IsWine()) GTEST_SKIP() << "changes the label of C: outside Wine";
  const std::vector<Json> set = RunJson({kDiskC, L"/set:VolumeName", L"/args:NewLabel"}, 1);
  ASSERT_EQ(set.size(), 3u);
  EXPECT_EQ(set[0], Json::parse(R"({"Node":"LOCALHOST","VolumeName":"NewLabel"})"));
  EXPECT_EQ(set[1], Json::parse(R"({"error":"Failed to PutInstance. Error code = 0x80041001"})"));
  EXPECT_EQ(set[2]["error"], "Failed to run root\\cimv2\\select * from win32_logicaldisk where deviceid = 'c:'");
}

TEST(EndToEndJson, NonAsciiCommandLineComesBackExactly) {
  const std::wstring marker = L"zo\u00eb \u4e2d \U0001F600";
  const std::vector<Json> lines =
      RunJson({L"/wql:select commandline from win32_process where name = 'tollix.exe'", marker});
  // Other Tollix processes may be running beside this one.
  std::string quoted = "\"";
  quoted += Utf8(marker);
  quoted += '"';
  size_t found = 0;
  for (const Json& line : lines) {
    const std::string commandLine = line["CommandLine"].is_string() ? line["CommandLine"].get<std::string>() : "";
    if (commandLine.find(quoted) != std::string::npos) ++found;
  }
  EXPECT_EQ(found, 1u);
}

// ---------------------------------------------------------------------------
// Several machines. The platform's WMI takes ".", "localhost" and the
// computer's own name as this machine. Wine's WMI is not safe for queries
// from several threads of one process, so these runs take one machine at a
// time; the in-memory WMI covers concurrency.

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(name, &size);
  return name;
}

const std::wstring kBiosName = L"/wql:select name from win32_bios";

std::string BiosName() {
  const std::vector<std::vector<std::string>> objects = ListObjects(RunTollix({kBiosName}).out);
  return objects.empty() ? "" : Properties(objects[0])["name"];
}

TEST(EndToEndNodes, TheLocalAliasesInEveryLayout) {
  const std::string bios = BiosName();
  const std::string host = Narrow(ComputerName());
  const std::wstring nodes = L"/node:., localhost," + ComputerName();

  const ChildRun list = RunTollix({kBiosName, nodes, L"/throttle:1"});
  EXPECT_EQ(list.exitCode, 0u);
  std::string expected = Banner();
  for (const std::string& node : {std::string("."), std::string("localhost"), host}) {
    expected += Piped("\nNode=" + node + "\nName=" + bios + "\n\n");
  }
  EXPECT_EQ(list.out, expected);

  const ChildRun csv = RunTollix({kBiosName, nodes, L"/throttle:1", L"/format:csv"});
  EXPECT_EQ(csv.exitCode, 0u);
  EXPECT_EQ(csv.out, Banner() + Piped("Node,Name\n.," + bios + "\nlocalhost," + bios + "\n" + host + "," + bios + "\n"));

  const std::vector<Json> json = RunJson({kBiosName, nodes, L"/throttle:1"});
  ASSERT_EQ(json.size(), 3u);
  EXPECT_EQ(json[0], Json({{"Node", "."}, {"Name", bios}}));
  EXPECT_EQ(json[1], Json({{"Node", "localhost"}, {"Name", bios}}));
  EXPECT_EQ(json[2], Json({{"Node", host}, {"Name", bios}}));
}

TEST(EndToEndNodes, AnUnknownNameFailsAloneAndTheRunSaysSo) {
  const std::string bios = BiosName();
  // With a timeout, each connection is made on a thread of its own that the
  // run stops waiting for at the deadline.
  const ChildRun run =
      RunTollix({kBiosName, L"/node:.,no-such-machine-tollix,localhost", L"/throttle:1", L"/timeout:60"});
  EXPECT_EQ(run.exitCode, 1u);
  const std::string first = Banner() + Piped("\nNode=.\nName=" + bios + "\n\n") + "ERROR: Failed to connect. Error code = ";
  ASSERT_EQ(run.out.substr(0, first.size()), first) << run.out;
  const std::string rest = run.out.substr(first.size());
  EXPECT_TRUE(std::regex_match(rest.substr(0, 10), std::regex("0x8[0-9a-f]{7}"))) << run.out;
  EXPECT_EQ(rest.substr(10), kLineEnd + RunFailure("\\\\no-such-machine-tollix\\root\\cimv2", "select name from win32_bios") +
                                 Piped("\nNode=localhost\nName=" + bios + "\n\nERROR: 1 of 3 nodes failed.\n"));
}

// A new file in the temporary folder, removed with the object.
struct TempFile {
  explicit TempFile(const wchar_t* prefix) {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t name[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, folder) != 0 && GetTempFileNameW(folder, prefix, 0, name) != 0) path = name;
  }
  ~TempFile() {
    if (!path.empty()) DeleteFileW(path.c_str());
  }
  std::wstring path;
};

TEST(EndToEndNodes, ANodeFileAndACallOnTwoNames) {
  const std::string bios = BiosName();
  const TempFile nodes(L"tnd");
  ASSERT_FALSE(nodes.path.empty());
  const wchar_t* path = nodes.path.c_str();
  const std::wstring text = L"\xFEFF# the lab\r\n.\r\n\r\n  localhost\r\n";
  const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(file);

  const ChildRun csv = RunTollix({kBiosName, L"/node:@" + std::wstring(path), L"/throttle:1", L"/format:csv"});
  EXPECT_EQ(csv.exitCode, 0u);
  EXPECT_EQ(csv.out, Banner() + Piped("Node,Name\n.," + bios + "\nlocalhost," + bios + "\n"));

  // Every result of every machine gets its call, machine by machine.
  const std::vector<Json> created =
      RunJson({ProcessQuery(), L"/node:.,localhost", L"/throttle:1", L"/call:Create", L"/args:cmd /c exit"});
  ASSERT_GE(created.size(), 2u);
  EXPECT_EQ(created.front()["Node"], ".");
  EXPECT_EQ(created.back()["Node"], "localhost");
  for (const Json& line : created) {
    EXPECT_TRUE(line["ProcessId"].is_number_integer()) << line.dump();
    EXPECT_EQ(line["ReturnValue"], 0) << line.dump();
  }
}

// ---------------------------------------------------------------------------
// Named and typed values (/params:)

const std::wstring kRegistry = L"/wql:select * from stdregprov";

// HKEY_CURRENT_USER as the hDefKey each platform declares: Windows a uint32,
// Wine a sint32 that takes the same bits only as a negative number.
std::wstring CurrentUser() { return IsWine() ? L"-2147483647" : L"2147483649"; }

// What reg.exe says of a key: its values, or that it is not there.
std::string RegQuery(const std::wstring& key) {
  wchar_t system[MAX_PATH + 1] = {};
  GetSystemDirectoryW(system, MAX_PATH + 1);
  const ChildRun run = RunChild(std::wstring(system) + L"\\reg.exe", {L"query", L"HKCU\\" + key});
  return run.exitCode == 0 ? run.out : "missing";
}

std::wstring RegistryParams(const std::wstring& key, const std::wstring& more) {
  return L"/params:{\"hDefKey\":" + CurrentUser() + L",\"sSubKeyName\":\"" + key + L"\"" + more + L"}";
}

TEST(EndToEndParams, RegistryKeyValuesWrittenReadAndDeletedByName) {
  const std::wstring key = L"Software\\TollixE2E" + std::to_wstring(GetCurrentProcessId());
  const std::wstring jsonKey = L"Software\\\\TollixE2E" + std::to_wstring(GetCurrentProcessId());
  const auto call = [&](const std::wstring& method, const std::wstring& more, unsigned long exitCode = 0) {
    return RunJson({kRegistry, L"/call:" + method, RegistryParams(jsonKey, more)}, exitCode);
  };
  std::vector<Json> out = call(L"CreateKey", L"");
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0]["ReturnValue"], 0);
  out = call(L"SetStringValue", L",\"sValueName\":\"s\",\"sValue\":\"caf\u00e9 /? 1,2\"");
  EXPECT_EQ(out.at(0)["ReturnValue"], 0);
  out = call(L"SetDWORDValue", L",\"sValueName\":\"n\",\"uValue\":4294967295");
  EXPECT_EQ(out.at(0)["ReturnValue"], 0);
  out = call(L"GetStringValue", L",\"sValueName\":\"s\"");
  EXPECT_EQ(out.at(0)["sValue"], "caf\xC3\xA9 /? 1,2");
  const std::string written = RegQuery(key);
  EXPECT_NE(written.find("0xffffffff"), std::string::npos) << written;

  // A value of the wrong type, or one WMI refuses, leaves the key as it was.
  out = call(L"SetStringValue", L",\"sValueName\":\"s\",\"sValue\":5", 1);
  EXPECT_EQ(out.at(0)["error"], "sValue takes string, not a number.");
  if (IsWine()) {
    out = call(L"SetStringValue", L",\"sValueName\":\"s\",\"sValue\":null", 1);
    EXPECT_TRUE(std::regex_match(out.at(0)["error"].get<std::string>(),
                                 std::regex("Failed to put sValue\\. Error code = 0x8[0-9a-f]{7}")))
        << out.at(0).dump();
  }
  EXPECT_EQ(RegQuery(key), written);

  out = call(L"DeleteKey", L"");
  EXPECT_EQ(out.at(0)["ReturnValue"], 0);
  EXPECT_EQ(RegQuery(key), "missing");
}

TEST(EndToEndParams, ProcessStartedWithANamedCommandLine) {
  const std::vector<Json> created =
      RunJson({ProcessQuery(), L"/call:Create", L"/params:{\"CommandLine\":\"cmd /c exit\"}"});
  ASSERT_GE(created.size(), 1u);
  for (const Json& line : created) {
    EXPECT_EQ(line["ReturnValue"], 0) << line.dump();
    EXPECT_TRUE(line["ProcessId"].is_number_integer()) << line.dump();
  }
}

TEST(EndToEndParams, TwoPropertiesPutAndShownBeforeOneWrite) {
  // On Windows this would relabel the system disk.
  if (!IsWine()) GTEST_SKIP() << "changes the label of C: outside Wine";
  const ChildRun run =
      RunTollix({kDiskC, L"/set:", L"/params:{\"VolumeName\":\"TollixE2E\",\"VolumeSerialNumber\":\"0BADF00D\"}"});
  const std::string shown = Banner() + Piped("\nVolumeName=TollixE2E\nVolumeSerialNumber=0BADF00D\n");
  ASSERT_EQ(run.out.substr(0, shown.size()), shown) << run.out;
  // Wine refuses every PutInstance.
  EXPECT_EQ(run.out.substr(shown.size()),
            Piped("ERROR: Failed to PutInstance. Error code = 0x80041001\n") +
                RunFailure("root\\cimv2", "select * from win32_logicaldisk where deviceid = 'c:'"));

  // An array is Tollix's to convert and WMI's to refuse: Wine takes none.
  const ChildRun dns = RunTollix({L"/wql:select * from win32_networkadapterconfiguration where ipenabled = true",
                                  L"/set:", L"/params:{\"DNSServerSearchOrder\":[\"192.0.2.53\",\"192.0.2.54\"]}"});
  if (dns.out == Banner() + kLineEnd) GTEST_SKIP() << "no network adapter here";
  EXPECT_NE(dns.out.find("ERROR: Failed to put DNSServerSearchOrder. Error code = 0x80041001"), std::string::npos)
      << dns.out;
}

// ---------------------------------------------------------------------------
// Credentials. Wine takes them, and any blanket, for its own connection and
// checks nothing: these show the flow, not the security.

TEST(EndToEndCredentials, ThisMachineIsReachedWhateverTheAccountAndThePasswordIsReadFromAPipe) {
  const std::string bios = BiosName();
  const std::string expected = Banner() + Piped("\nNode=.\nName=" + bios + "\n\n");
  ChildRun run = RunTollix({kBiosName, L"/node:.", L"/user:CORP\\admin", L"/password:s3cret"});
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.out, expected);

  // Scripts pipe the password in: its first line, without its line end.
  const std::string piped = "s3cret\r\nnot this\n";
  run = RunChild(TollixPath(), {kBiosName, L"/node:.", L"/user:CORP\\admin", L"/debugdisplay"}, 90000, false, &piped);
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  EXPECT_NE(run.out.find("INFO: password=[asked]"), std::string::npos) << run.out;
  EXPECT_EQ((run.out + run.err).find("s3cret"), std::string::npos);

  // No input at all: nothing runs.
  run = RunTollix({kBiosName, L"/node:.", L"/user:CORP\\admin"});
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.out, Piped("ERROR: No password was given for CORP\\admin.\n"));
}

// The ids of the cmd.exe processes running now.
std::vector<DWORD> CmdProcesses() {
  std::vector<DWORD> ids;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, L"cmd.exe") == 0) ids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

// The size of a file in bytes; -1 while there is none.
LONGLONG FileSize(const wchar_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return -1;
  return static_cast<LONGLONG>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

// The lines a file holds once the processes a run started have ended and the
// file has stopped growing: they run on after Tollix has ended, however slowly
// the machine goes. `before` are the cmd.exe processes from before the run.
size_t SettledLineCount(const wchar_t* path, const std::vector<DWORD>& before) {
  const ULONGLONG deadline = GetTickCount64() + 30000;
  LONGLONG size = -1;
  for (ULONGLONG steadySince = GetTickCount64(); GetTickCount64() < deadline; Sleep(100)) {
    const std::vector<DWORD> now = CmdProcesses();
    const bool startedRunning = std::any_of(now.begin(), now.end(), [&before](DWORD id) {
      return std::find(before.begin(), before.end(), id) == before.end();
    });
    const LONGLONG nowSize = FileSize(path);
    if (nowSize != size || startedRunning) {
      size = nowSize;
      steadySince = GetTickCount64();
    } else if (GetTickCount64() - steadySince >= 1000) {
      break;
    }
  }
  std::string text;
  const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
  }
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Output nobody reads stops a node run's changes as soon as it stops those of
// a run on this machine alone. Each call appends a line to a file, so the
// file counts what was changed.
TEST(EndToEndNodes, LostOutputMakesNoMoreChangesThanOnOneMachine) {
  const TempFile changes(L"tch");
  ASSERT_FALSE(changes.path.empty());
  const wchar_t* path = changes.path.c_str();
  const auto changesBy = [path](std::vector<std::wstring> arguments) {
    DeleteFileW(path);
    const std::vector<DWORD> before = CmdProcesses();
    const ChildRun run = RunChild(TollixPath(), arguments, 90000, true);
    EXPECT_EQ(run.failure, "");
    EXPECT_EQ(run.exitCode, 1u);
    return SettledLineCount(path, before);
  };
  const std::wstring query =
      L"/wql:select * from win32_process where name = 'services.exe' or name = 'explorer.exe' or name = 'plugplay.exe'";
  const std::wstring append = L"/args:cmd /c echo x>>" + std::wstring(path);
  for (const wchar_t* layout : {L"/format:csv", L"/format:json"}) {
    const auto alone = changesBy({query, L"/call:Create", append, layout});
    const auto onNodes = changesBy({query, L"/call:Create", append, layout, L"/node:.,localhost", L"/throttle:1"});
    EXPECT_LE(onNodes, alone) << Narrow(layout);
  }
}

// ---------------------------------------------------------------------------
// /describe: a class definition, not its instances. Wine's classes have fewer
// members than Windows', carry no qualifiers, and type some parameters
// differently (StdRegProv's hDefKey: sint32 under Wine, uint32 on Windows),
// so these check the structure and the names both platforms have.

std::string Text(const Json& value) { return value.is_string() ? value.get<std::string>() : value.dump(); }

std::string Flag(const Json& value, const char* word) { return value == true ? std::string(" ") + word : ""; }

// The lines the list layout shows for a JSON description.
std::vector<std::string> DescriptionLines(const Json& line) {
  std::vector<std::string> lines = {"Class=" + Text(line["Class"])};
  for (const Json& property : line["Properties"]) {
    lines.push_back("Property=" + Text(property["Name"]) + " " + Text(property["Type"]) + Flag(property["Key"], "key") +
                    Flag(property["Read"], "read") + Flag(property["Write"], "write"));
  }
  for (const Json& method : line["Methods"]) {
    std::vector<std::string> in;
    for (const Json& parameter : method["In"]) {
      in.push_back(std::to_string(in.size() + 1) + " " + Text(parameter["Name"]) + " " + Text(parameter["Type"]));
    }
    std::vector<std::string> out;
    for (const Json& parameter : method["Out"]) out.push_back(Text(parameter["Name"]) + " " + Text(parameter["Type"]));
    lines.push_back("Method=" + Text(method["Name"]) + "(" + Joined(in, ", ") + ") -> (" + Joined(out, ", ") + ")" +
                    Flag(method["Static"], "static"));
  }
  return lines;
}

// The type of member `name` of a JSON array of {"Name":..,"Type":..}, found
// as WMI finds names: without regard to case.
std::string TypeOf(const Json& array, const std::string& name) {
  for (const Json& member : array) {
    if (Lower(Text(member["Name"])) == Lower(name)) return Text(member["Type"]);
  }
  return "<missing>";
}

const Json& Method(const Json& line, const std::string& name) {
  static const Json missing = Json::parse(R"({"In":[],"Out":[]})");
  for (const Json& method : line["Methods"]) {
    if (method["Name"] == name) return method;
  }
  ADD_FAILURE() << name << " missing";
  return missing;
}

// Describes the class in both layouts, which must say the same; returns the
// JSON line.
Json Describe(const std::wstring& query) {
  const ChildRun list = RunTollix({query, L"/describe"});
  EXPECT_EQ(list.exitCode, 0u) << list.out;
  const std::vector<std::vector<std::string>> objects = ListObjects(list.out);
  const std::vector<Json> json = RunJson({query, L"/describe"});
  if (objects.size() != 1 || json.size() != 1) {
    ADD_FAILURE() << "not one description:\n" << list.out;
    return Json();
  }
  std::vector<std::string> keys;
  for (const auto& member : json[0].items()) keys.push_back(member.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"Node", "Class", "Properties", "Methods"}));
  EXPECT_EQ(json[0]["Node"], "LOCALHOST");
  EXPECT_EQ(objects[0], DescriptionLines(json[0]));
  return json[0];
}

TEST(EndToEndDescribe, StdRegProvOnOneMachineAndOnTwoNames) {
  const std::wstring query = L"/wql:select * from stdregprov";
  const Json described = Describe(query);
  EXPECT_EQ(described["Class"], "StdRegProv");
  for (const char* name :
       {"CreateKey", "EnumKey", "EnumValues", "GetStringValue", "SetStringValue", "SetDWORDValue", "DeleteKey"}) {
    const Json& method = Method(described, name);
    ASSERT_FALSE(method["In"].empty()) << name;
    EXPECT_EQ(method["In"][0]["Name"], "hDefKey") << name;
    EXPECT_TRUE(method["In"][0]["Type"] == "sint32" || method["In"][0]["Type"] == "uint32") << name;
    EXPECT_EQ(TypeOf(method["Out"], "ReturnValue"), "uint32") << name;
  }
  // Numbered as /args: fills them.
  const Json& get = Method(described, "GetStringValue");
  ASSERT_EQ(get["In"].size(), 3u);
  EXPECT_EQ(get["In"][1], Json::parse(R"({"Name":"sSubKeyName","Type":"string"})"));
  EXPECT_EQ(get["In"][2], Json::parse(R"({"Name":"sValueName","Type":"string"})"));
  EXPECT_EQ(TypeOf(get["Out"], "sValue"), "string");
  EXPECT_EQ(TypeOf(Method(described, "EnumKey")["Out"], "sNames"), "string[]");

  const ChildRun nodes = RunTollix({query, L"/describe", L"/node:.,localhost", L"/throttle:1"});
  EXPECT_EQ(nodes.exitCode, 0u);
  const std::string block = Joined(DescriptionLines(described), "\n");
  EXPECT_EQ(nodes.out, Banner() + Piped("\nNode=.\n" + block + "\n\n\nNode=localhost\n" + block + "\n\n"));
}

TEST(EndToEndDescribe, Win32ProcessWithoutInstancesAskedFor) {
  const Json described = Describe(L"/wql:select * from win32_process where name = 'no such process'");
  EXPECT_EQ(described["Class"], "Win32_Process");
  for (const auto& [name, type] : std::map<std::string, std::string>{
           {"Caption", "string"}, {"Handle", "string"}, {"ProcessId", "uint32"}, {"WorkingSetSize", "uint64"}}) {
    EXPECT_EQ(TypeOf(described["Properties"], name), type) << name;
  }
  EXPECT_EQ(TypeOf(described["Properties"], "__CLASS"), "<missing>");
  const Json& create = Method(described, "Create");
  ASSERT_GE(create["In"].size(), 2u);
  EXPECT_EQ(create["In"][0], Json::parse(R"({"Name":"CommandLine","Type":"string"})"));
  EXPECT_EQ(create["In"][1], Json::parse(R"({"Name":"CurrentDirectory","Type":"string"})"));
  EXPECT_EQ(TypeOf(create["Out"], "ProcessId"), "uint32");
  const Json& owner = Method(described, "GetOwner");
  EXPECT_EQ(owner["In"], Json::array());
  EXPECT_EQ(TypeOf(owner["Out"], "User"), "string");
}

// ---------------------------------------------------------------------------
// /class: static methods called on their class, with no query.


TEST(EndToEndClass, CreateStartsExactlyOneProcessAMachine) {
  const TempFile mark(L"tmk");
  ASSERT_FALSE(mark.path.empty());
  const std::wstring append = L"/args:cmd /c echo x>>" + mark.path;
  DeleteFileW(mark.path.c_str());
  std::vector<DWORD> before = CmdProcesses();
  const ChildRun list = RunTollix({L"/class:Win32_Process", L"/call:Create", append});
  EXPECT_EQ(list.exitCode, 0u) << list.out;
  const std::vector<std::vector<std::string>> objects = ListObjects(list.out);
  ASSERT_EQ(objects.size(), 1u) << list.out;
  EXPECT_EQ(objects[0].back(), "CALL Success.");
  std::map<std::string, std::string> out = Properties(objects[0]);
  EXPECT_EQ(out["returnvalue"], "0");
  EXPECT_TRUE(std::regex_match(out["processid"], std::regex("[1-9][0-9]*"))) << list.out;
  EXPECT_EQ(SettledLineCount(mark.path.c_str(), before), 1u);

  // Once on each machine, each result naming its machine.
  DeleteFileW(mark.path.c_str());
  before = CmdProcesses();
  const std::vector<Json> lines =
      RunJson({L"/class:Win32_Process", L"/call:Create", append, L"/node:.,localhost", L"/throttle:1"});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["Node"], ".");
  EXPECT_EQ(lines[1]["Node"], "localhost");
  for (const Json& line : lines) EXPECT_EQ(line["ReturnValue"], 0) << line.dump();
  // Two processes, one a machine. Their two cmd.exe may append to the mark at
  // the same moment, and one line can then overwrite the other: the file says
  // only that no more were started.
  EXPECT_NE(lines[0]["ProcessId"], lines[1]["ProcessId"]);
  const size_t marks = SettledLineCount(mark.path.c_str(), before);
  EXPECT_GE(marks, 1u);
  EXPECT_LE(marks, 2u);
}

// A registry root goes as the type the class declares hDefKey: a uint32 on
// Windows, where HKEY_CURRENT_USER is 2147483649, a sint32 under Wine, where
// it is -2147483647. The root in the other type's terms is refused before
// anything is called, since the parameter would keep its default,
// HKEY_LOCAL_MACHINE. A key made and deleted by position is checked with
// reg.exe.
TEST(EndToEndCall, RegistryRootsByPositionAsTheClassDeclaresThem) {
  const std::vector<Json> described = RunJson({L"/class:StdRegProv", L"/describe"});
  ASSERT_EQ(described.size(), 1u);
  const std::string type = TypeOf(Method(described[0], "CreateKey")["In"], "hDefKey");
  ASSERT_TRUE(type == "uint32" || type == "sint32") << type;
  const bool isSigned = type == "sint32";
  const std::wstring currentUser = isSigned ? L"-2147483647" : L"2147483649";
  const std::wstring localMachine = isSigned ? L"-2147483646" : L"2147483650";
  const std::wstring wrongMachine = isSigned ? L"2147483650" : L"-2147483646";

  const std::wstring query = L"/wql:select * from stdregprov";
  const std::wstring build = L",SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion,CurrentBuildNumber";
  ChildRun run = RunTollix({query, L"/call:GetStringValue", L"/args:" + wrongMachine + build});
  EXPECT_EQ(run.out, Banner() + Piped("\nERROR: hDefKey takes " + type + "; " + Narrow(wrongMachine) +
                                      " is out of its range.\n") +
                         RunFailure("root\\cimv2", Narrow(query.substr(5))));
  EXPECT_EQ(run.exitCode, 1u);
  run = RunTollix({query, L"/call:GetStringValue", L"/args:" + localMachine + build});
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  const std::vector<std::vector<std::string>> objects = ListObjects(run.out);
  ASSERT_EQ(objects.size(), 1u) << run.out;
  std::map<std::string, std::string> out = Properties(objects[0]);
  EXPECT_EQ(out["returnvalue"], "0");
  EXPECT_TRUE(std::regex_match(out["svalue"], std::regex("[0-9]+"))) << run.out;

  const std::wstring key = L"Software\\TollixArgs" + std::to_wstring(GetCurrentProcessId());
  run = RunTollix({L"/class:StdRegProv", L"/call:CreateKey", L"/args:" + currentUser + L"," + key, L"/format:csv"});
  EXPECT_EQ(run.out, Banner() + Piped("Node,ReturnValue\nLOCALHOST,0\nCALL Success.\n"));
  EXPECT_NE(RegQuery(key), "missing");
  run = RunTollix({L"/class:StdRegProv", L"/call:DeleteKey", L"/args:" + currentUser + L"," + key, L"/format:csv"});
  EXPECT_EQ(run.out, Banner() + Piped("Node,ReturnValue\nLOCALHOST,0\nCALL Success.\n"));
  EXPECT_EQ(RegQuery(key), "missing");
}

// CreateKey, SetStringValue, GetStringValue and DeleteKey on the class, as a
// Windows script calls them, checked against what reg.exe sees.
TEST(EndToEndClass, RegistryRoundTripOnStdRegProv) {
  const std::wstring key = L"Software\\TollixClass" + std::to_wstring(GetCurrentProcessId());
  const std::wstring jsonKey = L"Software\\\\TollixClass" + std::to_wstring(GetCurrentProcessId());
  const auto call = [&](const std::wstring& method, const std::wstring& more, const wchar_t* layout) {
    std::vector<std::wstring> arguments = {L"/namespace:root\\default", L"/class:StdRegProv", L"/call:" + method,
                                           RegistryParams(jsonKey, more)};
    if (layout) arguments.push_back(layout);
    return RunTollix(arguments);
  };
  ChildRun run = call(L"CreateKey", L"", L"/format:csv");
  EXPECT_EQ(run.out, Banner() + Piped("Node,ReturnValue\nLOCALHOST,0\nCALL Success.\n"));
  run = call(L"SetStringValue", L",\"sValueName\":\"s\",\"sValue\":\"class call\"", nullptr);
  EXPECT_EQ(run.out, Banner() + Piped("\nReturnValue=0\nCALL Success.\n\n"));
  EXPECT_NE(RegQuery(key).find("class call"), std::string::npos) << RegQuery(key);
  const std::vector<Json> read = RunJson({L"/namespace:root\\default", L"/class:StdRegProv", L"/call:GetStringValue",
                                          RegistryParams(jsonKey, L",\"sValueName\":\"s\"")});
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0]["Node"], "LOCALHOST");
  EXPECT_EQ(read[0]["sValue"], "class call");
  run = call(L"DeleteKey", L"", nullptr);
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  EXPECT_EQ(RegQuery(key), "missing");
}

// A root that is no number is refused on every platform; the call would
// otherwise go to hDefKey's default, HKEY_LOCAL_MACHINE.
TEST(EndToEndClass, ARefusedValueCreatesNoKeyAnywhere) {
  const std::wstring key = L"Software\\TollixRefused" + std::to_wstring(GetCurrentProcessId());
  const ChildRun run = RunTollix({L"/class:StdRegProv", L"/call:CreateKey", L"/args:HKCU," + key});
  EXPECT_EQ(run.exitCode, 1u);
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 4u) << run.out;
  EXPECT_TRUE(std::regex_match(lines[2], std::regex("ERROR: hDefKey takes [su]int32, not \"HKCU\"\\.")))
      << run.out;
  EXPECT_EQ(lines[3], "ERROR: Failed to run root\\cimv2\\StdRegProv");
  wchar_t system[MAX_PATH + 1] = {};
  GetSystemDirectoryW(system, MAX_PATH + 1);
  for (const wchar_t* hive : {L"HKLM\\", L"HKCU\\"}) {
    const ChildRun query = RunChild(std::wstring(system) + L"\\reg.exe", {L"query", hive + key});
    EXPECT_NE(query.exitCode, 0u) << Narrow(hive) << query.out;
  }
}

TEST(EndToEndClass, DescribedWithoutAQuery) {
  const std::vector<Json> described = RunJson({L"/class:StdRegProv", L"/describe"});
  ASSERT_EQ(described.size(), 1u);
  EXPECT_EQ(described[0]["Class"], "StdRegProv");
  EXPECT_EQ(Method(described[0], "GetStringValue")["In"][0]["Name"], "hDefKey");
  // The same as the query's way gives.
  EXPECT_EQ(RunTollix({L"/class:StdRegProv", L"/describe"}).out,
            RunTollix({L"/wql:select * from stdregprov", L"/describe"}).out);
}

TEST(EndToEndClass, RefusedBeforeTheBannerWithNothingRun) {
  const TempFile mark(L"tmr");
  ASSERT_FALSE(mark.path.empty());
  DeleteFileW(mark.path.c_str());
  const std::wstring append = L"/args:cmd /c echo x>>" + mark.path;
  const struct {
    std::vector<std::wstring> arguments;
    std::string error;
  } cases[] = {
      {{L"/class:Win32_Process", L"/wql:select * from win32_process", L"/call:Create", append},
       "ERROR: /class: is exclusive to /wql:"},
      {{L"/class:Win32_Process"}, "ERROR: /class: needs /call:METHOD or /describe"},
      {{L"/class:", L"/call:Create", append}, "ERROR: /class: names no class"},
      {{L"/class:Win32_Process.Handle=0", L"/call:Create", append},
       "ERROR: /class: \"Win32_Process.Handle=0\" is not a class name (letters, digits and _, not starting with a "
       "digit)"},
  };
  for (const auto& c : cases) {
    const ChildRun run = RunTollix(c.arguments);
    EXPECT_EQ(run.out, Piped(c.error + "\n"));
    EXPECT_EQ(run.exitCode, 1u);
  }
  Sleep(1000);
  EXPECT_EQ(GetFileAttributesW(mark.path.c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---------------------------------------------------------------------------
// /whatif: everything up to the change, and the change never.

TEST(EndToEndWhatIf, CreateStartsNoProcessInAnyLayoutOrOnAnyMachine) {
  const TempFile mark(L"twi");
  ASSERT_FALSE(mark.path.empty());
  DeleteFileW(mark.path.c_str());
  const std::wstring append = L"/args:cmd /c echo x>>" + mark.path;
  const std::string line = "CommandLine=cmd /c echo x>>" + Narrow(mark.path);
  ChildRun run = RunTollix({L"/class:Win32_Process", L"/call:Create", append, L"/whatif"});
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  const std::vector<std::vector<std::string>> objects = ListObjects(run.out);
  ASSERT_EQ(objects.size(), 1u) << run.out;
  EXPECT_EQ(objects[0].front(), line);
  EXPECT_EQ(objects[0].back(), "WHATIF: CALL would run Create on Win32_Process");

  run = RunTollix({ProcessQuery(), L"/call:Create", append, L"/whatif", L"/format:csv"});
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_GE(lines.size(), 3u) << run.out;
  EXPECT_EQ(lines[1].rfind("Node,WhatIf,Method,Path,CommandLine,", 0), 0u) << run.out;
  EXPECT_EQ(lines[2].rfind("LOCALHOST,CALL,Create,\\\\", 0), 0u) << run.out;

  const std::vector<Json> json =
      RunJson({L"/class:Win32_Process", L"/call:Create", append, L"/whatif", L"/node:.,localhost", L"/throttle:1"});
  ASSERT_EQ(json.size(), 2u);
  for (const Json& preview : json) {
    EXPECT_EQ(preview["WhatIf"], "CALL");
    EXPECT_EQ(preview["Method"], "Create");
    EXPECT_EQ(preview["Path"], "Win32_Process");
    EXPECT_EQ(preview["In"]["CommandLine"], "cmd /c echo x>>" + Narrow(mark.path));
  }
  EXPECT_EQ(json[1]["Node"], "localhost");
  Sleep(2000);
  EXPECT_EQ(GetFileAttributesW(mark.path.c_str()), INVALID_FILE_ATTRIBUTES) << "a process ran";
}

TEST(EndToEndWhatIf, CreateKeyLeavesTheRegistryAsItWas) {
  const std::wstring key = L"Software\\TollixWhatIf" + std::to_wstring(GetCurrentProcessId());
  const std::wstring jsonKey = L"Software\\\\TollixWhatIf" + std::to_wstring(GetCurrentProcessId());
  const std::vector<Json> json =
      RunJson({L"/class:StdRegProv", L"/call:CreateKey", RegistryParams(jsonKey, L""), L"/whatif"});
  ASSERT_EQ(json.size(), 1u);
  EXPECT_EQ(json[0]["In"]["sSubKeyName"], Narrow(key));
  EXPECT_EQ(RegQuery(key), "missing");
  // A value out of its range is still refused, before anything is shown.
  const std::vector<Json> refused = RunJson(
      {L"/class:StdRegProv", L"/call:SetDWORDValue", RegistryParams(jsonKey, L",\"sValueName\":\"n\",\"uValue\":4294967296"),
       L"/whatif"},
      1);
  ASSERT_FALSE(refused.empty());
  EXPECT_EQ(refused[0]["error"], "uValue takes uint32; 4294967296 is out of its range.");
  EXPECT_EQ(RegQuery(key), "missing");
}

// Wine refuses every PutInstance: reaching it would show.
// A method without in-parameters has nothing to show but where it would run.
TEST(EndToEndWhatIf, AMethodWithoutInParametersShowsOnlyWhereItWouldRun) {
  const std::wstring query = L"/wql:select * from win32_process where name = 'services.exe'";
  const ChildRun run = RunTollix({query, L"/call:GetOwner", L"/args:,", L"/whatif"});
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  const std::vector<std::vector<std::string>> objects = ListObjects(run.out);
  ASSERT_EQ(objects.size(), 1u) << run.out;
  ASSERT_EQ(objects[0].size(), 1u) << run.out;
  EXPECT_TRUE(std::regex_match(objects[0][0], std::regex("WHATIF: CALL would run GetOwner on \\\\\\\\.*Win32_Process\\.Handle=\"[0-9]+\"",
                                                         std::regex::icase)))
      << run.out;
  const std::vector<Json> lines = RunJson({query, L"/call:GetOwner", L"/args:,", L"/whatif"});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["Method"], "GetOwner");
  EXPECT_EQ(lines[0]["In"], Json::object());
}

TEST(EndToEndWhatIf, ALabelIsShownAndNotWritten) {
  const ChildRun run = RunTollix({kDiskC, L"/set:VolumeName", L"/args:Preview", L"/whatif"});
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  const std::vector<std::vector<std::string>> objects = ListObjects(run.out);
  ASSERT_EQ(objects.size(), 1u) << run.out;
  ASSERT_EQ(objects[0].size(), 2u) << run.out;
  EXPECT_EQ(objects[0][0], "VolumeName=Preview");
  EXPECT_TRUE(std::regex_match(objects[0][1], std::regex("WHATIF: SET would write \\\\\\\\.*Win32_LogicalDisk\\.DeviceID=\"C:\"", std::regex::icase)))
      << run.out;

  const ChildRun refused = RunTollix({kDiskC, L"/whatif"});
  EXPECT_EQ(refused.out, Piped("ERROR: /whatif needs /set: or /call:\n"));
  EXPECT_EQ(refused.exitCode, 1u);
}

// Wine's WMI refuses every event query (0x80041001): the refusal is clean in
// each layout, and quick; the refusals of /watch come before the banner.
TEST(EndToEndWatch, ARefusedEventQueryAndTheRefusalsBeforeTheBanner) {
  const std::wstring query = L"/wql:select * from __InstanceCreationEvent within 2 where TargetInstance isa 'Win32_Process'";
  const std::string failed = "Failed to execute notification query. Error code = 0x80041001";
  const std::string run = "Failed to run root\\\\cimv2\\\\select * from __instancecreationevent within 2 where "
                          "targetinstance isa 'win32_process'";
  const struct {
    std::vector<std::wstring> arguments;
    std::string out;
  } cases[] = {
      {{query, L"/watch"}, Banner() + Piped("ERROR: " + failed + "\nERROR: Failed to run root\\cimv2\\select * "
                                            "from __instancecreationevent within 2 where targetinstance isa "
                                            "'win32_process'\n")},
      {{query, L"/watch", L"/format:csv", L"/count:3"},
       Banner() + Piped("ERROR: " + failed + "\nERROR: Failed to run root\\cimv2\\select * from "
                        "__instancecreationevent within 2 where targetinstance isa 'win32_process'\n")},
      {{query, L"/watch", L"/format:json", L"/timeout:5"},
       "{\"error\":\"" + failed + "\"}\r\n{\"error\":\"" + run + "\"}\r\n"},
      {{query, L"/watch", L"/whatif"}, Piped("ERROR: /watch is exclusive to /whatif\n")},
      {{query, L"/count:2"}, Piped("ERROR: /count: needs /watch\n")},
      {{query, L"/watch", L"/count:2147483648"}, Piped("ERROR: /count: takes a whole number from 1 to 2147483647.\n")},
      {{query, L"/watch", L"/node:a,b", L"/throttle:1"},
       Piped("ERROR: /watch needs a /throttle: of at least the number of machines (2).\n")},
  };
  for (const auto& c : cases) {
    // Not RunTollix: JSON Lines end in CR LF alone.
    const ChildRun child = RunChild(TollixPath(), c.arguments);
    EXPECT_EQ(child.failure, "");
    ExpectOnlyWineNotices(child.err);
    EXPECT_EQ(child.out, c.out);
    EXPECT_EQ(child.exitCode, 1u);
  }
}

// ---------------------------------------------------------------------------
// Run as wmic.exe

// A copy of Tollix named wmic.exe in a folder of its own, beside the batch
// files that call it.
struct WmicCopy {
  ScratchDirectory scratch;
  std::wstring exe;

  WmicCopy() {
    wchar_t temp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, temp) == 0) return;
    scratch.path = std::wstring(temp) + L"tollix_wmic_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(scratch.path.c_str(), nullptr);
    exe = scratch.path + L"\\wmic.exe";
    if (CopyFileW(TollixPath().c_str(), exe.c_str(), FALSE)) scratch.files.push_back(exe);
  }

  // Writes `text` as the batch file `name` beside the copy and runs it with
  // cmd /c; `failure` says so when the file could not be written.
  ChildRun RunBatch(const std::wstring& name, const std::string& text) {
    const std::wstring batch = scratch.path + L"\\" + name;
    const HANDLE file = CreateFileW(batch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    ChildRun run;
    if (file == INVALID_HANDLE_VALUE) {
      run.failure = "the batch file could not be written";
      return run;
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    scratch.files.push_back(batch);
    wchar_t system[MAX_PATH + 1] = {};
    GetSystemDirectoryW(system, MAX_PATH + 1);
    return RunChild(std::wstring(system) + L"\\cmd.exe", {L"/c", batch});
  }
};

std::string ColumnText(const std::string& text, size_t width) {
  std::string cell = text;
  cell.append(width + 2 - text.size(), ' ');
  return cell;
}

// Read through the pipe of the program's own standard output: single-byte
// text, every line ending CR CR LF.
TEST(EndToEndWmic, APipeGetsWmicsTableAndValueListByteForByte) {
  WmicCopy copy;
  ASSERT_FALSE(copy.scratch.files.empty()) << "no copy named wmic.exe";
  const std::vector<Json> bios = RunJson({L"/wql:select Manufacturer,Name from win32_bios"});
  ASSERT_EQ(bios.size(), 1u);
  const std::string manufacturer = bios[0]["Manufacturer"].get<std::string>();
  const std::string name = bios[0]["Name"].get<std::string>();
  const size_t first = std::max(manufacturer.size(), std::string("Manufacturer").size());
  const size_t second = std::max(name.size(), std::string("Name").size());

  const ChildRun table = RunChild(copy.exe, {L"bios", L"get", L"Manufacturer,Name"});
  EXPECT_EQ(table.failure, "");
  EXPECT_EQ(table.out, ColumnText("Manufacturer", first) + ColumnText("Name", second) + kLineEnd +
                           ColumnText(manufacturer, first) + ColumnText(name, second) + kLineEnd + kLineEnd);
  ExpectOnlyWineNotices(table.err);
  EXPECT_EQ(table.exitCode, 0u);

  const std::vector<Json> os = RunJson({L"/wql:select Caption from win32_operatingsystem"});
  ASSERT_EQ(os.size(), 1u);
  const ChildRun value = RunChild(copy.exe, {L"os", L"get", L"Caption", L"/value"});
  EXPECT_EQ(value.out, Piped("\n\nCaption=" + os[0]["Caption"].get<std::string>() + "\n\n\n\n"));
  ExpectOnlyWineNotices(value.err);
  EXPECT_EQ(value.exitCode, 0u);

  // Failures: on standard error, with a failing exit code.
  const ChildRun unknown = RunChild(copy.exe, {L"nosuchalias"});
  EXPECT_EQ(unknown.out, "");
  EXPECT_NE(unknown.err.find("nosuchalias - Alias not found.\r\r\n"), std::string::npos) << unknown.err;
  EXPECT_EQ(unknown.exitCode, 44210u);
}

// What a Python tool runs to learn the machine's model, read from the pipe
// by an XML parser: the first VALUE of the first PROPERTY of the first
// INSTANCE in the first RESULTS.
TEST(EndToEndWmic, RawXmlFromThePipeParsesBack) {
  WmicCopy copy;
  ASSERT_FALSE(copy.scratch.files.empty()) << "no copy named wmic.exe";
  const std::vector<Json> system = RunJson({L"/wql:select Model from win32_computersystem"});
  ASSERT_EQ(system.size(), 1u);
  const std::string model = system[0]["Model"].get<std::string>();

  const ChildRun run = RunChild(copy.exe, {L"computersystem", L"get", L"model", L"/format:RAWXML"});
  EXPECT_EQ(run.failure, "");
  ExpectOnlyWineNotices(run.err);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.out.rfind("<COMMAND><RESULTS NODE=", 0), 0u) << run.out;
  ASSERT_GE(run.out.size(), 3u);
  EXPECT_EQ(run.out.substr(run.out.size() - 3), "\r\r\n");
  // MSXML serves either apartment; the multithreaded one needs no window, so
  // the test touches no desktop.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  const std::wstring property = L"/COMMAND/RESULTS[1]/CIM/INSTANCE[@CLASSNAME='Win32_ComputerSystem'][1]/PROPERTY[1]";
  EXPECT_EQ(MsxmlTexts(run.out, (property + L"/@NAME").c_str()), std::vector<std::wstring>{L"Model"}) << run.out;
  EXPECT_EQ(MsxmlTexts(run.out, (property + L"/VALUE").c_str()),
            std::vector<std::wstring>{std::wstring(model.begin(), model.end())});
  CoUninitialize();
}

// A script's own way of reading wmic: `for /f` over `/value`, from the
// batch file's folder, where cmd finds the copy before any on the PATH.
TEST(EndToEndWmic, ABatchFileReadsAValueWithForF) {
  WmicCopy copy;
  ASSERT_FALSE(copy.scratch.files.empty()) << "no copy named wmic.exe";
  const std::vector<Json> bios = RunJson({L"/wql:select Name from win32_bios"});
  ASSERT_EQ(bios.size(), 1u);
  const ChildRun run = copy.RunBatch(L"read.bat",
                                     "@echo off\r\n"
                                     "cd /d \"%~dp0\"\r\n"
                                     "for /f \"tokens=2 delims==\" %%a in ('wmic bios get name /value') do echo [%%a]\r\n"
                                     "wmic nosuchalias 2>nul\r\n"
                                     "if errorlevel 1 echo failed\r\n"
                                     "exit /b 0\r\n");
  EXPECT_EQ(run.failure, "");
  // Under Wine, cmd hands the command a disk file, which gets UTF-16; on
  // Windows it is a pipe, whose extra CR the value keeps.
  std::string value = "[";
  value += bios[0]["Name"].get<std::string>();
  EXPECT_TRUE(run.out == value + "]\r\nfailed\r\n" || run.out == value + "\r]\r\nfailed\r\n") << run.out;
  EXPECT_EQ(run.exitCode, 0u);
}


// A cell as wmic shows it in a table and a value list; a property the
// object does not have (names in any case) shows as NULL does.
std::string WmicCell(const Json& object, const std::string& name) {
  for (const auto& item : object.items()) {
    if (Lower(item.key()) != Lower(name)) continue;
    const Json& value = item.value();
    if (value.is_null()) return "";
    if (value.is_string()) return value.get<std::string>();
    if (value.is_boolean()) return value.get<bool>() ? "TRUE" : "FALSE";
    return value.dump();
  }
  return "";
}

// The property names of an object as WMI spells them, in wmic's order:
// alphabetical, upper case and lower case alike.
std::vector<std::string> WmicNames(const Json& object) {
  std::vector<std::string> names;
  for (const auto& item : object.items()) {
    if (item.key() != "Node") names.push_back(item.key());
  }
  const auto upper = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  };
  std::sort(names.begin(), names.end(),
            [&](const std::string& left, const std::string& right) { return upper(left) < upper(right); });
  return names;
}

// wmic's table of these objects, lines ending "\n": every column as wide as
// its longest text plus 2, then one empty line; nothing for no objects.
std::string WmicTable(const std::vector<Json>& objects, bool header = true) {
  if (objects.empty()) return "";
  const std::vector<std::string> names = WmicNames(objects[0]);
  std::vector<size_t> widths;
  for (const std::string& name : names) {
    size_t width = name.size();
    for (const Json& object : objects) width = std::max(width, WmicCell(object, name).size());
    widths.push_back(width);
  }
  std::string text;
  if (header) {
    for (size_t i = 0; i < names.size(); ++i) text += ColumnText(names[i], widths[i]);
    text += "\n";
  }
  for (const Json& object : objects) {
    for (size_t i = 0; i < names.size(); ++i) text += ColumnText(WmicCell(object, names[i]), widths[i]);
    text += "\n";
  }
  return text + "\n";
}

// wmic's value list: two empty lines before each object, three after the last.
std::string WmicValueList(const std::vector<Json>& objects) {
  if (objects.empty()) return "";
  std::string text;
  for (const Json& object : objects) {
    text += "\n\n";
    for (const std::string& name : WmicNames(object)) text += name + "=" + WmicCell(object, name) + "\n";
  }
  return text + "\n\n\n";
}

std::string CrLf(const std::string& text) {
  std::string lines;
  for (const char c : text) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return lines;
}

// ASCII text as a UTF-16LE file holds it.
std::string Utf16(const std::string& ascii) {
  std::string bytes;
  for (const char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

const std::string kUtf16Bom = "\xFF\xFE";

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

std::string FirstWord(const std::string& text) { return text.substr(0, text.find_first_of(" \t")); }

bool ContainsWithoutCase(const std::string& text, const std::string& word) {
  return Lower(text).find(Lower(word)) != std::string::npos;
}

// What one row of the batch file prints, under each cmd. Windows' cmd gives
// a `for /f` command and a pipe's left side a pipe: single-byte text whose
// every line ends CR CR LF, so `for /f` keeps a CR at the end of each line,
// and a wmic table's empty last line is a line holding a CR. Wine's cmd
// differs in two ways that decide some rows whatever the program does (`wine`
// left empty there): it gives those commands a temporary disk file instead,
// which gets UTF-16 and which cmd decodes for `for /f`, but find, findstr and
// type read raw; and Wine 8's `&&` and `||` run their right side after any
// program, whatever its exit code.
struct BatchOutput {
  BatchOutput(std::string windowsText, std::optional<std::string> wineText, const wchar_t* written = nullptr,
              std::string writtenBytes = {})
      : windows(std::move(windowsText)), wine(std::move(wineText)), file(written), fileBytes(std::move(writtenBytes)) {}
  std::string windows;
  std::optional<std::string> wine;
  const wchar_t* file;    // a file the row writes, in the batch file's folder, or null
  std::string fileBytes;  // and what it must hold
};

BatchOutput Either(const std::string& text) { return {text, text}; }

// Lines from the scripts of corpus.jsonl as they stand, against classes Wine
// has, in one batch file run once (every cmd start under Wine is slow). Each
// row's output follows from what Tollix's own grammar reads of the same
// query. Processes are this test program's own, by its process id: ctest may
// run another copy of it, and cmd.exe processes come and go.
TEST(EndToEndWmic, CorpusBatchLinesPrintWhatTheirScriptsParse) {
  WmicCopy copy;
  ASSERT_FALSE(copy.scratch.files.empty()) << "no copy named wmic.exe";
  wchar_t self[MAX_PATH + 1] = {};
  ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH + 1), 0u);
  const std::wstring selfPath = self;
  const std::string exeName = Narrow(selfPath.substr(selfPath.find_last_of(L"\\/") + 1));
  const std::string namePrefix = exeName.substr(0, 6);
  const std::string pid = std::to_string(GetCurrentProcessId());
  const std::wstring wpid = std::to_wstring(GetCurrentProcessId());

  std::map<std::wstring, std::vector<Json>> read;
  const auto objects = [&](const std::wstring& query) -> const std::vector<Json>& {
    auto found = read.find(query);
    if (found == read.end()) found = read.emplace(query, RunJson({L"/wql:" + query})).first;
    return found->second;
  };
  const auto firstText = [](const std::vector<Json>& found, const char* name) {
    return found.empty() ? std::string() : WmicCell(found[0], name);
  };
  const std::vector<Json>& disks = objects(L"select Name,Size from win32_logicaldisk");
  ASSERT_FALSE(disks.empty());
  const std::string firstDisk = firstText(disks, "Name");

  struct Row {
    std::string batch;  // lines ending "\n"
    std::wstring query;  // the same read in Tollix's grammar; empty for none
    std::function<BatchOutput(const std::vector<Json>&)> expected;
  };
  const Row rows[] = {
      {"for /f \"skip=1\" %%a in ('wmic os get caption') do echo os=[%%a]\n",
       L"select Caption from win32_operatingsystem",
       [&](const std::vector<Json>& os) -> BatchOutput {
         const std::string word = FirstWord(firstText(os, "Caption"));
         return {"os=[" + word + "]\r\nos=[\r]\r\n", "os=[" + word + "]\r\n"};
       }},
      {"for /f \"tokens=2 delims==\" %%a in ('wmic bios get serialnumber /value') do echo serial=[%%a]\n",
       L"select SerialNumber from win32_bios",
       [&](const std::vector<Json>& bios) -> BatchOutput {
         const std::string serial = firstText(bios, "SerialNumber");
         return {"serial=[" + serial + "\r]\r\n", serial.empty() ? "" : "serial=[" + serial + "]\r\n"};
       }},
      {"for /f \"skip=2 tokens=2,3 delims=,\" %%a in ('wmic logicaldisk get name^,size /format:csv') do "
       "echo disk=[%%a][%%b]\n",
       L"select Name,Size from win32_logicaldisk",
       [&](const std::vector<Json>& found) {
         BatchOutput output{"", ""};
         for (const Json& disk : found) {
           const std::string name = WmicCell(disk, "Name");
           const std::string size = WmicCell(disk, "Size");
           output.windows += "disk=[" + name + "][" + size + "\r]\r\n";
           *output.wine += "disk=[" + name + "][" + size + "]\r\n";
         }
         return output;
       }},
      {"for /f \"usebackq delims== tokens=2\" %%x in (`wmic logicaldisk where \"DeviceID='" + firstDisk +
           "'\" get Size /format:value`) do set Size=%%x\n"
           "echo size=[%Size%]\n",
       L"select Size from win32_logicaldisk where DeviceID='" + std::wstring(firstDisk.begin(), firstDisk.end()) +
           L"'",
       [&](const std::vector<Json>& found) -> BatchOutput {
         const std::string size = firstText(found, "Size");
         return {"size=[" + size + "\r]\r\n", "size=[" + size + "]\r\n"};
       }},
      {"for /f \"tokens=2 delims=,\" %%i in ('wmic os get caption^,version /format:csv') do set os=%%i\n"
       "echo os=%os%\n",
       L"select Caption from win32_operatingsystem",
       [&](const std::vector<Json>& os) { return Either("os=" + firstText(os, "Caption") + "\r\n"); }},
      {"wmic process where handle=\"" + pid + "\" get processid\n",
       L"select ProcessId from win32_process where handle='" + wpid + L"'",
       [](const std::vector<Json>& found) { return Either(Piped(WmicTable(found))); }},
      {"wmic process where \"handle='" + pid + "' and name like '" + namePrefix + "%%'\" get name\n",
       L"select Name from win32_process where handle='" + wpid + L"' and name like '" +
           std::wstring(namePrefix.begin(), namePrefix.end()) + L"%'",
       [](const std::vector<Json>& found) { return Either(Piped(WmicTable(found))); }},
      {"wmic process " + pid + " get name,processid\n",
       L"select Name,ProcessId from win32_process where processid=" + wpid,
       [](const std::vector<Json>& found) { return Either(Piped(WmicTable(found))); }},
      {"wmic process where (processid = " + pid + ") get name\n",
       L"select Name from win32_process where processid=" + wpid,
       [](const std::vector<Json>& found) { return Either(Piped(WmicTable(found))); }},
      {"wmic cpu get name\n", L"select Name from win32_processor",
       [](const std::vector<Json>& found) { return Either(Piped(WmicTable(found))); }},
      {"wmic path win32_operatingsystem get version\n", L"select Version from win32_operatingsystem",
       [](const std::vector<Json>& found) { return Either(Piped(WmicTable(found))); }},
      // The row above succeeds, so `if not errorlevel 1` holds.
      {"for /f \"tokens=2 delims==\" %%a in ('\"wmic Path Win32_OperatingSystem Get OperatingSystemSKU "
       "/format:LIST\" 2^>nul') do if not errorlevel 1 set \"wmiSKU=%%a\"\n"
       "echo sku=[%wmiSKU%]\n",
       L"select OperatingSystemSKU from win32_operatingsystem",
       [&](const std::vector<Json>& os) -> BatchOutput {
         const std::string sku = firstText(os, "OperatingSystemSKU");
         return {"sku=[" + sku + "\r]\r\n", "sku=[" + sku + "]\r\n"};
       }},
      {"wmic computersystem get model,manufacturer /format:list\n",
       L"select Model,Manufacturer from win32_computersystem",
       [](const std::vector<Json>& found) { return Either(Piped(WmicValueList(found))); }},
      {"wmic process where name=\"tollix_no_such.exe\" get processid 2>&1\n"
       "echo exit=%errorlevel%\n",
       L"select ProcessId from win32_process where name='tollix_no_such.exe'",
       [](const std::vector<Json>& found) {
         return Either((found.empty() ? Piped("No Instance(s) Available.\n") : Piped(WmicTable(found))) +
                       "exit=0\r\n");
       }},
      {"wmic bios get serialnumber | findstr /v SerialNumber\n", L"select SerialNumber from win32_bios",
       [](const std::vector<Json>& found) -> BatchOutput { return {Piped(WmicTable(found, false)), std::nullopt}; }},
      {"set _cwmi=0\n"
       "wmic path Win32_ComputerSystem get CreationClassName /value 2>nul | find /i \"ComputerSystem\" 1>nul && "
       "set _cwmi=1\n"
       "echo cwmi=%_cwmi%\n",
       L"select CreationClassName from win32_computersystem",
       [&](const std::vector<Json>& found) -> BatchOutput {
         const bool named = ContainsWithoutCase(firstText(found, "CreationClassName"), "ComputerSystem");
         return {std::string("cwmi=") + (named ? "1" : "0") + "\r\n", std::nullopt};
       }},
      {"wmic nosuchalias 2>nul\n"
       "if errorlevel 1 echo errorlevel=%errorlevel%\n",
       L"", [](const std::vector<Json>&) { return Either("errorlevel=44210\r\n"); }},
      {"wmic nosuch 2>nul || echo failed\n", L"",
       [](const std::vector<Json>&) -> BatchOutput { return {"failed\r\n", std::nullopt}; }},
      // What the next row's `||` reads, which Wine's cmd does not.
      {"wmic alias /? >nul 2>&1\n"
       "echo exit=%errorlevel%\n",
       L"", [](const std::vector<Json>&) { return Either("exit=0\r\n"); }},
      {"wmic alias /? >nul 2>&1 || goto no_wmic\n"
       "echo help=found\n"
       "goto help_done\n"
       ":no_wmic\n"
       "echo help=missing\n"
       ":help_done\n",
       L"", [](const std::vector<Json>&) -> BatchOutput { return {"help=found\r\n", std::nullopt}; }},
      {"wmic /output:out.txt os get version\n"
       "type out.txt\n",
       L"select Version from win32_operatingsystem",
       [](const std::vector<Json>& found) -> BatchOutput {
         const std::string table = CrLf(WmicTable(found));
         return {table, std::nullopt, L"out.txt", kUtf16Bom + Utf16(table)};
       }},
      // The BOM only at the start: `>>` writes onto text.
      {"wmic os get version > ver.txt\n"
       "wmic os get version /value >> ver.txt\n"
       "type ver.txt\n",
       L"select Version from win32_operatingsystem",
       [](const std::vector<Json>& found) -> BatchOutput {
         const std::string text = CrLf(WmicTable(found) + WmicValueList(found));
         return {text, std::nullopt, L"ver.txt", kUtf16Bom + Utf16(text)};
       }},
      // A WMI failure's exit code is its HRESULT, which `if errorlevel 1`
      // does not see and `%errorlevel%` does (0x8004100E, 0x80041017).
      {"wmic /namespace:\\\\root\\tollix_nonesuch path Win32_BIOS get Name 2>nul\n"
       "if errorlevel 1 echo positive\n"
       "if %errorlevel% neq 0 echo exit=%errorlevel%\n"
       "wmic bios get tollix_nonesuch 2>nul\n"
       "echo exit=%errorlevel%\n",
       L"", [](const std::vector<Json>&) { return Either("exit=-2147217394\r\nexit=-2147217385\r\n"); }},
      // /repeat: ends the runs by itself, each its whole table.
      {"wmic os get version /every:1 /repeat:2\n", L"select Version from win32_operatingsystem",
       [](const std::vector<Json>& found) { return Either(Piped(WmicTable(found) + WmicTable(found))); }},
  };

  std::string batch = "@echo off\ncd /d \"%~dp0\"\n";
  std::vector<BatchOutput> expected;
  for (size_t i = 0; i < std::size(rows); ++i) {
    batch += "echo ==" + std::to_string(i) + "==\n" + rows[i].batch;
    expected.push_back(rows[i].expected(rows[i].query.empty() ? std::vector<Json>() : objects(rows[i].query)));
    if (expected.back().file) copy.scratch.files.push_back(copy.scratch.path + L"\\" + expected.back().file);
  }
  batch += "exit /b 0\n";
  const ChildRun run = copy.RunBatch(L"corpus.bat", CrLf(batch));
  ASSERT_EQ(run.failure, "");
  ExpectOnlyWineNotices(run.err);
  EXPECT_EQ(run.exitCode, 0u);

  const bool wine = IsWine();
  size_t at = 0;
  for (size_t i = 0; i < std::size(rows); ++i) {
    const std::string marker = "==" + std::to_string(i) + "==\r\n";
    ASSERT_EQ(run.out.compare(at, marker.size(), marker), 0) << "no row " << i << " at byte " << at << " of:\n"
                                                             << run.out;
    at += marker.size();
    const size_t next = i + 1 < std::size(rows) ? run.out.find("==" + std::to_string(i + 1) + "==\r\n", at)
                                                : run.out.size();
    ASSERT_NE(next, std::string::npos) << "no row " << i + 1 << " in:\n" << run.out;
    const std::string printed = run.out.substr(at, next - at);
    at = next;
    const std::optional<std::string> want = wine ? expected[i].wine : expected[i].windows;
    if (want) {
      EXPECT_EQ(printed, *want) << rows[i].batch;
    }
    if (expected[i].file) {
      EXPECT_EQ(ReadWholeFile(copy.scratch.path + L"\\" + expected[i].file), expected[i].fileBytes)
          << rows[i].batch;
    }
  }
}

// Beyond one machine's get and list: a node run, the prompt reading its
// commands from standard input, list instance, the alias table, and a get
// name the class does not have (which Wine's WMI would drop unseen).
TEST(EndToEndWmic, NodesThePromptListInstanceAndTheAliasTable) {
  WmicCopy copy;
  ASSERT_FALSE(copy.scratch.files.empty()) << "no copy named wmic.exe";
  const ChildRun local = RunChild(copy.exe, {L"bios", L"get", L"Name"});
  ASSERT_EQ(local.exitCode, 0u) << local.err;
  ASSERT_FALSE(local.out.empty());

  const ChildRun node = RunChild(copy.exe, {L"/node:localhost", L"bios", L"get", L"Name"});
  EXPECT_EQ(node.out, local.out);
  ExpectOnlyWineNotices(node.err);
  EXPECT_EQ(node.exitCode, 0u);

  // CSV names the machine by its own name, whatever name it was reached by.
  const ChildRun csv = RunChild(copy.exe, {L"bios", L"get", L"Name", L"/format:csv"});
  const std::string opening = kLineEnd + "Node,Name" + kLineEnd + Narrow(ComputerName()) + ",";
  EXPECT_EQ(csv.out.substr(0, opening.size()), opening) << csv.out;
  const ChildRun nodeCsv = RunChild(copy.exe, {L"/node:localhost", L"bios", L"get", L"Name", L"/format:csv"});
  EXPECT_EQ(nodeCsv.out, csv.out);
  EXPECT_EQ(nodeCsv.exitCode, 0u) << nodeCsv.err;

  const ChildRun unreachable = RunChild(copy.exe, {L"/node:nosuch", L"bios", L"get", L"Name"});
  EXPECT_EQ(unreachable.out, "");
  EXPECT_NE(unreachable.err.find("Node - nosuch\r\r\nERROR:\r\r\nDescription = "), std::string::npos)
      << unreachable.err;
  // The connection's HRESULT: 0x80041015 from Wine, 0x800706BA (RPC server
  // unavailable) from Windows.
  EXPECT_GE(unreachable.exitCode, 0x80000000u);

  const std::string commands = "bios get Name\r\nexit\r\nbios get Name\r\n";
  const ChildRun prompt = RunChild(copy.exe, {}, 90000, false, &commands);
  EXPECT_EQ(prompt.out, "wmic:root\\cli>" + local.out + "wmic:root\\cli>");
  EXPECT_EQ(prompt.exitCode, 0u);

  const ChildRun instance = RunChild(copy.exe, {L"bios", L"list", L"instance"});
  EXPECT_EQ(instance.out.rfind("\\\\", 0), 0u) << instance.out;
  EXPECT_EQ(instance.out.find(kLineEnd), instance.out.size() - kLineEnd.size()) << instance.out;
  EXPECT_NE(instance.out.find(":Win32_BIOS"), std::string::npos) << instance.out;
  EXPECT_EQ(instance.exitCode, 0u);

  const ChildRun aliases = RunChild(copy.exe, {L"alias", L"list", L"brief"});
  EXPECT_EQ(aliases.out.rfind("FriendlyName ", 0), 0u) << aliases.out;
  EXPECT_NE(aliases.out.find("Select * from Win32_BIOS  "), std::string::npos);
  EXPECT_EQ(aliases.exitCode, 0u);

  const ChildRun unknown = RunChild(copy.exe, {L"os", L"get", L"Caption,NoSuchProperty"});
  EXPECT_EQ(unknown.out, "");
  EXPECT_NE(unknown.err.find("ERROR:\r\r\nDescription = Invalid query\r\r\n"), std::string::npos) << unknown.err;
  EXPECT_EQ(unknown.exitCode, 0x80041017u);  // WBEM_E_INVALID_QUERY
}

// Changes as scripts make them, their lines single-byte with CR CR LF on a
// pipe (and in a file, where a log they are appended to stays plain text).
TEST(EndToEndWmic, ChangesPrintWmicsLinesAndDoWhatTheySay) {
  WmicCopy copy;
  ASSERT_FALSE(copy.scratch.files.empty()) << "no copy named wmic.exe";
  const std::wstring key = L"Software\\TollixWmic" + std::to_wstring(GetCurrentProcessId());
  const std::wstring registry = L"/namespace:\\\\root\\default";
  // &H80000001 is HKEY_CURRENT_USER's bits, whichever integer type hDefKey is.
  const ChildRun created =
      RunChild(copy.exe, {registry, L"path", L"StdRegProv", L"call", L"CreateKey", L"&H80000001,", key});
  // Wine names the output parameters' class after the method; Windows calls
  // it __PARAMETERS.
  const std::string opening = "Executing (StdRegProv)->CreateKey()" + kLineEnd + "Method execution successful." +
                              kLineEnd + "Out Parameters:" + kLineEnd + "instance of ";
  EXPECT_EQ(created.out.substr(0, opening.size()), opening) << created.out << created.err;
  const std::string closing = kLineEnd + "{" + kLineEnd + "\tReturnValue = 0;" + kLineEnd + "};" + kLineEnd + kLineEnd;
  EXPECT_EQ(created.out.size() > closing.size() ? created.out.substr(created.out.size() - closing.size()) : "", closing)
      << created.out;
  EXPECT_EQ(created.exitCode, 0u);
  const ChildRun stored = RunChild(copy.exe, {registry, L"path", L"StdRegProv", L"call", L"SetStringValue",
                                              L"hDefKey=&H80000001", L"sSubKeyName=" + key, L"sValueName=v",
                                              L"sValue=ab"});
  EXPECT_EQ(stored.exitCode, 0u) << stored.err;
  EXPECT_NE(RegQuery(key).find("ab"), std::string::npos) << RegQuery(key);
  // As cmd hands it on: the quote after a backslash closes the value.
  const ChildRun folder = copy.RunBatch(
      L"folder.bat", "@echo off\r\ncd /d \"%~dp0\"\r\nwmic /namespace:\\\\root\\default path StdRegProv call "
                     "SetStringValue hDefKey=^&H80000001 sSubKeyName=\"" + Narrow(key) +
                         "\" sValueName=\"w\" sValue=\"C:\\\"\r\n");
  EXPECT_EQ(folder.exitCode, 0u) << folder.out << folder.err;
  EXPECT_NE(RegQuery(key).find("C:\\\r"), std::string::npos) << RegQuery(key);

  // A value that does not fit calls nothing.
  const ChildRun refused =
      RunChild(copy.exe, {registry, L"path", L"StdRegProv", L"call", L"DeleteKey", L"&H100000000,", key});
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("Description = hDefKey takes "), std::string::npos) << refused.err;
  EXPECT_EQ(refused.exitCode, 1u);
  EXPECT_NE(RegQuery(key), "missing");
  const ChildRun removed = RunChild(copy.exe, {registry, L"path", L"StdRegProv", L"call", L"DeleteKey",
                                               L"hDefKey=&H80000001", L"sSubKeyName=" + key});
  EXPECT_EQ(removed.exitCode, 0u) << removed.err;
  EXPECT_EQ(RegQuery(key), "missing");

  // Wine writes back no instance: the line before, the block, the exit code.
  const std::string self = std::to_string(GetCurrentProcessId());
  const ChildRun set = RunChild(copy.exe, {L"process", L"where", L"processid=" + std::wstring(self.begin(), self.end()),
                                           L"set", L"Description=x"});
  if (IsWine()) {
    EXPECT_EQ(set.out.rfind("Updating property(s) of '\\\\", 0), 0u) << set.out;
    EXPECT_NE(set.out.find(":Win32_Process.Handle=\"" + self + "\"'" + kLineEnd), std::string::npos) << set.out;
    EXPECT_NE(set.err.find("ERROR:" + kLineEnd + "Description = "), std::string::npos) << set.err;
    EXPECT_EQ(set.exitCode, 0x80041001u);  // WBEM_E_FAILED, Wine's answer to PutInstance
    const ChildRun deleted = RunChild(copy.exe, {L"bios", L"delete"});
    EXPECT_EQ(deleted.out.rfind("Deleting instance \\\\", 0), 0u) << deleted.out;
    EXPECT_NE(deleted.err.find("ERROR:" + kLineEnd + "Description = "), std::string::npos) << deleted.err;
    EXPECT_EQ(deleted.exitCode, 0x80041001u);
  }

  // Nothing to ask on: nothing changed.
  const ChildRun interactive = RunChild(copy.exe, {L"/interactive:on", L"bios", L"delete"});
  EXPECT_EQ(interactive.out, "");
  EXPECT_NE(interactive.err.find("nothing was changed."), std::string::npos) << interactive.err;
  EXPECT_EQ(interactive.exitCode, 44210u);
}

// `process call create` from a batch file, the new process's id read back
// by `for /f` as scripts read it.
TEST(EndToEndWmic, ABatchFileStartsAProcessAndReadsItsId) {
  WmicCopy copy;
  ASSERT_FALSE(copy.scratch.files.empty()) << "no copy named wmic.exe";
  const ChildRun run = copy.RunBatch(
      L"start.bat",
      "@echo off\r\n"
      "cd /d \"%~dp0\"\r\n"
      "for /f \"tokens=2 delims==; \" %%a in ('wmic process call create \"cmd.exe /c exit 0\" ^| find \"ProcessId\"') "
      "do echo [%%a]\r\n"
      "exit /b 0\r\n");
  EXPECT_EQ(run.failure, "");
  // One line: [the id], the id all digits.
  ASSERT_GE(run.out.size(), 5u) << run.out;
  EXPECT_EQ(run.out.front(), '[');
  EXPECT_EQ(run.out.substr(run.out.size() - 3), "]\r\n") << run.out;
  const std::string id = run.out.substr(1, run.out.size() - 4);
  EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos) << run.out;
  // The block is WMI's own text of the out-parameters. Wine writes
  // "ProcessId = 0;" there while a Get of the same object reads the real id,
  // so under Wine any number passes; the in-memory WMI's tests pin the id.
  if (!IsWine()) {
    EXPECT_NE(id, "0") << run.out;
  }
  EXPECT_EQ(run.exitCode, 0u);
}

}  // namespace
