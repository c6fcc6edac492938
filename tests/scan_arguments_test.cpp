#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/output.h"
#include "base/run_settings.h"
#include "cli/scan_arguments.h"

namespace {

enum class ScanResult { Proceed, HelpShown };

struct Scan {
  ScanResult result;
  std::wstring output;
};

// The settings of the latest scan; empty ones after help.
RunSettings g_scanned;

// Scans `arguments` as the whole vector, argument 0 included.
Scan ScanOf(std::vector<std::wstring> arguments) {
  std::vector<wchar_t*> argv;
  for (std::wstring& argument : arguments) argv.push_back(argument.data());
  BufferSink out;
  const std::optional<RunSettings> settings = ScanArguments(static_cast<int>(argv.size()), argv.data(), out);
  g_scanned = settings.value_or(RunSettings{});
  return {settings ? ScanResult::Proceed : ScanResult::HelpShown, out.Text()};
}

const RunSettings& S() { return g_scanned; }

TEST(ScanArguments, QueryAndNamespaceAreLowerCasedWholeOthersKeepTheirCase) {
  ScanOf({L"Tollix.exe", L"/WQL:SELECT * FROM Win32_LogicalDisk WHERE DeviceID = 'C:'", L"/NameSpace:ROOT\\WMI",
          L"/Set:VolumeName", L"/ARGS:NewLabel"});
  EXPECT_EQ(S().argWQL, L"select * from win32_logicaldisk where deviceid = 'c:'");
  EXPECT_EQ(S().argNamespace, L"root\\wmi");
  EXPECT_EQ(S().argKey, L"VolumeName");
  EXPECT_EQ(S().argArguments, L"NewLabel");
  EXPECT_EQ(S().argFUNC, Operation::SET);
}

TEST(ScanArguments, OnlySpacesAreTrimmedAndOnlyAtTheEnds) {
  ScanOf({L"x", L"/args:  50, 1000  "});
  EXPECT_EQ(S().argArguments, L"50, 1000");
  ScanOf({L"x", L"/args:\t50 \t"});
  EXPECT_EQ(S().argArguments, L"\t50 \t");
}

TEST(ScanArguments, KeysAreFoundAnywhereAndOneArgumentCanHoldSeveral) {
  ScanOf({L"x", L"/wql:select * from x /format:csv"});
  EXPECT_EQ(S().argWQL, L"select * from x /format:csv");
  EXPECT_EQ(S().formatCsv, 1);

  ScanOf({L"x", L"junk/debugdisplay/hexmatrix/SHOWALLPROPERTIES"});
  EXPECT_EQ(S().debugDisplay, 1);
  EXPECT_EQ(S().hexMatrix, 1);
  EXPECT_EQ(S().showAllProperties, 1);
  EXPECT_EQ(S().formatCsv, 0);

  ScanOf({L"x", L"/format:list", L"unrelated text"});
  EXPECT_EQ(S().formatCsv, 0);
  EXPECT_TRUE(S().argWQL.empty());
}

TEST(ScanArguments, TheLastOccurrenceWinsAndCallBeatsSetInOneArgument) {
  ScanOf({L"x", L"/wql:select a from b", L"/wql:select * from c"});
  EXPECT_EQ(S().argWQL, L"select * from c");

  ScanOf({L"x", L"/set:Key /call:Method"});
  EXPECT_EQ(S().argFUNC, Operation::CALL);
  EXPECT_EQ(S().argKey, L"Key /call:Method");
  EXPECT_EQ(S().argMethodName, L"Method");

  ScanOf({L"x", L"/call:Method", L"/set:Key"});
  EXPECT_EQ(S().argFUNC, Operation::SET);
}

TEST(ScanArguments, AnEmptyValueStillSetsTheOperation) {
  ScanOf({L"x", L"/call:", L"/args:"});
  EXPECT_EQ(S().argFUNC, Operation::CALL);
  EXPECT_TRUE(S().argMethodName.empty());
  EXPECT_TRUE(S().argArguments.empty());
}

TEST(ScanArguments, HelpAnywhereStopsTheScanAndPrintsUsage) {
  for (const wchar_t* help : {L"/?", L"-HELP", L"/Help", L"/wql:select * from x where name = '/?'"}) {
    const Scan scan = ScanOf({L"x", help, L"/wql:select * from later"});
    EXPECT_EQ(scan.result, ScanResult::HelpShown) << help;
    EXPECT_EQ(scan.output.rfind(L"Tollix.exe ", 0), 0u) << help;
    EXPECT_TRUE(S().argWQL.empty() || S().argWQL.find(L"later") == std::wstring::npos) << help;
  }
  // The program's own path is scanned like any other argument.
  EXPECT_EQ(ScanOf({L"C:\\tools-help\\Tollix.exe"}).result, ScanResult::HelpShown);
  EXPECT_EQ(ScanOf({L"C:\\tools\\Tollix.exe", L"/wql:select * from x"}).result, ScanResult::Proceed);
}

TEST(ScanArguments, ValuesThatDoNotFitAreFlaggedNotCut) {
  const std::wstring fits(FIELD_CHARS - 1 - 7, L'a');  // "select " plus this is 259 characters
  ScanOf({L"x", L"/wql:select " + fits});
  EXPECT_EQ(FindTooLongValue(S()), nullptr);
  EXPECT_EQ(S().argWQL.size(), FIELD_CHARS - 1);

  ScanOf({L"x", L"/args:" + std::wstring(5000, L'v'), L"/wql:select " + fits + L"b"});
  EXPECT_STREQ(FindTooLongValue(S()), L"/wql:");
  EXPECT_EQ(S().argWQL.size(), FIELD_CHARS);

  // The last occurrence wins here too.
  ScanOf({L"x", L"/args:" + std::wstring(5000, L'v'), L"/args:short"});
  EXPECT_EQ(FindTooLongValue(S()), nullptr);

  // Padding that trimming removes does not count.
  ScanOf({L"x", L"/args:" + std::wstring(400, L' ') + L"ok" + std::wstring(400, L' ')});
  EXPECT_EQ(FindTooLongValue(S()), nullptr);
  EXPECT_EQ(S().argArguments, L"ok");

  // A long program path without keys in it is just scanned.
  const Scan scan = ScanOf({L"C:\\" + std::wstring(10000, L'p') + L"\\Tollix.exe", L"/wql:select * from x"});
  EXPECT_EQ(scan.result, ScanResult::Proceed);
  EXPECT_EQ(FindTooLongValue(S()), nullptr);
}

// A password lives on only in the settings: the argument that held it is
// wiped, whatever else it held. Other arguments are left as they are.
TEST(ScanArguments, APasswordLeavesNoCopyInItsArgument) {
  const struct {
    std::wstring argument;
    bool wiped;
  } cases[] = {
      {L"/password:s3cret", true},
      {L"/PassWord:s3cret", true},
      {L"/user:CORP\\admin /password:s3cret", true},
      {L"/passwor:s3cret", false},
  };
  for (const auto& c : cases) {
    std::wstring argument = c.argument;
    std::wstring query = L"/wql:select * from x";
    wchar_t* argv[] = {argument.data(), query.data()};
    BufferSink out;
    const std::optional<RunSettings> settings = ScanArguments(2, argv, out);
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->argPassword, c.wiped ? L"s3cret" : L"") << c.argument;
    EXPECT_EQ(argument, c.wiped ? std::wstring(c.argument.size(), L'\0') : c.argument) << c.argument;
    EXPECT_EQ(query, L"/wql:select * from x");
  }
}

}  // namespace
