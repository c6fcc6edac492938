#include "cli/usage.h"

#include <windows.h>

#include <vector>

#include "base/output.h"

std::wstring GetProductVersion() {
  // The misspelling is the program's established fallback text; scripts may
  // match on it.
  const std::wstring fallback = L"Unkonwn";
  // Installed deep enough, the program's own path is longer than MAX_PATH;
  // the version is still there to read.
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return fallback;
    if (length < path.size()) break;
    if (path.size() >= 32768) return fallback;
    path.resize(path.size() * 2);
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
  if (size == 0) return fallback;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.data(), 0, size, block.data())) return fallback;
  void* value = nullptr;
  UINT valueChars = 0;
  if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\ProductVersion", &value, &valueChars) ||
      value == nullptr) {
    return fallback;
  }
  std::wstring version(static_cast<const wchar_t*>(value));
  if (version.size() > 79) version.resize(79);
  return version;
}

void PrintUsage(OutputSink& out) {
  Print(out, L"Tollix.exe %ls, Veltra Quorin WMI console tool.\r\n", GetProductVersion().c_str());
  Print(out, L"Usage: Tollix [arguments...] \r\n");
  Print(out, L"\r\n  Arguments:\r\n");
  Print(out, L"     /WQL:       Must, indicate the WQL command. \r\n");
  Print(out, L"     /namespace: Optional, indicate the namespace. (Default: root\\cimv2) \r\n");
  Print(out, L"     /set:       Optional, indicate the new value. \r\n");
  Print(out, L"     /call:      Optional, indicate the method name. \r\n");
  Print(out, L"     /args:      Optional, arguments of /call or /set. \r\n");
  Print(out, L"\r\n Optional advanced switch:\r\n");
  Print(out, L"     /debugdisplay      Show more debug information.\r\n");
  Print(out, L"     /showAllProperties Show all properties including __path ...etc \r\n");
  Print(out, L"     /HexMatrix         Show UINT8 byte array in matrix \r\n");
  Print(out, L"     /format:list|csv   The format to show result. (Default: list) \r\n");
  Print(out, L"     /format:json       Show each result as one line of JSON (JSON Lines). \r\n");
  Print(out, L"     /node:             Run on these machines: NAME1,NAME2 or @FILE with one name a line. \r\n");
  Print(out, L"     /throttle:         Machines worked on at once with /node:. (Default: 32) \r\n");
  Print(out, L"     /timeout:          Seconds to wait for a machine to connect or send a result. (Default: no limit) \r\n");
  Print(out, L"     /describe          Show the properties and methods of the query's class. \r\n");
  Print(out, L"     /params:           Named, typed values for /call: or /set:, as one JSON object or @FILE. \r\n");
  Print(out, L"     /user:             Reach the /node: machines as this account: DOMAIN\\user. \r\n");
  Print(out, L"     /password:         The password of /user:; asked for when left out. \r\n");
  Print(out, L"     /class:            In place of /WQL: call a static method on this class once, or describe it. \r\n");
  Print(out, L"     /whatif            Show what /set: or /call: would change, and change nothing. \r\n");
  Print(out, L"     /watch             Show the events of an event query as they come, until Ctrl+C. \r\n");
  Print(out, L"     /count:            With /watch: stop after this many events (on each machine). \r\n");
  Print(out, L"\r\n  Example of query:\r\n");
  Print(out, L"     Tollix.exe /namespace:root\\Veltra\\Firmkeep /WQL:\"SELECT * FROM Veltra_Setroll where(Shownix = 1 AND name = 'Secure Boot')\" \r\n");
  Print(out, L"     Tollix.exe /WQL:\"SELECT model,size,partitions,index FROM WIn32_DiskDrive\" \r\n");
  Print(out, L"     Tollix.exe /namespace:root\\wmi /WQL:\"select Instancename,__Path from WmiMonitorDescriptorMethods\" /showAllProperties \r\n");
  Print(out, L"\r\n  Example of set:\r\n");
  Print(out, L"     Tollix.exe /WQL:\"select * from Win32_LogicalDisk where DeviceID = 'X:'\" /set:\"VolumeName\" /args:\"NewLabel\" \r\n");
  Print(out, L"\r\n  Example of method call:\r\n");
  Print(out, L"     Tollix.exe /namespace:root\\wmi /WQL:\"select * from WmiMonitorDescriptorMethods where InstanceName like 'DISPLAY\\\\%%%%'\" /call:\"WmiGetMonitorRawEEdidV1Block\" /args:\"0\" /HexMatrix \r\n");
  Print(out, L"     Tollix.exe /namespace:root\\wmi /WQL:\"select * from WmiMonitorBrightnessMethods where InstanceName like 'DISPLAY\\\\%%%%'\" /call:\"WmiSetBrightness\" /args:\"50,1000\" \r\n");
  Print(out, L"     Tollix.exe /namespace:root\\wmi /WQL:\"select * from WmiMonitorBrightnessMethods where InstanceName='DISPLAY\\\\CMN13A8\\\\5&92cad76&0&UID256_0'\" /call:\"WmiSetBrightness\" /args:\"10,1000\" \r\n");
  Print(out, L"\r\n  Example of JSON and of many machines:\r\n");
  Print(out, L"     Tollix.exe /WQL:\"select Name,Size,FreeSpace from Win32_LogicalDisk\" /format:json \r\n");
  Print(out, L"     Tollix.exe /WQL:\"select Caption,Version from Win32_OperatingSystem\" /node:@machines.txt /throttle:64 /timeout:30 /format:csv \r\n");
  Print(out, L"\r\n  Example of a preview and of a static method:\r\n");
  Print(out, L"     Tollix.exe /WQL:\"select * from Win32_LogicalDisk where DeviceID = 'X:'\" /set:\"VolumeName\" /args:\"NewLabel\" /whatif \r\n");
  Print(out, L"     Tollix.exe /namespace:root\\default /class:StdRegProv /call:EnumKey /args:\"2147483650,SOFTWARE\\Microsoft\" \r\n");
}
