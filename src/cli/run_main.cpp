#include "cli/run_main.h"

#include <string>

#include "cli/output.h"
#include "cli/run_settings.h"
#include "cli/scan_arguments.h"
#include "cli/text.h"
#include "cli/usage.h"
#include "wmi/wmi_query.h"

namespace {

std::wstring CutClassName(const std::wstring& query) {
  const size_t from = query.find(L" from ");
  if (from == std::wstring::npos) return {};
  const size_t nameStart = from + 6;
  const size_t where = query.find(L" where ", nameStart + 1);
  std::wstring name = where == std::wstring::npos ? query.substr(nameStart, FIELD_CHARS - 1)
                                                  : query.substr(nameStart, where - nameStart);
  TrimSpaces(name);
  return name;
}

std::wstring CutSelectColumns(const std::wstring& query) {
  const size_t select = query.find(L"select ");
  if (select == std::wstring::npos) return {};
  const size_t listStart = select + 7;
  const size_t from = query.find(L" from", listStart + 1);
  if (from == std::wstring::npos) return {};
  std::wstring columns = query.substr(listStart, from - listStart);
  TrimSpaces(columns);
  return columns;
}

void PrintDebugEcho(const RunSettings& settings) {
  Print(L"INFO: debug switch=[%ls]\r\n", L"ON");
  Print(L"INFO: show all properties=[%ls]\r\n", settings.showAllProperties ? L"ON" : L"OFF");
  Print(L"INFO: argNamespace=[%ls]\r\n", settings.argNamespace.c_str());
  Print(L"INFO: argWQL=[%ls]\r\n", settings.argWQL.c_str());
  Print(L"INFO: argWQL class name=[%ls]\r\n", settings.argClassName.c_str());
  Print(L"INFO: argWQL select columns=[%ls]\r\n", settings.argSelectColumns.c_str());
  switch (settings.argFUNC) {
    case Operation::GET:
      Print(L"INFO: argFUNC=GET\r\n");
      break;
    case Operation::SET:
      Print(L"INFO: argFUNC=SET, key=%ls, arguments=%ls\r\n", settings.argKey.c_str(),
            settings.argArguments.c_str());
      break;
    case Operation::CALL:
      Print(L"INFO: argFUNC=CALL, method name=%ls, arguments=%ls\r\n", settings.argMethodName.c_str(),
            settings.argArguments.c_str());
      break;
  }
}

// SET and CALL need their name and value, and a whole object to work on.
bool RequestIsComplete(const RunSettings& settings, bool selectStar) {
  if (settings.argFUNC == Operation::SET) {
    if (settings.argKey.empty() || settings.argArguments.empty()) {
      Print(L"ERROR: Name or New value is not defined for set.\r\n");
      return false;
    }
    if (!selectStar) {
      Print(L"ERROR: \"select * \" is MUST for /SET\r\n");
      return false;
    }
  } else if (settings.argFUNC == Operation::CALL) {
    if (settings.argMethodName.empty() || settings.argArguments.empty()) {
      Print(L"ERROR: Method name or method argument is not defined for method call.\r\n");
      return false;
    }
    if (!selectStar) {
      Print(L"ERROR: \"select * \" is MUST for /CALL\r\n");
      return false;
    }
  }
  return true;
}

}  // namespace

bool AnalyzeQuery() {
  RunSettings& settings = Settings();
  settings.argClassName = CutClassName(settings.argWQL);
  settings.argSelectColumns = CutSelectColumns(settings.argWQL);
  return settings.argSelectColumns.find(L'*') != std::wstring::npos;
}

int RunMain(int argc, wchar_t** argv, WmiAccess& wmi) {
  ResetRunSettings();
  RunSettings& settings = Settings();
  if (ScanArguments(argc, argv) == ScanResult::HelpShown) return 0;

  if (const wchar_t* key = FindTooLongValue()) {
    Print(L"ERROR: The value of %ls is longer than %d characters.\r\n", key, static_cast<int>(FIELD_CHARS - 1));
    return 1;
  }
  if (settings.argWQL.empty()) {
    Print(L"ERROR: /WQL is lost\r\n\r\n\r\n");
    PrintUsage();
    return 1;
  }
  if (settings.hexMatrix && settings.formatCsv) {
    Print(L"ERROR: /hexmatrix is exclusive to /format:csv\r\n");
    return 1;
  }

  const bool selectStar = AnalyzeQuery();
  Print(L"Tollix.exe %ls\r\n", GetProductVersion().c_str());

  if (settings.argNamespace.empty()) {
    if (settings.debugDisplay) Print(L"INFO: Namespace is not defined by argument, use default namespace.\r\n");
    settings.argNamespace = L"root\\cimv2";
  }
  if (settings.debugDisplay) PrintDebugEcho(settings);
  if (!RequestIsComplete(settings, selectStar)) return 1;

  if (WmiQuery(wmi, settings.argNamespace.c_str(), settings.argWQL.c_str()) != 0) {
    Print(L"ERROR: Failed to run %ls\\%ls\r\n", settings.argNamespace.c_str(), settings.argWQL.c_str());
    return 1;
  }
  if (settings.debugDisplay) Print(L"INFO: Success.\r\n");
  return 0;
}
