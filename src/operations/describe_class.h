// /describe: the properties and methods of the query's class, read from the
// class definition, so that a class without instances can be described too.
#pragma once

#include "wmi/wmi_access.h"

class Layout;
struct RunSettings;

// Reads the class that the query names and prints it through the layout as
// one object. Returns 0, or 1 with the failure printed; nothing of the class
// is printed then.
int DescribeClass(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiServices& services);
