// Prints one WMI object through the run's layout.
#pragma once

#include "wmi/wmi_access.h"

class Layout;
struct RunSettings;

// Returns 0 when every property was printed, 1 when one could not be read
// (its message is printed).
int PrintObjectProperties(WmiAccess& wmi, const RunSettings& settings, Layout& layout, const WmiObject& object);
