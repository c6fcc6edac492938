#include "base/this_machine.h"

#include <windows.h>

namespace {

void AddComputerName(COMPUTER_NAME_FORMAT format, std::vector<std::wstring>& names) {
  DWORD size = 0;
  GetComputerNameExW(format, nullptr, &size);
  if (size == 0) return;
  std::wstring name(size, L'\0');
  if (!GetComputerNameExW(format, name.data(), &size)) return;
  name.resize(size);
  if (!name.empty()) names.push_back(name);
}

}  // namespace

std::vector<std::wstring> NamesOfThisMachine() {
  std::vector<std::wstring> names = {L".", L"localhost"};
  AddComputerName(ComputerNameNetBIOS, names);
  AddComputerName(ComputerNameDnsHostname, names);
  AddComputerName(ComputerNameDnsFullyQualified, names);
  return names;
}

bool NamesThisMachine(const std::wstring& name, const std::vector<std::wstring>& names) {
  for (const std::wstring& known : names) {
    if (CompareStringOrdinal(name.c_str(), static_cast<int>(name.size()), known.c_str(),
                             static_cast<int>(known.size()), TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}
