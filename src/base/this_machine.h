// The names by which a run over several machines knows this one.
#pragma once

#include <string>
#include <vector>

// ".", "localhost", and the computer's NetBIOS, DNS host and fully qualified
// DNS names. WMI refuses credentials for a connection to this machine, so
// these names connect as the caller.
std::vector<std::wstring> NamesOfThisMachine();

// Whether `name` is one of `names`, compared without case.
bool NamesThisMachine(const std::wstring& name, const std::vector<std::wstring>& names);
