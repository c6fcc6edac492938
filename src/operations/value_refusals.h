// The refusals both converters of typed values print, worded alike.
#pragma once

#include <string>

#include "operations/declared_schema.h"
#include "wmi/wmi_access.h"

class Layout;

// `name` is not among `target`'s parameters (`method` given) or properties.
void ReportNotDeclared(WmiAccess& wmi, Layout& layout, const WmiObject& target, const wchar_t* method,
                       const std::wstring& name);

// The names `target` declares could not be read.
void ReportNamesUnread(Layout& layout, HRESULT hr);

void ReportPutFailed(Layout& layout, const std::wstring& name, HRESULT hr);

// `name` as `target` declares it; false, the reason printed, where it is not
// declared or the names cannot be read.
bool FindDeclaredOrReport(WmiAccess& wmi, Layout& layout, const WmiObject& target, const wchar_t* method,
                          const std::wstring& name, Declared& declared);
